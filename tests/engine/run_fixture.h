// The in-memory host's workbook and an add-in state wired to it, for tests of a comparison run.
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
#include "support/mem_host_fixture.h"
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

class RunFixture : public MemHostFixture {
 protected:
  RunFixture() {
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

  state::AddinState state;
  RecordingRibbon ribbon;
  RecordingLabels labels;
  StateListener listener{state};
};

}  // namespace quorvane::testing
