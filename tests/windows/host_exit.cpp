#include "host_exit.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "dispatch_object.h"
#include "fake_excel.h"
#include "memhost/host.h"
#include "ribbon/ribbon_xml.h"
#include "session.h"
#include "windows/office.h"
#include "windows/registry.h"

namespace quorvane::windows::testing {

namespace {

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

int Failed(const char* step, HRESULT hr) {
  std::printf("exiting host: %s failed (0x%08lx)\n", step, static_cast<unsigned long>(hr));
  return 1;
}

}  // namespace

int RunExitingHost(std::wstring_view how, const wchar_t* dll_path) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HMODULE library = LoadLibraryW(dll_path);
  if (library == nullptr) return Failed("LoadLibrary", HRESULT_FROM_WIN32(GetLastError()));
  auto get_class = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  HRESULT hr = get_class(kConnectClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Put()));
  if (FAILED(hr)) return Failed("DllGetClassObject", hr);
  // The host's objects live on the heap and are never freed: at exit a real host's are gone.
  IDispatch* connect = nullptr;
  hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&connect));
  factory.Reset();
  if (FAILED(hr)) return Failed("CreateInstance", hr);
  auto* host = new memhost::MemHost();
  FillBook(*host);
  host->SetInputBoxHandler([host](const memhost::InputBoxRequest& request) {
    return std::optional<host::Range>(host->Worksheets("Sheet1").Cells(
        request.title.find('1') != std::string::npos ? host::Area{1, 1, 12, 1}
                                                     : host::Area{1, 3, 10, 3}));
  });
  auto* app = new FakeApplication(*host);
  auto* ribbon = new RecordingRibbon();

  ComPtr<IDTExtensibility2> extensibility =
      ComPtr<IDispatch>(connect).As<IDTExtensibility2>(__uuidof(IDTExtensibility2));
  ComPtr<IRibbonExtensibility> ribbon_extensibility =
      ComPtr<IDispatch>(connect).As<IRibbonExtensibility>(__uuidof(IRibbonExtensibility));
  if (!extensibility || !ribbon_extensibility) return Failed("QueryInterface", E_NOINTERFACE);
  if (FAILED(hr = extensibility->OnConnection(app, 1, nullptr, nullptr))) {
    return Failed("OnConnection", hr);
  }
  BSTR xml = nullptr;
  Bstr id(std::string_view(ribbon::kWorkbookRibbonId));
  if (FAILED(hr = ribbon_extensibility->GetCustomUI(id.Get(), &xml))) {
    return Failed("GetCustomUI", hr);
  }
  SysFreeString(xml);
  if (FAILED(hr = CallByName(connect, L"OnRibbonLoad", {Variant::Dispatch(ribbon)}))) {
    return Failed("OnRibbonLoad", hr);
  }
  if (FAILED(hr = extensibility->OnStartupComplete(nullptr))) {
    return Failed("OnStartupComplete", hr);
  }
  for (const char* button : {"btnRange1", "btnRange2", "btnCompare", "btnAbout"}) {
    if (FAILED(hr = CallByName(connect, L"onButtonPressed", {Control(button)}))) {
      return Failed(button, hr);
    }
  }
  if (FAILED(hr = CallByName(connect, L"VNT", {Control("btnVNT")}))) return Failed("VNT", hr);

  if (how == L"release") {
    // The host lets go of the add-in without shutting it down, tears its own objects down, and
    // frees the library as COM's uninitialisation does.
    extensibility.Reset();
    ribbon_extensibility.Reset();
    connect->Release();
    DispatchObject::EndProcessOnUse(kTouchedAfterExit);
    FreeLibrary(library);
    CoUninitialize();
    return 0;
  }
  // The host ends while it still holds the add-in and its forms are up.
  DispatchObject::EndProcessOnUse(kTouchedAfterExit);
  static_cast<void>(extensibility.Detach());
  static_cast<void>(ribbon_extensibility.Detach());
  ExitProcess(0);
}

}  // namespace quorvane::windows::testing
