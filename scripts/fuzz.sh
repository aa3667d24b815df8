#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each over its seed corpus for a
# few seconds. Usage: scripts/fuzz.sh [seconds per target, default 10]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DORVEX_BUILD_FUZZ=ON -DORVEX_BUILD_TESTS=OFF \
  -DORVEX_GTK_BACKEND=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
shopt -s nullglob
for target in build-fuzz/bin/fuzz_*; do
  name=${target##*/fuzz_}
  corpus=fuzz/corpus/$name
  mkdir -p "$corpus"
  work=$(mktemp -d)
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work" "$corpus" 2>&1 | tail -n 2
  rm -rf "$work"
done
