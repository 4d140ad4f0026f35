#include "forms/about_form.h"

#include <string>
#include <vector>

#include "host/error.h"

namespace quorvane::forms {
namespace {

// What Image1 shows, told in words for a front end that draws no pictures.
constexpr const char* kLogoDescription =
    "Quorvane logo: two overlapping ledger sheets in blue and green, joined by a white tick";

std::vector<FormControl> Layout() {
  // Label1, the white background, comes first: every other control lies above it.
  FormControl background{"Label1", ControlKind::kLabel, "", 0, 0, 354.75, 174.75};
  background.white_background = true;
  FormControl logo{"Image1", ControlKind::kImage, kLogoDescription, 24, 30, 90, 90};
  logo.alignment = Alignment::kCenter;
  logo.picture = AboutForm::kLogoPicture;
  FormControl product{"Label3", ControlKind::kLabel, "Vantorel", 186, 36, 138.75, 30.75};
  product.font = Font{"MS Sans Serif", 12, true};
  product.white_background = true;
  FormControl maker{AboutForm::kLinkLabel,
                    ControlKind::kLabel,
                    std::string("Made by ") + AboutForm::kMaker,
                    186,
                    108,
                    102.75,
                    24.75};
  maker.white_background = true;
  maker.tip = std::string("Visit ") + AboutForm::kMakerAddress;
  maker.link = true;
  return {background, logo, product, maker};
}

}  // namespace

AboutForm::AboutForm(state::AddinState& state, FormsUi& ui)
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
    ShowMessage(state_.application, ui_, std::string("Cannot open ") + kMakerAddress);
    return;
  }
  ui_.Unload(*this);
  set_visible(false);
  loaded_ = false;
}

}  // namespace quorvane::forms
