#include "engine/matching.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/diagnosis.h"
#include "analysis/resolve.h"
#include "engine/clearing.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/value.h"
#include "host/worksheet.h"
#include "marks/marking.h"
#include "marks/rectangles.h"

namespace quorvane::engine {

namespace {

// The animation flashes candidate cells during the first five seconds of a run.
constexpr double kSlowTimeDays = 5.0 / 86400.0;
// After the animation the counting scan yields to the host after every 100th counted candidate;
// the indexed pass yields after every 100th visited cell.
constexpr int kYieldEvery = 100;
constexpr int kAnimationColor = 0;     // black while a candidate is looked at
constexpr int kAnimationMatch = 1000;  // RGB(232, 3, 0) when it equals the target

// Raised inside the counting when the user asks the run to stop; caught by RunMatchingPass only.
struct StopRequested {};

bool IsTenDigits(const host::Value& numeric, const host::Conversions& conversions) {
  return host::FormatWhole(conversions.ToNumber(numeric)).size() == 10;
}

// Asks the processor to bring the memory at `address` into its caches ahead of a read; a hint only,
// which changes nothing of what the program does.
inline void Prefetch(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// How many cells ahead of the one checked the pass asks for the table slots it will look up, so
// that the lookups of several cells wait for memory at the same time.
constexpr std::size_t kLookAhead = 12;

// A double as a hash key: -0 and 0 are one key, as they compare equal.
double Key(double number) { return number == 0 ? 0.0 : number; }

// A single-area range read once: values, displayed texts and hidden rows, row by row. A value is
// kept as its kind and its number (a text value's place among the value texts); the displayed
// texts are kept end to end in one string.
class Snapshot {
 public:
  static Snapshot Read(const host::Range& range) {
    Snapshot s;
    host::Worksheet& sheet = range.Parent();
    s.area_ = range.FirstArea();
    const auto count = static_cast<std::size_t>(s.area_.count());
    s.kinds_.assign(count, host::ValueKind::kEmpty);
    s.numbers_.assign(count, 0.0);
    sheet.VisitBlockValues(s.area_, [&s](std::size_t i, const host::Value& value) {
      s.kinds_[i] = value.kind();
      if (value.is_text()) {
        s.numbers_[i] = static_cast<double>(s.value_texts_.size());
        s.value_texts_.push_back(value.text());
      } else {
        s.numbers_[i] = value.number();
      }
    });
    // A cell not visited shows no text: its end is where the text before it ends.
    s.text_ends_.reserve(count);
    sheet.VisitBlockTexts(s.area_, [&s](std::size_t i, std::string_view text) {
      s.text_ends_.resize(i, s.texts_.size());
      s.texts_ += text;
      s.text_ends_.push_back(s.texts_.size());
    });
    s.text_ends_.resize(count, s.texts_.size());
    s.hidden_rows_ = sheet.RowsHidden(s.area_.top, s.area_.bottom);
    return s;
  }
  std::size_t size() const { return kinds_.size(); }
  bool Hidden(std::size_t i) const {
    return hidden_rows_[i / static_cast<std::size_t>(area_.columns())] != 0;
  }
  bool IsNumber(std::size_t i) const { return kinds_[i] == host::ValueKind::kNumber; }
  // The number of a number value.
  double Number(std::size_t i) const { return numbers_[i]; }
  host::Value Value(std::size_t i) const {
    const double number = numbers_[i];
    switch (kinds_[i]) {
      case host::ValueKind::kEmpty:
        return host::Value();
      case host::ValueKind::kNumber:
        return host::Value::Number(number);
      case host::ValueKind::kDate:
        return host::Value::Date(number);
      case host::ValueKind::kText:
        return host::Value::Text(value_texts_[static_cast<std::size_t>(number)]);
      case host::ValueKind::kLogical:
        return host::Value::Logical(number != 0);
      case host::ValueKind::kError:
        return host::Value::Error(static_cast<host::CellError>(static_cast<int>(number)));
    }
    return host::Value();
  }
  // The displayed text.
  std::string_view Text(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : text_ends_[i - 1];
    return std::string_view(texts_).substr(begin, text_ends_[i] - begin);
  }

 private:
  host::Area area_;
  std::vector<host::ValueKind> kinds_;
  std::vector<double> numbers_;
  std::vector<std::string> value_texts_;
  std::string texts_;
  std::vector<std::size_t> text_ends_;
  std::vector<char> hidden_rows_;
};

// How often each number occurs, and how often each number rounded to two places: an
// open-addressed table of the numbers' bit patterns, built once and only read afterwards. An
// amount already on two places is its own rounded number, so both of its counts sit in one slot. A
// slot is free while both counts are 0. A count never passes the cells of a snapshot, which fit in
// memory far below 2^31.
class NumberCounts {
 public:
  void Reserve(std::size_t numbers) {
    std::size_t capacity = 16;
    while (capacity < numbers * 2) capacity *= 2;
    slots_.assign(capacity, Slot{});
    used_ = 0;
  }
  void Add(double number) { ++Take(number).exact; }
  void AddRounded(double rounded) { ++Take(rounded).rounded; }
  std::int64_t Get(double number) const { return Find(number).exact; }
  std::int64_t GetRounded(double rounded) const { return Find(rounded).rounded; }
  // The first slot a lookup of the number reads, asked for ahead of the lookup.
  void Prefetch(double number) const {
    if (!slots_.empty()) engine::Prefetch(&slots_[Mix(Bits(number)) & (slots_.size() - 1)]);
  }

 private:
  struct Slot {
    std::uint64_t bits = 0;
    std::int32_t exact = 0;
    std::int32_t rounded = 0;
    bool free() const { return exact == 0 && rounded == 0; }
  };
  // -0 and 0 are one key, as they compare equal.
  static std::uint64_t Bits(double number) { return std::bit_cast<std::uint64_t>(Key(number)); }
  static std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return x;
  }
  // The slot that holds the bits, or the free slot where they would go.
  std::size_t SlotOf(std::uint64_t bits) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = Mix(bits) & mask;
    while (!slots_[i].free() && slots_[i].bits != bits) i = (i + 1) & mask;
    return i;
  }
  Slot& Take(double number) {
    if ((used_ + 1) * 2 > slots_.size()) Grow();
    const std::uint64_t bits = Bits(number);
    Slot& slot = slots_[SlotOf(bits)];
    if (slot.free()) {
      slot.bits = bits;
      ++used_;
    }
    return slot;
  }
  const Slot& Find(double number) const {
    static constexpr Slot kNone{};
    return slots_.empty() ? kNone : slots_[SlotOf(Bits(number))];
  }
  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
      if (!slot.free()) slots_[SlotOf(slot.bits)] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

// A value as the count compares it: texts by their characters; numbers, dates and logicals by
// their number. Numbers and logicals may also match after rounding, dates never. The index and
// the scan both count through keys, so that they agree on what equals what.
struct CompareKey {
  enum class Kind { kNumber, kDate, kText };
  Kind kind = Kind::kNumber;
  double number = 0;
  std::string_view text;  // of a text key, pointing into the value the key was made from

