#include "cli/commands.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <iomanip>
#include <limits>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "cli/csv_book.h"
#include "cli/icu_locale.h"
#include "cli/report.h"
#include "engine/clearing.h"
#include "engine/options.h"
#include "engine/run_driver.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/reference.h"
#include "host/worksheet.h"
#include "memhost/host.h"
#include "ribbon/callbacks.h"
#include "ribbon/progress.h"
#include "xlsx/durable_save.h"
#include "xlsx/error.h"
#include "xlsx/workbook_file.h"

namespace quorvane::cli {

namespace fs = std::filesystem;

namespace {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

host::LocaleConversions ConversionsFor(const std::string& locale) {
  // The default needs no locale data: the host's own format is en-US.
  if (locale == "en-US") return host::LocaleConversions();
  std::optional<host::LocaleFormat> format = IcuLocaleFormat(locale);
  if (!format) throw UsageError("unknown locale " + locale + " (a language tag such as de-DE)");
  return host::LocaleConversions(std::move(*format));
}

// The workbooks of one command, loaded into one in-memory host.
class Session {
 public:
  Session(const RunRequest& request, Console& console)
      : request_(request), console_(console), conversions_(ConversionsFor(request.locale)) {
    host_.SetConversions(conversions_);
    host_.SetMessageHook([this](const std::string& text) {
      ClearProgress();
      console_.err << "quorvane: " << text << "\n";
    });
  }

  memhost::MemHost& host() { return host_; }

  // Loads the workbooks the RANGE arguments name, each with only the sheets they name: the other
  // sheets of a workbook, however large, are neither read nor changed.
  void Load(const std::vector<std::string>& texts) {
    std::map<fs::path, std::set<std::string>> wanted;  // "" stands for the first sheet
    for (const std::string& text : texts) {
      const std::optional<host::Reference> reference = host::ParseReference(text);
      if (!reference) continue;  // reported by Range
      wanted[PathOf(*reference)].insert(reference->sheet.value_or(""));
    }
    for (const auto& entry : wanted) {
      const std::set<std::string>& names = entry.second;
      Open(entry.first, [&names](const std::string& name, std::size_t position) {
        return names.count(name) != 0 || (position == 0 && names.count("") != 0);
      });
    }
  }

  // The range a RANGE argument names; BOOK's first sheet when it names no sheet.
  host::Range Range(const std::string& text, const char* what) {
    const std::optional<host::Reference> reference = host::ParseReference(text);
    if (!reference) {
      throw UsageError(std::string(what) + " '" + text +
                       "' is not a range such as Sheet1!A2:A40 or 'My Sheet'!A:A");
    }
    const fs::path path = PathOf(*reference);
    memhost::MemWorkbook& book = Open(path);
    memhost::MemWorksheet* sheet =
        reference->sheet ? book.FindSheet(*reference->sheet) : book.sheets().front();
    if (!sheet) {
      throw UsageError(path.string() + ": has no sheet named '" + *reference->sheet +
                       "' (named in " + what + ")");
    }
    return host::Range(sheet, reference->areas);
  }

  // Checks both ranges' syntax before any file is opened.
  static void CheckSyntax(const std::string& text, const char* what) {
    if (!host::ParseReference(text)) {
      throw UsageError(std::string(what) + " '" + text +
                       "' is not a range such as Sheet1!A2:A40 or 'My Sheet'!A:A");
    }
  }

  // At every yield of the run: Ctrl-C asks the run to stop, and a long run shows its counts.
  void Yield(const state::Counters& c) {
    if (console_.stop_requested()) interrupted_ = true;
    if (!console_.progress) return;
    // A run that ends within a second shows nothing; a longer one its counts every 200 ms.
    const auto now = std::chrono::steady_clock::now();
    if (!first_yield_) first_yield_ = now;
    if (now - *first_yield_ < std::chrono::seconds(1)) return;
    if (now - last_progress_ < std::chrono::milliseconds(200)) return;
    last_progress_ = now;
    console_.err << "\rComparing... Range 1: " << c.count1 << " cells, " << c.mismatch1
                 << " mismatches; Range 2: " << c.count2 << " cells, " << c.mismatch2
                 << " mismatches " << std::flush;
    progress_shown_ = true;
  }

  void ClearProgress() {
    if (progress_shown_) console_.err << "\r\033[K" << std::flush;
    progress_shown_ = false;
  }

