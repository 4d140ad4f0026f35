#include "windows/win32_ui.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/error.h"
#include "windows/com_util.h"

namespace quorvane::windows {

namespace {

constexpr int kFirstControlId = 100;
constexpr const char* kDefaultFontName = "MS Sans Serif";
constexpr double kDefaultFontSize = 8.25;
// The smallest size a caption is shrunk to so that it fits its label.
constexpr double kSmallestFontSize = 6;
constexpr UINT_PTR kButtonSubclass = 1;
constexpr UINT_PTR kListSubclass = 2;
// Posted to a form by a click of one of its controls (the control's id in wParam).
constexpr UINT kClickMessage = WM_APP + 1;
// Posted to a form by a click of a line of one of its lists (the list's id in wParam, the line in
// lParam).
constexpr UINT kLineClickMessage = WM_APP + 2;

int Dpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Form measures are points; windows take pixels at the screen's resolution.
int Pixels(double points, int dpi) { return static_cast<int>(std::lround(points * dpi / 72.0)); }

HFONT MakeFont(const forms::Font& font, int pixels) {
  const std::string& name = font.name.empty() ? kDefaultFontName : font.name;
  return CreateFontW(-pixels, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH, Widen(name).c_str());
}

// Whether the caption, drawn as a label draws it (words wrapped, never broken), fits the box.
bool Fits(HFONT font, const std::wstring& caption, UINT format, int width, int height) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  RECT box{0, 0, width, 0};
  DrawTextW(screen, caption.c_str(), static_cast<int>(caption.size()), &box,
            format | DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  // A word wider than the box widens the measured box.
  return box.right <= width && box.bottom <= height;
}

// Puts the list's lines into its list box, each at the list's line height, and lets it scroll
// sideways as far as its widest line.
void FillList(HWND list, const forms::FormControl& control, int dpi) {
  if (control.line_height > 0) {
    SendMessageW(list, LB_SETITEMHEIGHT, 0, Pixels(control.line_height, dpi));
  }
  HDC screen = GetDC(list);
  HGDIOBJ old = SelectObject(screen, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  LONG widest = 0;
  for (const std::string& line : control.lines) {
    const std::wstring text = Widen(line);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SIZE size{};
    if (GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size)) {
      widest = std::max(widest, size.cx);
    }
  }
  SelectObject(screen, old);
  ReleaseDC(list, screen);
  // A little room after the widest line, as the list box leaves before the first.
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 6), 0);
}

}  // namespace

struct Win32FormsUi::Window {
  forms::FormModel* form = nullptr;
  HWND hwnd = nullptr;
  std::map<int, std::string> names;  // control id -> control name
  std::map<std::string, HWND> controls;
  std::vector<HWND> links;
  HWND default_button = nullptr;
  HWND cancel_button = nullptr;
  HWND first_tab_stop = nullptr;
  HWND tips = nullptr;  // owned by the form's window, destroyed with it
  std::vector<HFONT> fonts;
  std::vector<HBITMAP> pictures;
  HBRUSH white = nullptr;

  ~Window() {
    if (hwnd != nullptr) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      DestroyWindow(hwnd);
    }
    Release();
  }

  // The window was destroyed (with its children and tips): only the handles are forgotten.
  void Forget() {
    hwnd = nullptr;
    controls.clear();
    links.clear();
    default_button = cancel_button = first_tab_stop = tips = nullptr;
  }

  void Release() {
    for (HFONT font : fonts) DeleteObject(font);
    for (HBITMAP picture : pictures) DeleteObject(picture);
    if (white != nullptr) DeleteObject(white);
    fonts.clear();
    pictures.clear();
    white = nullptr;
  }

  // The font that fits the caption into its label: the control's own size, or smaller.
  HFONT FittingFont(const forms::FormControl& control, UINT format, int width, int height,
                    int dpi) {
    const std::wstring caption = Widen(control.caption);
    const double size = control.font.size > 0 ? control.font.size : kDefaultFontSize;
    const int smallest = Pixels(kSmallestFontSize, dpi);
    for (int pixels = Pixels(size, dpi);; --pixels) {
      HFONT font = MakeFont(control.font, pixels);
      if (font == nullptr) return nullptr;
      if (caption.empty() || pixels <= smallest || control.kind != forms::ControlKind::kLabel ||
          Fits(font, caption, format, width, height)) {
        fonts.push_back(font);
        return font;
      }
      DeleteObject(font);
    }
  }

  // The button a key presses: Enter the default one, Esc the cancel one, Space the default one when
  // no button has the focus; null for other keys.
  HWND ButtonForKey(WPARAM key, bool form_has_focus) const {
    if (key == VK_RETURN || (key == VK_SPACE && form_has_focus)) return default_button;
    if (key == VK_ESCAPE) return cancel_button;
    return nullptr;
  }

  // Presses the button as a click does.
  void Press(HWND button) const {
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  }
};