  // The key of a candidate or a target: never of an empty or an error value, which are neither.
  static CompareKey Of(const host::Value& value) {
    if (value.is_text()) return {Kind::kText, 0, value.text()};
    if (value.is_date()) return {Kind::kDate, value.number(), {}};
    return {Kind::kNumber, value.number(), {}};
  }
  bool is_text() const { return kind == Kind::kText; }
};

// Equal as the host compares: a text only to the same text, the rest by number.
bool SameValue(const CompareKey& a, const CompareKey& b) {
  if (a.is_text() || b.is_text()) return a.is_text() && b.is_text() && a.text == b.text;
  return a.number == b.number;
}

// Two numbers that are equal when both are rounded to two places.
bool SameRounded(const CompareKey& a, const CompareKey& b) {
  return a.kind == CompareKey::Kind::kNumber && b.kind == CompareKey::Kind::kNumber &&
         host::RoundHalfEven(a.number, 2) == host::RoundHalfEven(b.number, 2);
}

// How often each candidate key occurs in a range, under the options it was built with: numbers
// and dates by value, texts by their characters; with `rounding` numbers also by their value
// rounded to two places.
struct CountIndex {
  state::Bool16 compare_num = state::kFalse;
  state::Bool16 ignore_10digit = state::kFalse;
  bool rounding = false;
  NumberCounts numbers;
  NumberCounts dates;
  std::unordered_map<std::string, std::int64_t> texts;