  bool interrupted() const { return interrupted_; }

  // Saves every workbook of the session, and the `others` with them, all or nothing (a workbook
  // that cannot be made stops the save before any target is touched); returns the workbooks'
  // paths. Each workbook goes to its temporary file as soon as it is made, so that one is held
  // in memory at a time.
  std::vector<std::string> Save(const std::vector<xlsx::FileReplacement>& others) {
    xlsx::StagedReplacement replacement;
    std::vector<std::string> outputs;
    for (const Book& book : books_) {
      fs::path target = request_.in_place ? book.path : DefaultOutput(book.path);
      if (book.path == request_.book && request_.output) target = *request_.output;
      outputs.push_back(target.string());
      replacement.Add({std::move(target), book.file.Serialize(book.book->data())});
    }
    for (const xlsx::FileReplacement& other : others) replacement.Add(other);
    replacement.Replace();
    return outputs;
  }

 private:
  struct Book {
    fs::path path;
    xlsx::WorkbookFile file;
    memhost::MemWorkbook* book;
  };

  fs::path PathOf(const host::Reference& reference) const {
    if (reference.workbook && *reference.workbook != request_.book.filename().string()) {
      return request_.book.parent_path() / *reference.workbook;
    }
    return request_.book;
  }

  memhost::MemWorkbook& Open(const fs::path& path,
                             const xlsx::WorkbookFile::SheetFilter& wanted = {}) {
    for (Book& book : books_) {
      if (book.path == path) return *book.book;
    }
    if (IsCsvPath(path)) {
      // The marks need a workbook: the CSV file's result is a new one, the CSV file stays as it is.
      if (request_.in_place) {
        throw UsageError("--in-place cannot replace " + path.string() +
                         ": a CSV file holds no marks; its result is written as " +
                         DefaultOutput(path).string() + " (or to -o)");
      }
      CsvBook csv = LoadCsvBook(path, conversions_);
      memhost::MemWorkbook& book = host_.AddWorkbook(std::move(csv.data));
      books_.push_back({path, std::move(csv.file), &book});
      return book;
    }
    xlsx::WorkbookFile file = xlsx::WorkbookFile::Load(path, wanted);
    memhost::MemWorkbook& book = host_.AddWorkbook(file.TakeData());
    books_.push_back({path, std::move(file), &book});
    return book;
  }

