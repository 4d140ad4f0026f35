#include "windows/registry.h"

#include "addin/registration.h"
#include "host/error.h"
#include "windows/com_util.h"
#include "windows/office.h"

// Exported by oleaut32 (and its import library) but not declared in the toolchain's headers.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* type_library, OLECHAR* full_path,
                                      OLECHAR* help_directory);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID library_id, WORD major_version, WORD minor_version,
                                        LCID lcid, SYSKIND syskind);
}

namespace quorvane::windows {

namespace {

namespace reg = addin::registration;

// The type library is registered for the platform of this build of the library: 32-bit and 64-bit
// registrations of one library live side by side.
constexpr SYSKIND kOwnPlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

std::wstring ClassKey() { return std::wstring(kUserClasses) + L"\\CLSID\\" + kConnectClsidText; }
std::wstring ProgIdKey() { return std::wstring(kUserClasses) + L"\\" + Widen(reg::kProgId); }

LSTATUS SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, value.c_str(),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS SetDword(const std::wstring& key, const wchar_t* name, DWORD value) {
  return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_DWORD, &value, sizeof(value));
}

LSTATUS DeleteTree(const std::wstring& key) {
  LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  if (status == ERROR_SUCCESS) status = RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

std::wstring SettingsKey(const std::string& app_name, const std::string& section) {
  return std::wstring(kSettingsRoot) + L"\\" + Widen(app_name) + L"\\" + Widen(section);
}

}  // namespace

HRESULT RegisterServer(const std::wstring& module_path) {
  const std::wstring clsid_key = ClassKey();
  const std::wstring progid_key = ProgIdKey();
  const std::wstring progid = Widen(reg::kProgId);
  const std::wstring version = std::to_wstring(reg::kTypeLibraryMajorVersion) + L"." +
                               std::to_wstring(reg::kTypeLibraryMinorVersion);
  LSTATUS status = ERROR_SUCCESS;
  auto step = [&status](LSTATUS result) {
    if (status == ERROR_SUCCESS) status = result;
  };
  step(SetText(clsid_key, nullptr, Widen(reg::kConnectClassName)));
  step(SetText(clsid_key + L"\\InprocServer32", nullptr, module_path));
  step(SetText(clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
  step(SetText(clsid_key + L"\\ProgID", nullptr, progid));
  step(SetText(clsid_key + L"\\TypeLib", nullptr, kTypeLibraryIdText));
  step(SetText(clsid_key + L"\\VERSION", nullptr, version));
  step(SetText(progid_key, nullptr, Widen(reg::kConnectClassName)));
  step(SetText(progid_key + L"\\CLSID", nullptr, kConnectClsidText));
  step(SetText(kAddinKey, L"FriendlyName", Widen(reg::kFriendlyName)));
  step(SetText(kAddinKey, L"Description", Widen(reg::kDescription)));
  step(SetDword(kAddinKey, L"LoadBehavior", static_cast<DWORD>(reg::kLoadBehavior)));
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);

  ITypeLib* type_library = nullptr;
  HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, &type_library);
  if (FAILED(hr)) return hr;
  std::wstring path = module_path;
  hr = RegisterTypeLibForUser(type_library, path.data(), nullptr);
  type_library->Release();
  return FAILED(hr) ? hr : S_OK;
}

HRESULT UnregisterServer() {
  // The type library's keys go first. Its removal fails when it is not registered (a second
  // unregistration), which is no failure here.
  UnRegisterTypeLibForUser(kTypeLibraryId, static_cast<WORD>(reg::kTypeLibraryMajorVersion),
                           static_cast<WORD>(reg::kTypeLibraryMinorVersion), LOCALE_NEUTRAL,
                           kOwnPlatform);
  // Every key is removed even when an earlier one fails; the first failure is reported.
  LSTATUS status = ERROR_SUCCESS;
  for (const std::wstring& key : {ClassKey(), ProgIdKey(), std::wstring(kAddinKey)}) {
    LSTATUS result = DeleteTree(key);
    if (status == ERROR_SUCCESS) status = result;
  }
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

std::string RegistrySettings::GetSetting(const std::string& app_name, const std::string& section,
                                         const std::string& key, const std::string& default_value) {
  const std::wstring path = SettingsKey(app_name, section);
  const std::wstring name = Widen(key);
  DWORD size = 0;
  LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ,
                                nullptr, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return default_value;
  if (status != ERROR_SUCCESS) throw host::HostError("Cannot read the setting " + key);
  std::wstring value(size / sizeof(wchar_t), L'\0');
  status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                        value.data(), &size);
  if (status != ERROR_SUCCESS) throw host::HostError("Cannot read the setting " + key);
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return Narrow(value);
}

void RegistrySettings::SaveSetting(const std::string& app_name, const std::string& section,
                                   const std::string& key, const std::string& value) {
  if (SetText(SettingsKey(app_name, section), Widen(key).c_str(), Widen(value)) != ERROR_SUCCESS) {
    throw host::HostError("Cannot save the setting " + key);
  }
}

}  // namespace quorvane::windows
