#!/usr/bin/env bash
# The thread stress test under ThreadSanitizer: builds only what it needs in
# build-tsan/ and runs it; any race report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build-tsan -DORVEX_TSAN=ON -DORVEX_GTK_BACKEND=OFF >/dev/null
cmake --build build-tsan -j "$(nproc)" --target test_threads orvex_emulator
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
ctest --test-dir build-tsan -R '^ThreadStress\.' --output-on-failure --timeout 600