namespace {

// Enter and Esc in a control press the form's default and cancel buttons; true when one was
// pressed.
bool PressedForKey(Win32FormsUi::Window& window, UINT message, WPARAM key) {
  if (message != WM_KEYDOWN || (key != VK_RETURN && key != VK_ESCAPE)) return false;
  HWND button = window.ButtonForKey(key, false);
  if (button == nullptr) return false;
  window.Press(button);
  return true;
}

// Buttons: Enter and Esc reach the focused button, not the form; there they press the form's
// default and cancel buttons (Space presses the focused button itself).
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                            DWORD_PTR data) {
  auto* window = reinterpret_cast<Win32FormsUi::Window*>(data);
  if (PressedForKey(*window, message, wparam)) return 0;
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ButtonProc, kButtonSubclass);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// Lists: a click on the line that is already picked reports that line again (the list itself
// reports only a change of line); Enter and Esc press the form's default and cancel buttons.
LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                          DWORD_PTR data) {
  auto* window = reinterpret_cast<Win32FormsUi::Window*>(data);
  if (PressedForKey(*window, message, wparam)) return 0;
  // The second click of a quick pair comes as a double click.
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
    const LRESULT picked = SendMessageW(hwnd, LB_GETCURSEL, 0, 0);
    const LRESULT under = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lparam);
    const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
    if (picked != LB_ERR && HIWORD(under) == 0 && LOWORD(under) == picked) {
      PostMessageW(window->hwnd, kLineClickMessage, GetDlgCtrlID(hwnd), picked);
    }
    return result;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ListProc, kListSubclass);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// Runs a click of the form's model; nothing may leave a window procedure, so a failing click is
// reported as the host would. The click may unload the form: nothing of the window is touched
// after it.
template <typename F>
void RunClick(F&& click) {
  try {
    click();
  } catch (const host::HostError& error) {
    ShowMessageBox(error.description(), host::MessageIcon::kNone);
  } catch (...) {
    ShowMessageBox("Unexpected error", host::MessageIcon::kNone);
  }
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* window = reinterpret_cast<Win32FormsUi::Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window != nullptr) {
    switch (message) {
      case WM_COMMAND: {
        int code = HIWORD(wparam);
        if ((code == BN_CLICKED || code == STN_CLICKED) &&
            window->names.count(LOWORD(wparam)) > 0) {
          // The click runs once the control that reports it has returned: it may unload the form
          // and destroy the control.
          PostMessageW(hwnd, kClickMessage, LOWORD(wparam), 0);
          return 0;
        }
        if (code == LBN_SELCHANGE && window->names.count(LOWORD(wparam)) > 0) {
          const LRESULT line = SendMessageW(reinterpret_cast<HWND>(lparam), LB_GETCURSEL, 0, 0);
          if (line != LB_ERR) PostMessageW(hwnd, kLineClickMessage, LOWORD(wparam), line);
          return 0;
        }
        break;
      }
      case kClickMessage: {
        auto found = window->names.find(static_cast<int>(wparam));
        if (found == window->names.end()) return 0;
        forms::FormModel* form = window->form;
        const std::string name = found->second;
        RunClick([&] { form->Click(name); });
        return 0;
      }
      case kLineClickMessage: {
        auto found = window->names.find(static_cast<int>(wparam));
        if (found == window->names.end()) return 0;
        forms::FormModel* form = window->form;
        const std::string name = found->second;
        RunClick([&] { form->ClickLine(name, static_cast<std::size_t>(lparam)); });
        return 0;
      }
      case WM_KEYDOWN:
        if (HWND button = window->ButtonForKey(wparam, true)) {
          window->Press(button);
          return 0;
        }
        break;
      case WM_SETCURSOR: {
        HWND under = reinterpret_cast<HWND>(wparam);
        for (HWND link : window->links) {
          if (link == under) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
          }
        }
        break;
      }
      case WM_CTLCOLORSTATIC: {
        HWND control = reinterpret_cast<HWND>(lparam);
        for (const forms::FormControl& c : window->form->controls()) {
          auto it = window->controls.find(c.name);
          if (it != window->controls.end() && it->second == control && c.white_background) {
            SetBkColor(reinterpret_cast<HDC>(wparam), RGB(255, 255, 255));
            if (c.link) SetTextColor(reinterpret_cast<HDC>(wparam), RGB(0, 0, 204));
            return reinterpret_cast<LRESULT>(window->white);
          }
        }
        break;
      }
      case WM_CLOSE:
        // The close box hides the form; it is loaded again by the next Show.
        ShowWindow(hwnd, SW_HIDE);
        return 0;
      case WM_NCDESTROY:
        // Destroyed from outside: Windows destroys a window with its owner, and the owner (the
        // host's window of the workbook active when the form was shown) goes when the user closes
        // that workbook. The form keeps its model; its next showing builds the window again.
        window->Forget();
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
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

Win32FormsUi::Win32FormsUi(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);  // the tips
}

