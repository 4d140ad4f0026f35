#include "windows/win32_ui.h"

#include <cmath>
#include <vector>

#include "host/error.h"
#include "windows/com_util.h"

namespace quorvane::windows {

namespace {

constexpr int kFirstControlId = 100;
constexpr const char* kDefaultFontName = "MS Sans Serif";
constexpr double kDefaultFontSize = 8.25;

int Dpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Form measures are points; windows take pixels at the screen's resolution.
int Pixels(double points, int dpi) { return static_cast<int>(std::lround(points * dpi / 72.0)); }

}  // namespace

struct Win32FormsUi::Window {
  forms::FormModel* form = nullptr;
  HWND hwnd = nullptr;
  std::map<int, std::string> names;  // control id -> control name
  std::map<std::string, HWND> controls;
  std::vector<HFONT> fonts;
  HBRUSH white = nullptr;

  ~Window() {
    if (hwnd != nullptr) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      DestroyWindow(hwnd);
    }
    for (HFONT font : fonts) DeleteObject(font);
    if (white != nullptr) DeleteObject(white);
  }
};

namespace {

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* window = reinterpret_cast<Win32FormsUi::Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window != nullptr) {
    switch (message) {
      case WM_COMMAND: {
        int code = HIWORD(wparam);
        auto found = window->names.find(LOWORD(wparam));
        if ((code == BN_CLICKED || code == STN_CLICKED) && found != window->names.end()) {
          // Nothing may leave a window procedure: a failing click is reported as the host would.
          try {
            window->form->Click(found->second);
          } catch (const host::HostError& error) {
            ShowMessageBox(error.description(), host::MessageIcon::kNone);
          } catch (...) {
            ShowMessageBox("Unexpected error", host::MessageIcon::kNone);
          }
          return 0;
        }
        break;
      }
      case WM_CTLCOLORSTATIC: {
        HWND control = reinterpret_cast<HWND>(lparam);
        for (const forms::FormControl& c : window->form->controls()) {
          auto it = window->controls.find(c.name);
          if (it != window->controls.end() && it->second == control && c.white_background) {
            SetBkColor(reinterpret_cast<HDC>(wparam), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(window->white);
          }
        }
        break;
      }
      case WM_CLOSE:
        // The close box hides the form; it is loaded again by the next Show.
        ShowWindow(hwnd, SW_HIDE);
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

void ShowMessageBox(const std::string& text, host::MessageIcon icon) {
  UINT style = MB_OK | MB_SETFOREGROUND;
  if (icon == host::MessageIcon::kExclamation) style |= MB_ICONEXCLAMATION;
  MessageBoxW(GetActiveWindow(), Widen(text).c_str(), kMessageTitle, style);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave the quit request to the host's own loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

Win32FormsUi::Win32FormsUi(HINSTANCE instance) : instance_(instance) {}

Win32FormsUi::~Win32FormsUi() {
  DestroyAll();
  if (class_registered_) UnregisterClassW(kFormClass, instance_);
}

void Win32FormsUi::DestroyAll() { windows_.clear(); }

HWND Win32FormsUi::WindowOf(const forms::FormModel& form) const {
  auto found = windows_.find(&form);
  return found == windows_.end() ? nullptr : found->second->hwnd;
}

HWND Win32FormsUi::Build(forms::FormModel& form) {
  if (HWND existing = WindowOf(form)) return existing;
  if (!class_registered_) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = FormProc;
    window_class.hInstance = instance_;
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kFormClass;
    if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      throw host::HostError("Cannot register the form's window class");
    }
    class_registered_ = true;
  }

  const int dpi = Dpi();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD ex_style = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, Pixels(form.width(), dpi), Pixels(form.height(), dpi)};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  auto window = std::make_unique<Window>();
  window->form = &form;
  window->white = CreateSolidBrush(RGB(255, 255, 255));
  HWND hwnd = CreateWindowExW(ex_style, kFormClass, Widen(form.caption()).c_str(), style, x, y,
                              width, height, nullptr, nullptr, instance_, nullptr);
  if (hwnd == nullptr) throw host::HostError("Cannot create the form " + form.name());
  window->hwnd = hwnd;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));

  int id = kFirstControlId;
  for (const forms::FormControl& control : form.controls()) {
    const wchar_t* control_class = L"STATIC";
    DWORD control_style = WS_CHILD | WS_VISIBLE;
    switch (control.kind) {
      case forms::ControlKind::kButton:
        control_class = L"BUTTON";
        control_style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case forms::ControlKind::kImage:
        control_style |= SS_CENTER | SS_SUNKEN | SS_NOTIFY;
        break;
      case forms::ControlKind::kLabel:
        control_style |=
            SS_NOTIFY | (control.alignment == forms::Alignment::kCenter ? SS_CENTER : SS_LEFT);
        break;
    }
    HWND child = CreateWindowExW(
        0, control_class, Widen(control.caption).c_str(), control_style, Pixels(control.left, dpi),
        Pixels(control.top, dpi), Pixels(control.width, dpi), Pixels(control.height, dpi), hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (child == nullptr) continue;
    const std::string& font_name = control.font.name.empty() ? kDefaultFontName : control.font.name;
    double size = control.font.size > 0 ? control.font.size : kDefaultFontSize;
    HFONT font =
        CreateFontW(-Pixels(size, dpi), 0, 0, 0, control.font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                    FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH, Widen(font_name).c_str());
    if (font != nullptr) {
      window->fonts.push_back(font);
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    window->names[id] = control.name;
    window->controls[control.name] = child;
    ++id;
  }
  windows_[&form] = std::move(window);
  return hwnd;
}

void Win32FormsUi::Show(forms::FormModel& form) {
  HWND hwnd = Build(form);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
}

void Win32FormsUi::SetFocus(forms::FormModel& form) {
  HWND hwnd = Build(form);
  SetForegroundWindow(hwnd);
  ::SetFocus(hwnd);
}

void Win32FormsUi::Hide(forms::FormModel& form) {
  if (HWND hwnd = WindowOf(form)) ShowWindow(hwnd, SW_HIDE);
}

void Win32FormsUi::Unload(forms::FormModel& form) { windows_.erase(&form); }

void Win32FormsUi::CaptionChanged(forms::FormModel& form, const forms::FormControl& control) {
  auto found = windows_.find(&form);
  if (found == windows_.end()) return;
  auto child = found->second->controls.find(control.name);
  if (child == found->second->controls.end()) return;
  SetWindowTextW(child->second, Widen(control.caption).c_str());
  UpdateWindow(child->second);
}

void Win32FormsUi::MsgBox(const std::string& text, host::MessageIcon icon) {
  ShowMessageBox(text, icon);
}

}  // namespace quorvane::windows
