// The add-in's Windows user interface: message boxes, the yield to the message loop, and the forms
// (frmVNT, frmAbout, frmAddIn) as modeless Win32 windows drawn from their portable models.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "forms/ui_port.h"
#include "host/application.h"

namespace quorvane::windows {

// The title every message box of the add-in carries: the project's name, as the macro language
// gives a message box without a title of its own.
inline constexpr const wchar_t* kMessageTitle = L"Quorvane";
// The window class of the forms.
inline constexpr const wchar_t* kFormClass = L"QuorvaneForm";

// A message box with an OK button (and the warning icon when asked), owned by the active window.
void ShowMessageBox(const std::string& text, host::MessageIcon icon);

// Handles every message waiting for this thread's windows, then returns (DoEvents).
void PumpMessages();

// The forms as windows. Each control is a child window, laid over the earlier ones in the order of
// the form's list; a list shows its lines in a list box, a click on a line (or moving to it with
// the keys) reported as a click of that line; a label's caption takes the largest font size, down
// from its own, at which it wraps within the label; an image shows the picture of that name from
// the module's bitmap resources, at the control's size; a tip shows over its control; Enter and Esc
// press the default and cancel buttons, and Space too when the form itself has the focus. Windows
// are made on the host's user-interface thread and live until the form is unloaded or the user
// interface goes.
class Win32FormsUi : public forms::FormsUi {
 public:
  // `instance` holds the window class and the pictures.
  explicit Win32FormsUi(HINSTANCE instance);
  ~Win32FormsUi() override;
  Win32FormsUi(const Win32FormsUi&) = delete;
  Win32FormsUi& operator=(const Win32FormsUi&) = delete;

  void Show(forms::FormModel& form) override;
  void SetFocus(forms::FormModel& form) override;
  void Hide(forms::FormModel& form) override;
  void Unload(forms::FormModel& form) override;
  void CaptionChanged(forms::FormModel& form, const forms::FormControl& control) override;
  // Builds the form's window afresh at its old place, shown and active as the old one was.
  void LayoutChanged(forms::FormModel& form) override;
  void MsgBox(const std::string& text, host::MessageIcon icon) override;

  // Where the forms' owner window comes from (the host's main window): asked when a form is shown;
  // null gives a form without an owner.
  void set_owner_source(std::function<HWND()> source) { owner_source_ = std::move(source); }

  // The form's window, or null when it has none (or it was destroyed with its owner).
  HWND WindowOf(const forms::FormModel& form) const;
  // Destroys every window; the forms keep their models, and the next Show builds them again.
  void DestroyAll();

  struct Window;

 private:
  HWND Owner() const;
  // The form's window while it lives; a window destroyed from outside (with its owner) is
  // forgotten, and null comes back.
  HWND LiveWindow(const forms::FormModel& form);
  HWND Build(forms::FormModel& form, HWND owner);

  HINSTANCE instance_;
  bool class_registered_ = false;
  std::function<HWND()> owner_source_;
  std::map<const forms::FormModel*, std::unique_ptr<Window>> windows_;
};

}  // namespace quorvane::windows