  const RunRequest& request_;
  Console& console_;
  const host::LocaleConversions conversions_;
  memhost::MemHost host_;
  std::deque<Book> books_;
  bool interrupted_ = false;
  bool progress_shown_ = false;
  std::optional<std::chrono::steady_clock::time_point> first_yield_;
  std::chrono::steady_clock::time_point last_progress_{};
};

// A finding of the search that explains more, as the summary prints it.
struct ExplainedLine {
  state::ExplainedKind kind;
  std::vector<std::string> cells1, cells2;  // external addresses
  std::string message;                      // the body of the finding's block
};

// What a run ended with, as the summary prints it.
struct Summary {
  const state::Counters& counters;
  const std::string& notices;  // one per line
  std::string range1, range2;  // external addresses
  const std::vector<ExplainedLine>& explained;
  bool explain_more;  // whether the run searched for them
};

constexpr state::ExplainedKind kExplainedKinds[] = {
    state::ExplainedKind::kSign, state::ExplainedKind::kSlide, state::ExplainedKind::kTransposition,
    state::ExplainedKind::kSplit, state::ExplainedKind::kMerge};

std::int64_t CountOf(const std::vector<ExplainedLine>& lines, state::ExplainedKind kind) {
  return std::count_if(lines.begin(), lines.end(),
                       [kind](const ExplainedLine& line) { return line.kind == kind; });
}

void PrintReport(const Summary& summary, const RunRecord& record,
                 const std::vector<std::string>& outputs, const RunRequest& request,
                 std::ostream& out) {
  const state::Counters& c = summary.counters;
  const std::vector<std::string> notices = Lines(summary.notices);
  if (request.json) {
    auto side = [](int count, int match, int mismatch, int transpose, int year, int hidden) {
      return nlohmann::ordered_json{{"count", count},       {"match", match},
                                    {"mismatch", mismatch}, {"transpose", transpose},
                                    {"year", year},         {"hidden", hidden}};
    };
    nlohmann::ordered_json json;
    json["range1"] = side(c.count1, c.match1, c.mismatch1, c.transpose1, c.year1, c.hidden1);
    json["range2"] = side(c.count2, c.match2, c.mismatch2, c.transpose2, c.year2, c.hidden2);
    json["notices"] = notices;
    json["outputs"] = outputs;
    json["mismatches"] = MismatchesJson(record);
    json["notice_cells"] = NoticesJson(record.notices());
    if (summary.explain_more) {
      nlohmann::ordered_json explained;
      for (const state::ExplainedKind kind : kExplainedKinds) {
        explained[ExplainedKindName(kind)] = CountOf(summary.explained, kind);
      }
      nlohmann::ordered_json findings = nlohmann::ordered_json::array();
      for (const ExplainedLine& line : summary.explained) {
        findings.push_back({{"kind", ExplainedKindName(line.kind)},
                            {"range1", line.cells1},
                            {"range2", line.cells2},
                            {"message", line.message}});
      }
      explained["findings"] = findings;
      json["explained"] = explained;
    }
    out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return;
  }
  if (request.report == "-") {
    WriteCsv(out, record);
    return;
  }
  out << "Range 1: " << summary.range1 << "\nRange 2: " << summary.range2 << "\n\n";
  out << std::left << std::setw(24) << "" << std::right << std::setw(9) << "Range 1"
      << std::setw(10) << "Range 2"
      << "\n";
  auto row = [&](const char* label, int a, int b) {
    out << std::left << std::setw(24) << label << std::right << std::setw(9) << a << std::setw(10)
        << b << "\n";
  };
  row("Count", c.count1, c.count2);
  row("Match", c.match1, c.match2);
  row("Mismatch", c.mismatch1, c.mismatch2);
  row("Possible transpositions", c.transpose1, c.transpose2);
  row("Possible year errors", c.year1, c.year2);
  row("Hidden cells", c.hidden1, c.hidden2);
  if (summary.explain_more) {
    out << "\nExplained more (findings):\n";
    const char* const labels[] = {"Sign errors", "Decimal slides", "Transposed amounts", "Splits",
                                  "Merges"};
    for (std::size_t i = 0; i < std::size(kExplainedKinds); ++i) {
      out << std::left << std::setw(24) << labels[i] << std::right << std::setw(9)
          << CountOf(summary.explained, kExplainedKinds[i]) << "\n";
    }
    for (const ExplainedLine& line : summary.explained) {
      out << "  " << (line.cells1.empty() ? "" : line.cells1.front()) << ": " << line.message
          << "\n";
    }
  }
  if (!notices.empty()) {
    out << "\nNotices:\n";
    for (const std::string& line : notices) out << "  " << line << "\n";
  }
  for (const std::string& path : outputs) out << "\nWritten: " << path << "\n";
}

// The mismatch report's file: made in memory once the run is over and written with the workbooks,
// all together or not at all.
class ReportFile {
 public:
  static std::optional<ReportFile> For(const RunRequest& request) {
    if (!request.report) return std::nullopt;
    if (*request.report == "-") {
      if (request.json) throw UsageError("--report - and --json both write to the standard output");
      return std::nullopt;  // printed in place of the table
    }
    const fs::path path = *request.report;
    const std::string ending = LowerEnding(path);
    if (ending != ".csv" && ending != ".json") {
      throw UsageError("--report '" + *request.report + "' must end in .csv or .json, or be -");
    }
    return ReportFile(path, ending == ".json");
  }

  xlsx::FileReplacement Replacement(const RunRecord& record) const {
    std::ostringstream out;
    if (json_) {
      out << MismatchesJson(record).dump(2, ' ', false,
                                         nlohmann::ordered_json::error_handler_t::replace)
          << "\n";
    } else {
      WriteCsv(out, record);
    }
    return {path_, std::move(out).str(), "cannot write the report"};
  }

 private:
  ReportFile(fs::path path, bool json) : path_(std::move(path)), json_(json) {}

