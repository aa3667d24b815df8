#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench/), runs each with repetitions and
# prints the medians of the ratio counters: every ratio is measured against its
# reference in the same run (memcpy of the same bytes, a plain read of the same
# file) or computed against the USB 2.0 link time of the same bytes.
# Usage: scripts/bench.sh [repetitions (default 5)] [benchmark filter regex]
# JSON results stay in build-bench/bench-results/.
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=${1:-5}
filter=${2:-.}
benches=(process acquire k7hlp pipeline multicam)

cmake -S . -B build-bench -DORVEX_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" --target orvex_emulator "${benches[@]/#/bench_}"

results=build-bench/bench-results
mkdir -p "$results"
for bench in "${benches[@]}"; do
  rm -f "$results/$bench.json"  # never report an earlier run's figures
  # The emulated camera stands in for libusb-0.1. It runs unpaced, so that the
  # figures are the host's work and not the link's (bench_multicam configures
  # its own link rate, which this does not override).
  ORVEX_EMULATOR_LINK_RATE=unlimited LD_LIBRARY_PATH="$PWD/build-bench/emulator" "build-bench/bin/bench_$bench" \
    --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_filter="$filter" --benchmark_out="$results/$bench.json" --benchmark_out_format=json >/dev/null
done

python3 - "$results" "${benches[@]}" <<'PY'
import json, os, sys
folder, benches = sys.argv[1], sys.argv[2:]
# The machine the ratios belong to: processor, cores, and the widest kernels
# (chosen at run time) that the routines ran on.
flags, model = set(), "?"
try:
    for line in open("/proc/cpuinfo"):
        key, _, value = line.partition(":")
        if key.strip() == "model name": model = value.strip()
        if key.strip() == "flags": flags = set(value.split())
except OSError:
    pass
widest = "AVX-512 VBMI" if {"avx512f", "avx512bw", "avx512vbmi"} <= flags else "AVX2" if "avx2" in flags else "portable"
print(f"machine: {model}, {os.cpu_count()} cores, widest kernels: {widest}")
ratio_keys = ("ratio", "vs_", "x_memcpy")
for bench in benches:
    try:
        data = json.load(open(f"{folder}/{bench}.json"))
    except (OSError, ValueError):
        continue  # the filter matched nothing in this benchmark
    print(f"\n== bench_{bench} (medians of {data['benchmarks'][0].get('repetitions', '?') if data['benchmarks'] else 0} repetitions)")
    for b in data["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].replace("/manual_time", "")
        ratios = {k: v for k, v in b.items() if k.startswith(ratio_keys) and isinstance(v, (int, float))}
        text = "  ".join(f"{k}={v:.3g}" for k, v in sorted(ratios.items()))
        print(f"  {name:<55} {b['real_time']:>10.4g} {b['time_unit']:<2}  {text}")
PY
