// A workbook in the in-memory host and an add-in state wired to it, for tests of a comparison run.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/conversions.h"
#include "host/value.h"
#include "memhost/host.h"
#include "state/state.h"
#include "support/state_listener.h"

namespace quorvane::testing {

// Records what the engine shows: ribbon invalidations and results-form captions.
class RecordingRibbon : public state::RibbonRefresh {
 public:
  void RefreshControl(const std::string& id) override { invalidated.push_back(id); }
  void RefreshCounts() override { ++refresh_counts; }
  std::vector<std::string> invalidated;
  int refresh_counts = 0;
};

class RecordingLabels : public LabelSink {
 public:
  void SetCaption(std::string_view label, const std::string& caption) override {
    captions[std::string(label)] = caption;
  }
  std::map<std::string, std::string> captions;
};

inline host::Value N(double number) { return host::Value::Number(number); }
inline host::Value T(const std::string& text) { return host::Value::Text(text); }
inline host::Value D(int y, int m, int d) {
  return host::Value::Date(host::SerialFromCivil({y, m, d, 0, 0, 0}));
}

class RunFixture : public ::testing::Test {
 protected:
  RunFixture() : book(mem.AddWorkbook("Book1.xlsx")), sheet(book.AddSheet("Sheet1")) {
    mem.SetTime(host::SerialFromCivil({2023, 1, 5, 14, 3, 9}));
    state.application = &mem;
    state.ribbon = &ribbon;
    listener.labels = &labels;
  }

  // Puts the values in column `column` from row 1 down; returns the filled block.
  host::Range Column(int column, const std::vector<host::Value>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      sheet.Put(static_cast<int>(i) + 1, column, values[i]);
    }
    const int last = static_cast<int>(values.size());
    return host::Range(&sheet, host::Area{1, column, last, column});
  }

  // Turns on the options that the ribbon turns on when it loads.
  void DefaultOptions() {
    state.options.round_numbers = state::kTrue;
    state.options.numbers_only = state::kTrue;
    state.options.ignore_zero = state::kTrue;
    state.options.hide_comments = state::kTrue;
  }

  // Makes every call of Now() a minute later than the last, so that the animation of a run's
  // first five seconds is over at once.
  void RunningClock() {
    mem.SetClock([t = host::SerialFromCivil({2023, 1, 5, 14, 3, 9})]() mutable {
      t += 60.0 / 86400.0;
      return t;
    });
  }

  std::string Comment(int row, int column) {
    const memhost::CellData* cell = sheet.data().Find(row, column);
    return cell != nullptr && cell->comment ? cell->comment->text : std::string();
  }
  memhost::Fill FillOf(int row, int column) {
    const memhost::CellData* cell = sheet.data().Find(row, column);
    return cell != nullptr ? cell->fill : memhost::Fill{};
  }

  memhost::MemHost mem;
  memhost::MemWorkbook& book;
  memhost::MemWorksheet& sheet;
  state::AddinState state;
  RecordingRibbon ribbon;
  RecordingLabels labels;
  StateListener listener{state};
};

}  // namespace quorvane::testing
