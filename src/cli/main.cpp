// quorvane: reconcile two lists in .xlsx workbooks from the command line.
#include <signal.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <CLI/CLI.hpp>
#include <array>
#include <cstddef>
#include <iostream>
#include <iterator>
#include <string>

#include "cli/commands.h"
#include "engine/options.h"
#include "quorvane_version.h"

namespace {

using quorvane::cli::Console;
using quorvane::cli::RunRequest;
using quorvane::state::Bool16;

Bool16 ToBool16(bool on) { return on ? quorvane::state::kTrue : quorvane::state::kFalse; }

// The command line's flag for each of the ribbon's options; the options on by default also have a
// flag that turns them off. Their defaults come from the ribbon's option table.
struct OptionFlag {
  Bool16 quorvane::state::Options::*flag;
  const char* name;
  const char* off_name;  // nullptr: none
  const char* help;
};
constexpr OptionFlag kOptionFlags[] = {
    {&quorvane::state::Options::round_numbers, "--round-numbers", "--no-round-numbers",
     "Round numbers to 2 places before comparing"},
    {&quorvane::state::Options::numbers_only, "--numbers-only", "--no-numbers-only",
     "Compare numbers only"},
    {&quorvane::state::Options::ignore_sign, "--ignore-sign", nullptr,
     "Ignore the sign of numbers"},
    {&quorvane::state::Options::reverse_sign, "--reverse-sign", nullptr,
     "Reverse the sign of Range 1's numbers"},
    {&quorvane::state::Options::ignore_10_digit, "--ignore-10-digit", nullptr,
     "Ignore 10-digit numbers"},
    {&quorvane::state::Options::ignore_zero, "--ignore-zero", "--no-ignore-zero",
     "Ignore zero values"},
    {&quorvane::state::Options::hide_comments, "--hide-comments", "--show-comments",
     "Keep the notes of marked cells hidden; --show-comments shows them"},
    {&quorvane::state::Options::explain_more, "--explain-more", "--no-explain-more",
     "After the diagnosis's pairs, search the marked numbers for sign errors, decimal slides, "
     "amounts with two digits exchanged, and totals split into or merged from two or three "
     "entries of the other list, made only while chance (reckoned from the amounts) would bring "
     "at most a fiftieth of them. The search for totals takes at most 30,000,000 steps a run "
     "(about a tenth of a second); totals past that budget stay unexplained"},
};

// Ctrl-C is held back while a command runs and polled at each yield of the run, where it acts as
// the results form's "Stop" button. Holding it back needs no handler and no global flag.
class InterruptPoll {
 public:
  InterruptPoll() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
  }
  ~InterruptPoll() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  bool Requested() {
    if (!seen_) {
      sigset_t pending;
      sigpending(&pending);
      if (sigismember(&pending, SIGINT)) {
        const timespec zero{};
        sigtimedwait(&set_, nullptr, &zero);  // consume it
        seen_ = true;
      }
    }
    return seen_;
  }

