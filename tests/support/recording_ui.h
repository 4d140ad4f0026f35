// A FormsUi that draws nothing and records what it was asked to do.
//
// The tests' stand-in for a front end's windows. Every call is written to
// events() as "<Action> <form>" ("Show frmVNT", "Hide frmVNT", "Caption frmVNT.lblCount1=3", ...);
// the add-in's own message boxes are kept in messages(). FailOn() makes one kind of call raise a
// HostError, to test the callers' error paths.
#pragma once

#include <string>
#include <vector>

#include "forms/ui_port.h"

namespace quorvane::testing {

struct RecordedMessage {
  std::string text;
  host::MessageIcon icon;
};

class RecordingUi : public forms::FormsUi {
 public:
  void Show(forms::FormModel& form) override;
  void SetFocus(forms::FormModel& form) override;
  void Hide(forms::FormModel& form) override;
  void Unload(forms::FormModel& form) override;
  void CaptionChanged(forms::FormModel& form, const forms::FormControl& control) override;
  void LayoutChanged(forms::FormModel& form) override;  // "Layout <form>"
  void MsgBox(const std::string& text, host::MessageIcon icon) override;

  const std::vector<std::string>& events() const { return events_; }
  const std::vector<RecordedMessage>& messages() const { return messages_; }
  // Whether caption changes are recorded as events (off by default: a run changes many labels).
  void set_record_captions(bool on) { record_captions_ = on; }
  // Makes every call of this action ("Show", "SetFocus", "Hide", "Unload", "Layout") on this form
  // raise a HostError with the description; an empty action fails nothing.
  void FailOn(std::string action, std::string form_name, std::string description);
  void Clear();

 private:
  void Record(const std::string& action, const forms::FormModel& form);

  std::vector<std::string> events_;
  std::vector<RecordedMessage> messages_;
  bool record_captions_ = false;
  std::string fail_action_, fail_form_, fail_description_;
};

}  // namespace quorvane::testing