Win32FormsUi::~Win32FormsUi() {
  DestroyAll();
  if (class_registered_) UnregisterClassW(kFormClass, instance_);
}

void Win32FormsUi::DestroyAll() { windows_.clear(); }

HWND Win32FormsUi::WindowOf(const forms::FormModel& form) const {
  auto found = windows_.find(&form);
  return found == windows_.end() ? nullptr : found->second->hwnd;
}

HWND Win32FormsUi::LiveWindow(const forms::FormModel& form) {
  auto found = windows_.find(&form);
  if (found == windows_.end()) return nullptr;
  const HWND hwnd = found->second->hwnd;
  if (hwnd != nullptr && IsWindow(hwnd)) return hwnd;
  windows_.erase(found);  // destroyed with its owner: built again when next shown
  return nullptr;
}

HWND Win32FormsUi::Owner() const { return owner_source_ ? owner_source_() : nullptr; }

HWND Win32FormsUi::Build(forms::FormModel& form, HWND owner) {
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
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
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
                              width, height, owner, nullptr, instance_, nullptr);
  if (hwnd == nullptr) throw host::HostError("Cannot create the form " + form.name());
  window->hwnd = hwnd;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));

  int id = kFirstControlId;
  for (const forms::FormControl& control : form.controls()) {
    const wchar_t* control_class = L"STATIC";
    DWORD control_style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    UINT text_format = control.alignment == forms::Alignment::kCenter ? DT_CENTER : DT_LEFT;
    const int left = Pixels(control.left, dpi);
    const int top = Pixels(control.top, dpi);
    // Right and bottom edges from the measures' own sums: neighbours meet without overlapping.
    const int control_width = Pixels(control.left + control.width, dpi) - left;
    const int control_height = Pixels(control.top + control.height, dpi) - top;
    HBITMAP picture = nullptr;
    DWORD control_ex_style = 0;
    switch (control.kind) {
      case forms::ControlKind::kButton:
        control_class = L"BUTTON";
        control_style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case forms::ControlKind::kImage:
        if (!control.picture.empty()) {
          picture = static_cast<HBITMAP>(LoadImageW(instance_, Widen(control.picture).c_str(),
                                                    IMAGE_BITMAP, control_width, control_height,
                                                    LR_DEFAULTCOLOR));
        }
        control_style |= SS_NOTIFY | (picture != nullptr ? SS_BITMAP : SS_CENTER | SS_SUNKEN);
        break;
      case forms::ControlKind::kLabel:
        control_style |= SS_NOTIFY | (text_format == DT_CENTER ? SS_CENTER : SS_LEFT);
        break;
      case forms::ControlKind::kList:
        control_class = L"LISTBOX";
        control_style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;
        control_ex_style = WS_EX_CLIENTEDGE;
        break;
    }
    HWND child = CreateWindowExW(
        control_ex_style, control_class, picture != nullptr ? L"" : Widen(control.caption).c_str(),
        control_style, left, top, control_width, control_height, hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (child == nullptr) {
      if (picture != nullptr) DeleteObject(picture);
      continue;
    }
    // Each control lies above the ones listed before it.
    SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (picture != nullptr) {
      window->pictures.push_back(picture);
      SendMessageW(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    }
    if (HFONT font =
            window->FittingFont(control, text_format, control_width, control_height, dpi)) {
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (control.kind == forms::ControlKind::kButton) {
      SetWindowSubclass(child, ButtonProc, kButtonSubclass,
                        reinterpret_cast<DWORD_PTR>(window.get()));
      if (window->first_tab_stop == nullptr) window->first_tab_stop = child;
      if (control.default_button) window->default_button = child;
      if (control.cancel_button) window->cancel_button = child;
    }
    if (control.kind == forms::ControlKind::kList) {
      FillList(child, control, dpi);
      SetWindowSubclass(child, ListProc, kListSubclass, reinterpret_cast<DWORD_PTR>(window.get()));
    }
    if (control.link) window->links.push_back(child);
    if (!control.tip.empty()) {
      if (window->tips == nullptr) {
        window->tips =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, instance_, nullptr);
      }
      std::wstring tip = Widen(control.tip);
      TOOLINFOW tool{};
      tool.cbSize = TTTOOLINFOW_V2_SIZE;  // the size every version of the tips takes
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = hwnd;
      tool.uId = reinterpret_cast<UINT_PTR>(child);
      tool.lpszText = tip.data();
      if (window->tips != nullptr) {
        SendMessageW(window->tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
      }
    }
    window->names[id] = control.name;
    window->controls[control.name] = child;
    ++id;
  }
  windows_[&form] = std::move(window);
  return hwnd;
}

void Win32FormsUi::Show(forms::FormModel& form) {
  const HWND owner = Owner();
  HWND hwnd = LiveWindow(form);
  if (hwnd == nullptr) {
    hwnd = Build(form, owner);
  } else if (GetWindow(hwnd, GW_OWNER) != owner) {
    SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  }
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
}

void Win32FormsUi::SetFocus(forms::FormModel& form) {
  HWND hwnd = LiveWindow(form);
  if (hwnd == nullptr) hwnd = Build(form, Owner());
  SetForegroundWindow(hwnd);
  // The first button takes the keys, as in a dialog; a form without one takes them itself.
  HWND first = windows_[&form]->first_tab_stop;
  ::SetFocus(first != nullptr ? first : hwnd);
}
void Win32FormsUi::Hide(forms::FormModel& form) {
  if (HWND hwnd = LiveWindow(form)) ShowWindow(hwnd, SW_HIDE);
}

void Win32FormsUi::Unload(forms::FormModel& form) { windows_.erase(&form); }

void Win32FormsUi::CaptionChanged(forms::FormModel& form, const forms::FormControl& control) {
  if (LiveWindow(form) == nullptr) return;
  auto found = windows_.find(&form);
  auto child = found->second->controls.find(control.name);
  if (child == found->second->controls.end()) return;
  SetWindowTextW(child->second, Widen(control.caption).c_str());
  UpdateWindow(child->second);
}

void Win32FormsUi::LayoutChanged(forms::FormModel& form) {
  if (LiveWindow(form) == nullptr) return;
  auto found = windows_.find(&form);
  const HWND old = found->second->hwnd;
  RECT place{};
  GetWindowRect(old, &place);
  const bool visible = IsWindowVisible(old) != FALSE;
  const bool active = GetActiveWindow() == old;
  const HWND owner = GetWindow(old, GW_OWNER);
  windows_.erase(found);
  const HWND hwnd = Build(form, owner);
  SetWindowPos(hwnd, nullptr, place.left, place.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!visible) return;
  ShowWindow(hwnd, active ? SW_SHOW : SW_SHOWNOACTIVATE);
  UpdateWindow(hwnd);
  if (active) SetFocus(form);
}

void Win32FormsUi::MsgBox(const std::string& text, host::MessageIcon icon) {
  ShowMessageBox(text, icon);
}

}  // namespace quorvane::windows