  void Add(const CompareKey& key) {
    switch (key.kind) {
      case CompareKey::Kind::kNumber:
        numbers.Add(key.number);
        if (rounding) numbers.AddRounded(host::RoundHalfEven(key.number, 2));
        break;
      case CompareKey::Kind::kDate:
        dates.Add(key.number);
        break;
      case CompareKey::Kind::kText:
        ++texts[std::string(key.text)];
        break;
    }
  }

  // The same count as the scan: candidates of the same value, and with rounding the number
  // candidates equal to a number target after rounding.
  std::int64_t Get(const CompareKey& target) const {
    if (target.is_text()) {
      const auto it = texts.find(std::string(target.text));
      return it == texts.end() ? 0 : it->second;
    }
    const std::int64_t same = numbers.Get(target.number);
    std::int64_t n = same + dates.Get(target.number);
    // The rounded counts count the equal numbers again.
    if (rounding && target.kind == CompareKey::Kind::kNumber) {
      n += numbers.GetRounded(host::RoundHalfEven(target.number, 2)) - same;
    }
    return n;
  }
};

// Where a checked cell is read: the pass's snapshot, or the host cell by cell. The host is asked
// only for what the checks need, when they need it. Its IsError and IsText say what the value's
// kind says; a snapshot's value is asked for its kind. A cell read from the snapshot is made a host
// range only when it is marked or noticed.
class CellReading {
 public:
  // The cell at `index` (from 0) of the range the snapshot was read from.
  CellReading(const Snapshot& snapshot, const host::Range& range, std::size_t index)
      : snapshot_(&snapshot), range_(&range), index_(index) {}
  CellReading(host::Application& app, const host::Range& cell) : app_(&app), cell_(&cell) {}

  const host::Range& Cell() const {
    if (cell_ != nullptr) return *cell_;
    if (!made_) made_ = range_->Item(static_cast<std::int64_t>(index_) + 1);
    return *made_;
  }

  bool Hidden() const {
    return snapshot_ != nullptr ? snapshot_->Hidden(index_) : cell_->RowHidden();
  }
  // Reads the value and the displayed text, before value() and text() are used.
  void Read() {
    if (snapshot_ != nullptr) {
      value_ = snapshot_->Value(index_);
      return;
    }
    value_ = cell_->GetValue();
    text_ = cell_->Text();
  }
  const host::Value& value() const { return value_; }
  std::string_view text() const {
    return snapshot_ != nullptr ? snapshot_->Text(index_) : std::string_view(text_);
  }
  bool IsError() const { return snapshot_ != nullptr ? value().is_error() : app_->IsError(*cell_); }
  bool IsText() const { return snapshot_ != nullptr ? value().is_text() : app_->IsText(*cell_); }

