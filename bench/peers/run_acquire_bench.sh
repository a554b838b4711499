#!/usr/bin/env bash
# Times the processing of one TCD1304 scan (3648 pixels, FFT length 4096,
# time average 1, FFT smoothing 50, binning 2, T/R on the wavelength base)
# in C++ (bench_datacontrol, BM_ProcessScan) and with NumPy, and prints the
# ratio. Builds a Release tree without sanitizers in build/release-bench
# unless BUILD_DIR names another.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build/release-bench}
python=/usr/bin/python3 # Debian's interpreter, which python3-numpy serves

if ! "$python" -c "import numpy" 2>/dev/null; then
    apt-get install -y python3-numpy
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_SANITIZE= >/dev/null
cmake --build "$build" --target bench_datacontrol -j2 >/dev/null

dump=$(mktemp --suffix=.json)
trap 'rm -f "$dump"' EXIT
"$build/bin/bench_datacontrol" --dump="$dump" --benchmark_min_time=1 \
    --benchmark_filter='BM_(ProcessScan|ReadFrame|AcquireScan)' | tee "$dump.txt"
cpp_us=$(awk '/^BM_ProcessScan/ {print $2; exit}' "$dump.txt")
numpy_out=$("$python" bench/peers/acquire_scan_numpy.py "$dump")
echo "$numpy_out"
numpy_us=$(awk '/numpy_process_scan_us/ {print $2}' <<<"$numpy_out")
rm -f "$dump.txt"
awk -v c="$cpp_us" -v n="$numpy_us" \
    'BEGIN { printf "C++ %.1f us, NumPy %.1f us per scan: C++ is %.1f times faster\n", c, n, n / c }'
