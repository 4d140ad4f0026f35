#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvane needs; only the missing ones.
# Non-interactive and idempotent: run as root on a fresh machine (CI) or again at any time.
set -euo pipefail

packages=(
  cmake
  g++
  make
  clang-format
  libgtest-dev
  libgmock-dev
  libpugixml-dev
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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "All build dependencies are installed."
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
