// Quorvane.dll driven through real COM, as the spreadsheet host drives it: registration, creation
// by ProgID, connection, the ribbon, callbacks by name, comparisons over the test's stand-in of the
// application, the forms and message boxes as a user sees them, and unloading.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>

#include "addin/connect.h"
#include "addin/library.h"
#include "addin/registration.h"
#include "addin/settings.h"
#include "check.h"
#include "forms/about_form.h"
#include "host/conversions.h"
#include "png.h"
#include "ribbon/dispatch.h"
#include "ribbon/progress.h"
#include "ribbon/ribbon_xml.h"
#include "session.h"
#include "state/state.h"
#include "support/recording_ui.h"
#include "ui_watcher.h"
#include "user_settings.h"
#include "windows/dispatch_call.h"
#include "windows/registry.h"
#include "windows/win32_ui.h"

namespace quorvane::windows::testing {
namespace {

namespace reg = addin::registration;

using Entry = HRESULT(STDAPICALLTYPE*)();

HRESULT CallExport(const char* name) {
  auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(TheSession().library, name)));
  return entry != nullptr ? entry() : E_NOTIMPL;
}

std::string RegText(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return "<missing>";
  }
  return Narrow(std::wstring_view(value));
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

const std::wstring kClassKey = std::wstring(L"Software\\Classes\\CLSID\\") + kConnectClsidText;
const std::wstring kProgIdKey = L"Software\\Classes\\Quorvane.Connect";
const std::wstring kTypeLibKey = std::wstring(L"Software\\Classes\\TypeLib\\") + kTypeLibraryIdText;

// The per-user keys that the registration case copies machine-wide for this COM.
std::vector<std::wstring> MachineCopies() { return {kClassKey, kProgIdKey, kTypeLibKey}; }

// The names the library exports, read from its export directory.
std::vector<std::string> ExportedNames(HMODULE module) {
  auto* base = reinterpret_cast<const BYTE*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::vector<std::string> out;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    out.emplace_back(reinterpret_cast<const char*>(base + names[i]));
  }
  out.push_back(std::to_string(exports->NumberOfFunctions) + " functions");
  return out;
}

std::string VersionString(const std::vector<BYTE>& data, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = L"\\StringFileInfo\\040904B0\\" + Widen(name);
  if (!VerQueryValueW(data.data(), path.c_str(), &value, &length)) return "<missing>";
  return Narrow(std::wstring_view(static_cast<const wchar_t*>(value)));
}

// --- Registration and the library file ---

TEST_CASE("library exports exactly the four entry points of a COM server") {
  std::vector<std::string> names = ExportedNames(TheSession().library);
  std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                       "DllUnregisterServer", "4 functions"};
  CHECK(names == expected);
}

TEST_CASE("registration writes the class, the ProgID, the type library and the add-in entry") {
  Session& s = TheSession();
  if (!s.installed) CHECK_HR(CallExport("DllRegisterServer"), S_OK);
  const std::string dll = Narrow(s.dll_path);
  CHECK_EQ(RegText(HKEY_CURRENT_USER, kClassKey + L"\\InprocServer32", nullptr), dll);
  CHECK_EQ(RegText(HKEY_CURRENT_USER, kClassKey + L"\\InprocServer32", L"ThreadingModel"),
           std::string("Apartment"));
  CHECK_EQ(RegText(HKEY_CURRENT_USER, kClassKey + L"\\ProgID", nullptr),
           std::string("Quorvane.Connect"));
  CHECK_EQ(RegText(HKEY_CURRENT_USER, kProgIdKey + L"\\CLSID", nullptr),
           Narrow(std::wstring_view(kConnectClsidText)));
  CHECK_EQ(RegText(HKEY_CURRENT_USER, kAddinKey, L"FriendlyName"), std::string("Quorvan"));
  CHECK_EQ(RegText(HKEY_CURRENT_USER, kAddinKey, L"Description"),
           std::string("Add-In Project Template"));
  DWORD load = 0;
  DWORD size = sizeof(load);
  CHECK(RegGetValueW(HKEY_CURRENT_USER, kAddinKey, L"LoadBehavior", RRF_RT_REG_DWORD, nullptr,
                     &load, &size) == ERROR_SUCCESS);
  CHECK_EQ(load, 3ul);
  // The add-in entry is the user's alone.
  CHECK(!KeyExists(HKEY_LOCAL_MACHINE,
                   L"Software\\Microsoft\\Office\\Excel\\Addins\\Quorvane.Connect"));

  // This COM reads no per-user class registrations: copy the class keys to the machine's, in this
  // program's own registry view (the view of its bitness), as the merged view of Windows shows
  // them. The package registers the type library per user too; the library's own registration
  // under this COM writes it machine-wide.
  for (const std::wstring& key : MachineCopies()) {
    HKEY source = nullptr;
    HKEY target = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS) {
      CHECK(key == kTypeLibKey && !s.installed);
      continue;
    }
    CHECK(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &target, nullptr) == ERROR_SUCCESS);
    CHECK(RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS);
    RegCloseKey(source);
    RegCloseKey(target);
  }

  BSTR registered = nullptr;
  CHECK_HR(QueryPathOfRegTypeLib(kTypeLibraryId, 1, 0, LOCALE_NEUTRAL, &registered), S_OK);
  CHECK_EQ(Narrow(registered), dll);
  SysFreeString(registered);
  // The type library is registered for this library's own platform, win32 or win64; the library
  // registers no other (the package may register both of its libraries).
  const std::wstring platforms = std::wstring(L"TypeLib\\") + kTypeLibraryIdText + L"\\1.0\\0\\";
  const bool is64 = sizeof(void*) == 8;
  CHECK_EQ(RegText(HKEY_CLASSES_ROOT, platforms + (is64 ? L"win64" : L"win32"), nullptr), dll);
  if (!s.installed) CHECK(!KeyExists(HKEY_CLASSES_ROOT, platforms + (is64 ? L"win32" : L"win64")));
}

TEST_CASE("version resource names the library, its product and its version") {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(TheSession().dll_path.c_str(), &ignored);
  CHECK(size > 0);
  std::vector<BYTE> data(size);
  CHECK(GetFileVersionInfoW(TheSession().dll_path.c_str(), 0, size, data.data()));
  CHECK_EQ(VersionString(data, "InternalName"), std::string("Quorvane"));
  CHECK_EQ(VersionString(data, "OriginalFilename"), std::string("Quorvane.dll"));
  CHECK_EQ(VersionString(data, "ProductName"), std::string("Vantorel"));
  CHECK_EQ(VersionString(data, "FileVersion"), std::string("3.25"));
  CHECK_EQ(VersionString(data, "ProductVersion"), std::string("3.25"));
  CHECK_EQ(VersionString(data, "Comments"), std::string(reg::kComments));
  CHECK_EQ(VersionString(data, "OLESelfRegister"), std::string(""));
  struct Translation {
    WORD language, code_page;
  }* translation = nullptr;
  UINT length = 0;
  CHECK(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translation), &length));
  CHECK(length >= sizeof(Translation) && translation->language == 0x0409 &&
        translation->code_page == 0x04B0);
}

TEST_CASE("type library: Quorvane 1.0 with Connect and oRibbon, numbers as the callbacks have") {
  ComPtr<ITypeLib> library;
  CHECK_HR(LoadTypeLibEx(TheSession().dll_path.c_str(), REGKIND_NONE, library.Put()), S_OK);
  if (!library) return;
  BSTR name = nullptr;
  BSTR doc = nullptr;
  CHECK_HR(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
  CHECK_EQ(Narrow(name), std::string("Quorvane"));
  CHECK_EQ(Narrow(doc), std::string("Sample AddIn Project"));
  SysFreeString(name);
  SysFreeString(doc);
  TLIBATTR* attributes = nullptr;
  CHECK_HR(library->GetLibAttr(&attributes), S_OK);
  CHECK(attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0);
  CHECK(attributes->guid == kTypeLibraryId);
  library->ReleaseTLibAttr(attributes);

  ComPtr<ITypeInfo> connect;
  CHECK_HR(library->GetTypeInfoOfGuid(kConnectClsid, connect.Put()), S_OK);
  std::vector<std::string> classes;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    TYPEKIND kind;
    library->GetTypeInfoType(i, &kind);
    if (kind != TKIND_COCLASS) continue;
    BSTR class_name = nullptr;
    library->GetDocumentation(static_cast<INT>(i), &class_name, nullptr, nullptr, nullptr);
    classes.push_back(Narrow(class_name));
    SysFreeString(class_name);
  }
  CHECK((classes == std::vector<std::string>{"Connect", "oRibbon"}));

  // The dispinterface of Connect numbers its operations as the callback table does.
  ComPtr<ITypeInfo> dispinterface;
  HREFTYPE ref = 0;
  CHECK_HR(connect->GetRefTypeOfImplType(0, &ref), S_OK);
  CHECK_HR(connect->GetRefTypeInfo(ref, dispinterface.Put()), S_OK);
  for (int id = 1; !ribbon::CallbackName(id).empty(); ++id) {
    std::wstring callback = Widen(ribbon::CallbackName(id));
    LPOLESTR names[] = {callback.data()};
    MEMBERID member = 0;
    CHECK_HR(dispinterface->GetIDsOfNames(names, 1, &member), S_OK);
    CHECK_EQ(member, static_cast<MEMBERID>(id));
  }
}

// --- Creation and connection ---