 private:
  sigset_t set_{}, previous_{};
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
  // One heap for both threads: the deflating thread's buffers are then reused by the main thread
  // rather than held in a second heap of their own (about 1 MB at the peak of a long save).
  mallopt(M_ARENA_MAX, 1);
#endif
  CLI::App app{
      "Reconciles two lists held in .xlsx workbooks: marks every value that does not occur as "
      "often in one list as in the other, and diagnoses rounding errors, transposed digits and "
      "year errors.\n"};
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "Show the help of every command");
  app.set_version_flag("--version", std::string("quorvane ") + QUORVANE_VERSION,
                       "Show the version and exit");

  RunRequest request;
  // Each flag starts at the ribbon's default for its option, and says so in its help.
  const quorvane::state::Options defaults = quorvane::engine::DefaultOptions();
  std::array<bool, std::size(kOptionFlags)> chosen{};
  std::string output;
  std::string report;
  std::string demo_folder = ".";

  auto add_common = [&](CLI::App* command) {
    command
        ->add_option("BOOK", request.book,
                     "The workbook (.xlsx or .xlsm) or CSV file (.csv) holding RANGE1")
        ->required();
    command
        ->add_option("RANGE1", request.range1,
                     "Range 1: Sheet!A2:A40, 'My Sheet'!A:A, or [Other.xlsx]Sheet!B2:B9 for a "
                     "workbook in BOOK's folder")
        ->required();
    command->add_option("RANGE2", request.range2, "Range 2, written the same way")->required();
    command->add_option(
        "-o,--output", output,
        "Where to write BOOK's result (default: NAME.reconciled.xlsx beside it, also for a CSV "
        "file)");
    command->add_flag("--in-place", request.in_place,
                      "Replace the input workbooks (refused for a CSV file)");
    command->add_flag("--json", request.json, "Print one JSON object instead of the table");
    command->add_option(
        "--locale", request.locale,
        "The user's locale, as a language tag (default en-US; en-GB, de-DE, fr-FR...): texts in "
        "the ranges read as numbers with its decimal and thousands separators and as dates in its "
        "day and month order, and the notes write numbers with its decimal separator, dates in "
        "its short date form and timestamps with its separators, as the application does on a "
        "machine set to that locale. CSV files are read in it too: fields separated by its list "
        "separator (a semicolon where the decimal separator is a comma), numbers and dates in its "
        "forms");
  };

  CLI::App* compare = app.add_subcommand(
      "compare", "Compare Ranges: mark the mismatches of RANGE1 and RANGE2 and count them");
  add_common(compare);
  for (std::size_t i = 0; i < std::size(kOptionFlags); ++i) {
    const OptionFlag& option = kOptionFlags[i];
    const bool on = defaults.*option.flag != quorvane::state::kFalse;
    chosen[i] = on;
    std::string names = option.name;
    if (option.off_name != nullptr) names += std::string(",!") + option.off_name;
    compare->add_flag(names, chosen[i], std::string(option.help) + (on ? " (default on)" : ""));
  }
  compare->add_option("--report", report,
                      "Write one record per mismatched cell to FILE: CSV (.csv) or JSON (.json); "
                      "- prints the CSV in place of the table");
  compare
      ->add_option("--max-items", request.max_items,
                   "The most items a list may hold: 10000 as in the add-in (default), up to "
                   "1000000; a longer list is refused")
      ->check(CLI::Range(std::int64_t{1}, quorvane::cli::kMaxItemsLimit));
  compare->add_flag("--save-partial", request.save_partial,
                    "After Ctrl-C, still write what was marked (otherwise nothing is written)");

  CLI::App* clear = app.add_subcommand(
      "clear", "Clear Formatting: remove the marks over RANGE1 and RANGE2, restore the fills");
  add_common(clear);

  CLI::App* demo = app.add_subcommand(
      "demo", "Write a sample workbook into DIR (default: the current folder) and reconcile it");
  demo->add_option("DIR", demo_folder, "Folder for the sample workbook and its result");

  app.footer(
      "\nExit status: 0 done; 1 the run was refused, stopped or ended with the add-in's message "
      "(nothing is written then, unless --save-partial after Ctrl-C); 2 usage error; 3 a file "
      "that cannot be read or written.\nThe input is never modified unless --in-place is given; "
      "results are written to a temporary file first and renamed over the target.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return quorvane::cli::kExitUsage;
  }
  if (!output.empty()) request.output = output;
  if (!report.empty()) request.report = report;
  for (std::size_t i = 0; i < std::size(kOptionFlags); ++i) {
    request.options.*kOptionFlags[i].flag = ToBool16(chosen[i]);
  }

  InterruptPoll interrupt;
  Console console{std::cout, std::cerr, isatty(STDERR_FILENO) == 1,
                  [&interrupt] { return interrupt.Requested(); }};
  if (*compare) return quorvane::cli::Compare(request, console);
  if (*clear) return quorvane::cli::Clear(request, console);
  return quorvane::cli::Demo(demo_folder, console);
}
