#!/usr/bin/env bash
# The main job on the bundled sample: builds the command-line tool, writes a sample workbook (a bank
# statement and a ledger with a few deliberate differences), reconciles it and prints the counters.
# Installs missing build dependencies first when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" = 0 ]; then
  bash scripts/install-deps.sh build >&2
fi

cmake --preset default >/dev/null
cmake --build --preset default --target quorvane -j "$(nproc)" >&2
./build/default/src/cli/quorvane demo "${1:-build/demo}"
