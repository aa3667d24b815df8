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
test -f "$prefix/lib/udev/rules.d/60-orvex-camera.rules" || { echo "udev rule not installed" >&2; exit 1; }

cmake -S examples/consumer -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
cc examples/consumer/consumer.c -o "$work/consumer-pc" $(pkg-config --cflags --libs orvex)
c++ -std=c++17 examples/consumer/surface_consumer.cpp -o "$work/surface-pc" $(pkg-config --cflags --libs k7hlp)

export XDG_DATA_DIRS="$prefix/share"
export LD_LIBRARY_PATH="$root/build/emulator:$prefix/lib"
system="${1:-sys=k7cam_tq20}"
"$work/cmake/consumer" "$system"
"$work/consumer-pc" "$system"
"$work/cmake/surface_consumer" "$system"
"$work/surface-pc" "$system"
# The installed programs find the installed libraries by themselves.
LD_LIBRARY_PATH="$root/build/emulator" "$prefix/bin/orvexctl" -s "$system" info >/dev/null
# The installed GStreamer plug-in, found where GStreamer looks in a prefix.
plugin=$(find "$prefix/lib" -path '*/gstreamer-1.0/libgstorvex.so' | head -n 1)
if [ -n "$plugin" ] && command -v gst-launch-1.0 >/dev/null; then
  LD_LIBRARY_PATH="$root/build/emulator" GST_PLUGIN_PATH="$(dirname "$plugin")" GST_REGISTRY="$work/registry.bin" \
    gst-launch-1.0 -q orvexsrc open-string="$system" settings="CamMode=A16Z16" num-buffers=2 ! fakesink
fi
echo "install test passed"
