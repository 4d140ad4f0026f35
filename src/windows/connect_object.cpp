#include "windows/connect_object.h"

#include <new>
#include <variant>

#include "host/error.h"
#include "ribbon/buttons.h"
#include "ribbon/dispatch.h"

namespace quorvane::windows {

namespace {

// The ribbon control the host passes to a callback; its Id is read from the host at each use.
class ComRibbonControl : public state::RibbonControl {
 public:
  ComRibbonControl(ComPtr<IDispatch> control, DispidCache& cache)
      : control_(std::move(control)), cache_(cache) {}
  std::string Id() override {
    return ToText(CallMember(cache_, control_.Get(), "IRibbonControl", "Id", DISPATCH_PROPERTYGET));
  }

 private:
  ComPtr<IDispatch> control_;
  DispidCache& cache_;
};

// The object given at connection, taken as the spreadsheet application when it is one.
class ComHostObject : public addin::HostObject {
 public:
  explicit ComHostObject(host::Application* app) : app_(app) {}
  host::Application* AsApplication() override { return app_; }

 private:
  host::Application* app_;
};

HRESULT Fail(EXCEPINFO* exception, const std::string& description) {
  if (exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->bstrSource = Bstr(std::string_view("Quorvane")).Detach();
    exception->bstrDescription = Bstr(description).Detach();
    exception->scode = E_FAIL;
  }
  return DISP_E_EXCEPTION;
}

}  // namespace

// --- Ribbon object ---

// An invalidation only asks the host to call the getters again, and the host refuses one for a
// control its ribbon does not declare (E_INVALIDARG; every button command invalidates btnStop,
// which the ribbon does not declare): a refused invalidation is no failure of the command that
// asked for it, and the invalidations after it still go out.
void ComRibbonUi::Invalidate() {
  if (!ribbon_) return;
  try {
    CallMember(cache_, ribbon_.Get(), "IRibbonUI", "Invalidate", DISPATCH_METHOD);
  } catch (const host::HostError&) {
  }
}

void ComRibbonUi::InvalidateControl(const std::string& control_id) {
  if (!ribbon_) return;
  Variant arg = Variant::Text(control_id);
  try {
    CallMember(cache_, ribbon_.Get(), "IRibbonUI", "InvalidateControl", DISPATCH_METHOD,
               std::span<const Variant>(&arg, 1));
  } catch (const host::HostError&) {
  }
}

// --- Library state and module ---

LibraryState::LibraryState(HINSTANCE instance) : ui_(instance), library_(ui_, settings_) {
  ui_.set_owner_source([this] { return OwnerWindow(); });
}

LibraryState::~LibraryState() {
  // The windows go first (their procedures point into the forms), then the host's objects.
  ReleaseHostObjects();
}

void LibraryState::Disconnected() {
  if (connections_ > 0 && --connections_ == 0) ReleaseHostObjects();
}

void LibraryState::ReleaseHostObjects() {
  ui_.DestroyAll();
  state::AddinState& state = library_.state;
  state.application = nullptr;
  state.range1 = host::Range();
  state.range2 = host::Range();
  state.range1_text.clear();
  state.range2_text.clear();
  library_.ribbon_ui = nullptr;
  for (auto& ribbon : ribbons_) ribbon->ReleaseHostObject();
  for (auto& app : applications_) app->ReleaseHostObjects();
}

HWND LibraryState::OwnerWindow() {
  auto* app = dynamic_cast<ComApplication*>(library_.state.application);
  if (app == nullptr) return nullptr;
  try {
    HWND window = app->MainWindow();
    return IsWindow(window) ? window : nullptr;
  } catch (const host::HostError&) {
    return nullptr;
  }
}

ComApplication& LibraryState::KeepApplication(ComPtr<IDispatch> app) {
  for (auto& known : applications_) {
    if (known->object() == app.Get()) return *known;
  }
  return *applications_.emplace_back(std::make_unique<ComApplication>(std::move(app)));
}

ComRibbonUi* LibraryState::KeepRibbon(ComPtr<IDispatch> ribbon) {
  for (auto& known : ribbons_) {
    if (known->object() == ribbon.Get()) return known.get();
  }
  return ribbons_.emplace_back(std::make_unique<ComRibbonUi>(std::move(ribbon))).get();
}

DispidCache& LibraryState::control_cache() { return control_cache_; }

void LibraryState::ReportFailedCommand(const std::string& description) {
  ShowMessageBox(description, host::MessageIcon::kNone);
  auto* app = dynamic_cast<ComApplication*>(library_.state.application);
  if (app == nullptr) return;
  try {
    if (app->StatusBarText() == ribbon::kStatusInProgress) app->ResetStatusBar();
  } catch (const host::HostError&) {
    // The host that failed the command may refuse this too; the message has been shown.
  }
}

LibraryState& Module::state() {
  if (state_ == nullptr) state_ = std::make_unique<LibraryState>(instance_);
  return *state_;
}

Module& TheModule() {
  static Module module;
  return module;
}

// --- Connect ---

ConnectObject::ConnectObject()
    : connect_(std::make_unique<addin::Connect>(TheModule().state().library())) {
  TheModule().AddObject();
}

ConnectObject::~ConnectObject() {
  connect_.reset();
  if (connected_) TheModule().state().Disconnected();
  TheModule().ReleaseObject();
}

HRESULT ConnectObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IDTExtensibility2)) {
    *object = static_cast<IDTExtensibility2*>(this);
  } else if (iid == __uuidof(IRibbonExtensibility)) {
    *object = static_cast<IRibbonExtensibility*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ConnectObject::AddRef() { return ++references_; }

ULONG ConnectObject::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT ConnectObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ConnectObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT ConnectObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  try {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (count == 0) return S_OK;
    std::optional<int> id = ribbon::FindCallback(Narrow(std::wstring_view(names[0])));
    ids[0] = id ? *id : DISPID_UNKNOWN;
    // The callbacks take no named arguments.
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return id && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ConnectObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  // The host may let go of this object while a callback runs (a comparison yields to its message
  // loop): the object, and with it the library's state, stays until the callback returns.
  ComPtr<IDTExtensibility2> keep(this);
  const bool button_command = ribbon::FindCallback("onButtonPressed") == id;
  try {
    std::optional<std::size_t> arity = ribbon::CallbackArity(id);
    if (!arity) return DISP_E_MEMBERNOTFOUND;
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (params == nullptr) params = &none;
    if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
    const UINT count = params->cArgs;
    if (count != *arity) return DISP_E_BADPARAMCOUNT;
    if (count > 0 && params->rgvarg == nullptr) return E_INVALIDARG;

    LibraryState& state = TheModule().state();
    const bool ribbon_load = ribbon::FindCallback("OnRibbonLoad") == id;
    std::vector<std::unique_ptr<ComRibbonControl>> controls;
    std::vector<ribbon::Variant> args;
    for (UINT i = 0; i < count; ++i) {
      // IDispatch passes the arguments last first.
      const UINT position = count - 1 - i;
      Variant arg = Variant::Copy(params->rgvarg[position]);
      const VARIANT& v = arg.get();
      switch (arg.type()) {
        case VT_EMPTY:
        case VT_NULL:
          args.emplace_back(std::monostate{});
          continue;
        case VT_ERROR:
          if (V_ERROR(&v) == DISP_E_PARAMNOTFOUND) {
            args.emplace_back(std::monostate{});
            continue;
          }
          break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
          if (IsNothing(arg)) {
            args.emplace_back(std::monostate{});
          } else if (ribbon_load) {
            args.emplace_back(static_cast<ribbon::RibbonUI*>(state.KeepRibbon(ToObject(arg))));
          } else {
            controls.push_back(
                std::make_unique<ComRibbonControl>(ToObject(arg), state.control_cache()));
            args.emplace_back(static_cast<state::RibbonControl*>(controls.back().get()));
          }
          continue;
        case VT_BSTR:
          args.emplace_back(Narrow(V_BSTR(&v)));
          continue;
        case VT_BOOL:
          args.emplace_back(V_BOOL(&v) != VARIANT_FALSE ? state::kTrue : state::kFalse);
          continue;
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
          args.emplace_back(ToBool(arg) ? state::kTrue : state::kFalse);
          continue;
        default:
          break;
      }
      if (arg_error != nullptr) *arg_error = position;
      return DISP_E_TYPEMISMATCH;
    }

    ribbon::DispatchResult outcome = ribbon::Invoke(*connect_, static_cast<int>(id), args);
    switch (outcome.status) {
      case ribbon::DispatchStatus::kOk:
        break;
      case ribbon::DispatchStatus::kUnknownName:
        return DISP_E_MEMBERNOTFOUND;
      case ribbon::DispatchStatus::kBadArguments:
        if (arg_error != nullptr) *arg_error = 0;
        return DISP_E_TYPEMISMATCH;
      case ribbon::DispatchStatus::kFailed:
        if (button_command) {
          state.ReportFailedCommand(outcome.description);
          return S_OK;
        }
        return Fail(exception, outcome.description);
    }
    if (result != nullptr) {
      VariantInit(result);
      if (const auto* text = std::get_if<std::string>(&outcome.value)) {
        *result = Variant::Text(*text).Detach();
      } else if (const auto* flag = std::get_if<state::Bool16>(&outcome.value)) {
        *result = Variant::Bool(*flag != state::kFalse).Detach();
      }
    }
    return S_OK;
  } catch (const host::HostError& error) {
    if (button_command) {
      TheModule().state().ReportFailedCommand(error.description());
      return S_OK;
    }
    return Fail(exception, error.description());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ConnectObject::OnConnection(IDispatch* Application, int ConnectMode, IDispatch*,
                                    SAFEARRAY**) {
  try {
    LibraryState& state = TheModule().state();
    host::Application* app = nullptr;
    // The object counts as the application when it offers the host's Application interface.
    ComPtr<IDispatch> typed = ComPtr<IDispatch>(Application).As<IDispatch>(kExcelApplicationIid);
    if (typed) app = &state.KeepApplication(std::move(typed));
    ComHostObject host_object(app);
    if (!connected_) {
      connected_ = true;
      state.Connected();
    }
    connect_->IDTExtensibility2_OnConnection(&host_object, ConnectMode);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT ConnectObject::OnDisconnection(int RemoveMode, SAFEARRAY**) {
  try {
    connect_->IDTExtensibility2_OnDisconnection(RemoveMode);
    connect_->ribbon_ui = nullptr;
    if (connected_) {
      connected_ = false;
      TheModule().state().Disconnected();
    }
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT ConnectObject::OnAddInsUpdate(SAFEARRAY**) {
  try {
    connect_->IDTExtensibility2_OnAddInsUpdate();
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT ConnectObject::OnStartupComplete(SAFEARRAY**) {
  try {
    connect_->IDTExtensibility2_OnStartupComplete();
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT ConnectObject::OnBeginShutdown(SAFEARRAY**) {
  try {
    connect_->IDTExtensibility2_OnBeginShutdown();
    // The host is going: nothing of it is held past this point.
    connect_->ribbon_ui = nullptr;
    TheModule().state().ReleaseHostObjects();
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT ConnectObject::GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) {
  if (RibbonXml == nullptr) return E_POINTER;
  *RibbonXml = nullptr;
  try {
    std::string xml = connect_->IRibbonExtensibility_GetCustomUI(Narrow(RibbonID));
    *RibbonXml = Bstr(xml).Detach();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// --- Class factory ---

ClassFactory::ClassFactory() { TheModule().AddObject(); }
ClassFactory::~ClassFactory() { TheModule().ReleaseObject(); }

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return ++references_; }

ULONG ClassFactory::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  try {
    auto* connect = new ConnectObject();
    HRESULT hr = connect->QueryInterface(iid, object);
    connect->Release();
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  TheModule().Lock(lock != FALSE);
  return S_OK;
}

}  // namespace quorvane::windows