 private:
  const Snapshot* snapshot_ = nullptr;
  const host::Range* range_ = nullptr;
  std::size_t index_ = 0;
  host::Application* app_ = nullptr;
  const host::Range* cell_ = nullptr;
  mutable std::optional<host::Range> made_;
  host::Value value_;
  std::string text_;
};

// The texts of the cells that matched so far. The lookup is a search for "|text|" in the texts
// joined as "|a||b|...", so a text holding "|" may also be found across two entries; a table of
// the entries answers the same whenever neither the text nor any entry holds a "|". The table is
// open-addressed; a slot holds a short text itself, as most are, and points into the joined texts
// for a longer one, so that an entry costs no allocation and a short one no second lookup.
class MatchedTexts {
 public:
  // Room for this many more entries without growing the table.
  void Reserve(std::size_t entries) {
    std::size_t capacity = 64;
    while (capacity < (used_ + entries) * 2) capacity *= 2;
    if (capacity > slots_.size()) Rehash(capacity);
  }
  // The first slot a lookup of the text reads, asked for ahead of the lookup.
  void Prefetch(std::string_view text) const {
    if (!slots_.empty()) engine::Prefetch(&slots_[Hash(text) & (slots_.size() - 1)]);
  }
  bool Contains(std::string_view text) const {
    if (!any_bar_ && text.find('|') == std::string_view::npos) {
      return !slots_.empty() && !slots_[SlotOf(text, Hash(text))].free();
    }
    std::string bounded;
    bounded.reserve(text.size() + 2);
    bounded += '|';
    bounded += text;
    bounded += '|';
    return joined_.find(bounded) != std::string::npos;
  }
  void Add(std::string_view text) {
    joined_ += '|';
    const std::size_t offset = joined_.size();
    joined_ += text;
    joined_ += '|';
    any_bar_ = any_bar_ || text.find('|') != std::string_view::npos;
    if ((used_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 64 : slots_.size() * 2);
    const std::uint64_t hash = Hash(text);
    Slot& slot = slots_[SlotOf(text, hash)];
    if (slot.free()) {
      slot = Slot::Of(text, hash, offset);
      ++used_;
    }
  }

 private:
  // A short text's characters and its length in the last byte; for a longer one its offset in
  // joined_, its length and a part of its hash, and kLong in the last byte; kFree for no entry.
  struct Slot {
    static constexpr unsigned char kFree = 0xff;
    static constexpr unsigned char kLong = 0xfe;
    static constexpr std::size_t kShort = 15;  // the longest text a slot holds itself

    std::array<unsigned char, 16> bytes = Free();

    static constexpr std::array<unsigned char, 16> Free() {
      std::array<unsigned char, 16> bytes{};
      bytes[15] = kFree;
      return bytes;
    }
    // The slot a text takes; `offset` is where it stands in joined_.
    static Slot Of(std::string_view text, std::uint64_t hash, std::size_t offset) {
      Slot slot;
      if (text.size() <= kShort) {
        slot.bytes = {};
        std::memcpy(slot.bytes.data(), text.data(), text.size());
        slot.bytes[15] = static_cast<unsigned char>(text.size());
      } else {
        const std::uint64_t at = offset;
        const std::uint32_t length = static_cast<std::uint32_t>(text.size());
        const std::uint16_t tag = static_cast<std::uint16_t>(hash >> 48);
        std::memcpy(slot.bytes.data(), &at, 8);
        std::memcpy(slot.bytes.data() + 8, &length, 4);
        std::memcpy(slot.bytes.data() + 12, &tag, 2);
        slot.bytes[14] = 0;
        slot.bytes[15] = kLong;
      }
      return slot;
    }
    bool free() const { return bytes[15] == kFree; }
    // The same bytes: for short texts, the same text.
    bool Same(const Slot& other) const {
      std::uint64_t a[2];
      std::uint64_t b[2];
      std::memcpy(a, bytes.data(), 16);
      std::memcpy(b, other.bytes.data(), 16);
      return a[0] == b[0] && a[1] == b[1];
    }
    bool is_long() const { return bytes[15] == kLong; }
    std::size_t offset() const {
      std::uint64_t at = 0;
      std::memcpy(&at, bytes.data(), 8);
      return static_cast<std::size_t>(at);
    }
    std::size_t length() const {
      std::uint32_t length = 0;
      std::memcpy(&length, bytes.data() + 8, 4);
      return length;
    }
    std::uint16_t tag() const {
      std::uint16_t tag = 0;
      std::memcpy(&tag, bytes.data() + 12, 2);
      return tag;
    }
  };
  static std::uint64_t Hash(std::string_view text) { return std::hash<std::string_view>{}(text); }
  std::string_view Text(const Slot& slot) const {
    if (!slot.is_long()) {
      return std::string_view(reinterpret_cast<const char*>(slot.bytes.data()), slot.bytes[15]);
    }
    return std::string_view(joined_).substr(slot.offset(), slot.length());
  }
  // The slot that holds the text, or the free slot where it would go.
  std::size_t SlotOf(std::string_view text, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    if (text.size() <= Slot::kShort) {
      const Slot wanted = Slot::Of(text, hash, 0);
      while (!slots_[i].free() && !slots_[i].Same(wanted)) i = (i + 1) & mask;
      return i;
    }
    const auto tag = static_cast<std::uint16_t>(hash >> 48);
    while (!slots_[i].free() &&
           (!slots_[i].is_long() || slots_[i].tag() != tag || Text(slots_[i]) != text)) {
      i = (i + 1) & mask;
    }
    return i;
  }
  void Rehash(std::size_t capacity) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(capacity, Slot{});
    for (const Slot& slot : old) {
      if (slot.free()) continue;
      const std::string_view text = Text(slot);
      slots_[SlotOf(text, Hash(text))] = slot;
    }
  }

