#!/usr/bin/env bash
# Builds Quorvane.dll and its test program for 64-bit Windows (preset "windows", MinGW-w64) and runs
# the tests under Wine on a virtual X display. The last line printed is "N passed, M failed".
# Needs the packages of scripts/install-deps.sh. Optional argument: a filter on the test names.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
if ! { cmake --preset windows >/dev/null && cmake --build --preset windows -j "${jobs}" >/dev/null; }; then
  echo "The windows preset did not build."
  echo "0 passed, 1 failed"
  exit 1
fi

build=build/windows
prefix="${PWD}/${build}/wine-prefix"
rm -rf "${prefix}"
mkdir -p "${prefix}"
export WINEPREFIX="${prefix}"
export WINEDEBUG=-all
# No Mono or Gecko installer in a fresh prefix, and no debugger waiting on a crash.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# Wine's drive Z: is the root of the file system. (winepath would start Wine here, before the X
# display exists, and the windows of the test would then have no display.)
windows_path() { realpath "$1" | sed 's|^|Z:|; s|/|\\|g'; }
dll="$(windows_path "${build}/src/windows/Quorvane.dll")"
out="$(windows_path "${build}")"
status=0
output=$(timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" \
  wine "${build}/tests/windows/quorvane_windows_test.exe" "${dll}" "${out}" "${1:-}" 2>&1) ||
  status=$?
wineserver -k 2>/dev/null || true
# Wine's own notices carry "fixme:" or "err:"; the test program's lines do not.
printf '%s\n' "${output}" | tr -d '\r' | grep -v -E '^[0-9a-f]{4}:(fixme|err|warn):' || true
if ! printf '%s\n' "${output}" | tr -d '\r' | grep -q -E '^[0-9]+ passed, [0-9]+ failed$'; then
  echo "The Windows test program ended without its summary (exit status ${status})."
  echo "0 passed, 1 failed"
  exit 1
fi
exit "${status}"
