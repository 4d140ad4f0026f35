// Late-bound calls on the host's objects: members reached by name through IDispatch, their numbers
// looked up once per kind of object and member, failures turned into host::HostError.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "host/error.h"
#include "windows/com_util.h"

namespace quorvane::windows {

// A failed call on one of the host's objects: the host's description, and the result it gave.
class CallError : public host::HostError {
 public:
  CallError(const std::string& description, HRESULT code) : HostError(description), code_(code) {}
  HRESULT code() const { return code_; }
  // Whether the failure says the object called has gone away: its workbook was closed, its sheet
  // deleted, or the host disconnected it ("Object required", RPC_E_DISCONNECTED and the like).
  bool ObjectGone() const;

 private:
  HRESULT code_;
};

// A named argument of a call, such as External:=True.
struct NamedArg {
  std::string_view name;
  Variant value;
};

// The member numbers found so far. Objects of one kind (every Range, every Worksheet) share their
// numbers, so the cache is keyed by kind and member name (with the names of named arguments).
class DispidCache {
 public:
  // Looks the member (and its named arguments) up on first use. `ids` receives the member's number
  // first, then one per named argument.
  void Find(IDispatch* object, std::string_view kind, std::string_view member,
            std::span<const NamedArg> named, std::vector<DISPID>& ids);

 private:
  std::map<std::string, std::vector<DISPID>, std::less<>> ids_;
};

// Turns a failed IDispatch call into the host's error (a CallError): the description the host gave
// in `info` when it gave one, otherwise the description the host's macro language shows for that
// result.
[[noreturn]] void RaiseHostError(HRESULT hr, EXCEPINFO* info);

// The object's identity: its IUnknown, the same for every interface pointer to one object. Valid
// while a reference to the object is held.
IUnknown* Identity(IDispatch* object);

// Calls a member. `args` are in their natural order (first argument first), `named` after them.
// `flags` is DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT (then the last of `args`
// is the value put). A null object raises "Object variable or With block variable not set".
Variant CallMember(DispidCache& cache, IDispatch* object, std::string_view kind,
                   std::string_view member, WORD flags, std::span<const Variant> args = {},
                   std::span<const NamedArg> named = {});

// The object a call returned; raises "Object required" when it is not one, "Object variable or
// With block variable not set" when it is nothing.
ComPtr<IDispatch> ToObject(const Variant& value);
// Whether the value is the host's Nothing (an empty object reference or no value at all).
bool IsNothing(const Variant& value);
// Conversions of results with the host's rules (VariantChangeType); failures raise "Type mismatch".
std::string ToText(const Variant& value);
double ToDouble(const Variant& value);
long ToLong(const Variant& value);
bool ToBool(const Variant& value);

}  // namespace quorvane::windows
