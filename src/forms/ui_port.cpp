#include "forms/ui_port.h"

#include "host/error.h"

namespace quorvane::forms {

void ShowMessage(host::Application* app, FormsUi& ui, const std::string& text,
                 host::MessageIcon icon) {
  if (app != nullptr) {
    try {
      app->MsgBox(text, icon);
      return;
    } catch (const host::HostError&) {
      // The host could not show it; the front end still can.
    }
  }
  ui.MsgBox(text, icon);
}

}  // namespace quorvane::forms
