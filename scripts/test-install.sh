#!/usr/bin/env bash
# Installs the kit into a temporary prefix, builds a program outside the build
# tree with find_package and with pkg-config, and runs both against the emulated
# camera. Then checks what the installed tree holds, runs the installed
# programs and Python package without any environment, and installs the
# Python package with pip into a temporary virtual environment.
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

fail() { echo "install test: $*" >&2; exit 1; }

# Only what users need, and what they need to find their way.
for unwanted in include/LvrtStandin.h lib/liblvrt_standin.so; do
  [ ! -e "$prefix/$unwanted" ] || fail "$unwanted is installed"
done
for wanted in share/man/man1/orvexctl.1 share/man/man1/libOrvexTester.1 \
              share/bash-completion/completions/orvexctl lib/python3/dist-packages/orvex/__init__.py; do
  [ -e "$prefix/$wanted" ] || fail "$wanted is missing"
done
grep -q '^#define ORVEX_VERSION_MAJOR ' "$prefix/include/Orvex.h" || fail "no version macros in Orvex.h"

# The data folder is found beside the installed library: no environment at all
# (the unconnected system needs no USB library), and only the emulator with a
# search list whose first entry lacks the kit's folder.
env -i "$prefix/bin/orvexctl" -s sys=k7cam_sim acquire -n 2 >/dev/null 2>"$work/err" || fail "$(cat "$work/err")"
env -i "$prefix/bin/orvexctl" systems | grep -qx k7cam_tq20 || fail "systems not found without environment"
env -i LD_LIBRARY_PATH="$root/build/emulator" "$prefix/bin/orvexctl" info >/dev/null 2>"$work/err" ||
  fail "$(cat "$work/err")"
env -i XDG_DATA_DIRS="$work/nothing-here:$prefix/share" LD_LIBRARY_PATH="$root/build/emulator" \
  "$prefix/bin/orvexctl" info >/dev/null 2>"$work/err" || fail "$(cat "$work/err")"
env -i PYTHONPATH="$prefix/lib/python3/dist-packages" /usr/bin/python3 -c \
  'import orvex; cam = orvex.Camera("sys=k7cam_sim"); cam.acquire(); cam.close()' || fail "installed package"

# pip into a virtual environment (Debian's numpy and setuptools, no index).
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --quiet --no-build-isolation --no-index "$root/python" >/dev/null 2>"$work/err" ||
  fail "pip install: $(cat "$work/err")"
(cd "$work" && ORVEX_LIB_DIR="$prefix/lib" LD_LIBRARY_PATH="$root/build/emulator" XDG_DATA_DIRS="$prefix/share" \
  "$work/venv/bin/python" -c 'import orvex; print(orvex.__version__)
with orvex.Camera() as cam:
    cam.maps["CamMode"] = "A16Z16"
    header, raw = cam.acquire()
    assert header.syncWord == 0x5AA5 and raw.size > 0' >/dev/null) || fail "pip-installed package"
rm -rf "$root/python/build" "$root/python/orvex.egg-info"
echo "install test passed"