TEST_CASE("the host creates Quorvane.Connect by ProgID and connects it") {
  Session& s = TheSession();
  CLSID clsid{};
  CHECK_HR(CLSIDFromProgID(L"Quorvane.Connect", &clsid), S_OK);
  CHECK(clsid == kConnectClsid);
  CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(s.connect.Put())),
           S_OK);
  if (!s.connect) return;
  s.extensibility = s.connect.As<IDTExtensibility2>(__uuidof(IDTExtensibility2));
  s.ribbon_extensibility = s.connect.As<IRibbonExtensibility>(__uuidof(IRibbonExtensibility));
  CHECK(s.extensibility);
  CHECK(s.ribbon_extensibility);
  CHECK(!s.connect.As<IUnknown>(IID_IClassFactory));
  CHECK_HR(CallExport("DllCanUnloadNow"), S_FALSE);

  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  CHECK_HR(s.extensibility->OnConnection(s.app, 1, nullptr, &custom), S_OK);
  CHECK(s.watcher->TakeMessageBoxes().empty());

  BSTR xml = nullptr;
  Bstr id(std::string_view(ribbon::kWorkbookRibbonId));
  CHECK_HR(s.ribbon_extensibility->GetCustomUI(id.Get(), &xml), S_OK);
  CHECK_EQ(Narrow(xml), ribbon::GetRibbonXMLText(ribbon::kWorkbookRibbonId));
  CHECK(Narrow(xml).find("onButtonPressed") != std::string::npos);
  s.ribbon->Load(Narrow(xml));
  SysFreeString(xml);
  Bstr other(std::string_view("Microsoft.Excel.Chart"));
  CHECK_HR(s.ribbon_extensibility->GetCustomUI(other.Get(), &xml), S_OK);
  CHECK_EQ(Narrow(xml), std::string());
  SysFreeString(xml);
  CHECK_HR(s.ribbon_extensibility->GetCustomUI(id.Get(), nullptr), E_POINTER);

  // The default options are on once the ribbon was asked for.
  Variant pressed;
  CHECK_HR(CallByName(s.connect.Get(), L"GetPressed", {Control("chkRoundNum")}, &pressed), S_OK);
  CHECK(pressed.type() == VT_BOOL);

  CHECK_HR(CallByName(s.connect.Get(), L"OnRibbonLoad", {Variant::Dispatch(s.ribbon)}), S_OK);
  CHECK_EQ(s.ribbon->invalidations, 0);
  CHECK_HR(s.extensibility->OnStartupComplete(&custom), S_OK);
  CHECK_EQ(s.ribbon->invalidations, 1);
  SafeArrayDestroy(custom);
}

// --- Callbacks by name ---

TEST_CASE("callbacks are found by name without regard to case; unknown names are refused") {
  Session& s = TheSession();
  for (const wchar_t* spelling : {L"onButtonPressed", L"OnButtonPressed", L"ONBUTTONPRESSED"}) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(spelling)};
    CHECK_HR(s.connect->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    CHECK_EQ(id, static_cast<DISPID>(*ribbon::FindCallback("onButtonPressed")));
  }
  DISPID id = 0;
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"OnAction2")};
  CHECK_HR(s.connect->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id),
           DISP_E_UNKNOWNNAME);
  CHECK_EQ(id, static_cast<DISPID>(DISPID_UNKNOWN));
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  CHECK_HR(s.connect->Invoke(999, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                             nullptr, nullptr),
           DISP_E_MEMBERNOTFOUND);
}

TEST_CASE("wrong numbers and kinds of arguments give DISP_E codes, never a crash") {
  Session& s = TheSession();
  CHECK_HR(CallByName(s.connect.Get(), L"OnGetText", {}), DISP_E_BADPARAMCOUNT);
  CHECK_HR(CallByName(s.connect.Get(), L"On_Action", {Control("chkRoundNum")}),
           DISP_E_BADPARAMCOUNT);
  CHECK_HR(CallByName(s.connect.Get(), L"RefreshCounts", {Variant::Int(1)}), DISP_E_BADPARAMCOUNT);
  CHECK_HR(CallByName(s.connect.Get(), L"OnGetText", {Variant::Text("EditBox1")}),
           DISP_E_TYPEMISMATCH);
  CHECK_HR(CallByName(s.connect.Get(), L"GetEnable", {Variant::Double(2.5)}), DISP_E_TYPEMISMATCH);
  CHECK_HR(
      CallByName(s.connect.Get(), L"On_Action", {Control("chkRoundNum"), Variant::Text("yes")}),
      DISP_E_TYPEMISMATCH);
  CHECK_HR(CallByName(s.connect.Get(), L"OnGetText", {Variant::Dispatch(nullptr)}),
           DISP_E_TYPEMISMATCH);
  // A named argument is not taken.
  DISPID id = static_cast<DISPID>(*ribbon::FindCallback("OnGetText"));
  Variant control = Control("EditBox1");
  VARIANT arg = control.get();
  DISPID name = 7;
  DISPPARAMS params{&arg, &name, 1, 1};
  CHECK_HR(s.connect->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                             nullptr, nullptr),
           DISP_E_NONAMEDARGS);
}

// The twelve counters as the ribbon labels show them.
std::vector<std::string> RibbonCounts(IDispatch* connect) {
  std::vector<std::string> out;
  for (int i = 0; i < state::kCounterCount; ++i) {
    Variant text;
    std::string id(ribbon::CountLabel(static_cast<state::Counter>(i)));
    if (FAILED(CallByName(connect, L"OnGetText", {Control(id)}, &text)) || text.type() != VT_BSTR) {
      out.push_back("<failed>");
    } else {
      out.push_back(id + "=" + Narrow(V_BSTR(&text.get())));
    }
  }
  return out;
}

// The same ranges and comparison through the add-in's own objects, on a second in-memory host.
struct DirectRun {
  memhost::MemHost host;
  quorvane::testing::RecordingUi ui;
  addin::MemorySettings settings;
  addin::Library library{ui, settings};
  addin::Connect connect{library};

  struct NoRibbon : ribbon::RibbonUI {
    void Invalidate() override {}
    void InvalidateControl(const std::string&) override {}
  } ribbon;

  DirectRun() : DirectRun({host::Area{1, 1, 12, 1}}, {host::Area{1, 3, 10, 3}}) {}
  // Ranges of Sheet1 of any number of areas.
  DirectRun(std::vector<host::Area> range1, std::vector<host::Area> range2) {
    FillBook(host);
    host.SetInputBoxHandler([this, range1, range2](const memhost::InputBoxRequest& request) {
      return std::optional<host::Range>(
          host::Range(&host.Worksheets("Sheet1"),
                      request.title.find('1') != std::string::npos ? range1 : range2));
    });
    addin::ApplicationObject app(host);
    connect.IDTExtensibility2_OnConnection(&app, 1);
    connect.IRibbonExtensibility_GetCustomUI(ribbon::kWorkbookRibbonId);
    connect.OnRibbonLoad(&ribbon);
    for (const char* id : {"btnRange1", "btnRange2", "btnCompare"}) {
      ribbon::FixedControl control(id);
      connect.onButtonPressed(control);
    }
  }

  std::vector<std::string> Counts() {
    std::vector<std::string> out;
    for (int i = 0; i < state::kCounterCount; ++i) {
      std::string id(ribbon::CountLabel(static_cast<state::Counter>(i)));
      ribbon::FixedControl control(id);
      out.push_back(id + "=" + connect.OnGetText(control));
    }
    return out;
  }
};

TEST_CASE("set both ranges through the input box; the edit boxes show them") {
  Session& s = TheSession();
  s.host.SetInputBoxHandler([&s](const memhost::InputBoxRequest& request) {
    return std::optional<host::Range>(s.host.Worksheets("Sheet1").Cells(
        request.title.find('1') != std::string::npos ? host::Area{1, 1, 12, 1}
                                                     : host::Area{1, 3, 10, 3}));
  });
  Variant enabled;
  CHECK_HR(CallByName(s.connect.Get(), L"GetEnable", {Control("btnCompare")}, &enabled), S_OK);
  CHECK(enabled.type() == VT_BOOL && V_BOOL(&enabled.get()) == VARIANT_FALSE);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange1")}), S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"OnButtonPressed", {Control("btnRange2")}), S_OK);
  CHECK_EQ(s.host.input_boxes().size(), 2u);
  Variant text;
  CHECK_HR(CallByName(s.connect.Get(), L"OnGetText", {Control("EditBox1")}, &text), S_OK);
  CHECK(text.type() == VT_BSTR);
  CHECK_EQ(ToText(text), std::string("[Book1.xlsx]Sheet1!$A$1:$A$12"));
  CHECK_HR(CallByName(s.connect.Get(), L"OnGetText", {Control("EditBox2")}, &text), S_OK);
  CHECK_EQ(ToText(text), std::string("[Book1.xlsx]Sheet1!$C$1:$C$10"));
  CHECK_HR(CallByName(s.connect.Get(), L"GetEnable", {Control("btnCompare")}, &enabled), S_OK);
  CHECK(enabled.type() == VT_BOOL && V_BOOL(&enabled.get()) == VARIANT_TRUE);
  CHECK(s.watcher->TakeMessageBoxes().empty());
}