  fs::path path_;
  bool json_ = false;
};

enum class Kind { kCompare, kClear };

void CheckMaxItems(std::int64_t max_items) {
  if (max_items < 1 || max_items > kMaxItemsLimit) {
    throw UsageError("--max-items " + std::to_string(max_items) +
                     " is out of range: a list may hold 1 to " + std::to_string(kMaxItemsLimit) +
                     " items");
  }
}

// The add-in's limits, or with more items than the add-in takes, counters as wide as they go.
state::Limits LimitsFor(std::int64_t max_items) {
  state::Limits limits;
  limits.max_items = max_items;
  if (max_items > engine::kMaxItems) limits.max_count = std::numeric_limits<std::int32_t>::max();
  return limits;
}

// What the tool hears of a run: the counters (for the progress line and the summary of a run that
// failed), the notices, and the record of the run for the report; Ctrl-C is its stop request.
class CommandLineProgress : public state::RunListener {
 public:
  CommandLineProgress(Session& session, RunRecord* record) : session_(session), record_(record) {}

  const state::Counters& counters() const { return counters_; }
  const std::string& notices() const { return notices_; }
  const std::vector<ExplainedLine>& explained() const { return explained_; }

  bool StopRequested() override { return session_.interrupted(); }
  void CounterChanged(state::Counter counter, std::int32_t value) override {
    counters_[counter] = value;
  }
  void Noticed(const host::Range& cell, state::NoticeKind kind, const std::string& line) override {
    if (!notices_.empty()) notices_ += "\n";
    notices_ += line;
    if (record_ != nullptr) record_->Noticed(cell, kind, line);
  }
  void Marked(int range, const host::Range& cell, const std::string& value, const std::string& text,
              std::int64_t count_here, std::int64_t count_there) override {
    if (record_ != nullptr) record_->Marked(range, cell, value, text, count_here, count_there);
  }
  void Diagnosed(state::Finding finding, const host::Range& cell1,
                 const host::Range& cell2) override {
    if (record_ != nullptr) record_->Diagnosed(finding, cell1, cell2);
  }
  void Explained(state::ExplainedKind kind, const std::vector<host::Range>& cells1,
                 const std::vector<host::Range>& cells2, const std::string& message) override {
    ExplainedLine line{kind, {}, {}, message};
    for (const host::Range& cell : cells1) line.cells1.push_back(cell.Address(true));
    for (const host::Range& cell : cells2) line.cells2.push_back(cell.Address(true));
    explained_.push_back(std::move(line));
    if (record_ != nullptr) record_->Explained(kind, cells1, cells2, message);
  }

