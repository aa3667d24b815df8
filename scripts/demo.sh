#!/usr/bin/env bash
# The main job: installs what is missing, builds, checks the library, then runs
# the test program non-interactively and shows where its CSV files are. The
# camera is a virtual USB device of orvex-vcam: the programs use the system's
# libusb-0.1 (Debian libusb-0.1-4) on usbfs, with no emulator library on the
# path. Usage: scripts/demo.sh [run folder]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh
LD_LIBRARY_PATH="$PWD/build/lib" XDG_DATA_DIRS="$PWD/data" build/bin/orvex-vcam run -- build/bin/orvex-selfcheck
echo
ORVEX_DEMO_USBFS=1 exec scripts/demo-tester.sh "$@"