  std::string joined_;
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  bool any_bar_ = false;
};

class MatchingRun {
 public:
  MatchingRun(state::Run& run, host::Application& app, state::Algorithm algorithm)
      : run_(run), app_(app), conversions_(app.GetConversions()), algorithm_(algorithm) {}

  void SetUp(const host::Range& range1, const host::Range& range2) {
    round_num_ = run_.options.round_numbers;
    run_.listener.Started();
    start_ = app_.Now();
    run_.notices.clear();
    run_.notice_number = 0;
    run_.notice_cells.clear();
    state::ResetCounters(run_);
    // The clearing reports its own failures; the run goes on whatever it reported.
    ClearBothRanges(run_, range1, range2);
    ignore_sign_ = run_.options.ignore_sign;
    reverse_ = run_.options.reverse_sign;
    animate_ = algorithm_ == state::Algorithm::kStraightforward || app_.HasScreen();
  }

  // The options as the run compares with them: the signs and the rounding taken at its start.
  state::Options Compared() const {
    state::Options options = run_.options;
    options.round_numbers = round_num_;
    options.ignore_sign = ignore_sign_;
    options.reverse_sign = reverse_;
    return options;
  }

  // Pass 1 walks Range 1 against Range 2 with tag "A", pass 2 the other way round with tag "B".
  void Pass(int k, const host::Range& this_given, const host::Range& other_given) {
    const host::Range this_range = analysis::ResolveRange(app_, this_given);
    const host::Range other_range = analysis::ResolveRange(app_, other_given);
    marks::RemoveCommentShapes(this_range, k == 1 ? "A" : "B");
    const std::int64_t count = this_range.CellsCount();

    pass_ = PassData();
    pass_.this_range = this_range;
    pass_.other_range = other_range;
    // The index needs single blocks, in which the i-th cell and the scan order agree; ranges of
    // several areas take the straightforward way.
    pass_.indexed = algorithm_ == state::Algorithm::kIndexed && this_range.AreaCount() == 1 &&
                    other_range.AreaCount() == 1;
    if (pass_.indexed) {
      pass_.here = &SnapshotOf(this_range);
      pass_.there = &SnapshotOf(other_range);
    }

    if (k == 1) matched_.Reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 1; i <= count; ++i) {
      if (pass_.indexed) {
        PrefetchFor(k, static_cast<std::size_t>(i - 1) + kLookAhead);
        CheckCell(k, CellReading(*pass_.here, this_range, static_cast<std::size_t>(i - 1)));
      } else {
        const host::Range cell = this_range.Item(i);
        CheckCell(k, CellReading(app_, cell));
      }
      if (pass_.indexed && i % kYieldEvery == 0) {
        app_.DoEvents();
        run_.listener.CountsDue();
        if (run_.listener.StopRequested()) throw StopRequested{};
      }
    }
  }

 private:
  struct PassData {
    host::Range this_range;
    host::Range other_range;
    bool indexed = false;
    const Snapshot* here = nullptr;
    const Snapshot* there = nullptr;
    // Indexes of this range and of the other range, each with its sign; taken on first use.
    const CountIndex* index_here = nullptr;
    const CountIndex* index_there = nullptr;
  };

  // Asks for the slots the check of the snapshot's cell at `index` will most likely read: its text
  // in the matched texts and, for a number, the number in both indexes.
  void PrefetchFor(int k, std::size_t index) const {
    const Snapshot& here = *pass_.here;
    if (index >= here.size()) return;
    matched_.Prefetch(here.Text(index));
    if (!here.IsNumber(index)) return;
    double number = here.Number(index);
    if (ignore_sign_ != state::kFalse) number = std::fabs(number);
    if (reverse_ != state::kFalse && k == 1) number = -number;
    if (pass_.index_here != nullptr) pass_.index_here->numbers.Prefetch(number);
    if (pass_.index_there != nullptr) pass_.index_there->numbers.Prefetch(number);
  }

