#include "cli/commands.h"

#include <chrono>
#include <deque>
#include <iomanip>
#include <iterator>
#include <limits>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "addin/connect.h"
#include "addin/environment.h"
#include "addin/library.h"
#include "addin/settings.h"
#include "cli/csv_book.h"
#include "cli/icu_locale.h"
#include "cli/report.h"
#include "engine/options.h"
#include "engine/run_driver.h"
#include "forms/ui_port.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/reference.h"
#include "host/worksheet.h"
#include "memhost/host.h"
#include "ribbon/dispatch.h"
#include "ribbon/office.h"
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

  void Yield(engine::AddinState& state) {
    if (console_.stop_requested()) {
      interrupted_ = true;
      state.bStop = engine::kTrue;
    }
    if (!console_.progress) return;
    // A run that ends within a second shows nothing; a longer one its counts every 200 ms.
    const auto now = std::chrono::steady_clock::now();
    if (!first_yield_) first_yield_ = now;
    if (now - *first_yield_ < std::chrono::seconds(1)) return;
    if (now - last_progress_ < std::chrono::milliseconds(200)) return;
    last_progress_ = now;
    const engine::Counters& c = state.counters;
    console_.err << "\rComparing... Range 1: " << c.nCount1 << " cells, " << c.nMismatch1
                 << " mismatches; Range 2: " << c.nCount2 << " cells, " << c.nMismatch2
                 << " mismatches " << std::flush;
    progress_shown_ = true;
  }

  void ClearProgress() {
    if (progress_shown_) console_.err << "\r\033[K" << std::flush;
    progress_shown_ = false;
  }

  bool interrupted() const { return interrupted_; }

  // Saves every workbook of the session, and the `others` with them, all or nothing (a workbook
  // that cannot be made stops the save before any file is touched); returns the workbooks' paths.
  std::vector<std::string> Save(std::vector<xlsx::FileReplacement> others) {
    std::vector<xlsx::FileReplacement> files;
    std::vector<std::string> outputs;
    for (const Book& book : books_) {
      fs::path target = request_.in_place ? book.path : DefaultOutput(book.path);
      if (book.path == request_.book && request_.output) target = *request_.output;
      outputs.push_back(target.string());
      files.push_back({std::move(target), book.file.Serialize(book.book->data())});
    }
    std::move(others.begin(), others.end(), std::back_inserter(files));
    xlsx::ReplaceFiles(files);
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
      memhost::MemWorkbook& book = host_.AddWorkbook(csv.data);
      books_.push_back({path, std::move(csv.file), &book});
      return book;
    }
    xlsx::WorkbookFile file = xlsx::WorkbookFile::Load(path, wanted);
    memhost::MemWorkbook& book = host_.AddWorkbook(file.data());
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

