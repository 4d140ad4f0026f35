// Callbacks by name: the table through which the host reaches the add-in's operations.
//
// The host finds a callback by the name written in the ribbon XML, without regard to case
// ("OnButtonPressed" and "onButtonPressed" are one operation), and calls it with a few arguments of
// simple kinds. FindCallback maps a name to a number, Invoke calls the operation with arguments of
// the kinds below. The Windows binding maps IDispatch's GetIDsOfNames and Invoke onto these; the
// tests call them directly. Nothing here throws: an unknown name, wrong arguments and errors raised
// by the operation come back as the result's status.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ribbon/office.h"
#include "state/state.h"

namespace quorvane::ribbon {

// An argument or result: nothing, a ribbon control, a ribbon object, a 16-bit boolean, a text.
using Variant = std::variant<std::monostate, RibbonControl*, RibbonUI*, state::Bool16, std::string>;

// The operations reachable by name; the add-in's connection object implements them.
class CallbackTarget {
 public:
  virtual ~CallbackTarget() = default;
  virtual void OnRibbonLoad(RibbonUI* ribbon) = 0;
  virtual void Hide() = 0;
  virtual void Show() = 0;
  virtual std::string GetRibbonXMLText(const std::string& ribbon_id) = 0;
  virtual void VNT(RibbonControl& control) = 0;
  virtual std::string OnGetText(RibbonControl& control) = 0;
  virtual void ChangeText(RibbonControl& control, const std::string& Text) = 0;
  virtual std::string GetRangeForm(RibbonControl& control) = 0;
  virtual void onButtonPressed(RibbonControl& control) = 0;
  virtual state::Bool16 GetEnable(RibbonControl& control) = 0;
  virtual state::Bool16 GetPressed(RibbonControl& control) = 0;
  virtual void On_Action(RibbonControl& control, state::Bool16 pressed) = 0;
  virtual void SetDefaultChecks() = 0;
  virtual void RefreshControl(const std::string& control_id) = 0;
  virtual void RefreshCounts() = 0;
  virtual void RangeSetup() = 0;
};

enum class DispatchStatus {
  kOk,
  kUnknownName,   // no operation of that name (or number)
  kBadArguments,  // wrong number or kinds of arguments
  kFailed,        // the operation raised an error; description() tells which
};

struct DispatchResult {
  DispatchStatus status = DispatchStatus::kOk;
  Variant value;            // the operation's result; nothing for operations without one
  std::string description;  // why it did not succeed
};

// The number of the operation of that name, compared without regard to case; nothing if none.
// Numbers start at 1.
std::optional<int> FindCallback(std::string_view name);
// The operation's own spelling of its name; empty for an unknown number.
std::string_view CallbackName(int dispid);
// The number of arguments the operation takes; nothing for an unknown number.
std::optional<std::size_t> CallbackArity(int dispid);

// Calls the operation with the arguments in their natural order (first argument first).
DispatchResult Invoke(CallbackTarget& target, int dispid, std::span<const Variant> args);
DispatchResult Invoke(CallbackTarget& target, std::string_view name, std::span<const Variant> args);
// Calls a control's callback by name as the host does: a control with that id first, then `more`.
DispatchResult InvokeForControl(CallbackTarget& target, std::string_view name,
                                const std::string& control_id, std::vector<Variant> more = {});

}  // namespace quorvane::ribbon
