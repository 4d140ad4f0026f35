#include "ribbon/dispatch.h"

#include <array>
#include <exception>

#include "host/ascii.h"
#include "host/error.h"

namespace quorvane::ribbon {
namespace {

using Args = std::span<const Variant>;

// Thrown by the argument readers below; turned into kBadArguments.
struct BadArgument {
  std::string description;
};

RibbonControl& ControlArg(Args args, std::size_t i) {
  const auto* control = std::get_if<RibbonControl*>(&args[i]);
  if (control == nullptr || *control == nullptr) {
    throw BadArgument{"argument " + std::to_string(i + 1) + " is not a ribbon control"};
  }
  return **control;
}

const std::string& TextArg(Args args, std::size_t i) {
  const auto* text = std::get_if<std::string>(&args[i]);
  if (text == nullptr) throw BadArgument{"argument " + std::to_string(i + 1) + " is not a text"};
  return *text;
}

state::Bool16 BoolArg(Args args, std::size_t i) {
  const auto* value = std::get_if<state::Bool16>(&args[i]);
  if (value == nullptr) {
    throw BadArgument{"argument " + std::to_string(i + 1) + " is not a boolean"};
  }
  return *value;
}

// The ribbon object may also arrive as nothing.
RibbonUI* RibbonArg(Args args, std::size_t i) {
  if (std::holds_alternative<std::monostate>(args[i])) return nullptr;
  const auto* ribbon = std::get_if<RibbonUI*>(&args[i]);
  if (ribbon == nullptr) {
    throw BadArgument{"argument " + std::to_string(i + 1) + " is not a ribbon object"};
  }
  return *ribbon;
}

struct Entry {
  std::string_view name;
  std::size_t arity;
  Variant (*call)(CallbackTarget&, Args);
};

// In the order of the connection object's interface.
constexpr std::array<Entry, 16> kTable = {{
    {"OnRibbonLoad", 1,
     [](CallbackTarget& t, Args a) -> Variant {
       t.OnRibbonLoad(RibbonArg(a, 0));
       return {};
     }},
    {"Hide", 0,
     [](CallbackTarget& t, Args) -> Variant {
       t.Hide();
       return {};
     }},
    {"Show", 0,
     [](CallbackTarget& t, Args) -> Variant {
       t.Show();
       return {};
     }},
    {"GetRibbonXMLText", 1,
     [](CallbackTarget& t, Args a) -> Variant { return t.GetRibbonXMLText(TextArg(a, 0)); }},
    {"VNT", 1,
     [](CallbackTarget& t, Args a) -> Variant {
       t.VNT(ControlArg(a, 0));
       return {};
     }},
    {"OnGetText", 1,
     [](CallbackTarget& t, Args a) -> Variant { return t.OnGetText(ControlArg(a, 0)); }},
    {"ChangeText", 2,
     [](CallbackTarget& t, Args a) -> Variant {
       t.ChangeText(ControlArg(a, 0), TextArg(a, 1));
       return {};
     }},
    {"GetRangeForm", 1,
     [](CallbackTarget& t, Args a) -> Variant { return t.GetRangeForm(ControlArg(a, 0)); }},
    {"onButtonPressed", 1,
     [](CallbackTarget& t, Args a) -> Variant {
       t.onButtonPressed(ControlArg(a, 0));
       return {};
     }},
    {"GetEnable", 1,
     [](CallbackTarget& t, Args a) -> Variant { return t.GetEnable(ControlArg(a, 0)); }},
    {"GetPressed", 1,
     [](CallbackTarget& t, Args a) -> Variant { return t.GetPressed(ControlArg(a, 0)); }},
    {"On_Action", 2,
     [](CallbackTarget& t, Args a) -> Variant {
       // Read both arguments before the call, so that a bad one changes nothing.
       RibbonControl& control = ControlArg(a, 0);
       t.On_Action(control, BoolArg(a, 1));
       return {};
     }},
    {"SetDefaultChecks", 0,
     [](CallbackTarget& t, Args) -> Variant {
       t.SetDefaultChecks();
       return {};
     }},
    {"RefreshControl", 1,
     [](CallbackTarget& t, Args a) -> Variant {
       t.RefreshControl(TextArg(a, 0));
       return {};
     }},
    {"RefreshCounts", 0,
     [](CallbackTarget& t, Args) -> Variant {
       t.RefreshCounts();
       return {};
     }},
    {"RangeSetup", 0,
     [](CallbackTarget& t, Args) -> Variant {
       t.RangeSetup();
       return {};
     }},
}};

}  // namespace

std::optional<int> FindCallback(std::string_view name) {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    if (host::EqualsIgnoringAsciiCase(kTable[i].name, name)) return static_cast<int>(i) + 1;
  }
  return std::nullopt;
}

std::string_view CallbackName(int dispid) {
  if (dispid < 1 || dispid > static_cast<int>(kTable.size())) return {};
  return kTable[dispid - 1].name;
}

std::optional<std::size_t> CallbackArity(int dispid) {
  if (dispid < 1 || dispid > static_cast<int>(kTable.size())) return std::nullopt;
  return kTable[dispid - 1].arity;
}

DispatchResult Invoke(CallbackTarget& target, int dispid, std::span<const Variant> args) {
  if (dispid < 1 || dispid > static_cast<int>(kTable.size())) {
    return {
        DispatchStatus::kUnknownName, {}, "unknown name (number " + std::to_string(dispid) + ")"};
  }
  const Entry& entry = kTable[dispid - 1];
  if (args.size() != entry.arity) {
    return {DispatchStatus::kBadArguments,
            {},
            std::string(entry.name) + " takes " + std::to_string(entry.arity) +
                " argument(s), not " + std::to_string(args.size())};
  }
  try {
    return {DispatchStatus::kOk, entry.call(target, args), {}};
  } catch (const BadArgument& bad) {
    return {DispatchStatus::kBadArguments, {}, std::string(entry.name) + ": " + bad.description};
  } catch (const host::HostError& error) {
    return {DispatchStatus::kFailed, {}, error.description()};
  } catch (const std::exception& error) {
    return {DispatchStatus::kFailed, {}, error.what()};
  }
}

DispatchResult Invoke(CallbackTarget& target, std::string_view name,
                      std::span<const Variant> args) {
  std::optional<int> dispid = FindCallback(name);
  if (!dispid) return {DispatchStatus::kUnknownName, {}, "unknown name: " + std::string(name)};
  return Invoke(target, *dispid, args);
}

DispatchResult InvokeForControl(CallbackTarget& target, std::string_view name,
                                const std::string& control_id, std::vector<Variant> more) {
  FixedControl control(control_id);
  std::vector<Variant> args{static_cast<RibbonControl*>(&control)};
  args.insert(args.end(), more.begin(), more.end());
  return Invoke(target, name, args);
}

}  // namespace quorvane::ribbon
