// The add-in's shared state: one object per loaded library.
//
// Everything that the pieces of the add-in share lives here: the host application, the two ranges
// and their address texts, the twelve result counters, the option flags and the stop request,
// plus the ribbon's invalidation. The add-in's connection object owns one AddinState; tests make
// their own. Below it the vocabulary of a run of the core (options, counters, limits, the
// listener and the run itself), which the state's fields are made of.
//
// All of it is used on the host's user-interface thread only; nothing is locked. Booleans shared
// with the host are 16-bit: false is 0, true is -1.
//
// The state is a layer of its own, below the analysis and the engine that both use it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/application.h"
#include "host/range.h"

namespace quorvane::state {

using Bool16 = std::int16_t;
inline constexpr Bool16 kTrue = -1;
inline constexpr Bool16 kFalse = 0;

// How a comparison run finds the counts of a value and the pairs of the diagnosis. Both ways give
// the same results on every input.
enum class Algorithm {
  // Each range is read once; values are counted through an index of normalised keys and the
  // diagnosis finds its pairs through indexes of signatures and dates, so a run asks the host a
  // bounded number of things per cell. On a host with a screen the first five seconds of a run
  // still scan and flash the candidates one by one.
  kIndexed,
  // Every checked cell scans both ranges, and every marked cell of Range 1 all of Range 2, cell by
  // cell through the host: quadratic in the size of the lists. Kept as the reference that the
  // indexed way is tested against.
  kStraightforward,
};

// The comparison options: the seven of the comparison itself and the diagnosis's one.
struct Options {
  Bool16 round_numbers = kFalse;
  Bool16 numbers_only = kFalse;
  Bool16 ignore_sign = kFalse;
  Bool16 reverse_sign = kFalse;
  Bool16 ignore_10_digit = kFalse;
  Bool16 ignore_zero = kFalse;
  Bool16 hide_comments = kFalse;
  // After the diagnosis's pairs, the marked numbers are searched for sign errors, decimal slides,
  // transpositions in the amount and totals split or merged. Off, a run writes what it wrote
  // before that search existed.
  Bool16 explain_more = kTrue;
};

// The twelve result counters, in the order in which the results form's labels are reset.
enum class Counter : int {
  kCount1,
  kCount2,
  kMatch1,
  kMatch2,
  kMismatch1,
  kMismatch2,
  kTranspose1,
  kTranspose2,
  kYear1,
  kYear2,
  kHidden1,
  kHidden2,
};
inline constexpr int kCounterCount = 12;

// The counters are held wide enough for the command-line tool's longer lists; the add-in's own
// limit is that of its 16-bit counters, kept by Limits.
struct Counters {
  std::int32_t count1 = 0, count2 = 0;
  std::int32_t match1 = 0, match2 = 0;
  std::int32_t mismatch1 = 0, mismatch2 = 0;
  std::int32_t transpose1 = 0, transpose2 = 0;
  std::int32_t year1 = 0, year2 = 0;
  std::int32_t hidden1 = 0, hidden2 = 0;

  std::int32_t& operator[](Counter counter);
  std::int32_t operator[](Counter counter) const;
};

// How much a comparison run takes on. The add-in's limits are the defaults: 10000 items a list,
// and counters (the twelve, and the notices' running number) that hold what a 16-bit counter
// holds. The command-line tool raises both for longer lists.
struct Limits {
  std::int64_t max_items = 10000;
  std::int32_t max_count = 32767;
  // Whether a comparison counts the items of both lists against max_items before it starts (the
  // public operation RangeSetup runs the matching pass without that count).
  bool count_items = true;
};

// What the engine needs of the host's ribbon control: its id, read afresh at every use.
class RibbonControl {
 public:
  virtual ~RibbonControl() = default;
  virtual std::string Id() = 0;
};

// The ribbon's invalidation, as the add-in's connection object offers it.
class RibbonRefresh {
 public:
  virtual ~RibbonRefresh() = default;
  virtual void RefreshControl(const std::string& control_id) = 0;
  virtual void RefreshCounts() = 0;
};

// What a comparison run decided, cell by cell, for a caller that keeps its own record of the run
// (the command-line tool's mismatch report).
enum class NoticeKind { kError, kTextNumber, kTextDate, kThreadedComment };
enum class Finding { kRounding, kTransposition, kYear };
// What the search that explains more of the mismatches found: a sign error, a decimal slide, a
// transposition in the amount, a total of Range 1 split into entries of Range 2, or one of Range 2
// merged from entries of Range 1.
enum class ExplainedKind { kSign, kSlide, kTransposition, kSplit, kMerge };

// What a comparison or a clearing tells its caller while it runs. The run calls these on the
// host's user-interface thread at fixed moments of its work, between its host calls; a listener
// shows what it is told (the ribbon's labels, the results form's captions, a terminal's progress
// line) and keeps its own copy of what it needs. Each is told after the host has taken the change.
// Every member does nothing by default.
class RunListener {
 public:
  virtual ~RunListener() = default;

  // Where the run keeps its counters: its own, or counters the listener shares with others who may
  // read and change them while the run yields (the add-in's, which the ribbon's labels read and
  // the results form's first load resets to zero).
  virtual Counters* SharedCounters() { return nullptr; }

