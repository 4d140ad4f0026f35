// The command-line tool's commands, on workbook files: compare, clear and demo.
//
// Each command loads the workbooks into an in-memory host, runs the core's comparison or clearing
// on it (engine::CompareRanges, engine::ClearMarks: what the ribbon's "Compare Ranges" and "Clear
// Formatting" run), and saves every workbook the run touched. The host's message boxes become
// lines on the error stream.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "state/state.h"

namespace quorvane::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;  // refused, stopped, or ended with the add-in's message
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3;  // a file that cannot be read or written

// The longest lists the tool reconciles.
inline constexpr std::int64_t kMaxItemsLimit = 1'000'000;

struct RunRequest {
  std::filesystem::path book;
  std::string range1, range2;
  state::Options options;  // the compare options; ignored by clear
  std::optional<std::filesystem::path> output;
  bool in_place = false;
  bool json = false;
  // Where compare writes its mismatch report: a .csv or .json file, or "-" for the standard output
  // as CSV in place of the table.
  std::optional<std::string> report;
  bool save_partial = false;
  // The most items a list may hold (compare only): the add-in's 10000 unless raised, at most
  // kMaxItemsLimit. Above 10000 the run's counters are as wide as such lists need.
  std::int64_t max_items = 10000;
  // The user's locale (a language tag): how texts read as numbers and dates, and how the notes
  // write numbers, dates and their timestamps.
  std::string locale = "en-US";
  // Tells the steps a user takes for the same run in the spreadsheet application (the option boxes
  // changed from their defaults, the two ranges, the button), and ends with the twelve result
  // labels as the ribbon would show them.
  bool narrate = false;
};

// What a command needs of its surroundings.
struct Console {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;  // show progress on `err` (a terminal)
  // Polled at every yield of the run: true when the user asked to stop (Ctrl-C).
  std::function<bool()> stop_requested = [] { return false; };
};

int Compare(const RunRequest& request, Console& console);
int Clear(const RunRequest& request, Console& console);
// Writes the sample workbook into `folder`, reconciles it and tells where the result is.
int Demo(const std::filesystem::path& folder, Console& console);

// The output path when none is given: "NAME.reconciled.xlsx" beside the input (.xlsm stays .xlsm;
// a CSV file's result is a .xlsx workbook).
std::filesystem::path DefaultOutput(const std::filesystem::path& input);

}  // namespace quorvane::cli
