// The user-interface port of the forms: what a front end does to show the add-in's forms and its
// own message boxes.
//
// Every front end (the Windows binding, the command line, the tests) implements FormsUi. The form
// models call it when they are shown, focused, hidden or unloaded and when a label changes while
// they exist. Any member may raise a HostError; the callers say whether that ends their operation.
#pragma once

#include <string>

#include "forms/form_model.h"
#include "host/application.h"
#include "state/state.h"

namespace quorvane::forms {

class FormsUi {
 public:
  virtual ~FormsUi() = default;
  // Shows the form without blocking (modeless).
  virtual void Show(FormModel& form) = 0;
  virtual void SetFocus(FormModel& form) = 0;
  virtual void Hide(FormModel& form) = 0;
  // Destroys the form's window; a later Show builds it afresh.
  virtual void Unload(FormModel& form) = 0;
  // A control's caption changed (the form need not be visible).
  virtual void CaptionChanged(FormModel& form, const FormControl& control) = 0;
  // The form's size or its list of controls changed (the form need not be visible); a window that
  // shows it takes the new layout and keeps its place on the screen and its visibility.
  virtual void LayoutChanged(FormModel& form) = 0;
  // A message box of the add-in's own, for the moments when no host application is held to show
  // one (OK button only, no title).
  virtual void MsgBox(const std::string& text, host::MessageIcon icon) = 0;
};

// Shows a message box through the host application when one is given, otherwise through the front
// end. A host that fails to show it hands the message to the front end.
void ShowMessage(host::Application* app, FormsUi& ui, const std::string& text,
                 host::MessageIcon icon = host::MessageIcon::kNone);

}  // namespace quorvane::forms
