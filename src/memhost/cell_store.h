// The stored cells of a sheet, by row and column: a flat store in place of a tree of nodes.
//
// Entries live in chunks that never move, so a reference to a cell stays good while others are
// added (as with a map); their order is a sorted array of pointers, which makes a walk row by row
// a walk through one array. Cells added in row order (a file, a list typed top to bottom) go to the
// array's end. Others wait in a small sorted side array that is merged in once it holds about the
// square root of the store's size, or as soon as anything walks the store in order: a read may
// merge, so one store is never read from two threads at once. A cell is found in the order, from
// where the last one was found or by a binary search; once cells wait in the side array, through a
// hash table of the same pointers, built then and kept from then on, so a store filled in row
// order never has one. Iterators are good until the next insertion or erase.
//
// The store also notes which cells may have changed since a reader last looked (MarkSeen): the
// cells added at the end since then, the keys of cells handed out for writing or erased, or that
// it lost track (a writable walk, too many such keys). The sheet keeps its used range up to date
// from these without walking every cell.
//
// Once asked to (KeepOriginals), the store also keeps the state of every cell as it was then, the
// first time the cell is handed out for writing or erased (or that it was absent): the few cells
// that changed since a workbook was loaded, which is what saving it compares.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
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
  // By key: the cell as it was when the store began keeping them, or no value for a cell absent.
  using Originals = std::map<CellKey, std::optional<Data>>;

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
      Reset();
      CopyFrom(other);
    }
    return *this;
  }
  CellStore(CellStore&& other) noexcept { Swap(other); }
  CellStore& operator=(CellStore&& other) noexcept {
    if (this != &other) {
      Reset();
      originals_.reset();
      Swap(other);
    }
    return *this;
  }
  ~CellStore() { FreeChunks(); }

  std::size_t size() const { return order_.size() + pending_.size(); }
  bool empty() const { return size() == 0; }

  // A writable walk: the store loses track of what changed, and keeps every cell's original.
  iterator begin() {
    lost_ = true;
    RememberAll();
    return iterator(Settled().begin());
  }
  iterator end() { return iterator(Settled().end()); }
  const_iterator begin() const { return const_iterator(Settled().begin()); }
  const_iterator end() const { return const_iterator(Settled().end()); }

  // The first entry at or after the key.
  iterator lower_bound(const CellKey& key) {
    lost_ = true;
    RememberAll();
    return iterator(LowerBound(Settled(), key));
  }
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

  // The entry of the key, or null (for reading: a write through it goes unnoticed by MarkSeen's
  // readers). Readers mostly go from cell to cell in order: while no cell waits in the side array,
  // the entries just after the last one found are tried first, then the hash table if there is
  // one, else a binary search, which leaves the next try beside the entry found.
  value_type* Lookup(const CellKey& key) const {
    if (pending_.empty()) {
      const std::size_t stop = std::min(order_.size(), cursor_ + kCursorReach);
      for (std::size_t i = cursor_; i < stop; ++i) {
        const CellKey& at = order_[i]->first;
        if (at == key) {
          cursor_ = i;
          return order_[i];
        }
        if (key < at) break;
      }
      if (table_.empty()) {
        const auto at = LowerBound(order_, key);
        cursor_ = static_cast<std::size_t>(at - order_.cbegin());
        return at != order_.cend() && (*at)->first == key ? *at : nullptr;
      }
    } else if (table_.empty()) {
      Rehash();
    }
    for (std::size_t i = Hash(key) & (table_.size() - 1);; i = (i + 1) & (table_.size() - 1)) {
      value_type* entry = table_[i];
      if (entry == nullptr) return nullptr;
      if (entry != Gone() && entry->first == key) return entry;
    }
  }

  iterator find(const CellKey& key) {
    value_type* found = Lookup(key);
    if (found == nullptr) return end();
    Touch(key);
    Remember(key, &found->second);
    return iterator(Position(key));
  }
  const_iterator find(const CellKey& key) const {
    if (Lookup(key) == nullptr) return end();
    return const_iterator(Position(key));
  }

  // The entry of the key, added empty when missing.
  Data& operator[](const CellKey& key) {
    if (pending_.empty() && (order_.empty() || order_.back()->first < key)) {
      // After every cell: new, at the end.
      Remember(key, nullptr);
      value_type* entry = NewEntry(key);
      Index(entry);
      order_.push_back(entry);
      return entry->second;
    }
    Touch(key);
    value_type* found = Lookup(key);
    Remember(key, found != nullptr ? &found->second : nullptr);
    if (found != nullptr) return found->second;
    value_type* entry = NewEntry(key);
    Index(entry);
    pending_.insert(LowerBound(pending_, key), entry);
    if (pending_.size() * pending_.size() > order_.size() + kMinPending * kMinPending) Merge();
    return entry->second;
  }

  iterator erase(const_iterator it) {
    auto& order = Settled();
    const auto at = order.begin() + (it.base() - order.cbegin());
    Touch((*at)->first);
    Remember((*at)->first, &(*at)->second);
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
    RememberAll();
    Reset();
  }

  // From now on, keeps the state as of now of each cell the first time it is handed out for
  // writing or erased.
  void KeepOriginals() {
    if (!originals_) originals_ = std::make_unique<Originals>();
  }
  // The cells' states as of KeepOriginals(), of those written or erased since; null before it. A
  // cell not among them is as it was.
  const Originals* originals() const { return originals_.get(); }

  // What may have changed since the last MarkSeen(): unknown, or the cells in Touched() and those
  // from AddedSinceSeen() to the end.
  bool ChangesUnknown() const { return lost_; }
  const std::vector<CellKey>& Touched() const { return touched_; }
  const_iterator AddedSinceSeen() const {
    const auto& order = Settled();
    if (!seen_any_) return const_iterator(order.cbegin());
    return const_iterator(std::upper_bound(
        order.cbegin(), order.cend(), seen_last_,
        [](const CellKey& key, const value_type* entry) { return key < entry->first; }));
  }
  void MarkSeen() const {
    const auto& order = Settled();
    lost_ = false;
    touched_.clear();
    seen_any_ = !order.empty();
    if (seen_any_) seen_last_ = order.back()->first;
  }

 private:
  static constexpr std::size_t kMinPending = 16;
  static constexpr std::size_t kMinTouched = 1024;
  static constexpr std::size_t kCursorReach = 8;  // entries tried from the last one found

  // Drops every cell (the originals stay).
  void Reset() {
    FreeChunks();
    free_.clear();
    order_.clear();
    pending_.clear();
    table_.clear();
    used_slots_ = 0;
    lost_ = true;
    touched_.clear();
  }

  // Keeps the cell's state (null: absent) unless kept already, when originals are kept.
  void Remember(const CellKey& key, const Data* current) {
    if (!originals_) return;
    const auto at = originals_->lower_bound(key);
    if (at != originals_->end() && at->first == key) return;
    originals_->emplace_hint(
        at, key, current != nullptr ? std::optional<Data>(*current) : std::optional<Data>());
  }
  // Keeps every cell's state: before a writable walk, which could change any of them.
  void RememberAll() {
    if (!originals_) return;
    for (value_type* entry : Settled()) Remember(entry->first, &entry->second);
  }

  // The place in the order of a key that is stored.
  typename std::vector<value_type*>::const_iterator Position(const CellKey& key) const {
    const auto& order = Settled();
    if (cursor_ < order.size() && order[cursor_]->first == key) return order.cbegin() + cursor_;
    return LowerBound(order, key);
  }
  // Entries are allocated in chunks growing from kFirstChunk to kLastChunk entries.
  static constexpr std::size_t kFirstChunk = 8;
  static constexpr std::size_t kLastChunk = 4096;

  struct Chunk {
    value_type* entries;
    std::size_t capacity;
    std::size_t used;
  };

  void Touch(const CellKey& key) const {
    if (lost_) return;
    if (touched_.size() >= std::max(kMinTouched, size() / 8)) {
      lost_ = true;
      touched_.clear();
      return;
    }
    touched_.push_back(key);
  }

  void Swap(CellStore& other) noexcept {
    std::swap(chunks_, other.chunks_);
    std::swap(free_, other.free_);
    std::swap(order_, other.order_);
    std::swap(pending_, other.pending_);
    std::swap(table_, other.table_);
    std::swap(used_slots_, other.used_slots_);
    std::swap(cursor_, other.cursor_);
    std::swap(lost_, other.lost_);
    std::swap(touched_, other.touched_);
    std::swap(seen_any_, other.seen_any_);
    std::swap(seen_last_, other.seen_last_);
    std::swap(originals_, other.originals_);
  }

  template <typename... Args>
  value_type* Emplace(Args&&... args) {
    if (chunks_.empty() || chunks_.back().used == chunks_.back().capacity) {
      const std::size_t capacity =
          chunks_.empty() ? kFirstChunk : std::min(kLastChunk, 2 * chunks_.back().capacity);
      std::allocator<value_type> allocator;
      chunks_.reserve(chunks_.size() + 1);
      chunks_.push_back(Chunk{allocator.allocate(capacity), capacity, 0});
    }
    Chunk& chunk = chunks_.back();
    value_type* entry = std::construct_at(chunk.entries + chunk.used, std::forward<Args>(args)...);
    ++chunk.used;
    return entry;
  }
  void FreeChunks() {
    std::allocator<value_type> allocator;
    for (Chunk& chunk : chunks_) {
      std::destroy_n(chunk.entries, chunk.used);
      allocator.deallocate(chunk.entries, chunk.capacity);
    }
    chunks_.clear();
  }

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
    if (free_.empty()) return Emplace(key, Data{});
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
    originals_ = other.originals_ ? std::make_unique<Originals>(*other.originals_) : nullptr;
    order_.reserve(other.size());
    for (const value_type& entry : other) {
      order_.push_back(Emplace(entry));
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
  // Table changes wait while there is no table.
  void Index(value_type* entry) {
    if (table_.empty()) return;
    if (2 * (used_slots_ + 1) > table_.size()) Rehash();
    Place(entry);
    ++used_slots_;
  }
  void Place(value_type* entry) const {
    std::size_t i = Hash(entry->first) & (table_.size() - 1);
    while (table_[i] != nullptr) i = (i + 1) & (table_.size() - 1);
    table_[i] = entry;
  }
  void Unindex(const value_type* entry) {
    if (table_.empty()) return;
    for (std::size_t i = Hash(entry->first) & (table_.size() - 1);;
         i = (i + 1) & (table_.size() - 1)) {
      if (table_[i] == entry) {
        table_[i] = Gone();
        return;
      }
    }
  }
  // Builds the table from the entries, at most a third full: room for as many again before the
  // next rebuild, at half the memory of a table kept a quarter full.
  void Rehash() const {
    const std::size_t live = size();
    std::size_t capacity = 16;
    while (capacity < 3 * (live + 1)) capacity *= 2;
    table_.assign(capacity, nullptr);
    for (value_type* entry : order_) Place(entry);
    for (value_type* entry : pending_) Place(entry);
    used_slots_ = live;
  }

  std::vector<Chunk> chunks_;
  std::vector<value_type*> free_;
  mutable std::vector<value_type*> order_;    // sorted by key
  mutable std::vector<value_type*> pending_;  // sorted by key, none in order_
  mutable std::vector<value_type*> table_;    // empty until a lookup with cells waiting needs it
  mutable std::size_t cursor_ = 0;            // in order_: where the last lookup ended
  mutable std::size_t used_slots_ = 0;        // in table_: entries and erased ones
  // Changes since the last MarkSeen(), for readers who keep something of the cells.
  mutable bool lost_ = true;
  mutable std::vector<CellKey> touched_;
  mutable bool seen_any_ = false;
  mutable CellKey seen_last_{};
  std::unique_ptr<Originals> originals_;  // null unless kept
};

}  // namespace quorvane::memhost
