// What the Office host hands the add-in for its ribbon, as small interfaces of our own.
//
// RibbonUI is the ribbon object given to the ribbon-load callback (the host owns it; the add-in
// keeps a plain pointer for as long as the library is loaded). The ribbon control passed to every
// callback is state::RibbonControl (its Id, read afresh at each use). The Windows binding wraps
// the COM objects in these; tests and other front ends use their own.
#pragma once

#include <string>
#include <utility>

#include "state/state.h"

namespace quorvane::ribbon {

using state::RibbonControl;

class RibbonUI {
 public:
  virtual ~RibbonUI() = default;
  // Makes the host ask every dynamic control of the add-in again.
  virtual void Invalidate() = 0;
  // Makes the host ask one control again.
  virtual void InvalidateControl(const std::string& control_id) = 0;
};

// A ribbon control with a fixed id.
class FixedControl : public RibbonControl {
 public:
  explicit FixedControl(std::string id) : id_(std::move(id)) {}
  std::string Id() override { return id_; }

 private:
  std::string id_;
};

// A second holder of the ribbon object with one read/write property. Nothing in the add-in creates
// one; it is offered to the host's type library as it stands.
class oRibbon {
 public:
  RibbonUI* ribbonUI() const { return ribbon_; }
  void set_ribbonUI(RibbonUI* exRibbon) { ribbon_ = exRibbon; }

 private:
  RibbonUI* ribbon_ = nullptr;
};

}  // namespace quorvane::ribbon
