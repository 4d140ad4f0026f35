// The Win32 forms on their own: frmAddIn drawn from its model, its buttons pressed from the watcher
// thread as a user would, its message box read, and its measures converted for the screen.
#include <windows.h>

#include <cmath>

#include "check.h"
#include "forms/addin_form.h"
#include "session.h"
#include "state/state.h"
#include "windows/win32_ui.h"

namespace quorvane::windows::testing {
namespace {

struct Owner : forms::AddInFormOwner {
  std::string EnvironmentName() override { return "Test Environment"; }
  void Hide() override { ++hides; }
  int hides = 0;
};

TEST_CASE("frmAddIn: a modeless window sized for the screen, whose buttons work") {
  Session& s = TheSession();
  Win32FormsUi ui(GetModuleHandleW(nullptr));
  state::AddinState state;
  forms::AddInForm form(state, ui);
  Owner owner;
  form.set_owner(&owner);
  form.Show();
  HWND window = ui.WindowOf(form);
  CHECK(window != nullptr && IsWindowVisible(window));
  if (window == nullptr) return;
  CHECK_EQ(WindowText(window), std::string("My Add In"));
  CHECK((ChildTexts(window) == std::vector<std::string>{"OK", "Cancel"}));
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  RECT client;
  GetClientRect(window, &client);
  CHECK_EQ(static_cast<long>(client.right), std::lround(form.width() * dpi / 72.0));
  CHECK_EQ(static_cast<long>(client.bottom), std::lround(form.height() * dpi / 72.0));

  s.watcher->TakeMessageBoxes();
  CHECK(s.watcher->PressButton("My Add In", "OK"));
  std::vector<SeenMessageBox> boxes;
  CHECK(PumpUntil([&] {
    for (SeenMessageBox& box : s.watcher->TakeMessageBoxes()) boxes.push_back(box);
    return !boxes.empty();
  }));
  if (!boxes.empty()) {
    CHECK_EQ(boxes[0].text, std::string("AddIn operation on: Test Environment"));
    CHECK(!boxes[0].has_icon);
  }
  CHECK(s.watcher->PressButton("My Add In", "Cancel"));
  CHECK(PumpUntil([&] { return owner.hides == 1; }));

  // A click that fails reaches the user as a message, not as a crash.
  form.set_owner(nullptr);
  CHECK(s.watcher->PressButton("My Add In", "OK"));
  boxes.clear();
  CHECK(PumpUntil([&] {
    for (SeenMessageBox& box : s.watcher->TakeMessageBoxes()) boxes.push_back(box);
    return !boxes.empty();
  }));
  if (!boxes.empty()) {
    CHECK_EQ(boxes[0].text, std::string("Object variable or With block variable not set"));
  }
  form.Hide();
  CHECK(!IsWindowVisible(window));
  form.Unload();
  CHECK(ui.WindowOf(form) == nullptr);
  CHECK(!IsWindow(window));
}

}  // namespace
}  // namespace quorvane::windows::testing
