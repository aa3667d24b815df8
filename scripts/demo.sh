#!/usr/bin/env bash
# The main job: installs what is missing, builds, checks the library, then runs
# the test program non-interactively against the emulated camera and shows
# where its CSV files are. Usage: scripts/demo.sh [run folder]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh
LD_LIBRARY_PATH="$PWD/build/emulator:$PWD/build/lib" XDG_DATA_DIRS="$PWD/data" build/bin/orvex-selfcheck
echo
exec scripts/demo-tester.sh "$@"
