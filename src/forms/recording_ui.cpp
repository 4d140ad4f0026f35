#include "forms/recording_ui.h"

#include <utility>

#include "host/error.h"

namespace quorvane::forms {

void RecordingUi::Record(const std::string& action, const FormModel& form) {
  if (!fail_action_.empty() && action == fail_action_ && form.name() == fail_form_) {
    throw host::HostError(fail_description_);
  }
  events_.push_back(action + " " + form.name());
}

void RecordingUi::Show(FormModel& form) { Record("Show", form); }
void RecordingUi::SetFocus(FormModel& form) { Record("SetFocus", form); }
void RecordingUi::Hide(FormModel& form) { Record("Hide", form); }
void RecordingUi::Unload(FormModel& form) { Record("Unload", form); }

void RecordingUi::LayoutChanged(FormModel& form) { Record("Layout", form); }

void RecordingUi::CaptionChanged(FormModel& form, const FormControl& control) {
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

}  // namespace quorvane::forms
