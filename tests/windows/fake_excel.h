// The test's stand-in of the spreadsheet application: IDispatch objects over the in-memory host,
// with the members the add-in reaches by name (Application with Range and Union, Workbooks,
// Workbook, Worksheets, Worksheet, Range, Interior, Comment, Shapes, Shape and its fill, line and
// text frame).
//
// The application answers for the host's Application interface, so the add-in takes it as the
// application at connection.
//
// Its objects take calls only in the locale of an installed Office language pack: a name lookup or
// call in another answers TYPE_E_INVDATAREAD (0x80028018), as Excel does when it finds no
// resources for the caller's locale (Microsoft's "BUG: 'Old format or invalid type library' error
// when automating Excel", KB 320369; the lcid of IDispatch::Invoke and GetIDsOfNames is "the locale
// context in which to interpret arguments",
// https://learn.microsoft.com/windows/win32/api/oaidl/nf-oaidl-idispatch-invoke). The macro
// language always passes 1033, English (United States). A hook runs before every member call, for
// tests that act in the middle of a comparison.
//
// As the host does, it keeps one object per workbook and per sheet while anyone holds it (asking
// twice gives the same object), and what the user does to workbooks and sheets reaches the objects
// handed out: a closed workbook's objects and its sheets' answer RPC_E_DISCONNECTED, a deleted
// sheet's object answers "Object required", a renamed sheet keeps its object, and a workbook opened
// again, or a new sheet, gets new objects.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "dispatch_object.h"
#include "memhost/host.h"

namespace quorvane::windows::testing {

class FakeApplication : public DispatchObject {
 public:
  // `host` must outlive the object.
  explicit FakeApplication(memhost::MemHost& host);

  memhost::MemHost& host() { return host_; }
  // Runs before every call of a member of any object of this application, with the member's name.
  void SetCallHook(std::function<void(const std::string&)> hook) { hook_ = std::move(hook); }
  void Notify(const std::string& member) {
    if (hook_) hook_(member);
  }
  // The number of member calls made on every object of this application.
  long total_calls() const { return total_calls_; }
  void CountCall() { ++total_calls_; }

  // The number of Range(Cell1) calls refused for a text of more than 255 characters.
  long refused_references() const { return refused_references_; }
  void CountRefusedReference() { ++refused_references_; }

  // What the user does in the host.
  void CloseWorkbook(const std::string& name);
  void OpenWorkbook(const std::string& name);
  bool IsClosed(const std::string& name) const { return closed_.count(name) > 0; }
  void RenameSheet(const std::string& book, const std::string& from, const std::string& to);
  void DeleteSheet(const std::string& book, const std::string& name);
  // The host went away: every object handed out, the application included, answers
  // RPC_E_DISCONNECTED.
  void DisconnectAll();
  // Each workbook has a top-level window of its own, and Application.Hwnd answers the active
  // workbook's ("In Excel 2013, each Excel window can contain only one workbook", Microsoft's
  // "Programming for the Single Document Interface in Excel",
  // https://learn.microsoft.com/office/vba/excel/concepts/programming-for-the-single-document-interface-in-excel;
  // Hwnd "returns a Long indicating the top-level window handle of the Microsoft Excel window",
  // https://learn.microsoft.com/office/vba/api/excel.application.hwnd). Closing a workbook
  // destroys its window, and Windows destroys the windows it owned with it.
  //
  // The workbook's window: the one given, or one made on first asking.
  void SetWorkbookWindow(const std::string& book, HWND window) { windows_[book] = window; }
  HWND WorkbookWindow(const std::string& book);
  ~FakeApplication() override;

  // The language of the user's regional settings (what LOCALE_USER_DEFAULT stands for), and the
  // languages of the installed Office language packs: English (United States) alone by default.
  void set_user_locale(LCID locale) { user_locale_ = locale; }
  void InstallLanguage(LANGID language) { languages_.insert(language); }
  // Whether the application takes calls in that locale.
  bool TakesLocale(LCID locale) const;

  // The object kept for a workbook or sheet (`key`), made by `make` when none is held.
  Variant Keep(const void* key, const std::function<DispatchObject*()>& make);
  // For the objects of this application: they come and go.
  void Track(DispatchObject* object, const void* key);
  void Untrack(DispatchObject* object, const void* key);

 private:
  void DisconnectKept(const void* key, const DispError& failure);

  memhost::MemHost& host_;
  std::function<void(const std::string&)> hook_;
  long total_calls_ = 0;
  long refused_references_ = 0;
  std::map<const void*, DispatchObject*> kept_;
  std::set<DispatchObject*> objects_;
  std::set<std::string> closed_;
  int deleted_sheets_ = 0;
  std::map<std::string, HWND> windows_;  // by workbook name
  LCID user_locale_ = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
  std::set<LANGID> languages_{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
};

// A ribbon that records what the add-in asks of it. As the host's IRibbonUI, it invalidates only
// the controls its ribbon XML declares: InvalidateControl with any other id answers E_INVALIDARG
// (IRibbonUI.InvalidateControl takes "the ID of the control that will be invalidated",
// https://learn.microsoft.com/office/vba/api/office.iribbonui.invalidatecontrol; the ribbon knows
// only the controls of the XML it loaded).
class RecordingRibbon : public DispatchObject {
 public:
  RecordingRibbon();
  // Takes the control ids of the ribbon XML the add-in gave (GetCustomUI).
  void Load(const std::string& ribbon_xml);
  int invalidations = 0;
  // Every id the add-in asked to invalidate, in order, declared or not.
  std::vector<std::string> invalidated_controls;
  int refused_invalidations = 0;

 private:
  std::set<std::string> declared_;
};

// A ribbon control with an id.
class TestControl : public DispatchObject {
 public:
  explicit TestControl(std::string id);
  int id_reads = 0;

 private:
  std::string id_;
};

}  // namespace quorvane::windows::testing
