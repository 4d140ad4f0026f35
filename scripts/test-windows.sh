#!/usr/bin/env bash
# Builds Quorvane.dll and its test program for 64-bit Windows (preset "windows", MinGW-w64) and runs
# the tests under Wine on a virtual X display. The last line printed is "N passed, M failed".
# Needs the packages of scripts/install-deps.sh. Optional argument: a filter on the test names.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
log=$(mktemp)
if ! { cmake --preset windows && cmake --build --preset windows -j "${jobs}"; } >"${log}" 2>&1; then
  tail -n 40 "${log}"
  rm -f "${log}"
  echo "The windows preset did not build."
  echo "0 passed, 1 failed"
  exit 1
fi

rm -f "${log}"

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
# One X display for the whole Wine session: the prefix is made on it, then Wine is told to leave
# its windows unmanaged (there is no window manager, and Wine would wait for one at every hide),
# then the tests run.
output=$(timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wine reg add "HKCU\Software\Wine\X11 Driver" /v Managed /d N /f /reg:64 >/dev/null 2>&1
    wine "$0" "$1" "$2" "$3"' \
  "${build}/tests/windows/quorvane_windows_test.exe" "${dll}" "${out}" "${1:-}" 2>&1) ||
  status=$?
wineserver -k 2>/dev/null || true
rm -rf "${prefix}"  # some 700 MB; every run makes a fresh one
# Wine's own notices carry "fixme:" or "err:"; the X server's end is noted too. The summary line
# of the test program is printed last.
lines=$(printf '%s\n' "${output}" | tr -d '\r' |
  grep -v -E '^[0-9a-f]{4}:(fixme|err|warn):|^X connection to |wine32|multiarch|dpkg --add|wine32:i386' ||
  true)
summary=$(printf '%s\n' "${lines}" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1 || true)
printf '%s\n' "${lines}" | grep -v -E '^[0-9]+ passed, [0-9]+ failed$' || true
if [ -z "${summary}" ]; then
  echo "The Windows test program ended without its summary (exit status ${status})."
  echo "0 passed, 1 failed"
  exit 1
fi
echo "${summary}"
exit "${status}"
