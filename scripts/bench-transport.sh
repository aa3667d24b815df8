#!/usr/bin/env bash
# Host cost of the real USB stack: bench_transport acquires from a camera on
# usbfs (orvex-vcam, Debian's libusb-0.1) and from the same camera model on the
# in-process stand-in, in one run, both paced at the same link rate. Prints per
# case the host CPU time per acquisition (usbfs / in-process) and the achieved
# rate against the link rate. Usage: scripts/bench-transport.sh [link rate MB/s, default 40]
set -euo pipefail
cd "$(dirname "$0")/.."

rate=${1:-40}
cmake -S . -B build-bench -DORVEX_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" --target orvex_emulator orvex-vcam bench_transport >/dev/null

results=build-bench/bench-results
mkdir -p "$results"
config="$results/transport.conf"
printf 'fpga = configured\nlink_rate = %s\n' "$rate" > "$config"
export XDG_DATA_DIRS="$PWD/data"
bench=build-bench/bin/bench_transport
LD_LIBRARY_PATH="$PWD/build-bench/emulator" ORVEX_EMULATOR_CONFIG="$config" "$bench" \
  --benchmark_out="$results/transport-inprocess.json" --benchmark_out_format=json >/dev/null
LD_LIBRARY_PATH= build-bench/bin/orvex-vcam run --config "$config" -- "$bench" \
  --benchmark_out="$results/transport-usbfs.json" --benchmark_out_format=json >/dev/null

python3 - "$results" "$rate" <<'PY'
import json, sys
folder, rate = sys.argv[1], float(sys.argv[2])
runs = {t: {b["name"]: b for b in json.load(open(f"{folder}/transport-{t}.json"))["benchmarks"]}
        for t in ("inprocess", "usbfs")}
print(f"link rate {rate:g} MB/s")
print(f"{'case':<40} {'CPU ms/acq in-process':>22} {'usbfs':>8} {'ratio':>7} {'MB/s in-process':>16} {'usbfs':>8} {'usbfs/link':>10}")
for name, local in runs["inprocess"].items():
    usbfs = runs["usbfs"][name]
    print(f"{name:<40} {local['cpu_ms_per_acq']:>22.3f} {usbfs['cpu_ms_per_acq']:>8.3f} "
          f"{usbfs['cpu_ms_per_acq'] / max(local['cpu_ms_per_acq'], 1e-9):>7.1f} "
          f"{local['MBps']:>16.1f} {usbfs['MBps']:>8.1f} {usbfs['MBps'] / rate:>10.2f}")
PY
