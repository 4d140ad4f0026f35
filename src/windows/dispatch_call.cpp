#include "windows/dispatch_call.h"

#include <algorithm>
#include <vector>

namespace quorvane::windows {

namespace {

// The locale of every call on the host's objects: English (United States), 1033, whatever the
// user's settings, as the host's macro language passes it. The host then reads and answers
// arguments in one fixed form, and needs no language pack for the user's locale (without one it
// fails the call with TYPE_E_INVDATAREAD). The add-in's own conversions of texts keep the user's
// locale (OleConversions).
constexpr LCID kObjectModelLocale =
    MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

// What the host's macro language says for the results that carry no description of their own.
std::string DescribeResult(HRESULT hr) {
  switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
      return "Object doesn't support this property or method";
    case DISP_E_TYPEMISMATCH:
      return host::kTypeMismatch;
    case DISP_E_BADPARAMCOUNT:
      return "Wrong number of arguments or invalid property assignment";
    case DISP_E_PARAMNOTOPTIONAL:
      return "Argument not optional";
    case DISP_E_OVERFLOW:
      return host::kOverflow;
    case DISP_E_BADINDEX:
      return host::kSubscriptOutOfRange;
    default:
      break;
  }
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string description = "Automation error";
  if (length > 0 && text != nullptr) {
    std::wstring message(text, length);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
      message.pop_back();
    }
    description += " (" + Narrow(message) + ")";
  }
  if (text != nullptr) LocalFree(text);
  return description;
}

}  // namespace

void DispidCache::Find(IDispatch* object, std::string_view kind, std::string_view member,
                       std::span<const NamedArg> named, std::vector<DISPID>& ids) {
  std::string key(kind);
  key += '.';
  key += member;
  for (const NamedArg& arg : named) {
    key += ':';
    key += arg.name;
  }
  if (auto found = ids_.find(key); found != ids_.end()) {
    ids = found->second;
    return;
  }
  std::vector<std::wstring> names{Widen(member)};
  for (const NamedArg& arg : named) names.push_back(Widen(arg.name));
  std::vector<LPOLESTR> pointers;
  for (std::wstring& name : names) pointers.push_back(name.data());
  ids.assign(names.size(), DISPID_UNKNOWN);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()),
                                     kObjectModelLocale, ids.data());
  if (FAILED(hr)) RaiseHostError(hr, nullptr);
  ids_.emplace(std::move(key), ids);
}

void RaiseHostError(HRESULT hr, EXCEPINFO* info) {
  std::string description;
  if (info != nullptr) {
    if (info->pfnDeferredFillIn != nullptr) info->pfnDeferredFillIn(info);
    description = Narrow(info->bstrDescription);
    if (info->scode != 0 && hr == DISP_E_EXCEPTION) hr = info->scode;
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
    *info = EXCEPINFO{};
  }
  if (description.empty()) description = DescribeResult(hr);
  throw CallError(description, hr);
}

bool CallError::ObjectGone() const {
  // "Object required" is the macro language's run-time error 424, as its own error or wrapped as an
  // automation error.
  constexpr HRESULT kObjectRequired = static_cast<HRESULT>(0x800A01A8);
  constexpr HRESULT kObjectRequiredAutomation = static_cast<HRESULT>(0x800401A8);
  switch (code_) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
    case kObjectRequired:
    case kObjectRequiredAutomation:
      return true;
    default:
      return description() == "Object required";
  }
}

IUnknown* Identity(IDispatch* object) {
  ComPtr<IUnknown> identity = ComPtr<IDispatch>(object).As<IUnknown>(IID_IUnknown);
  return identity.Get();
}

Variant CallMember(DispidCache& cache, IDispatch* object, std::string_view kind,
                   std::string_view member, WORD flags, std::span<const Variant> args,
                   std::span<const NamedArg> named) {
  if (object == nullptr) throw host::HostError(host::kObjectNotSet);
  std::vector<DISPID> ids;
  cache.Find(object, kind, member, named, ids);

  // IDispatch takes the arguments last first: named ones (in reverse), then positional ones.
  std::vector<VARIANT> values;
  std::vector<DISPID> names;
  for (auto it = named.rbegin(); it != named.rend(); ++it) {
    values.push_back(it->value.get());
    names.push_back(ids[1 + static_cast<std::size_t>(named.rend() - it - 1)]);
  }
  bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  for (auto it = args.rbegin(); it != args.rend(); ++it) values.push_back(it->get());
  if (put) {
    // The value put is the first in IDispatch's order, named DISPID_PROPERTYPUT.
    if (args.empty()) throw host::HostError("Argument not optional");
    names.insert(names.begin(), DISPID_PROPERTYPUT);
    std::rotate(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(named.size()),
                values.begin() + static_cast<std::ptrdiff_t>(named.size()) + 1);
  }
  DISPPARAMS params{values.data(), names.data(), static_cast<UINT>(values.size()),
                    static_cast<UINT>(names.size())};
  Variant result;
  EXCEPINFO info{};
  UINT arg_error = 0;
  HRESULT hr = object->Invoke(ids[0], IID_NULL, kObjectModelLocale, flags, &params,
                              put ? nullptr : result.Put(), &info, &arg_error);
  if (FAILED(hr)) RaiseHostError(hr, hr == DISP_E_EXCEPTION ? &info : nullptr);
  return result;
}

bool IsNothing(const Variant& value) {
  VARTYPE type = value.type();
  if (type == VT_EMPTY || type == VT_NULL) return true;
  if (type == VT_DISPATCH) return V_DISPATCH(&value.get()) == nullptr;
  if (type == VT_UNKNOWN) return V_UNKNOWN(&value.get()) == nullptr;
  return false;
}

ComPtr<IDispatch> ToObject(const Variant& value) {
  if (IsNothing(value)) throw host::HostError(host::kObjectNotSet);
  if (value.type() == VT_DISPATCH) return ComPtr<IDispatch>(V_DISPATCH(&value.get()));
  if (value.type() == VT_UNKNOWN) {
    ComPtr<IUnknown> unknown(V_UNKNOWN(&value.get()));
    ComPtr<IDispatch> object = unknown.As<IDispatch>(IID_IDispatch);
    if (object) return object;
  }
  throw host::HostError("Object required");
}

namespace {

Variant Converted(const Variant& value, VARTYPE type) {
  Variant out;
  HRESULT hr = VariantChangeType(out.Put(), const_cast<VARIANT*>(&value.get()), 0, type);
  if (FAILED(hr)) RaiseHostError(hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH, nullptr);
  return out;
}

}  // namespace

std::string ToText(const Variant& value) {
  if (value.type() == VT_NULL) return {};
  return Narrow(V_BSTR(&Converted(value, VT_BSTR).get()));
}

double ToDouble(const Variant& value) { return V_R8(&Converted(value, VT_R8).get()); }

long ToLong(const Variant& value) { return V_I4(&Converted(value, VT_I4).get()); }

bool ToBool(const Variant& value) { return V_BOOL(&Converted(value, VT_BOOL).get()) != 0; }

}  // namespace quorvane::windows