  // The matching pass begins: a stop asked for before now is forgotten.
  virtual void Started() {}
  // Polled once per candidate cell and at every yield: true ends the run with "User Stopped".
  virtual bool StopRequested() { return false; }

  // A counter took a new value: counted up, or reset to 0.
  virtual void CounterChanged(Counter counter, std::int32_t value) {
    (void)counter;
    (void)value;
  }
  // A cell was counted as shown, hidden or mismatched (after CounterChanged): a moment to show
  // that counter at once.
  virtual void CellCounted(Counter counter) { (void)counter; }
  // A moment to show every count: after a scan of a range, every 100th cell, a stop, and the reset
  // of a clearing the user asked for.
  virtual void CountsDue() {}

  // A notice about a cell, with its line as the run words it ("3) [Book1.xlsx]Sheet1!$A$3 is
  // ERROR").
  virtual void Noticed(const host::Range& cell, NoticeKind kind, const std::string& line) {
    (void)cell;
    (void)kind;
    (void)line;
  }
  // A cell of Range `range` (1 or 2) was marked: its value as the comment shows it, its displayed
  // text, and how often the value occurs in its own range and in the other.
  virtual void Marked(int range, const host::Range& cell, const std::string& value,
                      const std::string& text, std::int64_t count_here, std::int64_t count_there) {
    (void)range;
    (void)cell;
    (void)value;
    (void)text;
    (void)count_here;
    (void)count_there;
  }
  // The diagnosis paired a marked cell of Range 1 with one of Range 2.
  virtual void Diagnosed(Finding finding, const host::Range& cell1, const host::Range& cell2) {
    (void)finding;
    (void)cell1;
    (void)cell2;
  }
  // The search that explains more of the mismatches found the cells of Range 1 and of Range 2 of
  // one finding (each in the order of the range), with the body of the block it wrote on them.
  virtual void Explained(ExplainedKind kind, const std::vector<host::Range>& cells1,
                         const std::vector<host::Range>& cells2, const std::string& message) {
    (void)kind;
    (void)cells1;
    (void)cells2;
    (void)message;
  }
};

// One comparison or clearing as the core runs it: the host, the options (read at each use: the
// ribbon's boxes may change them while the run yields), the limits, the listener it tells, and
// the counters and notices it keeps.
struct Run {
  Run(host::Application& application, const Options& options, const Limits& limits,
      RunListener& listener)
      : application(application),
        options(options),
        limits(limits),
        listener(listener),
        counters(listener.SharedCounters() != nullptr ? *listener.SharedCounters() : own_counters) {
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  host::Application& app() const { return application; }

  host::Application& application;
  const Options& options;
  const Limits limits;
  RunListener& listener;

  Counters own_counters;
  Counters& counters;
  // The notices of the run, one per line, the running number of the last one, and the cell of
  // each line.
  std::string notices;
  std::int32_t notice_number = 0;
  std::vector<host::Range> notice_cells;
};

struct AddinState {
  host::Application* application = nullptr;

  // The two ranges and their external address texts.
  host::Range range1, range2;
  std::string range1_text, range2_text;

  // The counters: the ribbon's runs count in them (RunListener::SharedCounters), its labels read
  // them, and the results form's first load resets them.
  Counters counters;
  Options options;
  Bool16 stop_requested = kFalse;

  // The notices of the last comparison run ("1) [Book1.xlsx]Sheet1!$A$3 is ERROR", ...), one per
  // line, and the cell of each line, in the same order.
  std::string notices;
  std::vector<host::Range> notice_cells;

  Limits limits;

  // The ribbon's invalidation; when absent nothing is shown.
  RibbonRefresh* ribbon = nullptr;

  host::Application& app() const;  // application, or a HostError when no application is held
};

// One line of the notices of the last comparison run and the cell it is about (nothing when the
// state holds no cell for the line).
struct NoticeLine {
  std::string text;
  host::Range cell;
};
// The notices of the last run, line by line, each with its cell; none when the run gathered none.
std::vector<NoticeLine> NoticeLines(const AddinState& state);

// Forgets the notices of the last run.
void ClearNotices(AddinState& state);

// The notices of a run, line by line, each with its cell.
std::vector<NoticeLine> NoticeLines(const Run& run);

// Sets a counter, then tells the listener.
void SetCounter(Run& run, Counter counter, std::int32_t value);
// Adds 1 to a counter (a HostError "Overflow" past limits.max_count, 32767 in the add-in), then
// tells the listener.
void IncrementCounter(Run& run, Counter counter);
// Adds 1 to a counter that stops at limits.max_count instead, then tells the listener. For the
// counters of the diagnosis, which count pairs: their number grows with the square of the lists.
void IncrementCounterUpToLimit(Run& run, Counter counter);
// Sets the twelve counters to 0, telling the listener of each in the counters' order.
void ResetCounters(Run& run);
// The ribbon's invalidation of one control or of the twelve labels; nothing without a ribbon.
void RefreshControl(AddinState& state, const std::string& control_id);
void RefreshCounts(AddinState& state);

}  // namespace quorvane::state
