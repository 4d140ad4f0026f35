#include "forms/addin_form.h"

#include "host/error.h"

namespace quorvane::forms {

AddInForm::AddInForm(state::AddinState& state, FormsUi& ui)
    : FormModel(kName, "My Add In", 240, 90,
                {{"OKButton",
                  ControlKind::kButton,
                  "OK",
                  156,
                  12,
                  72,
                  24,
                  {},
                  Alignment::kCenter,
                  false,
                  ""},
                 {"CancelButton",
                  ControlKind::kButton,
                  "Cancel",
                  156,
                  42,
                  72,
                  24,
                  {},
                  Alignment::kCenter,
                  false,
                  ""}}),
      state_(state),
      ui_(ui) {}

void AddInForm::Show() {
  ui_.Show(*this);
  set_visible(true);
}

void AddInForm::Hide() {
  ui_.Hide(*this);
  set_visible(false);
}

void AddInForm::Unload() {
  ui_.Unload(*this);
  set_visible(false);
}

void AddInForm::Click(std::string_view control_name) {
  if (control_name != "OKButton" && control_name != "CancelButton") return;
  if (owner_ == nullptr) throw host::HostError(host::kObjectNotSet);
  if (control_name == "OKButton") {
    ShowMessage(state_.application, ui_, "AddIn operation on: " + owner_->EnvironmentName());
  } else {
    owner_->Hide();
  }
}

}  // namespace quorvane::forms
