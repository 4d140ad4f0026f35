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
  libcli11-dev
)

test_packages=(
  clang-format
  libbenchmark-dev
  # Readers we did not write, for the workbook tests: openpyxl and LibreOffice.
  python3-openpyxl
  libreoffice-calc-nogui
  # The fuzz targets (preset fuzz, scripts/fuzz.sh): clang with libFuzzer and the sanitizers.
  clang-14
  libclang-rt-14-dev
  # The Windows add-in: MinGW-w64 cross compiler, widl and windres; Wine and a virtual X display
  # for its tests.
  g++-mingw-w64-x86-64-posix
  mingw-w64-tools
  binutils-mingw-w64-x86-64
  wine
  wine64
  xvfb
  xauth
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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "All needed packages are installed."
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