TEST_CASE(
    "every button command invalidates its buttons in order; the one the ribbon does not declare "
    "fails quietly") {
  Session& s = TheSession();
  s.watcher->TakeMessageBoxes();
  for (const char* button : {"btnClearRange1", "btnNoSuch"}) {
    const std::size_t before = s.ribbon->invalidated_controls.size();
    const int refused = s.ribbon->refused_invalidations;
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control(button)}), S_OK);
    const std::vector<std::string> asked(
        s.ribbon->invalidated_controls.begin() + static_cast<std::ptrdiff_t>(before),
        s.ribbon->invalidated_controls.end());
    std::vector<std::string> expected = {"btnCompare", "btnClearFormating", "btnStop"};
    if (std::string(button) == "btnClearRange1") expected.insert(expected.begin(), "EditBox1");
    CHECK(asked == expected);
    CHECK_EQ(s.ribbon->refused_invalidations, refused + 1);  // btnStop is not on the ribbon
    CHECK(s.watcher->TakeMessageBoxes().empty());
  }
  // Range 1 is set again for the cases that follow.
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange1")}), S_OK);
  CHECK(s.watcher->TakeMessageBoxes().empty());
}

TEST_CASE("a comparison through COM gives the marks and counts of the same run made directly") {
  Session& s = TheSession();
  s.watcher->TakeForms();
  // During the run, once the marking has begun: read the results form and take its picture.
  bool captured = false;
  std::vector<std::string> form_texts;
  std::string nested_label;
  s.app->SetCallHook([&](const std::string& member) {
    if (captured || member != "AddComment") return;
    captured = true;
    HWND form = FindWindowW(kFormClass, L"Result of Comparison");
    CHECK(form != nullptr && IsWindowVisible(form));
    if (form == nullptr) return;
    UpdateWindow(form);
    form_texts = ChildTexts(form);
    std::wstring png = s.output_dir + L"\\results-form.png";
    CHECK(SaveWindowPng(form, png));
    // The host may call back into the add-in in the middle of the run: the labels read the
    // counters so far, and a second Compare is ignored while the first runs.
    Variant label;
    CHECK_HR(CallByName(s.connect.Get(), L"OnGetText", {Control("lblCount01")}, &label), S_OK);
    nested_label = ToText(label);
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  });
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  s.app->SetCallHook(nullptr);
  CHECK(captured);
  CHECK(nested_label != "" && nested_label != " 0");
  CHECK(std::find(form_texts.begin(), form_texts.end(), "Stop") != form_texts.end());
  CHECK(std::find(form_texts.begin(), form_texts.end(), "Range #1") != form_texts.end());

  DirectRun direct;
  CHECK_EQ(Describe(s.host), Describe(direct.host));
  CHECK(RibbonCounts(s.connect.Get()) == direct.Counts());
  std::vector<std::string> counts = RibbonCounts(s.connect.Get());
  CHECK(counts[0] == "lblCount01= 11");  // row 6 is hidden
  CHECK(Describe(s.host).find("CmtNum") != std::string::npos);

  // The status bar showed the run and was handed back; the form is hidden again.
  const auto& history = s.host.status_bar_history();
  CHECK(history.size() >= 2 &&
        history.front() == std::optional<std::string>("Ranges Comparison is in Progress ...."));
  CHECK(!s.host.status_bar().has_value());
  HWND form = FindWindowW(kFormClass, L"Result of Comparison");
  CHECK(form != nullptr && !IsWindowVisible(form));
  // The form's labels kept the last counts: "Count" of Range 1.
  CHECK(std::find(form_texts.begin(), form_texts.end(), "Count") != form_texts.end());
  CHECK(s.ribbon->invalidated_controls.size() > 12);
  CHECK(s.watcher->TakeMessageBoxes().empty());
}

TEST_CASE("options are ticked by name with the host's boolean, plain or by reference") {
  Session& s = TheSession();
  Variant pressed;
  CHECK_HR(CallByName(s.connect.Get(), L"GetPressed", {Control("chkIgnoreZero")}, &pressed), S_OK);
  const bool initially = V_BOOL(&pressed.get()) != VARIANT_FALSE;
  CHECK_HR(
      CallByName(s.connect.Get(), L"On_Action", {Control("chkIgnoreZero"), Variant::Bool(true)}),
      S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"GetPressed", {Control("chkIgnoreZero")}, &pressed), S_OK);
  CHECK(pressed.type() == VT_BOOL && V_BOOL(&pressed.get()) == VARIANT_TRUE);
  VARIANT_BOOL off = VARIANT_FALSE;
  Variant by_reference;
  V_VT(by_reference.Put()) = VT_BOOL | VT_BYREF;
  const_cast<VARIANT&>(by_reference.get()).pboolVal = &off;
  CHECK_HR(CallByName(s.connect.Get(), L"On_Action", {Control("chkIgnoreZero"), by_reference}),
           S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"GetPressed", {Control("chkIgnoreZero")}, &pressed), S_OK);
  CHECK(pressed.type() == VT_BOOL && V_BOOL(&pressed.get()) == VARIANT_FALSE);
  CHECK_HR(CallByName(s.connect.Get(), L"On_Action",
                      {Control("chkIgnoreZero"), Variant::Bool(initially)}),
           S_OK);
  // An id no option has.
  CHECK_HR(CallByName(s.connect.Get(), L"GetPressed", {Control("chkNoSuch")}, &pressed), S_OK);
  CHECK(pressed.type() == VT_BOOL && V_BOOL(&pressed.get()) == VARIANT_FALSE);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnNoSuch")}), S_OK);
  CHECK(s.watcher->TakeMessageBoxes().empty());
}

TEST_CASE("numbers shown as ##### in columns too narrow for them are counted as any other") {
  // Excel answers Range.Text with a row of "#" for such a number: the two 77s of Range 1 and every
  // other number show alike, and none may be taken for a match already counted.
  Session& s = TheSession();
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
  sheet.data().narrow_columns = {1, 3};
  CHECK(sheet.CellText(4, 1).find_first_not_of('#') == std::string::npos);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  sheet.data().narrow_columns.clear();
  DirectRun direct;
  CHECK(RibbonCounts(s.connect.Get()) == direct.Counts());
  CHECK(s.watcher->TakeMessageBoxes().empty());
}

TEST_CASE("clear formatting gives every cell its fill back and removes the marks") {
  Session& s = TheSession();
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  memhost::MemHost fresh;
  FillBook(fresh);
  CHECK_EQ(Describe(s.host), Describe(fresh));
  std::vector<std::string> counts = RibbonCounts(s.connect.Get());
  CHECK_EQ(counts[0], std::string("lblCount01= 0"));
}

// After a run whose notices left the results form open: a run without notices hides it again, and
// the clearing gives back the workbook as the session made it.
void CompareAndClearTheSessionBook() {
  Session& s = TheSession();
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  CHECK(!IsWindowVisible(FindWindowW(kFormClass, L"Result of Comparison")));
  memhost::MemHost fresh;
  FillBook(fresh);
  CHECK_EQ(Describe(s.host), Describe(fresh));
}

