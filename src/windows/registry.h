// The add-in's registry work: its per-user registration (class, ProgID, type library, the add-in
// entry that makes the spreadsheet host load it) and the per-user settings store.
#pragma once

#include <windows.h>

#include <string>

#include "addin/settings.h"

namespace quorvane::windows {

// The keys the registration writes, under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kUserClasses = L"Software\\Classes";
inline constexpr const wchar_t* kAddinKey =
    L"Software\\Microsoft\\Office\\Excel\\Addins\\Quorvane.Connect";
// Where the host's macro language keeps application settings (GetSetting/SaveSetting).
inline constexpr const wchar_t* kSettingsRoot = L"Software\\VB and VBA Program Settings";

// Writes the class, the ProgID, the type library and the add-in entry for the current user, for the
// library file `module_path`. No administrator rights are needed.
HRESULT RegisterServer(const std::wstring& module_path);
// Removes what RegisterServer wrote; removing what is not there is not an error.
HRESULT UnregisterServer();

// Settings under HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, as text
// values. Failures raise a HostError.
class RegistrySettings : public addin::SettingsStore {
 public:
  std::string GetSetting(const std::string& app_name, const std::string& section,
                         const std::string& key, const std::string& default_value) override;
  void SaveSetting(const std::string& app_name, const std::string& section, const std::string& key,
                   const std::string& value) override;
};

}  // namespace quorvane::windows
