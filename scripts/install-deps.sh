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

export DEBIAN_FRONTEND=noninteractive
mapfile -t needed < <(missing "${packages[@]}")
if ((${#needed[@]} > 0)); then
  apt-get update
  apt-get install -y --no-install-recommends "${needed[@]}"
fi

# 32-bit Wine, for the 32-bit library's tests, from the i386 architecture. It needs a kernel that
# runs 32-bit programs: where the kernel runs none (built or booted without its 32-bit emulation),
# an installed wine32 leaves /usr/bin/wine unable to start anything, 64-bit programs included, so it
# is left out there and the 32-bit tests say they are skipped.
if [[ "${1:-all}" == all && -n "$(missing wine32:i386)" ]]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt-get update
  fi
  [[ -z "$(missing libc6:i386)" ]] || apt-get install -y --no-install-recommends libc6:i386
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    apt-get install -y --no-install-recommends wine32:i386
  else
    echo "This kernel runs no 32-bit programs: 32-bit Wine is not installed, and the tests of the"
    echo "32-bit library under Wine are skipped."
  fi
fi
echo "All needed packages are installed."
