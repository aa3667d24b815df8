#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [--sanitize|--tsan] [extra cmake args]
# Normal build in build/, the sanitizer build in build-asan/, the
# ThreadSanitizer build in build-tsan/ (scripts/tsan.sh builds and runs only
# the thread stress test there).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
args=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build_dir=build-asan
  args+=(-DORVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
elif [ "${1:-}" = "--tsan" ]; then
  shift
  build_dir=build-tsan
  args+=(-DORVEX_TSAN=ON)
fi

cmake -S . -B "$build_dir" "${args[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
