#!/usr/bin/env bash
# Runs libOrvexTester without a keyboard against the emulated camera:
# TestInterface (the report), the processing test with its CSV export and the
# header table, then shows where the CSV files are.
# Usage: scripts/demo-tester.sh [run folder]   (default: out/tester-demo)
# With ORVEX_DEMO_USBFS=1 the camera is a virtual USB device of orvex-vcam
# and the program uses the system's libusb-0.1 (no emulator library).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

scripts/install-deps.sh
scripts/build.sh

tester="$root/build/bin/libOrvexTester"
if [ ! -x "$tester" ]; then
  echo "libOrvexTester was not built (see the cmake output for the library functions it waits for)" >&2
  exit 1
fi

run_dir="${1:-out/tester-demo}"
mkdir -p "$run_dir"
run_dir="$(cd "$run_dir" && pwd)"

runner=()
if [ "${ORVEX_DEMO_USBFS:-0}" = 1 ]; then
  export LD_LIBRARY_PATH="$root/build/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  runner=("$root/build/bin/orvex-vcam" run --)
else
  export LD_LIBRARY_PATH="$root/build/emulator:$root/build/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
fi
export XDG_DATA_DIRS="$root/data"

# No desktop: message boxes become lines on stderr and the dialog does not wait.
(cd "$run_dir" && env -u DISPLAY -u WAYLAND_DISPLAY "${runner[@]}" "$tester" ub u7 u9 </dev/null) | tee "$run_dir/tester.log"

csv_dir="$run_dir/tester-out/TAVRIN"
echo
echo "Console output: $run_dir/tester.log"
if compgen -G "$csv_dir/*.csv" >/dev/null; then
  echo "CSV files of the processing test (c:\\TAVRIN\\ on the original system): $csv_dir"
  ls -l "$csv_dir"
else
  echo "No CSV files were written (see the log above)." >&2
  exit 1
fi
