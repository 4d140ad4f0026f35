// Plays the spreadsheet host's part for the add-in: an in-memory host, a ribbon that records its
// invalidations, a recording forms UI and an in-memory settings store, with the add-in connected
// and started up in the host's order. Callbacks go through the table by name, as the host calls
// them.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/connect.h"
#include "addin/environment.h"
#include "addin/library.h"
#include "addin/settings.h"
#include "memhost/host.h"
#include "ribbon/dispatch.h"
#include "ribbon/office.h"
#include "support/recording_ui.h"

namespace quorvane::testing {

class RecordingRibbon : public ribbon::RibbonUI {
 public:
  void Invalidate() override { events.push_back("*"); }
  void InvalidateControl(const std::string& control_id) override { events.push_back(control_id); }
  std::vector<std::string> events;
};

// A recording UI that also runs a hook at every label change of a form.
class WatchingUi : public testing::RecordingUi {
 public:
  void CaptionChanged(forms::FormModel& form, const forms::FormControl& control) override {
    RecordingUi::CaptionChanged(form, control);
    if (on_caption) on_caption();
  }
  std::function<void()> on_caption;
};

struct Harness {
  memhost::MemHost host;
  WatchingUi ui;
  addin::MemorySettings settings;
  addin::Library library{ui, settings};
  addin::Connect connect{library};
  addin::ApplicationObject application{host};
  RecordingRibbon ribbon;
  std::string xml;

  Harness() { host.SetTime(45000.5); }

  // Connection, ribbon definition, ribbon load, start-up complete.
  void StartUp() {
    connect.IDTExtensibility2_OnConnection(&application, addin::kStartup);
    xml = connect.IRibbonExtensibility_GetCustomUI("Microsoft.Excel.Workbook");
    Call("OnRibbonLoad", {static_cast<ribbon::RibbonUI*>(&ribbon)});
    connect.IDTExtensibility2_OnStartupComplete();
  }

  ribbon::DispatchResult Call(std::string_view name, std::vector<ribbon::Variant> args) {
    return ribbon::Invoke(connect, name, args);
  }
  ribbon::DispatchResult CallWith(std::string_view name, const std::string& control_id,
                                  std::vector<ribbon::Variant> more = {}) {
    return ribbon::InvokeForControl(connect, name, control_id, std::move(more));
  }
  // A button press as the ribbon XML names it.
  void Press(const std::string& id) {
    ribbon::DispatchResult r = CallWith("OnButtonPressed", id);
    ASSERT_EQ(r.status, ribbon::DispatchStatus::kOk) << id << ": " << r.description;
  }
  std::string Text(const std::string& id) {
    ribbon::DispatchResult r = CallWith("OnGetText", id);
    EXPECT_EQ(r.status, ribbon::DispatchStatus::kOk) << r.description;
    const std::string* text = std::get_if<std::string>(&r.value);
    return text ? *text : "<no text>";
  }
  state::Bool16 Flag(std::string_view callback, const std::string& id) {
    ribbon::DispatchResult r = CallWith(callback, id);
    EXPECT_EQ(r.status, ribbon::DispatchStatus::kOk) << r.description;
    const state::Bool16* value = std::get_if<state::Bool16>(&r.value);
    return value ? *value : state::Bool16{99};
  }
  // Answers the input boxes with these ranges in turn; a nothing range cancels.
  void AnswerInputBoxes(std::vector<host::Range> answers) {
    auto queue = std::make_shared<std::deque<host::Range>>(answers.begin(), answers.end());
    host.SetInputBoxHandler([queue](const memhost::InputBoxRequest&) -> std::optional<host::Range> {
      if (queue->empty()) return std::nullopt;
      host::Range answer = queue->front();
      queue->pop_front();
      if (!answer) return std::nullopt;
      return answer;
    });
  }
};

}  // namespace quorvane::testing