// The stand-in's user locale for a test case: what LOCALE_USER_DEFAULT stands for in its calls,
// with no language pack installed for it. Put back to English (United States) when it goes.
class UserLocale {
 public:
  explicit UserLocale(LANGID language) {
    TheSession().app->set_user_locale(MAKELCID(language, SORT_DEFAULT));
  }
  ~UserLocale() {
    TheSession().app->set_user_locale(
        MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
  }
  UserLocale(const UserLocale&) = delete;
  UserLocale& operator=(const UserLocale&) = delete;
};

TEST_CASE(
    "German regional settings: the notes write German numbers and stamps; clearing undoes it") {
  Session& s = TheSession();
  {
    const UserSettings german = GermanUser();
    const UserLocale locale(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    auto& sheet = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
    // A German text amount that is the 1234.56 of the other list once read.
    sheet.Put(11, 1, host::Value::Text("1.243,56"));
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
    const std::regex stamp(R"(<<< \d{1,2}\.\d{1,2} \d\d:\d\d:\d\d:\n)");
    const auto note = [&](int row, int column) {
      const memhost::CellData* cell = sheet.data().Find(row, column);
      return cell != nullptr && cell->comment
                 ? std::regex_replace(cell->comment->text, stamp, "<<< ")
                 : std::string();
    };
    const std::string expected = "<<< This list has 1 1234,56.\nOther list has 0.\n>>>";
    CHECK_EQ(note(3, 1).substr(0, expected.size()), expected);
    // The text is read as 1243.56: it and C3 match, and neither is marked.
    CHECK_EQ(note(11, 1), std::string());
    CHECK_EQ(note(3, 3), std::string());
    CHECK(s.watcher->TakeMessageBoxes().empty());
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
    sheet.Put(11, 1, host::Value::Text("abc"));
  }
  CompareAndClearTheSessionBook();
}

TEST_CASE("British regional settings: a text date is read day first, and its year error found") {
  Session& s = TheSession();
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
  const auto compare_numbers_only = [&](bool on) {
    CHECK_HR(
        CallByName(s.connect.Get(), L"On_Action", {Control("chkCompareNum"), Variant::Bool(on)}),
        S_OK);
  };
  {
    const UserSettings british = BritishUser();
    const UserLocale locale(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK));
    // The ledger's text "05/01/2023" is 5 January to a British user, a year before the
    // statement's 5 January 2024 (in the United States it would be 1 May, and no year error).
    sheet.Put(11, 1, host::Value::Text("05/01/2023"));
    sheet.Put(10, 3, host::Value::Date(host::SerialFromCivil({2024, 1, 5})));
    compare_numbers_only(false);
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
    const memhost::CellData* cell = sheet.data().Find(11, 1);
    const std::string note = cell != nullptr && cell->comment ? cell->comment->text : "";
    CHECK(note.find("Possible Year Error 05/01/2023 and 05/01/2024") != std::string::npos);
    CHECK(s.watcher->TakeMessageBoxes().empty());
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
    compare_numbers_only(true);
    sheet.Put(11, 1, host::Value::Text("abc"));
    sheet.Put(10, 3, host::Value::Text("abd"));
  }
  CompareAndClearTheSessionBook();
}

// Presses "Compare Ranges"; the texts of the message boxes it showed.
std::vector<std::string> CompareMessages() {
  Session& s = TheSession();
  s.watcher->TakeMessageBoxes();
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  std::vector<std::string> texts;
  for (const SeenMessageBox& box : s.watcher->TakeMessageBoxes()) texts.push_back(box.text);
  return texts;
}

// The host drops the error of a ribbon callback (unless the user asked to see add-in errors), so a
// failing command shows its error itself.
TEST_CASE(
    "a host call failing in the middle of a comparison: one message box with the host's "
    "description, the status bar handed back; the add-in goes on") {
  Session& s = TheSession();
  auto* sheet = dynamic_cast<memhost::MemWorksheet*>(&s.host.Worksheets("Sheet1"));
  sheet->Protect(true);
  const std::size_t invalidations = s.ribbon->invalidated_controls.size();
  // The run's own clearing finds nothing of the add-in's on the sheet (the last test cleared it),
  // so it writes nothing and the protection does not stop it; the marking then fails, and ends
  // the command.
  CHECK((CompareMessages() == std::vector<std::string>{memhost::kProtectedSheet}));
  CHECK(!s.host.status_bar().has_value());
  // What the run did before the failure stays: the count labels it invalidated, and no closing
  // invalidation of the buttons (the command ended at the failure).
  const std::vector<std::string> during(
      s.ribbon->invalidated_controls.begin() + static_cast<std::ptrdiff_t>(invalidations),
      s.ribbon->invalidated_controls.end());
  CHECK(!during.empty());
  CHECK(std::find(during.begin(), during.end(), "btnCompare") == during.end());
  sheet->Protect(false);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  // The host numbers new shapes on from the earlier runs; the rest is as a first run's.
  static const std::regex kShapeNumber("Rectangle \\d+");
  DirectRun direct;
  CHECK_EQ(std::regex_replace(Describe(s.host), kShapeNumber, "Rectangle #"),
           std::regex_replace(Describe(direct.host), kShapeNumber, "Rectangle #"));
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
}

TEST_CASE("the results form's Stop button, pressed during a run, stops it") {
  Session& s = TheSession();
  bool pressed = false;
  s.app->SetCallHook([&](const std::string& member) {
    if (pressed || member != "AddComment") return;
    pressed = s.watcher->PressButton("Result of Comparison", "Stop");
  });
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  s.app->SetCallHook(nullptr);
  CHECK(pressed);
  // The first mismatch was being marked when Stop was pressed: the run ended before seeing all.
  DirectRun direct;
  CHECK(Describe(s.host) != Describe(direct.host));
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
}

// Points both ranges at blocks of Sheet1 through the input box, as the user would.
void SetRanges(const host::Area& range1, const host::Area& range2) {
  Session& s = TheSession();
  s.host.SetInputBoxHandler([&s, range1, range2](const memhost::InputBoxRequest& request) {
    return std::optional<host::Range>(s.host.Worksheets("Sheet1").Cells(
        request.title.find('1') != std::string::npos ? range1 : range2));
  });
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange1")}), S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange2")}), S_OK);
}

TEST_CASE(
    "a range of so many areas that its address is longer than the host's Range takes: shown, and "
    "compared as directly") {
  // Range 1 is the list of column A cell by cell, and blank cells of column AZ: 42 areas, whose
  // address has some 300 characters.
  std::vector<host::Area> range1;
  for (int row = 1; row <= 12; ++row) range1.push_back(host::Area{row, 1, row, 1});
  for (int row = 101; row < 161; row += 2) range1.push_back(host::Area{row, 52, row, 52});
  const std::vector<host::Area> range2 = {host::Area{1, 3, 10, 3}};
  Session& s = TheSession();
  const long refused = s.app->refused_references();
  s.host.SetInputBoxHandler([&s, range1, range2](const memhost::InputBoxRequest& request) {
    return std::optional<host::Range>(
        host::Range(&s.host.Worksheets("Sheet1"),
                    request.title.find('1') != std::string::npos ? range1 : range2));
  });
  s.watcher->TakeMessageBoxes();
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange1")}), S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange2")}), S_OK);
  Variant text;
  CHECK_HR(CallByName(s.connect.Get(), L"OnGetText", {Control("EditBox1")}, &text), S_OK);
  const std::string shown = ToText(text);
  CHECK(shown.size() > 255);
  CHECK_EQ(shown, host::Range(&s.host.Worksheets("Sheet1"), range1).Address(true));
  // The user confirms the text shown.
  CHECK_HR(CallByName(s.connect.Get(), L"ChangeText", {Control("EditBox1"), Variant::Text(shown)}),
           S_OK);
  CHECK(CompareMessages().empty());

  DirectRun direct(range1, range2);
  static const std::regex kShapeNumber("Rectangle \\d+");
  CHECK_EQ(std::regex_replace(Describe(s.host), kShapeNumber, "Rectangle #"),
           std::regex_replace(Describe(direct.host), kShapeNumber, "Rectangle #"));
  CHECK(RibbonCounts(s.connect.Get()) == direct.Counts());
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  CHECK(s.watcher->TakeMessageBoxes().empty());
  // No range was asked for by a text the host refuses.
  CHECK_EQ(s.app->refused_references(), refused);
  SetRanges(host::Area{1, 1, 12, 1}, host::Area{1, 3, 10, 3});
}

TEST_CASE(
    "amounts in a currency format give the counters, marks and notes of the same amounts in "
    "General, under every option") {
  // The host hands out a currency cell's value as Currency, of four decimal places; the dates as
  // Date. The amounts have more places than Currency keeps.
  Session& s = TheSession();
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
  const std::vector<host::Value> list1 = {
      host::Value::Number(0.123456),  host::Value::Number(1234.56789),
      host::Value::Number(12.345678), host::Value::Number(77.00004),
      host::Value::Number(-5.55555),  host::Value::Number(1234567890.12345),
      host::Value::Number(0),         host::Value::Date(host::SerialFromCivil({2023, 1, 5})),
      host::Value::Number(19.99)};
  const std::vector<host::Value> list2 = {
      host::Value::Number(0.123456), host::Value::Number(1234.56789),
      host::Value::Number(12.34568), host::Value::Number(77),
      host::Value::Number(5.55555),  host::Value::Number(1234567890.1235),
      host::Value::Number(0),        host::Value::Date(host::SerialFromCivil({2024, 1, 5})),
      host::Value::Number(19.99),    host::Value::Number(0.1235)};
  for (std::size_t i = 0; i < list2.size(); ++i) {
    sheet.Put(static_cast<int>(i) + 1, 11, list2[i], list2[i].is_date() ? "m/d/yyyy" : "General");
  }
  s.host.SetHasScreen(false);
  SetRanges(host::Area{1, 10, static_cast<int>(list1.size()), 10},
            host::Area{1, 11, static_cast<int>(list2.size()), 11});
  // One run with list 1 in the number format given: the counters, and the sheet with its marks.
  const auto run = [&](const std::string& amount_format) {
    for (std::size_t i = 0; i < list1.size(); ++i) {
      sheet.Put(static_cast<int>(i) + 1, 10, list1[i],
                list1[i].is_date() ? "m/d/yyyy" : amount_format);
    }
    CHECK(CompareMessages().empty());
    std::vector<std::string> out = RibbonCounts(s.connect.Get());
    // The host numbers new shapes on from the earlier runs.
    static const std::regex kShapeNumber("Rectangle \\d+");
    out.push_back(std::regex_replace(Describe(s.host), kShapeNumber, "Rectangle #"));
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
    return out;
  };
  const auto tick = [&](const char* option, bool on) {
    CHECK_HR(CallByName(s.connect.Get(), L"On_Action", {Control(option), Variant::Bool(on)}), S_OK);
  };
  const auto pressed = [&](const char* option) {
    Variant value;
    CHECK_HR(CallByName(s.connect.Get(), L"GetPressed", {Control(option)}, &value), S_OK);
    return value.type() == VT_BOOL && V_BOOL(&value.get()) != VARIANT_FALSE;
  };
  for (const char* option : {"", "chkRoundNum", "chkCompareNum", "chkIgnoreSign", "chkReverse",
                             "chkIgnore10digit", "chkIgnoreZero", "chkHideComments"}) {
    const bool flip = *option != '\0';
    const bool was = flip && pressed(option);
    if (flip) tick(option, !was);
    const std::vector<std::string> general = run("General");
    for (const char* currency :
         {"$#,##0.00", "\"$\"#,##0.00;[Red]-\"$\"#,##0.00", "[$\xe2\x82\xac-407] #,##0.00"}) {
      const std::vector<std::string> as_currency = run(currency);
      if (as_currency != general) {
        // The lines that differ, for the log.
        std::printf("  option \"%s\", format %s:\n", option, currency);
        for (std::size_t i = 0; i < general.size() && i < as_currency.size(); ++i) {
          std::istringstream a(general[i]), b(as_currency[i]);
          for (std::string x, y; std::getline(a, x) && std::getline(b, y);) {
            if (x != y) std::printf("    General:  %s\n    Currency: %s\n", x.c_str(), y.c_str());
          }
        }
      }
      CHECK(as_currency == general);
    }
    if (flip) tick(option, was);
  }
  for (int row = 1; row <= static_cast<int>(list2.size()); ++row) {
    sheet.data().cells.erase({row, 10});
    sheet.data().cells.erase({row, 11});
  }
  s.host.SetHasScreen(true);
  SetRanges(host::Area{1, 1, 12, 1}, host::Area{1, 3, 10, 3});
}