  // A range's snapshot, read once per run: the marking changes fills and comments, never what a
  // snapshot holds, so the second pass reads both ranges as the first one left them.
  const Snapshot& SnapshotOf(const host::Range& range) {
    const host::Worksheet* sheet = &range.Parent();
    for (const StoredSnapshot& stored : snapshots_) {
      if (stored.sheet == sheet && stored.area == range.FirstArea()) return stored.snapshot;
    }
    snapshots_.push_back({sheet, range.FirstArea(), Snapshot::Read(range)});
    return snapshots_.back().snapshot;
  }

  // The index of a snapshot with a sign under the current options, built once per run and kept
  // while the options it depends on stay as they are.
  const CountIndex& IndexOf(const Snapshot& snapshot, int sign) {
    const state::Options& options = run_.options;
    for (const StoredIndex& stored : indexes_) {
      if (stored.snapshot == &snapshot && stored.sign == sign &&
          stored.index.compare_num == options.numbers_only &&
          stored.index.ignore_10digit == options.ignore_10_digit) {
        return stored.index;
      }
    }
    indexes_.push_back({&snapshot, sign, BuildIndex(snapshot, sign)});
    return indexes_.back().index;
  }

  struct StoredSnapshot {
    const host::Worksheet* sheet;
    host::Area area;
    Snapshot snapshot;
  };
  struct StoredIndex {
    const Snapshot* snapshot;
    int sign;
    CountIndex index;
  };

  void AddNotice(const host::Range& cell, state::NoticeKind kind, const char* what) {
    if (run_.notice_number >= run_.limits.max_count) {
      throw host::HostError(host::kOverflow);
    }
    ++run_.notice_number;
    if (!run_.notices.empty()) run_.notices += "\n";
    const std::string line = std::to_string(run_.notice_number) + ") " + cell.Address(true) + what;
    run_.notices += line;
    run_.notice_cells.push_back(cell);
    run_.listener.Noticed(cell, kind, line);
  }

  // Adds one to a counter of cells and has it shown at once.
  void Count(state::Counter counter) {
    state::IncrementCounter(run_, counter);
    run_.listener.CellCounted(counter);
  }

  void CheckCell(int k, CellReading reading) {
    const bool first = k == 1;
    const bool hidden = reading.Hidden();
    Count(hidden ? (first ? state::Counter::kHidden1 : state::Counter::kHidden2)
                 : (first ? state::Counter::kCount1 : state::Counter::kCount2));
    reading.Read();
    const std::optional<host::Value> target = Target(first, reading, hidden);
    if (!target) return;

    // A row of "#" is what the host shows for a number or date too wide for its column: it tells
    // nothing of the value, so such a cell is always counted and its text is never kept.
    const std::string_view text = reading.text();
    const bool hashes = !text.empty() && text.find_first_not_of('#') == std::string::npos;
    std::int64_t count_here = 0;
    std::int64_t count_there = 0;
    if (hashes || !matched_.Contains(text)) {
      const CompareKey key = CompareKey::Of(*target);
      // Range 1's candidates are sign-reversed under Reverse Sign, in either pass.
      count_here = Count(/*here=*/true, key, reverse_ != state::kFalse && first ? -1 : 1);
      count_there = Count(/*here=*/false, key, reverse_ != state::kFalse && !first ? -1 : 1);
    }

    if (count_here == count_there) {
      state::IncrementCounter(run_, first ? state::Counter::kMatch1 : state::Counter::kMatch2);
      if (!hashes) matched_.Add(text);
    } else {
      Count(first ? state::Counter::kMismatch1 : state::Counter::kMismatch2);
      const host::Range& cell = reading.Cell();
      const marks::Marked marked =
          marks::MarkMismatch(app_, cell, first ? "A" : "B", count_here, count_there,
                              run_.options.hide_comments == state::kFalse);
      run_.listener.Marked(first ? 1 : 2, cell, conversions_.ToText(reading.value()),
                           std::string(text), count_here, count_there);
      if (marked == marks::Marked::kByBoxOnly) {
        AddNotice(cell, state::NoticeKind::kThreadedComment,
                  " has a threaded comment: it is marked by its box only");
      }
    }
  }

