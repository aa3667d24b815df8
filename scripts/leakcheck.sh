#!/usr/bin/env bash
# Runs the end-to-end session (open, every camera mode, record, replay,
# process, extract, close) under valgrind on the normal build: any leak or
# invalid access fails the script. Usage: scripts/leakcheck.sh
set -euo pipefail
cd "$(dirname "$0")/.."

command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target test_e2e orvex_emulator

start=$(date +%s)
LD_LIBRARY_PATH="$PWD/build/emulator" valgrind --leak-check=full --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=1 --track-origins=yes \
  build/bin/test_e2e
echo "leakcheck: no leak, no invalid access ($(($(date +%s) - start)) s under valgrind)"