TEST_CASE("a long list gives the same marks through COM as directly") {
  Session& s = TheSession();
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
  auto fill = [](memhost::MemWorksheet& target) {
    for (int i = 0; i < 1500; ++i) {
      target.Put(i + 1, 5, host::Value::Number((i * 37) % 1000 + 0.25));
      target.Put(i + 1, 6, host::Value::Number((i * 53) % 1100 + 0.25));
    }
  };
  fill(sheet);
  s.host.SetHasScreen(false);  // no animation: the run's length is the host calls only
  SetRanges(host::Area{1, 5, 1500, 5}, host::Area{1, 6, 1500, 6});
  const DWORD start = GetTickCount();
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  std::printf("  1500 against 1500 items through COM: %lu ms\n", GetTickCount() - start);
  s.host.SetHasScreen(true);

  memhost::MemHost direct_host;
  FillBook(direct_host);
  fill(dynamic_cast<memhost::MemWorksheet&>(direct_host.Worksheets("Sheet1")));
  quorvane::testing::RecordingUi ui;
  addin::MemorySettings settings;
  addin::Library library(ui, settings);
  addin::Connect connect(library);
  addin::ApplicationObject app(direct_host);
  connect.IDTExtensibility2_OnConnection(&app, 1);
  connect.IRibbonExtensibility_GetCustomUI(ribbon::kWorkbookRibbonId);
  DirectRun::NoRibbon no_ribbon;
  connect.OnRibbonLoad(&no_ribbon);
  direct_host.SetInputBoxHandler([&](const memhost::InputBoxRequest& request) {
    return std::optional<host::Range>(direct_host.Worksheets("Sheet1").Cells(
        request.title.find('1') != std::string::npos ? host::Area{1, 5, 1500, 5}
                                                     : host::Area{1, 6, 1500, 6}));
  });
  for (const char* id : {"btnRange1", "btnRange2", "btnCompare"}) {
    ribbon::FixedControl control(id);
    connect.onButtonPressed(control);
  }
  static const std::regex kShapeNumber("Rectangle \\d+");
  CHECK_EQ(std::regex_replace(Describe(s.host), kShapeNumber, "Rectangle #"),
           std::regex_replace(Describe(direct_host), kShapeNumber, "Rectangle #"));
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
}

TEST_CASE("more than 10000 items: the run is refused with a message box") {
  Session& s = TheSession();
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
  for (int i = 1; i <= 10001; ++i) sheet.Put(i, 8, host::Value::Number(i));
  SetRanges(host::Area{1, 8, 10001, 8}, host::Area{1, 3, 10, 3});
  s.watcher->TakeMessageBoxes();
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  std::vector<SeenMessageBox> boxes = s.watcher->TakeMessageBoxes();
  CHECK_EQ(boxes.size(), 1u);
  if (!boxes.empty()) {
    CHECK_EQ(boxes[0].text, std::string("Too many items in list.  Max is 10000"));
    CHECK_EQ(boxes[0].title, std::string("Quorvane"));
    CHECK(!boxes[0].has_icon);
  }
  CHECK(!s.host.status_bar().has_value());
}

// Points both ranges at these ranges through the input box, as the user would.
void PickRanges(const host::Range& range1, const host::Range& range2) {
  Session& s = TheSession();
  s.host.SetInputBoxHandler([range1, range2](const memhost::InputBoxRequest& request) {
    return std::optional<host::Range>(request.title.find('1') != std::string::npos ? range1
                                                                                   : range2);
  });
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange1")}), S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange2")}), S_OK);
}

std::string EditBoxText(const std::string& id) {
  Variant text;
  if (FAILED(CallByName(TheSession().connect.Get(), L"OnGetText", {Control(id)}, &text))) {
    return "<failed>";
  }
  return ToText(text);
}

bool CompareEnabled() {
  Variant enabled;
  return SUCCEEDED(CallByName(TheSession().connect.Get(), L"GetEnable", {Control("btnCompare")},
                              &enabled)) &&
         enabled.type() == VT_BOOL && V_BOOL(&enabled.get()) == VARIANT_TRUE;
}

bool Untouched(const memhost::MemWorksheet& sheet) {
  for (const auto& [key, cell] : sheet.data().cells) {
    if (cell.comment || cell.fill.pattern != host::kPatternNone) return false;
  }
  return sheet.data().shapes.empty();
}

TEST_CASE("a workbook closed and opened again: Set Range#1 takes the range, and Compare runs") {
  Session& s = TheSession();
  SetRanges(host::Area{1, 1, 12, 1}, host::Area{1, 3, 10, 3});
  s.app->CloseWorkbook("Book1.xlsx");
  s.app->OpenWorkbook("Book1.xlsx");
  SetRanges(host::Area{1, 1, 12, 1}, host::Area{1, 3, 10, 3});
  CHECK_EQ(EditBoxText("EditBox1"), std::string("[Book1.xlsx]Sheet1!$A$1:$A$12"));
  CHECK_EQ(EditBoxText("EditBox2"), std::string("[Book1.xlsx]Sheet1!$C$1:$C$10"));
  CHECK(CompareEnabled());
  CHECK(CompareMessages().empty());
  DirectRun direct;
  CHECK(RibbonCounts(s.connect.Get()) == direct.Counts());
  CHECK(Describe(s.host).find("CmtNum") != std::string::npos);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
}

TEST_CASE("\"Current\" renamed \"Jan\", a new sheet \"Current\": its range shows and marks it") {
  Session& s = TheSession();
  memhost::MemWorkbook& book = *s.host.FindWorkbook("Book1.xlsx");
  memhost::MemWorksheet& jan = book.AddSheet("Current");
  for (int row = 1; row <= 3; ++row) {
    jan.Put(row, 1, host::Value::Number(row));
    jan.Put(row, 2, host::Value::Number(row * 2));
  }
  PickRanges(jan.Cells(host::Area{1, 1, 3, 1}), jan.Cells(host::Area{1, 2, 3, 2}));
  CHECK_EQ(EditBoxText("EditBox1"), std::string("[Book1.xlsx]Current!$A$1:$A$3"));
  s.app->RenameSheet("Book1.xlsx", "Current", "Jan");
  memhost::MemWorksheet& current = book.AddSheet("Current");
  current.Put(1, 1, host::Value::Number(10));
  current.Put(2, 1, host::Value::Number(20));
  current.Put(1, 2, host::Value::Number(10));
  current.Put(2, 2, host::Value::Number(30));
  PickRanges(current.Cells(host::Area{1, 1, 2, 1}), current.Cells(host::Area{1, 2, 2, 2}));
  CHECK_EQ(EditBoxText("EditBox1"), std::string("[Book1.xlsx]Current!$A$1:$A$2"));
  CHECK_EQ(EditBoxText("EditBox2"), std::string("[Book1.xlsx]Current!$B$1:$B$2"));
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnCompare")}), S_OK);
  // 20 and 30 are the mismatches, marked on the new sheet; "Jan" is as it was.
  const memhost::CellData* twenty = current.data().Find(2, 1);
  CHECK(twenty != nullptr && twenty->comment.has_value());
  CHECK(Untouched(jan));
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  CHECK(Untouched(current));
  // A range picked on the renamed sheet is named by its new name.
  PickRanges(jan.Cells(host::Area{1, 1, 3, 1}), current.Cells(host::Area{1, 1, 2, 1}));
  CHECK_EQ(EditBoxText("EditBox1"), std::string("[Book1.xlsx]Jan!$A$1:$A$3"));
}

TEST_CASE("a range on a deleted sheet or a closed workbook: Compare Ranges says which, once") {
  Session& s = TheSession();
  memhost::MemWorkbook& book = *s.host.FindWorkbook("Book1.xlsx");
  memhost::MemWorksheet& current = *book.FindSheet("Current");
  PickRanges(book.FindSheet("Jan")->Cells(host::Area{1, 1, 3, 1}),
             current.Cells(host::Area{1, 1, 2, 1}));
  s.app->DeleteSheet("Book1.xlsx", "Jan");
  CHECK((CompareMessages() ==
         std::vector<std::string>{"The sheet \"Jan\" of \"Book1.xlsx\" has been deleted"}));
  CHECK(!s.host.status_bar().has_value());

  memhost::MemWorksheet& lists = s.host.AddWorkbook("Ledger.xlsx").AddSheet("Lists");
  lists.Put(1, 1, host::Value::Number(10));
  lists.Put(2, 1, host::Value::Number(20));
  PickRanges(current.Cells(host::Area{1, 1, 2, 1}), lists.Cells(host::Area{1, 1, 2, 1}));
  CHECK_EQ(EditBoxText("EditBox2"), std::string("[Ledger.xlsx]Lists!$A$1:$A$2"));
  s.app->CloseWorkbook("Ledger.xlsx");
  CHECK((CompareMessages() ==
         std::vector<std::string>{"The workbook \"Ledger.xlsx\" has been closed"}));
  CHECK(!s.host.status_bar().has_value());
  CHECK(Untouched(current));
  SetRanges(host::Area{1, 1, 12, 1}, host::Area{1, 3, 10, 3});
}

