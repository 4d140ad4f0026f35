#include "forms/about_form.h"

#include <string>
#include <vector>

#include "host/error.h"

namespace quorvane::forms {
namespace {

std::vector<FormControl> Layout() {
  return {
      {"Label1", ControlKind::kLabel, "", 0, 0, 354.75, 174.75, {}, Alignment::kLeft, true, ""},
      {"Image1",
       ControlKind::kImage,
       "Quorvane logo: two overlapping ledger sheets in blue and green, joined by a white tick",
       24,
       30,
       90,
       90,
       {},
       Alignment::kCenter,
       false,
       ""},
      {"Label3", ControlKind::kLabel, "Vantorel", 186, 36, 138.75, 30.75,
       Font{"MS Sans Serif", 12, true}, Alignment::kLeft, true, ""},
      {AboutForm::kLinkLabel,
       ControlKind::kLabel,
       std::string("Made by ") + AboutForm::kMaker,
       186,
       108,
       102.75,
       24.75,
       {},
       Alignment::kLeft,
       true,
       std::string("Visit ") + AboutForm::kMakerAddress},
  };
}

}  // namespace

AboutForm::AboutForm(engine::AddinState& state, FormsUi& ui)
    : FormModel(kName, "About", 355.5, 175.5, Layout()), state_(state), ui_(ui) {}

void AboutForm::Show() {
  loaded_ = true;
  ui_.Show(*this);
  set_visible(true);
}

void AboutForm::Click(std::string_view control_name) {
  if (control_name != kLinkLabel) return;
  try {
    state_.app().ActiveWorkbook().FollowHyperlink(kMakerAddress);
  } catch (const host::HostError&) {
    ShowMessage(state_.oApp, ui_, std::string("Cannot open ") + kMakerAddress);
    return;
  }
  ui_.Unload(*this);
  set_visible(false);
  loaded_ = false;
}

}  // namespace quorvane::forms
