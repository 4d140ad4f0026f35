// The library's entry points: DllMain and the four exports of an in-process COM server.
#include <windows.h>
// After windows.h, which it needs.
#include <olectl.h>

#include "windows/connect_object.h"
#include "windows/registry.h"

using quorvane::windows::ClassFactory;
using quorvane::windows::kConnectClsid;
using quorvane::windows::TheModule;

extern "C" {

// Records the module, nothing more: the loader lock is held here (see connect_object.h for where
// the host's objects and the windows go).
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    TheModule().set_instance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != kConnectClsid) return CLASS_E_CLASSNOTAVAILABLE;
  try {
    auto* factory = new ClassFactory();
    HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return TheModule().CanUnload() ? S_OK : S_FALSE; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
  try {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(TheModule().instance(), path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return SELFREG_E_CLASS;
    return quorvane::windows::RegisterServer(std::wstring(path, length));
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  try {
    return quorvane::windows::UnregisterServer();
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

}  // extern "C"
