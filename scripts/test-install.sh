#!/usr/bin/env bash
# Installs the kit into a temporary prefix, builds a program outside the build
# tree with find_package and with pkg-config, and runs both against the emulated
# camera.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT

cmake --install build --prefix "$prefix" >/dev/null

cmake -S examples/consumer -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" cc examples/consumer/consumer.c -o "$work/consumer-pc" \
  $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs orvex)

export XDG_DATA_DIRS="$prefix/share"
export LD_LIBRARY_PATH="$root/build/emulator:$prefix/lib"
"$work/cmake/consumer" "${1:-sys=k7cam_tq20}"
"$work/consumer-pc" "${1:-sys=k7cam_tq20}"
echo "install test passed"
