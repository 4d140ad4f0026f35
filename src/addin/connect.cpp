#include "addin/connect.h"

#include "addin/registration.h"
#include "engine/options.h"
#include "host/error.h"
#include "ribbon/buttons.h"
#include "ribbon/callbacks.h"
#include "ribbon/progress.h"
#include "ribbon/range_entry.h"
#include "ribbon/ribbon_xml.h"

namespace quorvane::addin {

using host::HostError;

Connect::Connect(Library& library) : library_(library) { library_.state.ribbon = this; }

Connect::~Connect() {
  if (library_.state.ribbon == this) library_.state.ribbon = nullptr;
}

void Connect::Message(const std::string& text, host::MessageIcon icon) {
  forms::ShowMessage(application_ != nullptr ? application_ : library_.state.application,
                     library_.ui, text, icon);
}

// --- The host's connection entry points ---

void Connect::IDTExtensibility2_OnConnection(HostObject* Application, int /*ConnectMode*/,
                                             HostObject* /*AddInInst*/) {
  try {
    application_ = Application != nullptr ? Application->AsApplication() : nullptr;
  } catch (const HostError&) {
    application_ = nullptr;
  }
  if (application_ == nullptr) Message(kNoApplicationMessage, host::MessageIcon::kExclamation);
}

void Connect::IDTExtensibility2_OnDisconnection(int /*RemoveMode*/) {}
void Connect::IDTExtensibility2_OnAddInsUpdate() {}
void Connect::IDTExtensibility2_OnBeginShutdown() {}

void Connect::IDTExtensibility2_OnStartupComplete() {
  if (library_.ribbon_ui != nullptr) library_.ribbon_ui->Invalidate();
}

std::string Connect::IRibbonExtensibility_GetCustomUI(const std::string& RibbonID) {
  std::string last_error;
  bool failed = false;
  try {
    SetDefaultChecks();
  } catch (const HostError& error) {
    failed = true;
    last_error = error.description();
  }
  std::string xml;
  try {
    xml = GetRibbonXMLText(RibbonID);
  } catch (const HostError& error) {
    failed = true;
    last_error = error.description();
  }
  if (failed) Message(last_error);
  return xml;
}

// --- The designer's connection cycle ---

void Connect::AddinInstance_OnConnection(HostObject* Application, int ConnectMode,
                                         HostObject* /*AddInInst*/) {
  try {
    development_environment_ =
        Application != nullptr ? Application->AsDevelopmentEnvironment() : nullptr;
    if (development_environment_ == nullptr) throw HostError(host::kTypeMismatch);
    if (ConnectMode == kExternal) {
      Show();
    } else {
      command_bar_control_ = AddToAddInCommandBar(kMenuCaption);
      if (command_bar_control_ == nullptr) throw HostError(host::kObjectNotSet);
      development_environment_->ConnectClickEvents(*command_bar_control_,
                                                   [this] { MenuHandler_Click(); });
    }
    if (ConnectMode == kAfterStartup &&
        library_.settings.GetSetting(registration::kSettingsAppName, registration::kSettingsSection,
                                     registration::kDisplayOnConnect, "0") == "1") {
      Show();
    }
  } catch (const HostError& error) {
    Message(error.description());
  }
}

void Connect::AddinInstance_OnDisconnection(int /*RemoveMode*/) {
  // Each step runs even when an earlier one failed.
  try {
    if (command_bar_control_ != nullptr) command_bar_control_->Delete();
  } catch (const HostError&) {
  }
  command_bar_control_.reset();
  const char* displayed = form_displayed_ ? "1" : "0";
  form_displayed_ = false;
  try {
    library_.settings.SaveSetting(registration::kSettingsAppName, registration::kSettingsSection,
                                  registration::kDisplayOnConnect, displayed);
  } catch (const HostError&) {
  }
  try {
    if (add_in_form_ != nullptr) add_in_form_->Unload();
  } catch (const HostError&) {
  }
  add_in_form_.reset();
}

void Connect::MenuHandler_Click() { Show(); }

std::shared_ptr<CommandBarControl> Connect::AddToAddInCommandBar(const std::string& caption) {
  try {
    if (development_environment_ == nullptr) return nullptr;
    CommandBar* bar = development_environment_->CommandBars(kAddInsCommandBar);
    if (bar == nullptr) return nullptr;
    std::shared_ptr<CommandBarControl> control = bar->AddControl(kControlButton);
    if (control == nullptr) return nullptr;
    control->SetCaption(caption);
    return control;
  } catch (const HostError&) {
    return nullptr;
  }
}

std::string Connect::EnvironmentName() {
  if (development_environment_ == nullptr) throw HostError(host::kObjectNotSet);
  return development_environment_->Name();
}

void Connect::Show() {
  try {
    if (add_in_form_ == nullptr) {
      add_in_form_ = std::make_unique<forms::AddInForm>(library_.state, library_.ui);
    }
    add_in_form_->set_owner(this);
    form_displayed_ = true;
    add_in_form_->Show();
  } catch (const HostError&) {
  }
}

void Connect::Hide() {
  try {
    form_displayed_ = false;
    if (add_in_form_ == nullptr) {
      add_in_form_ = std::make_unique<forms::AddInForm>(library_.state, library_.ui);
    }
    add_in_form_->Hide();
  } catch (const HostError&) {
  }
}

// --- Ribbon operations ---

void Connect::OnRibbonLoad(ribbon::RibbonUI* ribbon) {
  library_.ribbon_ui = ribbon;
  ribbon_ui = ribbon;
  library_.state.application = application_;
}

std::string Connect::GetRibbonXMLText(const std::string& ribbon_id) {
  return ribbon::GetRibbonXMLText(ribbon_id);
}

void Connect::VNT(ribbon::RibbonControl& /*control*/) {
  ribbon::ShowResults(library_.results_form);
}

std::string Connect::OnGetText(ribbon::RibbonControl& control) {
  return ribbon::OnGetText(library_.state, control);
}

void Connect::ChangeText(ribbon::RibbonControl& control, const std::string& text) {
  try {
    if (control.Id() == "EditBox1" || control.Id() == "EditBox2") {
      host::Application* app = application_ != nullptr ? application_ : library_.state.application;
      if (app != nullptr) app->RangeFromReference(text);
    }
  } catch (const HostError&) {
  }
}

std::string Connect::GetRangeForm(ribbon::RibbonControl& control) {
  return ribbon::GetRangeForm(library_.state, application_, control);
}

void Connect::onButtonPressed(ribbon::RibbonControl& control) {
  ribbon::CommandContext context{library_.state, application_, library_.results_form,
                                 library_.about_form, library_.comparison_running};
  ribbon::PressButton(context, control);
}

void Connect::Editbox1_getText(ribbon::RibbonControl& /*control*/,
                               host::Value& /*returned_value*/) {
  throw HostError(host::kObjectNotSet);
}

state::Bool16 Connect::GetEnable(ribbon::RibbonControl& /*control*/) {
  return ribbon::GetEnable(library_.state);
}

state::Bool16 Connect::GetPressed(ribbon::RibbonControl& control) {
  return engine::GetPressed(library_.state, control);
}

void Connect::On_Action(ribbon::RibbonControl& control, state::Bool16 pressed) {
  engine::ToggleOption(library_.state, control, pressed);
}

void Connect::SetDefaultChecks() { engine::SetDefaultChecks(library_.state); }

void Connect::RefreshControl(const std::string& control_id) {
  if (ribbon_ui != nullptr) ribbon_ui->InvalidateControl(control_id);
}

void Connect::RefreshCounts() {
  for (int i = 0; i < state::kCounterCount; ++i) {
    RefreshControl(std::string(ribbon::CountLabel(static_cast<state::Counter>(i))));
  }
}

void Connect::RangeSetup() {
  ribbon::ComparisonGuard guard(library_.comparison_running);
  ribbon::RangeSetup(library_.state, library_.results_form,
                     application_ != nullptr ? application_ : library_.state.application);
}

}  // namespace quorvane::addin
