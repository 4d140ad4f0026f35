// frmAbout: the product's logo and name, and a line that leads to the maker's web page.
//
// One instance per loaded library. It is created when first shown; following the link with success
// unloads it, and the next Show creates it afresh. The link opens through the host's active
// workbook.
#pragma once

#include <string_view>

#include "forms/form_model.h"
#include "forms/ui_port.h"
#include "state/state.h"

namespace quorvane::forms {

class AboutForm : public FormModel {
 public:
  static constexpr const char* kName = "frmAbout";
  static constexpr const char* kMaker = "Quorvane";
  // The project's home page, a build setting (QUORVANE_HOME_PAGE).
  static constexpr const char* kMakerAddress = QUORVANE_HOME_PAGE;
  static constexpr const char* kLinkLabel = "Label4";
  // The picture Image1 shows, by the name the front ends know it under.
  static constexpr const char* kLogoPicture = "logo";

  // `state` (for the host application) and `ui` must outlive the form.
  AboutForm(state::AddinState& state, FormsUi& ui);

  void Show();  // modeless
  bool loaded() const { return loaded_; }

  // "Label4": opens the maker's page; unloads the form on success, otherwise shows
  // "Cannot open <address>" and stays.
  void Click(std::string_view control_name) override;

 private:
  state::AddinState& state_;
  FormsUi& ui_;
  bool loaded_ = false;
};

}  // namespace quorvane::forms
