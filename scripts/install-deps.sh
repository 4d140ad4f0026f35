#!/usr/bin/env bash
# Installs the Debian packages that Quorvane needs; only the missing ones. Non-interactive and
# idempotent: run as root on a fresh machine (CI) or again at any time.
#
#   scripts/install-deps.sh          everything: building, every test, the Windows DLL under Wine,
#                                    the fuzz targets and the benchmarks
#   scripts/install-deps.sh build    what building the libraries, the tool and the test programs needs
set -euo pipefail

build_packages=(
  cmake
  g++
  make
  pkg-config
  libgtest-dev
  libgmock-dev
  libpugixml-dev
  libzip-dev
  libdeflate-dev
  libcli11-dev
  nlohmann-json3-dev
  # The command-line tool's --locale: separators and date forms from ICU's CLDR data.
  libicu-dev
  # The manual page of the command-line tool, made from its help at build time.
  help2man
)

test_packages=(
  clang-format
  libbenchmark-dev
  # The Debian package of the command-line tool (cpack -G DEB): its dependencies by dpkg-shlibdeps.
  dpkg-dev
  file
  # Readers and writers we did not write, for the workbook tests: openpyxl, LibreOffice, Gnumeric
  # (ssconvert) and XlsxWriter.
  python3-openpyxl
  libreoffice-calc-nogui
  gnumeric
  python3-xlsxwriter
  # Sample workbooks written by Excel (and a few by LibreOffice), in their extdata folders: reference
  # parts for the tests of the workbook parts.
  r-cran-readxl
  r-cran-openxlsx
  # The fuzz targets (preset fuzz, scripts/fuzz.sh): clang with libFuzzer and the sanitizers.
  clang-14
  libclang-rt-14-dev
  # The Windows add-in for 64-bit and 32-bit Windows: MinGW-w64 cross compilers, widl and windres;
  # its installer package (wixl); Wine and a virtual X display for its tests. 32-bit Wine follows
  # below.
  g++-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix
  mingw-w64-tools
  binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686
  wixl
  wine
  wine64
  xvfb
  xauth
  # Arial's metrics for Wine (Liberation Sans): the forms' captions wrap and size as on Windows.
  fonts-liberation
)

packages=("${build_packages[@]}")
case "${1:-all}" in
  build) ;;
  all) packages+=("${test_packages[@]}") ;;
  *)
    echo "usage: $0 [build|all]" >&2
    exit 2
    ;;
esac

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

# apt's downloads are retried: a mirror answers now and then with a broken or half-synced file.
apt_options=(-o Acquire::Retries=3)
export DEBIAN_FRONTEND=noninteractive

# Runs an apt-get command with its output shown and kept in the file named by apt_log.
apt_log=$(mktemp)
trap 'rm -f "${apt_log}"' EXIT
apt_run() {
  apt-get "${apt_options[@]}" "$@" 2>&1 | tee "${apt_log}"
}

# Refreshes the package lists. A failure that concerns only the i386 lists (a mirror in the middle
# of a sync, "File has unexpected size ... Mirror sync in progress?") leaves everything but 32-bit
# Wine installable: it is noted in i386_lists_failure and the script goes on. Any other failure
# stops the script.
i386_lists_failure=
updated=
apt_update() {
  updated=yes
  apt_run update && return 0
  local failed_fetches other_errors
  failed_fetches=$(grep -E '^(E|W): Failed to fetch ' "${apt_log}" || true)
  other_errors=$(grep -E '^E: ' "${apt_log}" |
    grep -v -E '^E: (Failed to fetch |Some index files failed to download)' || true)
  if [[ -n "${failed_fetches}" && -z "${other_errors}" ]] &&
    ! grep -v -q i386 <<<"${failed_fetches}"; then
    i386_lists_failure="the i386 package lists could not be downloaded ($(head -n 1 <<<"${failed_fetches}" |
      sed -E 's/^(E|W): Failed to fetch //; s/ +\[IP: [^]]*\]$//; s/  +/ /g'))"
    echo "Only the i386 package lists failed to download; going on without them."
    return 0
  fi
  return 1
}

mapfile -t needed < <(missing "${packages[@]}")
if ((${#needed[@]} > 0)); then
  apt_update
  apt_run install -y --no-install-recommends "${needed[@]}"
fi

# 32-bit Wine, for the 32-bit library's tests, from the i386 architecture. It needs a kernel that
# runs 32-bit programs: where the kernel runs none (built or booted without its 32-bit emulation),
# an installed wine32 leaves /usr/bin/wine unable to start anything, 64-bit programs included, so it
# is left out there and the 32-bit tests say they are skipped. Where apt cannot install it (the i386
# lists failed to download, or their packages do not fit together), the reason is written to
# build/wine32-not-installed.txt, which scripts/test-windows.sh reports with the skipped 32-bit
# tests; the 32-bit library itself is built all the same.
wine32_note="$(dirname "$0")/../build/wine32-not-installed.txt"
install_wine32() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt_update || return 1
  fi
  if [[ -n "$(missing libc6:i386)" ]]; then
    apt_run install -y --no-install-recommends libc6:i386 && return 0
    # Lists older than the mirror's files: refreshed once, then tried again.
    [[ -z "${updated}" ]] && apt_update && apt_run install -y --no-install-recommends libc6:i386
  fi
}
wine32_reason() {  # the reason apt gave for its last failure, on one line
  local reason
  reason=$(grep -E '^E: ' "${apt_log}" | tail -n 1 | sed 's/^E: //')
  local unmet
  unmet=$(grep -m 1 -E '^ [^ ]+:i386 : Depends: ' "${apt_log}" | sed -E 's/^ +//; s/  +/ /g' || true)
  [[ -z "${unmet}" ]] || reason="${unmet}"
  [[ -z "${i386_lists_failure}" ]] || reason="${i386_lists_failure}; ${reason}"
  echo "${reason:-apt-get failed}"
}
if [[ "${1:-all}" == all ]]; then
  rm -f "${wine32_note}"
  if [[ -n "$(missing wine32:i386)" ]]; then
    reason=
    if ! install_wine32; then
      reason=$(wine32_reason)
    elif ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
      echo "This kernel runs no 32-bit programs: 32-bit Wine is not installed, and the tests of the"
      echo "32-bit library under Wine are skipped."
    elif ! apt_run install -y --no-install-recommends wine32:i386 &&
      ! { [[ -z "${updated}" ]] && apt_update &&
        apt_run install -y --no-install-recommends wine32:i386; }; then
      reason=$(wine32_reason)
    fi
    if [[ -n "${reason}" ]]; then
      mkdir -p "$(dirname "${wine32_note}")"
      echo "${reason}" >"${wine32_note}"
      echo "32-bit Wine could not be installed: ${reason}"
      echo "The 32-bit library is built, and its tests under Wine are skipped."
    fi
  fi
fi
echo "All needed packages are installed."
