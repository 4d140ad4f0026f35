// The stored cells of a sheet, by row and column: a flat store in place of a tree of nodes.
//
// Entries live in a deque and never move, so a reference to a cell stays good while others are
// added (as with a map); their order is a sorted array of pointers, which makes a walk row by row
// a walk through one array; a hash table of the same pointers finds a cell. Cells added in row
// order (a file, a list typed top to bottom) go to the array's end. Others wait in a small sorted
// side array that is merged in once it holds about the square root of the store's size, or as soon
// as anything walks the store in order: a read may merge, so one store is never read from two
// threads at once. Iterators are good until the next insertion or erase.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvane::memhost {

using CellKey = std::pair<int, int>;  // row, column; ordered row by row

template <typename Data>
class CellStore {
 public:
  using key_type = CellKey;
  using mapped_type = Data;
  using value_type = std::pair<const CellKey, Data>;

  template <bool Const>
  class Iterator {
   public:
    using value_type = CellStore::value_type;
    using Base = typename std::vector<value_type*>::const_iterator;
    using iterator_category = std::forward_iterator_tag;
    using difference_type = std::ptrdiff_t;
    using reference = std::conditional_t<Const, const value_type&, value_type&>;
    using pointer = std::conditional_t<Const, const value_type*, value_type*>;

    Iterator() = default;
    explicit Iterator(Base base) : base_(base) {}
    // An iterator converts to its read-only form.
    operator Iterator<true>() const { return Iterator<true>(base_); }  // NOLINT

    reference operator*() const { return **base_; }
    pointer operator->() const { return *base_; }
    Iterator& operator++() {
      ++base_;
      return *this;
    }
    Iterator operator++(int) { return Iterator(base_++); }
    Iterator& operator--() {
      --base_;
      return *this;
    }
    difference_type operator-(const Iterator& other) const { return base_ - other.base_; }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.base_ == b.base_; }
    Base base() const { return base_; }

