#!/usr/bin/env bash
# The Windows add-in under Wine, on a virtual X display, each run in a fresh Wine prefix:
#   64         the whole test program against Quorvane.dll for 64-bit Windows, in a 64-bit prefix
#   32         the same for 32-bit Windows, in a 32-bit prefix (needs 32-bit Wine, wine32:i386)
#   installer  the per-user package (scripts/build-installer.sh): installed with msiexec /i, the
#              test program run against each installed library that this Wine can run, then
#              msiexec /x, and no file or key of the add-in may be left in either registry view
# Usage: scripts/test-windows.sh [64] [32] [installer] [filter]   (all three when none is named;
# the filter picks test cases by name). Prints one summary line per run, "<run>: N passed, M failed"
# (or why a run was skipped), and ends non-zero when a run failed.
# Needs the packages of scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=()
while [[ $# -gt 0 && "$1" =~ ^(64|32|installer)$ ]]; do
  runs+=("$1")
  shift
done
((${#runs[@]} > 0)) || runs=(64 32 installer)
filter="${1:-}"

export WINEDEBUG=-all
# No Mono or Gecko installer in a fresh prefix, and no debugger waiting on a crash.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# Wine's loaders by their own paths: /usr/bin/wine prefers the 32-bit loader whenever it is
# installed, even where the kernel runs no 32-bit programs.
wine64_loader=/usr/lib/wine/wine64
wine32_loader=/usr/lib/wine/wine
[[ -x "${wine64_loader}" ]] || wine64_loader=$(command -v wine64 || command -v wine)

# Whether this machine runs 32-bit Wine: it must be installed, and the kernel must run 32-bit
# programs (some kernels are built or booted without the 32-bit emulation).
wine32_works() {
  [[ -x "${wine32_loader}" ]] && "${wine32_loader}" --version >/dev/null 2>&1
}
# Why not, in words for the summary; apt's reason when scripts/install-deps.sh could not install it.
wine32_missing() {
  if [[ ! -x "${wine32_loader}" ]]; then
    if [[ -s build/wine32-not-installed.txt ]]; then
      echo "32-bit Wine could not be installed: $(head -n 1 build/wine32-not-installed.txt)"
    else
      echo "32-bit Wine (wine32:i386) is not installed"
    fi
  else
    echo "this kernel runs no 32-bit programs: $(${wine32_loader} --version 2>&1 | tail -1)"
  fi
}

declare -A preset_of=([64]=windows [32]=windows32)
summaries=()
status=0
record() {  # record NAME PASSED FAILED
  summaries+=("$1: $2 passed, $3 failed")
  (($3 == 0)) || status=1
}

build() {  # build PRESET
  local log
  log=$(mktemp)
  if ! { cmake --preset "$1" && cmake --build --preset "$1" -j 2; } >"${log}" 2>&1; then
    tail -n 40 "${log}"
    rm -f "${log}"
    echo "The $1 preset did not build."
    return 1
  fi
  rm -f "${log}"
}

# Wine's drive Z: is the root of the file system. (winepath would start Wine before the X display
# exists, and the windows of the test would then have no display.)
windows_path() { realpath "$1" | sed 's|^|Z:|; s|/|\\|g'; }

# A fresh prefix of the given kind ("win64" or "win32") under the given folder, on a display of its
# own, with Wine told to leave its windows unmanaged (there is no window manager, and Wine would wait
# for one at every hide).
display_pid=
start_session() {  # start_session ARCH FOLDER
  export WINEARCH="$1"
  export WINEPREFIX="${PWD}/$2/wine-prefix"
  rm -rf "${WINEPREFIX}"
  mkdir -p "${WINEPREFIX}"
  local fifo number
  fifo=$(mktemp -u)
  mkfifo "${fifo}"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"${fifo}" >/dev/null 2>&1 &
  display_pid=$!
  read -r number <"${fifo}"
  rm -f "${fifo}"
  export DISPLAY=":${number}"
  local view=64
  [[ "$1" == win32 ]] && view=32
  wine_for "$1" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f "/reg:${view}" \
    >/dev/null 2>&1
}
end_session() {
  wineserver -k 2>/dev/null || true
  kill "${display_pid}" 2>/dev/null || true
  wait "${display_pid}" 2>/dev/null || true
  rm -rf "${WINEPREFIX}"  # some 700 MB; every run makes a fresh one
}
wine_for() {  # wine_for ARCH COMMAND...: Wine's loader for the prefix's own programs
  local arch="$1"
  shift
  if [[ "${arch}" == win32 ]]; then "${wine32_loader}" "$@"; else "${wine64_loader}" "$@"; fi
}

# Runs the test program; prints its lines without Wine's own notices ("fixme:", "err:") and sets
# PASSED and FAILED from its summary line, or counts one failure when it ended without one.
run_program() {  # run_program LOADER EXE DLL OUTPUT [--installed]
  local loader="$1" exe="$2" dll="$3" out="$4"
  shift 4
  local output code=0
  output=$(timeout 300 "${loader}" "${exe}" "${dll}" "${out}" "$@" ${filter:+"${filter}"} 2>&1) ||
    code=$?
  local lines summary
  lines=$(printf '%s\n' "${output}" | tr -d '\r' |
    grep -v -E '^[0-9a-f]{4}:(fixme|err|warn):|wine32|multiarch|dpkg --add|wine32:i386' || true)
  summary=$(printf '%s\n' "${lines}" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1 || true)
  printf '%s\n' "${lines}" | grep -v -E '^[0-9]+ passed, [0-9]+ failed$' || true
  if [[ -z "${summary}" ]]; then
    echo "The Windows test program ended without its summary (exit status ${code})."
    PASSED=0
    FAILED=1
  else
    read -r PASSED _ FAILED _ <<<"${summary}"
  fi
}

test_bitness() {  # test_bitness 64|32
  local bits="$1" preset=windows arch=win64 loader="${wine64_loader}"
  [[ "${bits}" == 32 ]] && preset=windows32 arch=win32 loader="${wine32_loader}"
  echo "=== ${bits}-bit Windows: Quorvane.dll and its tests under Wine ==="
  if ! build "${preset}"; then
    record "${bits}-bit" 0 1
    return
  fi
  if [[ "${bits}" == 32 ]] && ! wine32_works; then
    summaries+=("32-bit: built, tests skipped ($(wine32_missing))")
    return
  fi
  local folder="build/${preset}"
  start_session "${arch}" "${folder}"
  run_program "${loader}" "${folder}/tests/windows/quorvane_windows_test.exe" \
    "$(windows_path "${folder}/src/windows/Quorvane.dll")" "$(windows_path "${folder}")"
  end_session
  record "${bits}-bit" "${PASSED}" "${FAILED}"
}

# The add-in's registry traces in one view ("64" or "32"): its classes machine-wide (where this COM
# reads them); with "all", also every key of the user's that names its class, type library, files
# or product, and Windows Installer's records of the package.
registry_traces() {  # registry_traces VIEW [all]
  local key file="${WINEPREFIX}/drive_c/export.reg"
  for key in "CLSID\\${class_id}" "TypeLib\\${type_library_id}" Quorvane.Connect; do
    if "${wine64_loader}" reg query "HKLM\\Software\\Classes\\${key}" "/reg:$1" >/dev/null 2>&1; then
      echo "HKLM\\Software\\Classes\\${key}"
    fi
  done
  [[ "${2:-}" == all ]] || return 0
  for key in HKCU 'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer' \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
    "${wine64_loader}" reg export "${key}" 'C:\export.reg' /y "/reg:$1" >/dev/null 2>&1 || true
    iconv -f UTF-16 -t UTF-8 "${file}" 2>/dev/null |
      grep -i -E "${class_id}|${type_library_id}|quorvan|vantorel" || true
    rm -f "${file}"
  done
}
class_id=B0497DD6-2B02-453D-918F-353CEA33E178
type_library_id=A6354733-C526-4744-9369-32445041EC19

test_installer() {
  echo "=== the installer package under Wine ==="
  local passed=0 failed=0
  quietly() { "$@" >/dev/null 2>&1; }
  check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then
      passed=$((passed + 1))
    else
      echo "  check failed: $1"
      failed=$((failed + 1))
    fi
  }
  if ! bash scripts/build-installer.sh >/dev/null; then
    record installer 0 1
    return
  fi
  local folder=build/installer msi
  msi=$(windows_path "${folder}/Quorvane.msi")
  start_session win64 "${folder}"
  local local_app_data
  local_app_data=$(find "${WINEPREFIX}/drive_c/users" -maxdepth 3 -path '*/AppData/Local' -print -quit)
  local installed="${local_app_data}/Quorvane"

  # One installation and its removal: FEATURE empty for the default (both libraries), Addin64 or
  # Addin32 for one; the test program is run through COM against each library installed alone.
  # (This Wine keeps one view of the user's classes for both bitnesses, where Windows keeps two:
  # with both installed, the class names whichever library was registered last.)
  cycle() {  # cycle [FEATURE]
    local feature="${1:-}" files_before files_after left view traces
    files_before=$(find "${WINEPREFIX}/drive_c" | sort)
    check "msiexec /i ${feature:-(both)} installs without administrator rights" \
      "${wine64_loader}" msiexec /i "${msi}" ${feature:+"ADDLOCAL=${feature}"} /qn
    check "the add-in entry loads the add-in at Excel's start" \
      bash -c "'${wine64_loader}' reg query 'HKCU\Software\Microsoft\Office\Excel\Addins\Quorvane.Connect' /v LoadBehavior /reg:64 2>/dev/null | grep -q 0x3"
    check "no class is registered machine-wide" test -z "$(registry_traces 64)$(registry_traces 32)"
    local bits dir exe
    for bits in 64 32; do
      dir=x64 exe=build/windows/tests/windows/quorvane_windows_test.exe
      [[ "${bits}" == 32 ]] && dir=x86 exe=build/windows32/tests/windows/quorvane_windows_test.exe
      case "${feature}" in
        "")
          check "the ${bits}-bit library lands in the user's profile" \
            cmp -s "${installed}/${dir}/Quorvane.dll" "build/${preset_of[${bits}]}/src/windows/Quorvane.dll"
          ;;
        "Addin${bits}")
          check "only the ${bits}-bit library is installed" \
            test "$(find "${installed}" -name Quorvane.dll)" == "${installed}/${dir}/Quorvane.dll"
          if [[ "${bits}" == 32 ]] && ! wine32_works; then
            echo "  the 32-bit library is not driven through COM: $(wine32_missing)"
            continue
          fi
          echo "--- the test program against the installed ${bits}-bit library ---"
          run_program "${wine64_loader}" "${exe}" \
            "C:$(sed 's|/|\\|g' <<<"${installed#"${WINEPREFIX}/drive_c"}/${dir}/Quorvane.dll")" \
            "$(windows_path "${folder}")" --installed
          passed=$((passed + PASSED))
          failed=$((failed + FAILED))
          # The test program leaves the add-in's setting as a user's would be left.
          check "the add-in's settings key is there to be removed" \
            quietly "${wine64_loader}" reg query \
            'HKCU\Software\VB and VBA Program Settings\Quorvane\Settings' /v DisplayOnConnect /reg:64
          ;;
      esac
    done
    check "msiexec /x uninstalls" "${wine64_loader}" msiexec /x "${msi}" /qn
    files_after=$(find "${WINEPREFIX}/drive_c" | sort)
    # Wine's own files under C:\windows come and go on their own (input.pnf, for one); Windows
    # Installer's cache folder there stays once made, as on Windows, but not what it holds.
    left=$(comm -13 <(printf '%s\n' "${files_before}") <(printf '%s\n' "${files_after}") |
      awk -v w="${WINEPREFIX}/drive_c/windows/" 'index($0, w) != 1 || index($0, w "Installer/") == 1')
    [[ -z "${left}" ]] || printf '  left on the disk: %s\n' ${left}
    check "no file is left" test -z "${left}"
    for view in 64 32; do
      traces=$(registry_traces "${view}" all)
      [[ -z "${traces}" ]] || printf '  left in the %s-bit view: %s\n' "${view}" "${traces}"
      check "no key is left in the ${view}-bit registry view" test -z "${traces}"
    done
  }
  cycle
  cycle Addin64
  cycle Addin32
  end_session
  record installer "${passed}" "${failed}"
}

for run in "${runs[@]}"; do
  case "${run}" in
    64 | 32) test_bitness "${run}" ;;
    installer) test_installer ;;
  esac
done
printf '%s\n' "${summaries[@]}"
exit "${status}"
