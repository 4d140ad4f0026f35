#include "dispatch_object.h"

#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "host/error.h"

namespace quorvane::windows::testing {

namespace {

std::atomic<long> live_objects{0};
std::atomic<long> name_lookups{0};
std::atomic<long> releases_under_loader_lock{0};
std::atomic<int> end_process_on_use{0};

void CheckInUse() {
  if (int code = end_process_on_use; code != 0) {
    std::printf("a host object was used after the host had torn it down\n");
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  }
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Named arguments get numbers from one list shared by all objects.
constexpr const char* kParameterNames[] = {"prompt", "title",   "default",   "type",  "external",
                                           "text",   "address", "newwindow", "start", "overwrite"};
constexpr DISPID kFirstParameterId = 1000;

HRESULT Raise(EXCEPINFO* exception, const std::string& description, HRESULT code = 0) {
  if (description.empty() && code != 0) return code;
  if (exception != nullptr) {
    *exception = EXCEPINFO{};
    if (code == 0) {
      exception->wCode = 1004;
    } else {
      exception->scode = code;
    }
    exception->bstrSource = Bstr(std::string_view("Microsoft Excel")).Detach();
    exception->bstrDescription = Bstr(description).Detach();
  }
  return DISP_E_EXCEPTION;
}

}  // namespace

const Variant* DispCall::Arg(std::size_t position, const std::string& name) const {
  if (auto found = named.find(name); found != named.end()) return &found->second;
  if (position < args.size() && !(args[position].type() == VT_ERROR &&
                                  V_ERROR(&args[position].get()) == DISP_E_PARAMNOTFOUND)) {
    return &args[position];
  }
  return nullptr;
}

DispatchObject::DispatchObject() { ++live_objects; }
DispatchObject::~DispatchObject() { --live_objects; }

long DispatchObject::LiveObjects() { return live_objects; }
long DispatchObject::NameLookups() { return name_lookups; }
long DispatchObject::ReleasesUnderLoaderLock() { return releases_under_loader_lock; }
void DispatchObject::EndProcessOnUse(int exit_code) { end_process_on_use = exit_code; }

bool HoldsLoaderLock() {
  // The process's loader lock is a critical section that the process environment block points at
  // (offset 0xA0 in 32-bit processes, 0x110 in 64-bit ones).
  using QueryProcess = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  static const BYTE* const peb = [] {
    auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info{};
    if (query == nullptr ||
        query(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info), nullptr) < 0) {
      return static_cast<const BYTE*>(nullptr);
    }
    return reinterpret_cast<const BYTE*>(info.PebBaseAddress);
  }();
  if (peb == nullptr) return false;
  const std::size_t offset = sizeof(void*) == 8 ? 0x110 : 0xA0;
  const auto* lock = *reinterpret_cast<CRITICAL_SECTION* const*>(peb + offset);
  return lock != nullptr && lock->RecursionCount > 0 &&
         reinterpret_cast<ULONG_PTR>(lock->OwningThread) == GetCurrentThreadId();
}

void DispatchObject::Add(std::string name, Member member) {
  members_.emplace_back(std::move(name), std::move(member));
}

HRESULT DispatchObject::QueryInterface(REFIID iid, void** object) {
  CheckInUse();
  if (object == nullptr) return E_POINTER;
  bool known = iid == IID_IUnknown || iid == IID_IDispatch ||
               std::find(extra_iids_.begin(), extra_iids_.end(), iid) != extra_iids_.end();
  if (!known) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG DispatchObject::AddRef() {
  CheckInUse();
  return ++references_;
}

ULONG DispatchObject::Release() {
  CheckInUse();
  if (HoldsLoaderLock()) ++releases_under_loader_lock;
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  CheckInUse();
  ++name_lookups;
  if (accepts_locale_ && !accepts_locale_(lcid)) return TYPE_E_INVDATAREAD;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    std::string name = Lower(Narrow(std::wstring_view(names[i])));
    ids[i] = DISPID_UNKNOWN;
    if (i == 0) {
      for (std::size_t m = 0; m < members_.size(); ++m) {
        if (Lower(members_[m].first) == name) ids[i] = static_cast<DISPID>(m + 1);
      }
    } else {
      for (std::size_t p = 0; p < std::size(kParameterNames); ++p) {
        if (kParameterNames[p] == name) ids[i] = kFirstParameterId + static_cast<DISPID>(p);
      }
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT*) {
  CheckInUse();
  if (id < 1 || id > static_cast<DISPID>(members_.size())) return DISP_E_MEMBERNOTFOUND;
  if (gone_) return Raise(exception, gone_->description, gone_->code);
  if (accepts_locale_ && !accepts_locale_(lcid)) return TYPE_E_INVDATAREAD;
  auto& [name, member] = members_[static_cast<std::size_t>(id - 1)];
  ++calls_[name];
  DispCall call;
  call.flags = flags;
  for (UINT i = 0; i < params->cArgs; ++i) {
    const VARIANT& arg = params->rgvarg[i];
    if (i < params->cNamedArgs) {
      DISPID named = params->rgdispidNamedArgs[i];
      if (named == DISPID_PROPERTYPUT) {
        call.put = Variant::Copy(arg);
      } else if (named >= kFirstParameterId &&
                 named < kFirstParameterId + static_cast<DISPID>(std::size(kParameterNames))) {
        call.named[kParameterNames[named - kFirstParameterId]] = Variant::Copy(arg);
      } else {
        return DISP_E_PARAMNOTFOUND;
      }
    } else {
      call.args.insert(call.args.begin(), Variant::Copy(arg));
    }
  }
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 && !call.is_put()) {
    return DISP_E_PARAMNOTOPTIONAL;
  }
  try {
    Variant value = member(call);
    if (result != nullptr) *result = value.Detach();
    return S_OK;
  } catch (const DispError& error) {
    return Raise(exception, error.description, error.code);
  } catch (const host::HostError& error) {
    return Raise(exception, error.description());
  } catch (const std::exception& error) {
    return Raise(exception, error.what());
  }
}

Variant Hand(DispatchObject* object) {
  Variant v = Variant::Dispatch(object);
  object->Release();
  return v;
}

}  // namespace quorvane::windows::testing
