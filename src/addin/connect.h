// Connect: the add-in's connection object, which carries every operation the host calls.
//
// The host creates one Connect per connection and calls, in this order: the connection entry point
// (keeps the application), GetCustomUI (the ribbon definition), OnRibbonLoad (keeps the ribbon and
// hands the application to the rest of the add-in) and OnStartupComplete. From then on it calls the
// ribbon callbacks, directly or by name through ribbon/dispatch.h. A second, separate cycle serves
// the add-in designer's development environment: its connection events, a button on the "Add-Ins"
// command bar, frmAddIn and the "DisplayOnConnect" setting.
//
// Every Connect works on the one Library of the loaded library, which must outlive it. Operations
// that the host calls may raise a HostError; it goes back to the host as the failure of the
// callback. All calls come on the host's user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "addin/environment.h"
#include "addin/library.h"
#include "forms/addin_form.h"
#include "host/range.h"
#include "ribbon/dispatch.h"
#include "ribbon/office.h"
#include "state/state.h"

namespace quorvane::addin {

inline constexpr const char* kNoApplicationMessage = "Unable to initialize Application Object!";
inline constexpr const char* kMenuCaption = "My AddIn";
inline constexpr const char* kAddInsCommandBar = "Add-Ins";

// How the designer connects the add-in.
enum ConnectMode : int {
  kAfterStartup = 0,
  kStartup = 1,
  kExternal = 2,
  kCommandLine = 3,
};

class Connect : public ribbon::CallbackTarget,
                public state::RibbonRefresh,
                private forms::AddInFormOwner {
 public:
  explicit Connect(Library& library);
  ~Connect() override;
  Connect(const Connect&) = delete;
  Connect& operator=(const Connect&) = delete;

  Library& library() { return library_; }
  host::Application* application() const { return application_; }
  // The button on the "Add-Ins" command bar, if one was added.
  CommandBarControl* command_bar_control() const { return command_bar_control_.get(); }

  // True while frmAddIn is shown through Show.
  bool form_displayed_ = false;
  // The development environment given by the designer's connection event.
  DevelopmentEnvironment* development_environment_ = nullptr;
  // The ribbon given to OnRibbonLoad; used for invalidation.
  ribbon::RibbonUI* ribbon_ui = nullptr;

  // --- The host's connection entry points ---
  // Keeps the object as application when it is the spreadsheet application; otherwise warns with
  // "Unable to initialize Application Object!". Raises nothing.
  void IDTExtensibility2_OnConnection(HostObject* Application, int ConnectMode,
                                      HostObject* AddInInst = nullptr);
  // Nothing is released: the shared state lives as long as the library.
  void IDTExtensibility2_OnDisconnection(int RemoveMode);
  void IDTExtensibility2_OnAddInsUpdate();
  // Invalidates the whole ribbon once it has loaded.
  void IDTExtensibility2_OnStartupComplete();
  void IDTExtensibility2_OnBeginShutdown();
  // Turns the default-on options on again, then answers the ribbon XML (empty for other ribbons).
  // A failing step is skipped and the last error is shown once in a message box. Raises nothing.
  std::string IRibbonExtensibility_GetCustomUI(const std::string& RibbonID);

  // --- The designer's connection cycle ---
  // Keeps the development environment; shows frmAddIn for an external connection, otherwise adds
  // the "My AddIn" button and listens to its clicks; after start-up shows frmAddIn again when it
  // was showing when the last connection ended. An error ends it with a message box.
  void AddinInstance_OnConnection(HostObject* Application, int ConnectMode,
                                  HostObject* AddInInst = nullptr);
  // Deletes the button, records in "DisplayOnConnect" whether frmAddIn was showing and unloads
  // it. Errors are skipped.
  void AddinInstance_OnDisconnection(int RemoveMode);
  void MenuHandler_Click();
  // A button with that caption on the "Add-Ins" command bar; nothing when there is no such bar or
  // anything fails.
  std::shared_ptr<CommandBarControl> AddToAddInCommandBar(const std::string& caption);

  // --- Operations (ribbon::CallbackTarget) ---
  void OnRibbonLoad(ribbon::RibbonUI* ribbon) override;
  void Hide() override;  // errors ignored
  void Show() override;  // errors ignored
  std::string GetRibbonXMLText(const std::string& ribbon_id) override;
  void VNT(ribbon::RibbonControl& control) override;
  std::string OnGetText(ribbon::RibbonControl& control) override;
  // For "EditBox1" and "EditBox2": reads the text as a range reference and drops the result;
  // errors ignored. The edit boxes do not call it: the ribbon names no onChange.
  void ChangeText(ribbon::RibbonControl& control, const std::string& text) override;
  std::string GetRangeForm(ribbon::RibbonControl& control) override;
  void onButtonPressed(ribbon::RibbonControl& control) override;
  // The value of cell A1 of the connection's worksheet. The connection holds no worksheet (it
  // handles no sheet events), so this always raises "Object variable or With block variable not
  // set"; it is kept because the host may find it by name.
  void Editbox1_getText(ribbon::RibbonControl& control, host::Value& returned_value);
  state::Bool16 GetEnable(ribbon::RibbonControl& control) override;
  state::Bool16 GetPressed(ribbon::RibbonControl& control) override;
  void On_Action(ribbon::RibbonControl& control, state::Bool16 pressed) override;
  void SetDefaultChecks() override;
  // state::RibbonRefresh: invalidation through ribbon_ui; nothing before the ribbon has loaded.
  void RefreshControl(const std::string& control_id) override;
  void RefreshCounts() override;
  void RangeSetup() override;

 private:
  // forms::AddInFormOwner
  std::string EnvironmentName() override;

  // A message box through the held application, or the front end's when none is held.
  void Message(const std::string& text, host::MessageIcon icon = host::MessageIcon::kNone);

  Library& library_;
  host::Application* application_ = nullptr;
  std::shared_ptr<CommandBarControl> command_bar_control_;
  std::unique_ptr<forms::AddInForm> add_in_form_;
};

}  // namespace quorvane::addin
