#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [--sanitize] [extra cmake args]
# Normal build in build/, the sanitizer build in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
args=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build_dir=build-asan
  args+=(-DORVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

cmake -S . -B "$build_dir" "${args[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
