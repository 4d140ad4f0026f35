#include "support/recording_ui.h"

#include <utility>

#include "host/error.h"

namespace quorvane::testing {

void RecordingUi::Record(const std::string& action, const forms::FormModel& form) {
  if (!fail_action_.empty() && action == fail_action_ && form.name() == fail_form_) {
    throw host::HostError(fail_description_);
  }
  events_.push_back(action + " " + form.name());
}

void RecordingUi::Show(forms::FormModel& form) { Record("Show", form); }
void RecordingUi::SetFocus(forms::FormModel& form) { Record("SetFocus", form); }
void RecordingUi::Hide(forms::FormModel& form) { Record("Hide", form); }
void RecordingUi::Unload(forms::FormModel& form) { Record("Unload", form); }

void RecordingUi::LayoutChanged(forms::FormModel& form) { Record("Layout", form); }

void RecordingUi::CaptionChanged(forms::FormModel& form, const forms::FormControl& control) {
  if (record_captions_) {
    events_.push_back("Caption " + form.name() + "." + control.name + "=" + control.caption);
  }
}

void RecordingUi::MsgBox(const std::string& text, host::MessageIcon icon) {
  messages_.push_back({text, icon});
}

void RecordingUi::FailOn(std::string action, std::string form_name, std::string description) {
  fail_action_ = std::move(action);
  fail_form_ = std::move(form_name);
  fail_description_ = std::move(description);
}

void RecordingUi::Clear() {
  events_.clear();
  messages_.clear();
}

}  // namespace quorvane::testing