  // The value a checked cell is counted as, with the notices its checks raise; no value for a cell
  // that is left out. A numeric text is counted as its number and a text that reads as a date as
  // that date, so a text target never reads as a number.
  std::optional<host::Value> Target(bool first, const CellReading& reading, bool hidden) {
    const host::Value& value = reading.value();
    const state::Options& options = run_.options;
    host::Value target = value;
    bool included = true;

    // The exclusion tests, in order: the first that applies decides.
    const bool numeric = conversions_.IsNumeric(value);
    if (numeric && conversions_.ToNumber(value) == 0 && options.ignore_zero != state::kFalse) {
      included = false;
    } else if (!numeric && options.numbers_only != state::kFalse) {
      included = false;
    } else if (reading.IsError()) {
      included = false;
      AddNotice(reading.Cell(), state::NoticeKind::kError, " is ERROR");
    } else if (reading.text().empty() || value.is_empty()) {
      included = false;
    } else if (hidden) {
      included = false;
    } else if (reading.IsText()) {
      if (const std::optional<double> number = conversions_.ReadNumber(value.text())) {
        target = host::Value::Number(*number);
        AddNotice(reading.Cell(), state::NoticeKind::kTextNumber,
                  " is text but probably should be number.");
      } else if (const std::optional<double> date = conversions_.ReadDate(value.text())) {
        target = host::Value::Date(*date);
        AddNotice(reading.Cell(), state::NoticeKind::kTextDate,
                  " is text but probably should be date.");
      }
    }

    if (conversions_.IsNumeric(target) && ignore_sign_ != state::kFalse) {
      target = host::Value::Number(std::fabs(conversions_.ToNumber(target)));
    }
    if (conversions_.IsNumeric(target) && reverse_ != state::kFalse && first) {
      target = host::Value::Number(-conversions_.ToNumber(target));
    }
    if (included && options.ignore_10_digit != state::kFalse && conversions_.IsNumeric(target) &&
        IsTenDigits(target, conversions_)) {
      included = false;
    }
    if (!included) return std::nullopt;
    return target;
  }

  std::int64_t Count(bool here, const CompareKey& target, int sign) {
    const host::Range& range = here ? pass_.this_range : pass_.other_range;
    if (!pass_.indexed) return CountInRange(range, target, sign);
    if (run_.listener.StopRequested()) throw StopRequested{};
    // On a screen the first five seconds scan and flash the candidates one by one.
    if (animate_) {
      if (app_.Now() - start_ <= kSlowTimeDays) return CountInRange(range, target, sign);
      animate_ = false;
    }
    const CountIndex*& index = here ? pass_.index_here : pass_.index_there;
    const state::Options& options = run_.options;
    if (index == nullptr || index->compare_num != options.numbers_only ||
        index->ignore_10digit != options.ignore_10_digit) {
      index = &IndexOf(here ? *pass_.here : *pass_.there, sign);
    }
    return index->Get(target);
  }

  // The candidate's value as the count compares it: numbers (a numeric text read as one, a
  // logical as its number) with the sign options applied, dates (a text read as one) by serial,
  // other texts as they are. No value for a cell that is no candidate.
  std::optional<host::Value> Candidate(const host::Value& stored, std::string_view text,
                                       bool hidden, int sign) const {
    const state::Options& options = run_.options;
    if (hidden || text.empty() || stored.is_empty() || stored.is_error()) return std::nullopt;
    const bool numeric = conversions_.IsNumeric(stored);
    if (!numeric && options.numbers_only != state::kFalse) return std::nullopt;
    if (options.ignore_10_digit != state::kFalse && numeric && IsTenDigits(stored, conversions_))
      return std::nullopt;
    if (numeric) return host::Value::Number(Signed(conversions_.ToNumber(stored), sign));
    if (const std::optional<double> date = conversions_.ToDateSerial(stored)) {
      return host::Value::Date(*date);
    }
    return stored;
  }

  double Signed(double number, int sign) const {
    if (ignore_sign_ != state::kFalse) number = std::fabs(number);
    return number * sign;
  }

