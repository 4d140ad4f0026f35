// What the library registers about itself: its file and version data, its class and the add-in
// entry that makes the spreadsheet host load it. Data only; the Windows binding writes it.
#pragma once

namespace quorvane::addin::registration {

// The library file and its version resource.
inline constexpr const char* kLibraryFileName = "Quorvane.dll";
inline constexpr const char* kInternalName = "Quorvane";
inline constexpr const char* kOriginalFilename = "Quorvane.dll";
inline constexpr const char* kProductName = "Vantorel";
inline constexpr const char* kCompanyName = "Quorvane";
inline constexpr const char* kFileVersion = "3.25";
inline constexpr const char* kProductVersion = "3.25";
inline constexpr const char* kComments =
    "Quorvane is the Tool that can use to reconcile the Bank or other Data in Excel.";
inline constexpr const char* kTranslation = "040904B0";  // language 0409, code page 04B0
inline constexpr const char* kSelfRegisterFlag = "OLESelfRegister";

// The type library and its classes.
inline constexpr const char* kTypeLibraryName = "Quorvane";
inline constexpr const char* kTypeLibraryDescription = "Sample AddIn Project";
inline constexpr int kTypeLibraryMajorVersion = 1;
inline constexpr int kTypeLibraryMinorVersion = 0;
inline constexpr const char* kConnectClassName = "Connect";
inline constexpr const char* kRibbonClassName = "oRibbon";

// The creatable add-in class.
inline constexpr const char* kProgId = "Quorvane.Connect";

// The add-in entry, for the current user, under <root>\Addins\<ProgID>.
inline constexpr const char* kAddinRegistrationRoot =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Excel";
inline constexpr const char* kFriendlyName = "Quorvan";
inline constexpr const char* kDescription = "Add-In Project Template";
inline constexpr int kLoadBehavior = 3;  // loaded and connected when the host starts

// The per-user setting of the development-environment cycle.
inline constexpr const char* kSettingsAppName = "Quorvane";
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kDisplayOnConnect = "DisplayOnConnect";

}  // namespace quorvane::addin::registration
