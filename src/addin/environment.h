// The objects a connecting host hands the add-in, as small interfaces of our own.
//
// At connection the host passes one object: the spreadsheet application when the spreadsheet host
// loads the add-in, a development-environment object when the add-in designer connects it.
// HostObject says which it is. The development environment offers command bars (to put a button on
// the "Add-Ins" bar) and an event service for that button's clicks. The host owns all of them; the
// add-in keeps plain pointers while the connection lasts.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/application.h"

namespace quorvane::addin {

inline constexpr int kControlButton = 1;  // the command-bar control type of a button

class CommandBarControl {
 public:
  virtual ~CommandBarControl() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Delete() = 0;
};

class CommandBar {
 public:
  virtual ~CommandBar() = default;
  // Controls.Add(Type): a new control at the end of the bar.
  virtual std::shared_ptr<CommandBarControl> AddControl(int type) = 0;
};

class DevelopmentEnvironment {
 public:
  virtual ~DevelopmentEnvironment() = default;
  // The name the environment reports for itself.
  virtual std::string Name() = 0;
  // The command bar of that name from the environment's command bars; nullptr when there is none.
  virtual CommandBar* CommandBars(const std::string& name) = 0;
  // Routes the control's click events to `on_click` (the environment's event service).
  virtual void ConnectClickEvents(CommandBarControl& control, std::function<void()> on_click) = 0;
};

// The object given to a connection entry point.
class HostObject {
 public:
  virtual ~HostObject() = default;
  // The spreadsheet application, or nullptr when the object is not one.
  virtual host::Application* AsApplication() { return nullptr; }
  // The development environment, or nullptr when the object is not one.
  virtual DevelopmentEnvironment* AsDevelopmentEnvironment() { return nullptr; }
};

class ApplicationObject : public HostObject {
 public:
  explicit ApplicationObject(host::Application& app) : app_(app) {}
  host::Application* AsApplication() override { return &app_; }

 private:
  host::Application& app_;
};

class EnvironmentObject : public HostObject {
 public:
  explicit EnvironmentObject(DevelopmentEnvironment& environment) : environment_(environment) {}
  DevelopmentEnvironment* AsDevelopmentEnvironment() override { return &environment_; }

 private:
  DevelopmentEnvironment& environment_;
};

}  // namespace quorvane::addin
