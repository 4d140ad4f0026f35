// A host that exits without telling the add-in, played in a child process of the test program: it
// loads Quorvane.dll, connects it, loads its ribbon, runs a comparison and shows both forms, then
// tears its own objects down, as a host leaving does, without calling OnBeginShutdown or
// OnDisconnection. From then on any use of the host's objects ends the process with
// kTouchedAfterExit.
//
// `how` is L"release" (the host lets go of the add-in's objects, then frees the library) or
// L"exit" (the host ends the process while it still holds them). The exit status is 0 when the
// add-in kept to its part.
#pragma once

#include <string_view>

namespace quorvane::windows::testing {

inline constexpr int kTouchedAfterExit = 3;

int RunExitingHost(std::wstring_view how, const wchar_t* dll_path);

}  // namespace quorvane::windows::testing
