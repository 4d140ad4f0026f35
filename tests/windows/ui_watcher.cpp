#include "ui_watcher.h"

#include <algorithm>

#include "windows/com_util.h"
#include "windows/win32_ui.h"

namespace quorvane::windows::testing {

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> Children(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

BOOL CALLBACK CollectTop(HWND window, LPARAM list) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  }
  return TRUE;
}

}  // namespace

std::string WindowText(HWND window) {
  // InternalGetWindowText sends no message: the window's thread may be busy or waiting for us.
  wchar_t text[1024] = {};
  InternalGetWindowText(window, text, 1024);
  return Narrow(std::wstring_view(text));
}

std::vector<std::string> ChildTexts(HWND window) {
  // Controls are numbered in the order they were made; they are listed by that number, whichever
  // lies above which.
  std::vector<HWND> children = Children(window);
  std::stable_sort(children.begin(), children.end(),
                   [](HWND a, HWND b) { return GetDlgCtrlID(a) < GetDlgCtrlID(b); });
  std::vector<std::string> texts;
  for (HWND child : children) texts.push_back(WindowText(child));
  return texts;
}

UiWatcher::UiWatcher()
    : pressed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this] { Run(); }) {}

UiWatcher::~UiWatcher() {
  stop_ = true;
  thread_.join();
  CloseHandle(pressed_);
}

void UiWatcher::Run() {
  while (!stop_) {
    Scan();
    Sleep(20);
  }
}

void UiWatcher::Scan() {
  std::vector<HWND> windows;
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) {
    std::wstring window_class = ClassOf(window);
    if (window_class == L"#32770") {
      SeenMessageBox box;
      box.title = WindowText(window);
      for (HWND child : Children(window)) {
        if (ClassOf(child) != L"Static") continue;
        LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
          if (SendMessageW(child, STM_GETICON, 0, 0) != 0) box.has_icon = true;
        } else if (std::string text = WindowText(child); !text.empty()) {
          box.text += text;
        }
      }
      // Read it, then press OK as the user would.
      PostMessageW(window, WM_COMMAND, IDOK, 0);
      std::lock_guard lock(mutex_);
      boxes_.push_back(box);
      // The box may be seen again before it closes; wait for it to go.
      for (int i = 0; i < 100 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(10);
    } else if (window_class == kFormClass) {
      SeenForm form{WindowText(window), ChildTexts(window)};
      std::lock_guard lock(mutex_);
      if (!press_done_ && !press_form_.empty() && form.caption == press_form_) {
        for (HWND child : Children(window)) {
          if (ClassOf(child) == L"Button" && WindowText(child) == press_button_) {
            PostMessageW(child, BM_CLICK, 0, 0);
            press_done_ = true;
            SetEvent(pressed_);
          }
        }
      }
      if (forms_.empty() || forms_.back().caption != form.caption) forms_.push_back(form);
    }
  }
}

std::vector<SeenMessageBox> UiWatcher::TakeMessageBoxes() {
  std::lock_guard lock(mutex_);
  return std::exchange(boxes_, {});
}

std::vector<SeenForm> UiWatcher::TakeForms() {
  std::lock_guard lock(mutex_);
  return std::exchange(forms_, {});
}

bool UiWatcher::PressButton(const std::string& form_caption, const std::string& button_caption,
                            DWORD timeout_ms) {
  {
    std::lock_guard lock(mutex_);
    press_form_ = form_caption;
    press_button_ = button_caption;
    press_done_ = false;
    ResetEvent(pressed_);
  }
  bool done = WaitForSingleObject(pressed_, timeout_ms) == WAIT_OBJECT_0;
  std::lock_guard lock(mutex_);
  press_form_.clear();
  return done;
}

}  // namespace quorvane::windows::testing
