// The Windows test program: Quorvane.dll through real COM under this system's COM (Wine in CI).
// Usage: quorvane_windows_test <path of Quorvane.dll> <folder for the screenshots> [--installed]
//        [filter]
// With --installed the library was installed and registered by the installer package: the tests
// take its registration instead of making and removing their own.
// The program also plays a host that exits in a child process of its own:
//        quorvane_windows_test --host-exit <how> <path of Quorvane.dll>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>

#include "check.h"
#include "host_exit.h"
#include "session.h"

int main() {
  using namespace quorvane::windows::testing;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 4 && std::wstring_view(argv[1]) == L"--host-exit") {
    return RunExitingHost(argv[2], argv[3]);
  }
  if (argc < 3) {
    std::printf(
        "usage: quorvane_windows_test <Quorvane.dll> <output folder> [--installed] [filter]\n");
    return 2;
  }
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int failed = 0;
  {
    Session& s = TheSession();
    wchar_t full[MAX_PATH];
    GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
    s.dll_path = full;
    s.output_dir = argv[2];
    std::string filter;
    for (int i = 3; i < argc; ++i) {
      const std::wstring_view arg(argv[i]);
      if (arg == L"--installed") {
        s.installed = true;
      } else {
        filter = quorvane::windows::Narrow(arg);
      }
    }
    s.library = LoadLibraryW(s.dll_path.c_str());
    if (s.library == nullptr) {
      std::printf("cannot load %ls (error %lu)\n0 passed, 1 failed\n", full, GetLastError());
      return 1;
    }
    FillBook(s.host);
    // The host is on a screen: the add-in animates the first seconds of a comparison and yields to
    // the message loop after every candidate cell.
    s.host.SetHasScreen(true);
    s.main_window = CreateWindowExW(0, L"STATIC", L"Book1.xlsx - Excel", WS_OVERLAPPEDWINDOW, 0, 0,
                                    320, 200, nullptr, nullptr, nullptr, nullptr);
    s.app = new FakeApplication(s.host);
    s.app->SetWorkbookWindow("Book1.xlsx", s.main_window);
    s.ribbon = new RecordingRibbon();
    s.watcher = std::make_unique<UiWatcher>();
    failed = Runner::Get().RunAll(filter);
    s.connect.Reset();
    s.extensibility.Reset();
    s.ribbon_extensibility.Reset();
    s.watcher.reset();
    if (s.library != nullptr) FreeLibrary(s.library);
    DestroyWindow(s.main_window);
  }
  CoUninitialize();
  LocalFree(argv);
  return failed == 0 ? 0 : 1;
}
