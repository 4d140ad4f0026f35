#!/usr/bin/env bash
# Builds the per-user installer package build/installer/Quorvane.msi: Quorvane.dll for 64-bit and
# 32-bit Windows (presets "windows" and "windows32"), packed with wixl from
# packaging/windows/quorvane.wxs. Needs the packages of scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
for preset in windows windows32; do
  log=$(mktemp)
  if ! { cmake --preset "${preset}" && cmake --build --preset "${preset}" -j "${jobs}"; } \
      >"${log}" 2>&1; then
    tail -n 40 "${log}"
    rm -f "${log}"
    echo "The ${preset} preset did not build." >&2
    exit 1
  fi
  rm -f "${log}"
done

# The package's version is the project's, in the three parts Windows Installer compares.
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
while [[ $(tr -cd . <<<"${version}" | wc -c) -lt 2 ]]; do version+=.0; done

mkdir -p build/installer
wixl -a x64 -I packaging/windows -D "Version=${version}" \
  -D Dll64=build/windows/src/windows/Quorvane.dll -D Dll32=build/windows32/src/windows/Quorvane.dll \
  -o build/installer/Quorvane.msi packaging/windows/quorvane.wxs
echo "build/installer/Quorvane.msi (version ${version})"
