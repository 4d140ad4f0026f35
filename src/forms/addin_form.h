// frmAddIn: the small form of the development-environment cycle, with "OK" and "Cancel".
//
// The connection object creates it on first Show, gives it an owner and unloads it when the
// development environment disconnects.
#pragma once

#include <string>
#include <string_view>

#include "forms/form_model.h"
#include "forms/ui_port.h"
#include "state/state.h"

namespace quorvane::forms {

// What the form is given by the connection object: the name its development-environment object
// reports, and the way to hide the form again.
class AddInFormOwner {
 public:
  virtual ~AddInFormOwner() = default;
  virtual std::string EnvironmentName() = 0;
  virtual void Hide() = 0;
};

class AddInForm : public FormModel {
 public:
  static constexpr const char* kName = "frmAddIn";

  AddInForm(state::AddinState& state, FormsUi& ui);

  void set_owner(AddInFormOwner* owner) { owner_ = owner; }
  void Show();  // modeless
  void Hide();
  void Unload();

  // "OKButton": "AddIn operation on: <environment name>"; "CancelButton": the owner's Hide.
  // Without an owner both raise a HostError, as a form given no objects would.
  void Click(std::string_view control_name) override;

 private:
  state::AddinState& state_;
  FormsUi& ui_;
  AddInFormOwner* owner_ = nullptr;
};

}  // namespace quorvane::forms
