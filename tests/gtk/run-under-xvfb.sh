#!/bin/sh
# Runs one test program on a private, throw-away X server.
# Usage: run-under-xvfb.sh <program> [arguments]
# Exit code 77 (skipped) when Xvfb is not installed.
set -u

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb is not installed (Debian package xvfb); the desktop tests need a display."
  exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvex-xvfb.XXXXXX") || exit 1
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

# The server picks a free display number itself and writes it to the file.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!

tries=0
while [ ! -s "$scratch/display" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not start:"; cat "$scratch/xvfb.log"
    exit 1
  fi
  sleep 0.1
done

DISPLAY=":$(head -n 1 "$scratch/display")"
export DISPLAY
unset WAYLAND_DISPLAY
# No accessibility bus or settings daemon on the private server.
export NO_AT_BRIDGE=1 GDK_BACKEND=x11 GSETTINGS_BACKEND=memory
# A locale other than "C", so that a test sees whether anything switched to it.
export LC_ALL=C.UTF-8
timeout 120 "$@"