   private:
    Base base_{};
  };
  using iterator = Iterator<false>;
  using const_iterator = Iterator<true>;

  CellStore() = default;
  CellStore(const CellStore& other) { CopyFrom(other); }
  CellStore& operator=(const CellStore& other) {
    if (this != &other) {
      clear();
      CopyFrom(other);
    }
    return *this;
  }
  CellStore(CellStore&&) noexcept = default;
  CellStore& operator=(CellStore&&) noexcept = default;

  std::size_t size() const { return order_.size() + pending_.size(); }
  bool empty() const { return size() == 0; }

  iterator begin() { return iterator(Settled().begin()); }
  iterator end() { return iterator(Settled().end()); }
  const_iterator begin() const { return const_iterator(Settled().begin()); }
  const_iterator end() const { return const_iterator(Settled().end()); }

  // The first entry at or after the key.
  iterator lower_bound(const CellKey& key) { return iterator(LowerBound(Settled(), key)); }
  const_iterator lower_bound(const CellKey& key) const {
    return const_iterator(LowerBound(Settled(), key));
  }
  // The first entry at or after the key, searched from `from` on: a walk that jumps ahead.
  const_iterator lower_bound(const_iterator from, const CellKey& key) const {
    const auto& order = Settled();
    auto at = from.base();
    // Mostly the next few entries: look at them before searching.
    for (int step = 0; step < 4; ++step, ++at) {
      if (at == order.cend() || !KeyBefore(*at, key)) return const_iterator(at);
    }
    return const_iterator(std::lower_bound(at, order.cend(), key, KeyBefore));
  }

  // The entry of the key, or null, through the hash table.
  value_type* Lookup(const CellKey& key) const {
    if (table_.empty()) return nullptr;
    for (std::size_t i = Hash(key) & (table_.size() - 1);; i = (i + 1) & (table_.size() - 1)) {
      value_type* entry = table_[i];
      if (entry == nullptr) return nullptr;
      if (entry != Gone() && entry->first == key) return entry;
    }
  }

  iterator find(const CellKey& key) {
    value_type* found = Lookup(key);
    if (found == nullptr) return end();
    const auto& order = Settled();
    return iterator(LowerBound(order, key));
  }
  const_iterator find(const CellKey& key) const {
    if (Lookup(key) == nullptr) return end();
    return const_iterator(LowerBound(Settled(), key));
  }

  // The entry of the key, added empty when missing.
  Data& operator[](const CellKey& key) {
    if (value_type* found = Lookup(key)) return found->second;
    value_type* entry = NewEntry(key);
    Index(entry);
    if (pending_.empty() && (order_.empty() || order_.back()->first < key)) {
      order_.push_back(entry);
    } else {
      pending_.insert(LowerBound(pending_, key), entry);
      if (pending_.size() * pending_.size() > order_.size() + kMinPending * kMinPending) Merge();
    }
    return entry->second;
  }

  iterator erase(const_iterator it) {
    auto& order = Settled();
    const auto at = order.begin() + (it.base() - order.cbegin());
    Unindex(*at);
    Release(*at);
    return iterator(order.erase(at));
  }
  std::size_t erase(const CellKey& key) {
    if (Lookup(key) == nullptr) return 0;
    erase(find(key));
    return 1;
  }

  void clear() {
    entries_.clear();
    free_.clear();
    order_.clear();
    pending_.clear();
    table_.clear();
    used_slots_ = 0;
  }

 private:
  static constexpr std::size_t kMinPending = 16;

  static bool KeyBefore(const value_type* entry, const CellKey& key) { return entry->first < key; }
  static bool EntryBefore(const value_type* a, const value_type* b) { return a->first < b->first; }

  static typename std::vector<value_type*>::const_iterator LowerBound(
      const std::vector<value_type*>& order, const CellKey& key) {
    return std::lower_bound(order.cbegin(), order.cend(), key, KeyBefore);
  }
  static typename std::vector<value_type*>::iterator LowerBound(std::vector<value_type*>& order,
                                                                const CellKey& key) {
    return std::lower_bound(order.begin(), order.end(), key, KeyBefore);
  }

  // The sorted array with the side array merged in.
  std::vector<value_type*>& Settled() const {
    if (!pending_.empty()) Merge();
    return order_;
  }
  void Merge() const {
    const auto middle = static_cast<std::ptrdiff_t>(order_.size());
    order_.insert(order_.end(), pending_.begin(), pending_.end());
    pending_.clear();
    std::inplace_merge(order_.begin(), order_.begin() + middle, order_.end(), EntryBefore);
  }

  value_type* NewEntry(const CellKey& key) {
    if (free_.empty()) return &entries_.emplace_back(key, Data{});
    value_type* slot = free_.back();
    free_.pop_back();
    std::destroy_at(slot);
    return std::construct_at(slot, key, Data{});
  }
  // An erased entry's slot waits for the next new cell, its data dropped at once.
  void Release(value_type* entry) {
    entry->second = Data{};
    free_.push_back(entry);
  }

  void CopyFrom(const CellStore& other) {
    order_.reserve(other.size());
    for (const value_type& entry : other) {
      order_.push_back(&entries_.emplace_back(entry));
      Index(order_.back());
    }
  }

  // The hash table: open addressing with linear probing, a power of two in size, at most half
  // full counting the slots of erased entries, which hold Gone() until the table is rebuilt.
  static std::size_t Hash(const CellKey& key) {
    const auto packed = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(key.first)) << 32) |
                        static_cast<std::uint32_t>(key.second);
    const std::uint64_t mixed = packed * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(mixed ^ (mixed >> 32));
  }
  static value_type* Gone() {
    static value_type* const gone = reinterpret_cast<value_type*>(alignof(value_type));
    return gone;
  }
  void Index(value_type* entry) {
    if (2 * (used_slots_ + 1) > table_.size()) Rehash();
    Place(entry);
    ++used_slots_;
  }
  void Place(value_type* entry) {
    std::size_t i = Hash(entry->first) & (table_.size() - 1);
    while (table_[i] != nullptr) i = (i + 1) & (table_.size() - 1);
    table_[i] = entry;
  }
  void Unindex(const value_type* entry) {
    for (std::size_t i = Hash(entry->first) & (table_.size() - 1);;
         i = (i + 1) & (table_.size() - 1)) {
      if (table_[i] == entry) {
        table_[i] = Gone();
        return;
      }
    }
  }
  void Rehash() {
    std::size_t live = 0;
    for (value_type* entry : table_) live += entry != nullptr && entry != Gone() ? 1 : 0;
    std::size_t capacity = 16;
    // At most a third full after the rebuild: room for as many again before the next one, at half
    // the memory of a table kept a quarter full.
    while (capacity < 3 * (live + 1)) capacity *= 2;
    std::vector<value_type*> old(capacity, nullptr);
    old.swap(table_);
    for (value_type* entry : old) {
      if (entry != nullptr && entry != Gone()) Place(entry);
    }
    used_slots_ = live;
  }

  std::deque<value_type> entries_;
  std::vector<value_type*> free_;
  mutable std::vector<value_type*> order_;    // sorted by key
  mutable std::vector<value_type*> pending_;  // sorted by key, none in order_
  std::vector<value_type*> table_;
  std::size_t used_slots_ = 0;  // in table_: entries and erased ones
};

}  // namespace quorvane::memhost