void PrintReport(const engine::AddinState& state, const RunRecord& record,
                 const std::vector<std::string>& outputs, const RunRequest& request,
                 std::ostream& out) {
  const engine::Counters& c = state.counters;
  const std::vector<std::string> notices = Lines(state.notices);
  if (request.json) {
    auto side = [](int count, int match, int mismatch, int transpose, int year, int hidden) {
      return nlohmann::ordered_json{{"count", count},       {"match", match},
                                    {"mismatch", mismatch}, {"transpose", transpose},
                                    {"year", year},         {"hidden", hidden}};
    };
    nlohmann::ordered_json json;
    json["range1"] = side(c.nCount1, c.nMatch1, c.nMismatch1, c.nTranspose1, c.nYear1, c.nHidden1);
    json["range2"] = side(c.nCount2, c.nMatch2, c.nMismatch2, c.nTranspose2, c.nYear2, c.nHidden2);
    json["notices"] = notices;
    json["outputs"] = outputs;
    json["mismatches"] = MismatchesJson(record);
    json["notice_cells"] = NoticesJson(record.notices());
    out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return;
  }
  if (request.report == "-") {
    WriteCsv(out, record);
    return;
  }
  out << "Range 1: " << state.sRange1 << "\nRange 2: " << state.sRange2 << "\n\n";
  out << std::left << std::setw(24) << "" << std::right << std::setw(9) << "Range 1"
      << std::setw(10) << "Range 2"
      << "\n";
  auto row = [&](const char* label, int a, int b) {
    out << std::left << std::setw(24) << label << std::right << std::setw(9) << a << std::setw(10)
        << b << "\n";
  };
  row("Count", c.nCount1, c.nCount2);
  row("Match", c.nMatch1, c.nMatch2);
  row("Mismatch", c.nMismatch1, c.nMismatch2);
  row("Possible transpositions", c.nTranspose1, c.nTranspose2);
  row("Possible year errors", c.nYear1, c.nYear2);
  row("Hidden cells", c.nHidden1, c.nHidden2);
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
engine::Limits LimitsFor(std::int64_t max_items) {
  engine::Limits limits;
  limits.max_items = max_items;
  if (max_items > engine::kMaxItems) limits.max_count = std::numeric_limits<std::int32_t>::max();
  return limits;
}

// The add-in, driven through the entry points that the spreadsheet host calls and in the host's
// order, on the workbooks the session loaded: connection, ribbon definition, ribbon load, start-up
// complete; the option boxes; both ranges through the range-picking input box; then a button.
class AddinDriver {
 public:
  AddinDriver(memhost::MemHost& host, std::ostream* narration)
      : host_(host), application_(host), narration_(narration) {}

  engine::AddinState& state() { return library_.state; }

  void StartUp() {
    connect_.IDTExtensibility2_OnConnection(&application_, addin::kStartup);
    const std::string xml = connect_.IRibbonExtensibility_GetCustomUI("Microsoft.Excel.Workbook");
    Call("OnRibbonLoad", {static_cast<ribbon::RibbonUI*>(&ribbon_)});
    connect_.IDTExtensibility2_OnStartupComplete();
    Tell("Connected; the ribbon tab \"Reconcile\" is loaded (" + std::to_string(xml.size()) +
         " characters of ribbon XML).");
  }

  // Ticks or clears each option box whose state differs from the one asked for.
  void SetOptions(const engine::Options& options) {
    for (const engine::OptionInfo& option : engine::kOptionTable) {
      const engine::Bool16 wanted =
          options.*option.flag != engine::kFalse ? engine::kTrue : engine::kFalse;
      if (state().options.*option.flag == wanted) continue;
      CallWith("On_Action", std::string(option.id), {wanted});
      Tell(std::string(wanted != engine::kFalse ? "Ticked" : "Cleared") + " \"" +
           std::string(option.label) + "\".");
    }
  }

  // "Set Range#1" and "Set Range#2", answering each input box with the range.
  void SetRanges(const host::Range& range1, const host::Range& range2) {
    for (const auto& [button, range] : {std::pair{"btnRange1", range1}, {"btnRange2", range2}}) {
      host_.SetInputBoxHandler(
          [range = range](const memhost::InputBoxRequest&) -> std::optional<host::Range> {
            return range;
          });
      Press(button);
      Tell(std::string(button == std::string("btnRange1") ? "Set Range#1: " : "Set Range#2: ") +
           Label(button == std::string("btnRange1") ? "EditBox1" : "EditBox2"));
    }
    host_.SetInputBoxHandler(nullptr);
  }

  // A button press; the description of the error when the command failed.
  std::optional<std::string> Press(const std::string& id) {
    const ribbon::DispatchResult result = CallWith("onButtonPressed", id);
    if (result.status == ribbon::DispatchStatus::kOk) return std::nullopt;
    return result.description;
  }

  std::string Label(const std::string& id) {
    const ribbon::DispatchResult result = CallWith("OnGetText", id);
    const std::string* text = std::get_if<std::string>(&result.value);
    return text != nullptr ? *text : std::string();
  }

  void Tell(const std::string& line) {
    if (narration_ != nullptr) *narration_ << line << "\n";
  }

  // The twelve result labels as the ribbon shows them.
  void TellLabels() {
    if (narration_ == nullptr) return;
    *narration_ << "\nThe ribbon's result labels:\n";
    const char* columns[] = {"Count",      "Match",      "NoMatch",
                             "PossibleTP", "PossibleYO", "HiddenCells"};
    for (const char* column : columns) {
      *narration_ << "  lbl" << column << "01 \"" << Label(std::string("lbl") + column + "01")
                  << "\"   lbl" << column << "02 \"" << Label(std::string("lbl") + column + "02")
                  << "\"\n";
    }
    *narration_ << "\n";
  }

 private:
  // The forms on a command line: nothing to draw. A message box of the add-in's own is the
  // host's, so it is printed and ends the run without writing, as the host's messages do.
  class CommandLineUi : public forms::FormsUi {
   public:
    explicit CommandLineUi(memhost::MemHost& host) : host_(host) {}
    void Show(forms::FormModel&) override {}
    void SetFocus(forms::FormModel&) override {}
    void Hide(forms::FormModel&) override {}
    void Unload(forms::FormModel&) override {}
    void CaptionChanged(forms::FormModel&, const forms::FormControl&) override {}
    void LayoutChanged(forms::FormModel&) override {}
    void MsgBox(const std::string& text, host::MessageIcon icon) override {
      host_.MsgBox(text, icon);
    }

   private:
    memhost::MemHost& host_;
  };

  // The host's ribbon: nothing to repaint on a command line.
  class CommandLineRibbon : public ribbon::RibbonUI {
   public:
    void Invalidate() override {}
    void InvalidateControl(const std::string&) override {}
  };

  ribbon::DispatchResult Call(std::string_view name, std::vector<ribbon::Variant> args) {
    return ribbon::Invoke(connect_, name, args);
  }
  ribbon::DispatchResult CallWith(std::string_view name, const std::string& control_id,
                                  std::vector<ribbon::Variant> more = {}) {
    return ribbon::InvokeForControl(connect_, name, control_id, std::move(more));
  }

  memhost::MemHost& host_;
  CommandLineUi ui_{host_};
  addin::MemorySettings settings_;
  addin::Library library_{ui_, settings_};
  addin::Connect connect_{library_};
  addin::ApplicationObject application_;
  CommandLineRibbon ribbon_;
  std::ostream* narration_;
};

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

    AddinDriver addin(session.host(), request.narrate ? &console.out : nullptr);
    engine::AddinState& state = addin.state();
    addin.StartUp();
    if (kind == Kind::kCompare) addin.SetOptions(request.options);
    addin.SetRanges(range1, range2);
    // Only the mismatch report and the JSON summary read the record of the run: without them the
    // run keeps none (on long lists it is a large share of the run's memory).
    RunRecord record;
    if (request.json || request.report) state.watcher = &record;
    state.limits = LimitsFor(request.max_items);
    session.host().SetYieldHook([&] { session.Yield(state); });

    const std::size_t messages_before = session.host().messages().size();
    addin.Tell(kind == Kind::kCompare ? "Pressed \"Compare Ranges\"."
                                      : "Pressed \"Clear Formatting\".");
    const std::optional<std::string> failure =
        addin.Press(kind == Kind::kCompare ? "btnCompare" : "btnClearFormating");
    session.ClearProgress();
    if (failure) {
      console.err << "quorvane: the run failed: " << *failure << "\n";
      PrintReport(state, record, {}, request, console.out);
      console.err << "quorvane: nothing was written\n";
      return kExitRefused;
    }
    addin.TellLabels();
    const bool messages = session.host().messages().size() > messages_before;
    const bool stopped = session.interrupted() || console.stop_requested();
    if ((messages || stopped) && !(stopped && request.save_partial)) {
      PrintReport(state, record, {}, request, console.out);
      console.err << "quorvane: nothing was written"
                  << (stopped ? " (use --save-partial to keep what was marked)" : "") << "\n";
      return kExitRefused;
    }
    std::vector<xlsx::FileReplacement> others;
    if (report_file) others.push_back(report_file->Replacement(record));
    const std::vector<std::string> outputs = session.Save(std::move(others));
    PrintReport(state, record, outputs, request, console.out);
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