  CountIndex BuildIndex(const Snapshot& snapshot, int sign) const {
    CountIndex index;
    index.compare_num = run_.options.numbers_only;
    index.ignore_10digit = run_.options.ignore_10_digit;
    index.rounding = round_num_ != state::kFalse;
    index.numbers.Reserve(snapshot.size());
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
      if (i + kLookAhead < snapshot.size()) {
        const std::size_t ahead = i + kLookAhead;
        if (snapshot.IsNumber(ahead)) index.numbers.Prefetch(Signed(snapshot.Number(ahead), sign));
      }
      const std::optional<host::Value> value =
          Candidate(snapshot.Value(i), snapshot.Text(i), snapshot.Hidden(i), sign);
      if (value) index.Add(CompareKey::Of(*value));
    }
    return index;
  }

  // Puts a flashed candidate's fill back as well as the host lets it; raises nothing.
  static void RestoreFill(const host::Range& candidate, double color, double pattern) {
    try {
      candidate.SetInteriorColor(host::Value::Number(color));
      candidate.SetInteriorPattern(host::Value::Number(pattern));
    } catch (const host::HostError&) {
    }
  }

  // The number of cells of the range equal to the target, visiting every cell of every area
  // through the host.
  std::int64_t CountInRange(const host::Range& range, const CompareKey& target, int sign) {
    std::int64_t n = 0;
    std::int64_t included = 0;
    bool slowtime = true;
    range.ForEachCell([&](const host::Range& candidate) {
      if (run_.listener.StopRequested()) throw StopRequested{};
      if (candidate.RowHidden()) return;
      const std::string text = candidate.Text();
      if (text.empty()) return;
      const std::optional<host::Value> candidate_value =
          Candidate(candidate.GetValue(), text, /*hidden=*/false, sign);
      if (!candidate_value) return;

      ++included;
      const CompareKey value = CompareKey::Of(*candidate_value);

      if (slowtime && app_.Now() - start_ > kSlowTimeDays) slowtime = false;
      bool match_now = false;
      if (slowtime) {
        // Flash the candidate, let the host redraw, then put its fill back: colour, then pattern.
        const double color = candidate.InteriorColor();
        const double pattern = candidate.InteriorPattern();
        try {
          candidate.SetInteriorColor(host::Value::Number(kAnimationColor));
          if (SameValue(value, target)) {
            match_now = true;
            candidate.SetInteriorColor(host::Value::Number(kAnimationMatch));
          }
          app_.DoEvents();
          candidate.SetInteriorColor(host::Value::Number(color));
          candidate.SetInteriorPattern(host::Value::Number(pattern));
        } catch (...) {
          // The flash is no mark and has no memo: the fill goes back before the error goes on.
          RestoreFill(candidate, color, pattern);
          throw;
        }
      } else {
        match_now = SameValue(value, target);
      }

      if (match_now || (round_num_ != state::kFalse && SameRounded(value, target))) ++n;
      if (included % kYieldEvery == 0 && !slowtime) app_.DoEvents();
    });
    run_.listener.CountsDue();
    return n;
  }

  state::Run& run_;
  host::Application& app_;
  const host::Conversions& conversions_;
  const state::Algorithm algorithm_;
  state::Bool16 round_num_ = state::kFalse;
  state::Bool16 ignore_sign_ = state::kFalse;
  state::Bool16 reverse_ = state::kFalse;
  double start_ = 0;
  bool animate_ = true;
  MatchedTexts matched_;
  std::deque<StoredSnapshot> snapshots_;
  std::deque<StoredIndex> indexes_;
  PassData pass_;
};

}  // namespace

bool RunMatchingPass(state::Run& run, const host::Range& range1, const host::Range& range2,
                     state::Algorithm algorithm) {
  host::Application& app = run.app();
  state::Options compared;
  {
    // The snapshots and indexes go before the diagnosis reads the marked cells.
    MatchingRun matching(run, app, algorithm);
    matching.SetUp(range1, range2);
    try {
      matching.Pass(1, range1, range2);
      matching.Pass(2, range2, range1);
    } catch (const StopRequested&) {
      app.MsgBox("User Stopped");
      run.listener.CountsDue();
      return false;
    }
    compared = matching.Compared();
  }
  analysis::DiagnoseMismatches(run, range1, range2, algorithm, &compared);
  return true;
}

}  // namespace quorvane::engine