TEST_CASE("V.N.T and About show their forms as modeless windows") {
  Session& s = TheSession();
  s.watcher->TakeForms();
  CHECK_HR(CallByName(s.connect.Get(), L"VNT", {Control("btnVNT")}), S_OK);
  HWND results = FindWindowW(kFormClass, L"Result of Comparison");
  CHECK(results != nullptr && IsWindowVisible(results));
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnAbout")}), S_OK);
  HWND about = FindWindowW(kFormClass, L"About");
  CHECK(about != nullptr && IsWindowVisible(about));
  for (int i = 0; i < 50; ++i) {
    PumpMessages();
    Sleep(10);
  }
  std::vector<SeenForm> forms = s.watcher->TakeForms();
  bool saw_about = false;
  for (const SeenForm& form : forms) saw_about = saw_about || form.caption == "About";
  CHECK(saw_about);
  if (about != nullptr) PostMessageW(about, WM_CLOSE, 0, 0);
  if (results != nullptr) PostMessageW(results, WM_CLOSE, 0, 0);
  PumpMessages();
}

// Presses and lets go of a key, as the keyboard does: to the window with the focus.
void PressKey(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = key;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

// Moves the mouse to a point of the screen, and clicks there when asked, as the user does.
void MouseAt(POINT point, bool click) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>(point.x * 65535L / (width - 1));
    input.mi.dy = static_cast<LONG>(point.y * 65535L / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  }
  inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
  SendInput(click ? 3 : 1, inputs, sizeof(INPUT));
}

HWND ChildWithText(HWND window, const std::string& text) {
  HWND found = nullptr;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr && found == nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (WindowText(child) == text) found = child;
  }
  return found;
}

RECT RectIn(HWND window, HWND child) {
  RECT outer, inner;
  GetWindowRect(window, &outer);
  GetWindowRect(child, &inner);
  OffsetRect(&inner, -outer.left, -outer.top);
  return inner;
}

TEST_CASE("results form: owned by the host's window, focused; Space, Enter and Esc press Stop") {
  Session& s = TheSession();
  for (WORD key : {WORD{VK_SPACE}, WORD{VK_RETURN}, WORD{VK_ESCAPE}}) {
    bool sent = false;
    HWND owner = nullptr;
    HWND focus_root = nullptr;
    HWND form = nullptr;
    s.app->SetCallHook([&](const std::string& member) {
      if (sent || member != "AddComment") return;
      sent = true;
      form = FindWindowW(kFormClass, L"Result of Comparison");
      owner = GetWindow(form, GW_OWNER);
      focus_root = GetAncestor(GetFocus(), GA_ROOT);
      PressKey(key);
    });
    CHECK((CompareMessages() == std::vector<std::string>{"User Stopped"}));
    s.app->SetCallHook(nullptr);
    CHECK(sent);
    CHECK(owner != nullptr && owner == s.app->WorkbookWindow("Book1.xlsx"));
    CHECK(focus_root != nullptr && focus_root == form);
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  }
}

TEST_CASE(
    "results form: its owner's workbook closed, it shows again owned by the active workbook's "
    "window, and its Stop button works") {
  Session& s = TheSession();
  memhost::MemWorkbook& book = s.host.AddWorkbook("Owner.xlsx");
  memhost::MemWorksheet& lists = book.AddSheet("Lists");
  for (int row = 1; row <= 3; ++row) {
    lists.Put(row, 1, host::Value::Number(row));
    lists.Put(row, 3, host::Value::Number(row + 1));
  }
  book.Activate();
  const auto pick = [&s](host::Range range1, host::Range range2) {
    s.host.SetInputBoxHandler([range1, range2](const memhost::InputBoxRequest& request) {
      return std::optional<host::Range>(request.title.find('1') != std::string::npos ? range1
                                                                                     : range2);
    });
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange1")}), S_OK);
    CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange2")}), S_OK);
  };
  pick(lists.Cells(host::Area{1, 1, 3, 1}), lists.Cells(host::Area{1, 3, 3, 3}));
  HWND owner = nullptr;
  // The owner once the form is shown: at the run's first marking.
  s.app->SetCallHook([&](const std::string& member) {
    if (owner == nullptr && member == "AddComment") {
      owner = GetWindow(FindWindowW(kFormClass, L"Result of Comparison"), GW_OWNER);
    }
  });
  CHECK(CompareMessages().empty());
  s.app->SetCallHook(nullptr);
  const HWND owner_book_window = s.app->WorkbookWindow("Owner.xlsx");
  CHECK(owner != nullptr && owner == owner_book_window);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);

  // The user closes that workbook: Windows destroys its window and the form it owned.
  s.app->CloseWorkbook("Owner.xlsx");
  CHECK(!IsWindow(owner_book_window));
  s.host.Workbooks("Book1.xlsx").Activate();
  SetRanges(host::Area{1, 1, 12, 1}, host::Area{1, 3, 10, 3});
  bool pressed = false;
  owner = nullptr;
  s.app->SetCallHook([&](const std::string& member) {
    if (pressed || member != "AddComment") return;
    owner = GetWindow(FindWindowW(kFormClass, L"Result of Comparison"), GW_OWNER);
    pressed = s.watcher->PressButton("Result of Comparison", "Stop");
  });
  CHECK((CompareMessages() == std::vector<std::string>{"User Stopped"}));
  s.app->SetCallHook(nullptr);
  CHECK(pressed);
  CHECK(owner != nullptr && owner == s.app->WorkbookWindow("Book1.xlsx"));
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
}

TEST_CASE("results form: every caption wraps within its label, and no two labels overlap") {
  Session& s = TheSession();
  CHECK_HR(CallByName(s.connect.Get(), L"VNT", {Control("btnVNT")}), S_OK);
  HWND form = FindWindowW(kFormClass, L"Result of Comparison");
  CHECK(form != nullptr);
  if (form == nullptr) return;
  std::vector<HWND> labels;
  for (HWND child = GetWindow(form, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (WindowText(child) != "Stop") labels.push_back(child);
  }
  CHECK_EQ(labels.size(), 20u);
  HDC screen = GetDC(nullptr);
  for (HWND label : labels) {
    const std::wstring text = Widen(WindowText(label));
    RECT client;
    GetClientRect(label, &client);
    HGDIOBJ old =
        SelectObject(screen, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, client.right, 0};
    DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_CENTER);
    SelectObject(screen, old);
    if (needed.right > client.right || needed.bottom > client.bottom) {
      CHECK_EQ(WindowText(label) + " needs " + std::to_string(needed.right) + "x" +
                   std::to_string(needed.bottom),
               WindowText(label) + " fits " + std::to_string(client.right) + "x" +
                   std::to_string(client.bottom));
    }
  }
  ReleaseDC(nullptr, screen);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    for (std::size_t j = i + 1; j < labels.size(); ++j) {
      RECT a = RectIn(form, labels[i]), b = RectIn(form, labels[j]), both;
      if (IntersectRect(&both, &a, &b)) {
        CHECK_EQ(WindowText(labels[i]) + " overlaps " + WindowText(labels[j]), std::string());
      }
    }
  }
  CHECK(SaveWindowPng(form, s.output_dir + L"\\results-form-idle.png"));
  PostMessageW(form, WM_CLOSE, 0, 0);
  PumpMessages();
}

TEST_CASE("About: the logo drawn, the link's tip on hover, a real click opens the home page") {
  Session& s = TheSession();
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnAbout")}), S_OK);
  HWND about = FindWindowW(kFormClass, L"About");
  CHECK(about != nullptr && IsWindowVisible(about));
  if (about == nullptr) return;
  CHECK(SaveWindowPng(about, s.output_dir + L"\\about-form.png"));

  // The logo: the bitmap of the project's own at Image1's 90 points, blue and green sheets
  // crossed by a white tick.
  HWND image = nullptr;
  for (HWND child = GetWindow(about, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) image = child;
  }
  CHECK(image != nullptr);
  if (image != nullptr) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    RECT box = RectIn(about, image);
    CHECK_EQ(box.right - box.left, std::lround(90 * dpi / 72.0));
    CHECK_EQ(box.bottom - box.top, std::lround(90 * dpi / 72.0));
    Picture picture = CaptureWindow(about);
    // Points of the 120-pixel logo, scaled to the image's size.
    auto at = [&](int x, int y) {
      return picture.At(box.left + x * (box.right - box.left) / 120,
                        box.top + y * (box.bottom - box.top) / 120);
    };
    CHECK_EQ(at(40, 26), RGB(43, 108, 176));   // the blue sheet
    CHECK_EQ(at(85, 96), RGB(47, 158, 91));    // the green sheet
    CHECK_EQ(at(60, 75), RGB(255, 255, 255));  // the tick
  }

  HWND link = ChildWithText(about, "Made by Quorvane");
  CHECK(link != nullptr);
  if (link == nullptr) return;
  RECT link_box;
  GetWindowRect(link, &link_box);
  POINT middle{(link_box.left + link_box.right) / 2, (link_box.top + link_box.bottom) / 2};
  POINT in_form = middle;
  ScreenToClient(about, &in_form);
  CHECK(ChildWindowFromPointEx(about, in_form, CWP_SKIPINVISIBLE) == link);

  // The tip shows while the mouse rests on the link.
  MouseAt(middle, false);
  HWND tip = nullptr;
  CHECK(PumpUntil([&] {
    for (HWND w = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr)) {
      if (GetWindow(w, GW_OWNER) == about && IsWindowVisible(w)) tip = w;
    }
    return tip != nullptr;
  }));
  if (tip != nullptr) {
    wchar_t text[256] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = about;
    tool.uId = reinterpret_cast<UINT_PTR>(link);
    tool.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    CHECK_EQ(Narrow(std::wstring_view(text)),
             std::string("Visit ") + forms::AboutForm::kMakerAddress);
  }

  // The address is the project's home page, a build setting, not a reserved example domain.
  const std::string address = forms::AboutForm::kMakerAddress;
  CHECK(address.rfind("https://", 0) == 0 && address.find("example") == std::string::npos);
  const std::size_t links = s.host.followed_links().size();
  MouseAt(middle, true);
  CHECK(PumpUntil([&] { return !IsWindow(about); }));
  CHECK_EQ(s.host.followed_links().size(), links + 1);
  if (s.host.followed_links().size() == links + 1) {
    CHECK_EQ(s.host.followed_links().back(), address);
  }
}