 private:
  Session& session_;
  RunRecord* record_;
  state::Counters counters_;
  std::string notices_;
  std::vector<ExplainedLine> explained_;
};

// The options as the ribbon's boxes hold them: each true or false.
state::Options BoxedOptions(const state::Options& options) {
  state::Options boxed;
  for (const engine::OptionInfo& option : engine::kOptionTable) {
    boxed.*option.flag = options.*option.flag != state::kFalse ? state::kTrue : state::kFalse;
  }
  return boxed;
}

// Tells the steps a user takes for the same run in the spreadsheet application: the boxes ticked
// or cleared from the ribbon's defaults, and the two ranges.
void NarrateSetUp(std::ostream& out, Kind kind, const state::Options& options,
                  const host::Range& range1, const host::Range& range2) {
  if (kind == Kind::kCompare) {
    const state::Options defaults = engine::DefaultOptions();
    for (const engine::OptionInfo& option : engine::kOptionTable) {
      if (defaults.*option.flag == options.*option.flag) continue;
      out << (options.*option.flag != state::kFalse ? "Ticked" : "Cleared") << " \"" << option.label
          << "\".\n";
    }
  }
  out << "Set Range#1: " << range1.Address(true) << "\n";
  out << "Set Range#2: " << range2.Address(true) << "\n";
  out << (kind == Kind::kCompare ? "Compare Ranges." : "Clear Formatting.") << "\n";
}

// The twelve result labels as the ribbon would show them.
void NarrateLabels(std::ostream& out, const state::Counters& counters) {
  out << "\nThe ribbon's result labels would show:\n";
  for (int i = 0; i < state::kCounterCount; i += 2) {
    const auto counter1 = static_cast<state::Counter>(i);
    const auto counter2 = static_cast<state::Counter>(i + 1);
    out << "  " << ribbon::CountLabel(counter1) << " \"" << ribbon::CountText(counters[counter1])
        << "\"   " << ribbon::CountLabel(counter2) << " \"" << ribbon::CountText(counters[counter2])
        << "\"\n";
  }
  out << "\n";
}

// Whether no cell of the range lies inside its sheet's used range.
bool OutsideUsedRange(host::Application& app, const host::Range& range) {
  return app.Intersect(range, range.Parent().UsedRange()).is_nothing();
}

int Run(Kind kind, const RunRequest& request, Console& console) {
  try {
    if (request.output && request.in_place)
      throw UsageError("-o and --in-place exclude each other");
    CheckMaxItems(request.max_items);
    std::optional<ReportFile> report_file = ReportFile::For(request);
    Session::CheckSyntax(request.range1, "RANGE1");
    Session::CheckSyntax(request.range2, "RANGE2");
    Session session(request, console);
    session.Load({request.range1, request.range2});
    const host::Range range1 = session.Range(request.range1, "RANGE1");
    const host::Range range2 = session.Range(request.range2, "RANGE2");

    const state::Options options = BoxedOptions(request.options);
    if (request.narrate) NarrateSetUp(console.out, kind, options, range1, range2);
    // Only the mismatch report and the JSON summary read the record of the run: without them the
    // run keeps none (on long lists it is a large share of the run's memory).
    RunRecord record;
    CommandLineProgress progress(session, request.json || request.report ? &record : nullptr);
    session.host().SetYieldHook([&] { session.Yield(progress.counters()); });

    const std::size_t messages_before = session.host().messages().size();
    std::optional<std::string> failure;
    try {
      if (kind == Kind::kCompare) {
        engine::CompareRanges(session.host(), range1, range2, options, progress,
                              LimitsFor(request.max_items));
      } else {
        engine::ClearMarks(session.host(), range1, range2, progress);
      }
    } catch (const std::exception& e) {
      failure = e.what();
    }
    session.ClearProgress();
    const Summary summary{
        progress.counters(),  progress.notices(),
        range1.Address(true), range2.Address(true),
        progress.explained(), kind == Kind::kCompare && options.explain_more != state::kFalse};
    // A range that lies wholly outside its sheet's used range makes the clearing at the start of a
    // comparison show its message, and the matching pass then fails on the range that is not
    // there: the message says all there is to say, and the run is refused as after any message.
    const std::vector<std::string>& shown = session.host().messages();
    const bool clearing_refused =
        std::find(shown.begin() + static_cast<std::ptrdiff_t>(messages_before), shown.end(),
                  engine::kClearFailedMessage) != shown.end();
    const bool range_missing =
        OutsideUsedRange(session.host(), range1) || OutsideUsedRange(session.host(), range2);
    if (failure && clearing_refused && range_missing) failure.reset();
    if (failure) {
      console.err << "quorvane: the run failed: " << *failure << "\n";
      PrintReport(summary, record, {}, request, console.out);
      console.err << "quorvane: nothing was written\n";
      return kExitRefused;
    }
    if (request.narrate) NarrateLabels(console.out, progress.counters());
    const bool messages = shown.size() > messages_before;
    const bool stopped = session.interrupted() || console.stop_requested();
    if ((messages || stopped) && !(stopped && request.save_partial)) {
      PrintReport(summary, record, {}, request, console.out);
      console.err << "quorvane: nothing was written"
                  << (stopped ? " (use --save-partial to keep what was marked)" : "") << "\n";
      return kExitRefused;
    }
    std::vector<xlsx::FileReplacement> others;
    if (report_file) others.push_back(report_file->Replacement(record));
    const std::vector<std::string> outputs = session.Save(others);
    PrintReport(summary, record, outputs, request, console.out);
    return messages || stopped ? kExitRefused : kExitDone;
  } catch (const UsageError& e) {
    console.err << "quorvane: " << e.what() << "\n";
    return kExitUsage;
  } catch (const xlsx::FileError& e) {
    console.err << "quorvane: " << e.what() << "\n";
    return kExitFile;
  }
}

}  // namespace

fs::path DefaultOutput(const fs::path& input) {
  fs::path output = input;
  const std::string ending = IsCsvPath(input) ? ".xlsx" : input.extension().string();
  output.replace_filename(input.stem().string() + ".reconciled" + ending);
  return output;
}

int Compare(const RunRequest& request, Console& console) {
  return Run(Kind::kCompare, request, console);
}

int Clear(const RunRequest& request, Console& console) {
  return Run(Kind::kClear, request, console);
}

}  // namespace quorvane::cli
