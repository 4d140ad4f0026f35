// What the test cases share: the add-in library under test, the spreadsheet application that plays
// the host, the ribbon, the connection object, the UI watcher and the paths given on the command
// line. Cases run in their file's order and build on one another, as the host's calls do.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "dispatch_object.h"
#include "fake_excel.h"
#include "memhost/host.h"
#include "ui_watcher.h"
#include "windows/com_util.h"
#include "windows/office.h"

namespace quorvane::windows::testing {

struct Session {
  std::wstring dll_path;
  std::wstring output_dir;
  HMODULE library = nullptr;  // loaded for the exports and unload checks
  bool installed = false;     // registered by the installer package, not by the tests

  memhost::MemHost host;
  FakeApplication* app = nullptr;     // owned reference
  RecordingRibbon* ribbon = nullptr;  // owned reference
  ComPtr<IDispatch> connect;          // the add-in's Connect, by IDispatch
  ComPtr<IDTExtensibility2> extensibility;
  ComPtr<IRibbonExtensibility> ribbon_extensibility;
  std::unique_ptr<UiWatcher> watcher;
  HWND main_window = nullptr;  // Book1.xlsx's window as the session starts (Application.Hwnd)
};

Session& TheSession();

// Calls an operation of `target` by name with arguments in their natural order.
HRESULT CallByName(IDispatch* target, const wchar_t* name, std::vector<Variant> args,
                   Variant* result = nullptr, EXCEPINFO* exception = nullptr,
                   WORD flags = DISPATCH_METHOD);
// A ribbon control of the test's own, as a VARIANT holding its IDispatch.
Variant Control(const std::string& id);

// Sets up the workbook every comparison test uses ("Book1.xlsx", "Sheet1", lists in A and B).
void FillBook(memhost::MemHost& host);
// The sheet as text: every cell's value, fill and comment (timestamps masked), and every shape.
std::string Describe(memhost::MemHost& host);

}  // namespace quorvane::windows::testing