// Answers the range input boxes with these ranges, then presses "Set Range#1" and "Set Range#2".
void SetRanges(const host::Range& range1, const host::Range& range2) {
  Session& s = TheSession();
  s.host.SetInputBoxHandler([range1, range2](const memhost::InputBoxRequest& request) {
    return std::optional<host::Range>(request.title.find('1') != std::string::npos ? range1
                                                                                   : range2);
  });
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange1")}), S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnRange2")}), S_OK);
}

// The lines of a list box.
std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::vector<wchar_t> text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) +
                              1);
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    lines.push_back(Narrow(std::wstring_view(text.data())));
  }
  return lines;
}

// The external address of the host's selection; empty when nothing is selected.
std::string SelectionText() {
  const host::Range selection = TheSession().host.Selection();
  return selection ? selection.Address(true) : std::string();
}

// Clicks the middle of a line of a list box with the mouse, as the user does.
void ClickListLine(HWND list, int line) {
  RECT item{};
  SendMessageW(list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&item));
  POINT middle{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ClientToScreen(list, &middle);
  CHECK(WindowFromPoint(middle) == list);
  MouseAt(middle, true);
}

TEST_CASE("results form: each finding that explains more is a line; a click selects its cell") {
  Session& s = TheSession();
  // A sign error and a total split into two entries of the ledger.
  memhost::MemWorkbook& book = s.host.AddWorkbook("Explained.xlsx");
  memhost::MemWorksheet& bank = book.AddSheet("Bank");
  bank.Put(1, 1, host::Value::Number(40.25));
  bank.Put(2, 1, host::Value::Number(350));
  memhost::MemWorksheet& ledger = book.AddSheet("Ledger");
  ledger.Put(1, 2, host::Value::Number(-40.25));
  ledger.Put(2, 2, host::Value::Number(100));
  ledger.Put(3, 2, host::Value::Number(250));
  SetRanges(bank.Ref("A1:A2"), ledger.Ref("B1:B3"));
  s.host.Workbooks("Book1.xlsx").Activate();

  CHECK((CompareMessages() == std::vector<std::string>{}));
  HWND form = FindWindowW(kFormClass, L"Result of Comparison");
  CHECK(form != nullptr && IsWindowVisible(form));
  if (form == nullptr) return;
  HWND list = FindWindowExW(form, nullptr, L"ListBox", nullptr);
  CHECK(list != nullptr);
  if (list == nullptr) return;
  std::string lines;
  for (const std::string& line : ListLines(list)) lines += line + "\n";
  CHECK_EQ(lines, std::string("[Explained.xlsx]Bank!$A$1: Possible Sign Error $A$1 and $B$1 for "
                              "Range 1 and 2, respectively.\n"
                              "[Explained.xlsx]Bank!$A$2: Possible Split: $A$2 of Range 1 equals "
                              "$B$2 + $B$3 of Range 2\n"));
  CHECK(SaveWindowPng(form, s.output_dir + L"\\results-form-explained.png"));
  ledger.Select();
  ClickListLine(list, 1);
  CHECK(PumpUntil([&] { return SelectionText() == "[Explained.xlsx]Bank!$A$2"; }));
  // Every cell of the finding is shaded.
  CHECK_EQ(ledger.data().Find(3, 2)->fill.pattern, host::kPatternGray16);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  CHECK(!ledger.HasComment(3, 2));
}

TEST_CASE("results form: the notices listed under the counters; a click selects the cell") {
  Session& s = TheSession();
  // A statement whose amount was typed as text, beside an error cell, in a workbook of its own.
  memhost::MemWorkbook& book = s.host.AddWorkbook("Statement.xlsx");
  memhost::MemWorksheet& bank = book.AddSheet("Bank");
  bank.Put(1, 1, host::Value::Number(10));
  bank.Put(2, 1, host::Value::Text("12.50"));
  bank.Put(3, 1, host::Value::Error(host::CellError::kNA));
  memhost::MemWorksheet& ledger = book.AddSheet("Ledger");
  ledger.Put(1, 2, host::Value::Number(10));
  ledger.Put(2, 2, host::Value::Number(12.5));
  SetRanges(bank.Ref("A1:A3"), ledger.Ref("B1:B2"));
  s.host.Workbooks("Book1.xlsx").Activate();
  // An error cell is a notice when cells that are not numbers are compared too.
  Variant pressed;
  CHECK_HR(CallByName(s.connect.Get(), L"GetPressed", {Control("chkCompareNum")}, &pressed), S_OK);
  const bool numbers_only = V_BOOL(&pressed.get()) != VARIANT_FALSE;
  CHECK_HR(
      CallByName(s.connect.Get(), L"On_Action", {Control("chkCompareNum"), Variant::Bool(false)}),
      S_OK);

  CHECK((CompareMessages() == std::vector<std::string>{}));
  // The run leaves the form open on its notices, in a list under the counters.
  HWND form = FindWindowW(kFormClass, L"Result of Comparison");
  CHECK(form != nullptr && IsWindowVisible(form));
  if (form == nullptr) return;
  HWND list = FindWindowExW(form, nullptr, L"ListBox", nullptr);
  CHECK(list != nullptr);
  if (list == nullptr) return;
  std::string lines;
  for (const std::string& line : ListLines(list)) lines += line + "\n";
  CHECK_EQ(lines,
           std::string("1) [Statement.xlsx]Bank!$A$2 is text but probably should be number.\n"
                       "2) [Statement.xlsx]Bank!$A$3 is ERROR\n"));
  // Under every other control, within the form; the form is taller by the list's height.
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  RECT client{}, list_box = RectIn(form, list);
  GetClientRect(form, &client);
  for (HWND child = GetWindow(form, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (child != list) CHECK(RectIn(form, child).bottom <= list_box.top);
  }
  RECT in_client{};
  GetWindowRect(list, &in_client);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&in_client), 2);
  CHECK(in_client.bottom <= client.bottom);
  const long list_height = list_box.bottom - list_box.top;
  CHECK(std::abs(client.bottom - list_height - std::lround(127.5 * dpi / 72.0)) <= 1);
  CHECK(SaveWindowPng(form, s.output_dir + L"\\results-form-notices.png"));

  // A click on the error's line goes to its cell: its workbook active, its sheet and the cell
  // selected, from wherever the user is.
  book.Activate();
  ledger.Select();
  s.host.Workbooks("Book1.xlsx").Activate();
  ClickListLine(list, 1);
  CHECK(PumpUntil([&] { return SelectionText() == "[Statement.xlsx]Bank!$A$3"; }));
  CHECK_EQ(s.host.ActiveWorkbook().Name(), std::string("Statement.xlsx"));
  CHECK_EQ(s.host.ActiveSheet().Name(), std::string("Bank"));
  // The user moves elsewhere; a second click on the same line goes back.
  s.host.Workbooks("Book1.xlsx").Activate();
  s.host.SetSelection(s.host.Worksheets("Sheet1").Cells({1, 1, 1, 1}));
  ClickListLine(list, 1);
  CHECK(PumpUntil([&] { return SelectionText() == "[Statement.xlsx]Bank!$A$3"; }));
  ClickListLine(list, 0);
  CHECK(PumpUntil([&] { return SelectionText() == "[Statement.xlsx]Bank!$A$2"; }));
  CHECK(s.watcher->TakeMessageBoxes().empty());

  // Back to the book of the other cases; a run without notices hides the form without a list.
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  s.host.Workbooks("Book1.xlsx").Activate();
  memhost::MemWorksheet& sheet1 = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
  SetRanges(sheet1.Ref("A1:A12"), sheet1.Ref("C1:C10"));
  CHECK((CompareMessages() == std::vector<std::string>{}));
  form = FindWindowW(kFormClass, L"Result of Comparison");
  CHECK(form != nullptr && !IsWindowVisible(form));
  CHECK(FindWindowExW(form, nullptr, L"ListBox", nullptr) == nullptr);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  CHECK_HR(CallByName(s.connect.Get(), L"On_Action",
                      {Control("chkCompareNum"), Variant::Bool(numbers_only)}),
           S_OK);
}

