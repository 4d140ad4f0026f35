// The add-in's Windows user interface: message boxes, the yield to the message loop, and the forms
// (frmVNT, frmAbout, frmAddIn) as modeless Win32 windows drawn from their portable models.
#pragma once

#include <windows.h>

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

class Win32FormsUi : public forms::FormsUi {
 public:
  explicit Win32FormsUi(HINSTANCE instance);
  ~Win32FormsUi() override;
  Win32FormsUi(const Win32FormsUi&) = delete;
  Win32FormsUi& operator=(const Win32FormsUi&) = delete;

  void Show(forms::FormModel& form) override;
  void SetFocus(forms::FormModel& form) override;
  void Hide(forms::FormModel& form) override;
  void Unload(forms::FormModel& form) override;
  void CaptionChanged(forms::FormModel& form, const forms::FormControl& control) override;
  void MsgBox(const std::string& text, host::MessageIcon icon) override;

  // The form's window, or null when it has none.
  HWND WindowOf(const forms::FormModel& form) const;
  // Destroys every window (when the library is unloaded).
  void DestroyAll();

  struct Window;

 private:
  HWND Build(forms::FormModel& form);

  HINSTANCE instance_;
  bool class_registered_ = false;
  std::map<const forms::FormModel*, std::unique_ptr<Window>> windows_;
};

}  // namespace quorvane::windows
