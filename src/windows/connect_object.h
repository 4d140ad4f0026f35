// The COM face of the add-in: the creatable class Connect (IDTExtensibility2, IRibbonExtensibility
// and IDispatch for the ribbon callbacks by name), its class factory, and the state of the loaded
// library that every Connect shares.
//
// Every entry point catches everything and returns an HRESULT; no C++ exception reaches the host.
//
// Lifetime: the shared state is made when the first Connect is created and dropped when the last
// object of the library (a Connect or a class factory) goes, on the host's thread. The host's
// objects are let go and the forms' windows destroyed when the host begins to shut down, when the
// last connection ends, and at the latest with the state. The library's entry point (DllMain) only
// records the module: Windows forbids releasing other components' objects or destroying windows
// under the loader lock that it holds, and a host that exits without telling the add-in may have
// torn its objects down already.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "addin/connect.h"
#include "addin/library.h"
#include "windows/com_util.h"
#include "windows/host_adapter.h"
#include "windows/office.h"
#include "windows/registry.h"
#include "windows/win32_ui.h"

namespace quorvane::windows {

// The ribbon object the host gives to OnRibbonLoad, called by member name.
class ComRibbonUi : public ribbon::RibbonUI {
 public:
  explicit ComRibbonUi(ComPtr<IDispatch> ribbon) : ribbon_(std::move(ribbon)) {}
  IDispatch* object() const { return ribbon_.Get(); }
  // Lets go of the host's ribbon; invalidations then do nothing, as without a ribbon.
  void ReleaseHostObject() { ribbon_.Reset(); }
  void Invalidate() override;
  void InvalidateControl(const std::string& control_id) override;

 private:
  ComPtr<IDispatch> ribbon_;
  DispidCache cache_;
};

// What the loaded library holds: the add-in's shared state and forms, and the host objects that the
// shared state points at (applications, ribbons). The wrappers of host objects stay as long as the
// state, so that what points at them stays valid after their host objects were let go.
class LibraryState {
 public:
  explicit LibraryState(HINSTANCE instance);
  ~LibraryState();
  LibraryState(const LibraryState&) = delete;
  LibraryState& operator=(const LibraryState&) = delete;

  addin::Library& library() { return library_; }
  Win32FormsUi& ui() { return ui_; }
  ComApplication& KeepApplication(ComPtr<IDispatch> app);
  ComRibbonUi* KeepRibbon(ComPtr<IDispatch> ribbon);
  // The member numbers of the ribbon controls the host passes.
  DispidCache& control_cache();

  // A connection began or ended; when the last one ends, the host's objects are let go.
  void Connected() { ++connections_; }
  void Disconnected();
  // Lets go of every host object (applications with their workbooks and sheets, ribbons, the two
  // ranges and their texts) and destroys the forms' windows; the next Show builds them again.
  void ReleaseHostObjects();
  // A button command failed: the host would drop the callback's error unless the user asked to
  // see add-in errors, so the add-in shows the host's description itself, in one message box as
  // the macro language shows an unhandled error, then hands the status bar back when the command
  // left its text there.
  void ReportFailedCommand(const std::string& description);

 private:
  // The host's main window (Application.Hwnd), which owns the forms; null when none is known.
  HWND OwnerWindow();

  Win32FormsUi ui_;
  RegistrySettings settings_;
  addin::Library library_;
  std::vector<std::unique_ptr<ComApplication>> applications_;
  std::vector<std::unique_ptr<ComRibbonUi>> ribbons_;
  DispidCache control_cache_;
  int connections_ = 0;
};

// The loaded library: its handle, its live objects and locks, and its state (made on first use,
// dropped when the last object goes).
class Module {
 public:
  Module() = default;
  // Runs at unloading, under the loader lock: a state still held belongs to a host that never
  // released its objects, and is left alone.
  ~Module() { static_cast<void>(state_.release()); }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  HINSTANCE instance() const { return instance_; }
  void set_instance(HINSTANCE instance) { instance_ = instance; }
  LibraryState& state();

  void AddObject() { ++objects_; }
  void ReleaseObject() {
    if (--objects_ == 0) state_.reset();
  }
  void Lock(bool lock) { lock ? ++locks_ : --locks_; }
  bool CanUnload() const { return objects_ == 0 && locks_ == 0; }

 private:
  HINSTANCE instance_ = nullptr;
  std::unique_ptr<LibraryState> state_;
  std::atomic<long> objects_{0};
  std::atomic<long> locks_{0};
};

// The one module of this library.
Module& TheModule();

class ConnectObject final : public IDTExtensibility2, public IRibbonExtensibility {
 public:
  ConnectObject();
  ~ConnectObject();
  ConnectObject(const ConnectObject&) = delete;
  ConnectObject& operator=(const ConnectObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: the ribbon callbacks by name
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;
  // IDTExtensibility2
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, int ConnectMode,
                                         IDispatch* AddInInst, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(int RemoveMode, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;
  // IRibbonExtensibility
  HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) override;

 private:
  std::atomic<ULONG> references_{1};
  std::unique_ptr<addin::Connect> connect_;
  bool connected_ = false;
};

class ClassFactory final : public IClassFactory {
 public:
  ClassFactory();
  ~ClassFactory();
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace quorvane::windows
