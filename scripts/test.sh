#!/usr/bin/env bash
# Builds and runs every test: the optimised build (GCC) and the Debian package of its command-line
# tool, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer (clang 14, so that both
# compilers build everything), then the Windows add-in for 64-bit and 32-bit Windows, cross-built and
# tested through COM under Wine, and its installer package installed, used and removed under Wine.
# Installs missing build dependencies first when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" = 0 ]; then
  bash scripts/install-deps.sh
fi

jobs=$(nproc)
for preset in default sanitize; do
  echo "=== ${preset} build ==="
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  ctest --preset "${preset}" -j "${jobs}"
  if [ "${preset}" = default ]; then
    echo "=== the Debian package, installed into a scratch root ==="
    bash scripts/test-package.sh
  fi
done
ln -sf build/default/compile_commands.json compile_commands.json

echo "=== Windows builds, tests under Wine (one summary line per run at the end) ==="
bash scripts/test-windows.sh