TEST_CASE(
    "a cell with a threaded comment: marked by its box only, with a notice; Excel 2016 alike") {
  Session& s = TheSession();
  auto& sheet = dynamic_cast<memhost::MemWorksheet&>(s.host.Worksheets("Sheet1"));
  // 1234.56 is a mismatch (and a transposition of Range 2's 1243.56) that gets no note here.
  sheet.PutThreadedComment(3, 1);
  const std::string before = Describe(s.host);
  CHECK((CompareMessages() == std::vector<std::string>{}));
  const memhost::CellData* cell = sheet.data().Find(3, 1);
  CHECK(cell != nullptr && cell->threaded_comment);
  CHECK(cell != nullptr && !cell->comment.has_value());
  CHECK(cell != nullptr && cell->fill == memhost::Fill{});
  {
    // Every mismatch has its box, this one too (the diagnosis passes it over: it has no fill).
    DirectRun direct;
    CHECK_EQ(static_cast<int>(sheet.data().shapes.size()),
             direct.host.Worksheets("Sheet1").ShapesCount());
  }
  HWND form = FindWindowW(kFormClass, L"Result of Comparison");
  HWND list = form != nullptr ? FindWindowExW(form, nullptr, L"ListBox", nullptr) : nullptr;
  CHECK(list != nullptr);
  if (list != nullptr) {
    CHECK((ListLines(list) ==
           std::vector<std::string>{"1) [Book1.xlsx]Sheet1!$A$3 has a threaded comment: it is "
                                    "marked by its box only"}));
  }
  // The clearing takes the box away and leaves the thread.
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  CHECK(sheet.data().Find(3, 1)->threaded_comment);
  CHECK_EQ(Describe(s.host), before);
  sheet.data().At(3, 1).threaded_comment = false;

  // An Excel without threaded comments has no Range.CommentThreaded: the cell is marked in full.
  s.host.SetThreadedComments(false);
  CHECK((CompareMessages() == std::vector<std::string>{}));
  cell = sheet.data().Find(3, 1);
  CHECK(cell != nullptr && cell->comment.has_value());
  CHECK(cell != nullptr && cell->fill.pattern != host::kPatternNone);
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearFormating")}), S_OK);
  s.host.SetThreadedComments(true);
  CHECK_EQ(Describe(s.host), before);
}

TEST_CASE("an object that is not the application gets the warning, once") {
  Session& s = TheSession();
  ComPtr<IDTExtensibility2> second;
  CHECK_HR(CoCreateInstance(kConnectClsid, nullptr, CLSCTX_INPROC_SERVER,
                            __uuidof(IDTExtensibility2), reinterpret_cast<void**>(second.Put())),
           S_OK);
  if (!second) return;
  s.watcher->TakeMessageBoxes();
  CHECK_HR(second->OnConnection(s.ribbon, 0, nullptr, nullptr), S_OK);
  CHECK_HR(second->OnConnection(nullptr, 0, nullptr, nullptr), S_OK);
  std::vector<SeenMessageBox> boxes = s.watcher->TakeMessageBoxes();
  CHECK_EQ(boxes.size(), 2u);
  for (const SeenMessageBox& box : boxes) {
    CHECK_EQ(box.text, std::string("Unable to initialize Application Object!"));
    CHECK_EQ(box.title, std::string("Quorvane"));
    CHECK(box.has_icon);
  }
  CHECK_HR(second->OnDisconnection(0, nullptr), S_OK);
}

TEST_CASE("the DisplayOnConnect setting lives in the macro language's settings key") {
  RegistrySettings settings;
  CHECK_EQ(settings.GetSetting("Quorvane", "Settings", "DisplayOnConnect", "0"), std::string("0"));
  settings.SaveSetting("Quorvane", "Settings", "DisplayOnConnect", "1");
  CHECK_EQ(RegText(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Quorvane\\Settings",
                   L"DisplayOnConnect"),
           std::string("1"));
  CHECK_EQ(settings.GetSetting("Quorvane", "Settings", "DisplayOnConnect", "0"), std::string("1"));
  if (TheSession().installed) {
    // Left in place, as a user's setting is: uninstalling the package removes it.
    settings.SaveSetting("Quorvane", "Settings", "DisplayOnConnect", "0");
  } else {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Quorvane");
  }
}

// Runs this program as a host that exits without telling the add-in (host_exit.h); its exit status.
DWORD RunExitingHostProcess(const std::wstring& how) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(program) + L"\" --host-exit " + how + L" \"" +
                         TheSession().dll_path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return static_cast<DWORD>(-1);
  }
  DWORD status = static_cast<DWORD>(-2);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT) {
    TerminateProcess(process.hProcess, status);
  } else {
    GetExitCodeProcess(process.hProcess, &status);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

TEST_CASE("a host that lets go of the add-in, or exits, without shutting it down: no crash") {
  // Its objects torn down, the host frees the library: nothing of the host may be touched then.
  CHECK_EQ(RunExitingHostProcess(L"release"), 0ul);
  // The host ends while it holds the add-in and the forms are up.
  CHECK_EQ(RunExitingHostProcess(L"exit"), 0ul);
}

using LockLoader = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
using UnlockLoader = LONG(NTAPI*)(ULONG, ULONG_PTR);

TEST_CASE(
    "shutdown lets go of the host's objects and closes the forms; COM then unloads the "
    "library, and nothing of the host is released under the loader lock") {
  Session& s = TheSession();
  // The check sees the loader lock when this thread holds it, as a library's DllMain does.
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto lock = reinterpret_cast<LockLoader>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
  auto unlock = reinterpret_cast<UnlockLoader>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
  CHECK(lock != nullptr && unlock != nullptr);
  CHECK(!HoldsLoaderLock());
  ULONG disposition = 0;
  ULONG_PTR cookie = 0;
  if (lock != nullptr && unlock != nullptr && lock(0, &disposition, &cookie) >= 0) {
    CHECK(HoldsLoaderLock());
    unlock(0, cookie);
  }
  CHECK(!HoldsLoaderLock());

  CHECK_HR(CallByName(s.connect.Get(), L"VNT", {Control("btnVNT")}), S_OK);
  HWND results = FindWindowW(kFormClass, L"Result of Comparison");
  CHECK(results != nullptr && IsWindowVisible(results));
  CHECK(s.app->references() > 1);
  CHECK(s.ribbon->references() > 1);
  CHECK_HR(s.extensibility->OnBeginShutdown(nullptr), S_OK);
  CHECK(!IsWindow(results));
  CHECK_EQ(s.app->references(), 1ul);
  CHECK_EQ(s.ribbon->references(), 1ul);
  // A callback after it answers without the host: no range is held any more.
  const long calls = s.app->total_calls();
  CHECK_EQ(EditBoxText("EditBox1"), std::string());
  CHECK(!CompareEnabled());
  CHECK_HR(CallByName(s.connect.Get(), L"onButtonPressed", {Control("btnClearRange1")}), S_OK);
  CHECK_EQ(s.app->total_calls(), calls);
  CHECK_HR(s.extensibility->OnDisconnection(1, nullptr), S_OK);
  CHECK_HR(CallExport("DllCanUnloadNow"), S_FALSE);
  s.extensibility.Reset();
  s.ribbon_extensibility.Reset();
  s.connect.Reset();
  CHECK_HR(CallExport("DllCanUnloadNow"), S_OK);
  // This program's own reference goes; COM's is the last, and COM lets the library go.
  FreeLibrary(s.library);
  s.library = nullptr;
  CHECK(GetModuleHandleW(L"Quorvane.dll") != nullptr);
  for (int i = 0; i < 20 && GetModuleHandleW(L"Quorvane.dll") != nullptr; ++i) {
    CoFreeUnusedLibrariesEx(0, 0);
    Sleep(50);
  }
  CHECK(GetModuleHandleW(L"Quorvane.dll") == nullptr);
  CHECK_EQ(DispatchObject::ReleasesUnderLoaderLock(), 0l);
  CHECK_EQ(s.ribbon->references(), 1ul);
  CHECK_EQ(s.app->references(), 1ul);
  CHECK_EQ(DispatchObject::LiveObjects(), 2l);  // the test's own application and ribbon
}

TEST_CASE("unregistration removes exactly what registration wrote, and may run twice") {
  Session& s = TheSession();
  if (!s.installed) {
    s.library = LoadLibraryW(s.dll_path.c_str());
    CHECK(s.library != nullptr);
    CHECK_HR(CallExport("DllUnregisterServer"), S_OK);
    CHECK(!KeyExists(HKEY_CURRENT_USER, kClassKey));
    CHECK(!KeyExists(HKEY_CURRENT_USER, kProgIdKey));
    CHECK(!KeyExists(HKEY_CURRENT_USER, kAddinKey));
    BSTR registered = nullptr;
    CHECK(FAILED(QueryPathOfRegTypeLib(kTypeLibraryId, 1, 0, LOCALE_NEUTRAL, &registered)));
    // The parent keys of the add-in entry stay: other add-ins live there too.
    CHECK(KeyExists(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\Excel\\Addins"));
    CHECK_HR(CallExport("DllUnregisterServer"), S_OK);
    FreeLibrary(s.library);
    s.library = nullptr;
  }
  // The copies made for this COM go too (the package's uninstalling removes its own keys).
  for (const std::wstring& key : MachineCopies()) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  }
}

}  // namespace
}  // namespace quorvane::windows::testing
