// A thread that watches this process's top-level windows as a user would: it reads every message
// box that appears and presses its OK button, notes every form window it sees, and presses a form's
// button when asked.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "windows/win32_ui.h"

namespace quorvane::windows::testing {

struct SeenMessageBox {
  std::string title;
  std::string text;
  bool has_icon = false;
};

struct SeenForm {
  std::string caption;
  std::vector<std::string> texts;  // the captions of its controls, in creation order
};

class UiWatcher {
 public:
  UiWatcher();
  ~UiWatcher();
  UiWatcher(const UiWatcher&) = delete;
  UiWatcher& operator=(const UiWatcher&) = delete;

  std::vector<SeenMessageBox> TakeMessageBoxes();
  // Forms seen visible since the last call.
  std::vector<SeenForm> TakeForms();
  // Asks the watcher to press the button with this caption on the visible form with this caption,
  // and waits (at most `timeout_ms`) until it has; false when it found none.
  bool PressButton(const std::string& form_caption, const std::string& button_caption,
                   DWORD timeout_ms = 5000);

 private:
  void Run();
  void Scan();

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenMessageBox> boxes_;
  std::vector<SeenForm> forms_;
  std::string press_form_, press_button_;
  HANDLE pressed_ = nullptr;
  bool press_done_ = false;
  std::thread thread_;
};

// Lets this thread's windows handle their messages until `done` holds (or three seconds pass);
// whether it holds.
template <typename Done>
bool PumpUntil(Done done) {
  for (int i = 0; i < 300 && !done(); ++i) {
    PumpMessages();
    Sleep(10);
  }
  return done();
}

// The caption of a window.
std::string WindowText(HWND window);
// The captions of a window's child windows, in creation order.
std::vector<std::string> ChildTexts(HWND window);

}  // namespace quorvane::windows::testing
