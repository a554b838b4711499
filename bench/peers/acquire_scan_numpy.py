#!/usr/bin/env python3
"""The processing of one scan written with NumPy, as a peer of the C++
pipeline timed by bench_datacontrol (BM_ProcessScan).

Reads the scan dumped by `bench_datacontrol --dump=PATH` (frame, dark, grid,
settings and the C++ result), runs the same steps: bad-pixel repair, active
pixels, optical-black level, FFT smoothing, binning, T/R on the wavelength
grid with the dark adjustment; checks the result against the C++ one and
prints the time per scan in microseconds.
"""
import json
import sys
import timeit

import numpy as np


def prepare(scan):
    """What the C++ side computes once per configuration."""
    length = scan["fftLength"]
    centre = length // 2
    width = int((centre - 30) * scan["fftPercent"] / 100.0) + 30
    taper = np.ones(length)
    taper[centre] = taper[centre - 1] = 0.0
    for i in range(1, width - 1):
        if centre - 1 - i < 0 or centre + i >= length:
            break
        taper[centre - 1 - i] = taper[centre + i] = i / width
    return taper


def repair_bad_pixels(raw, bad, first, count):
    end = first + count
    listed = set(bad)
    for b in bad:
        if not first <= b < end:
            continue
        lower = b - 1
        while lower >= first and lower in listed:
            lower -= 1
        upper = b + 1
        while upper < end and upper in listed:
            upper += 1
        if lower < first and upper >= end:
            continue
        low = raw[lower if lower >= first else upper]
        high = raw[upper if upper < end else lower]
        raw[b] = (int(low) + int(high)) // 2


def binning(values, k):
    n = values.size
    sums = np.concatenate(([0.0], np.cumsum(values, dtype=np.float64)))
    j = np.arange(n)
    lo = np.maximum(j - k, 0)
    hi = np.minimum(j + k, n - 1)
    return (sums[hi + 1] - sums[lo]) / (hi - lo + 1)


def process(scan, frame, dark, taper, grid_index, grid_rmd):
    n = scan["activePixels"]
    first = scan["firstActive"]
    length = scan["fftLength"]
    raw = frame.copy()
    repair_bad_pixels(raw, scan["badPixels"], first, n)
    spectrum = raw[first:first + n].astype(np.float64)
    ob_start, ob_count = scan["obStart"], scan["obCount"]
    ob_level = raw[ob_start - 1:ob_start - 1 + ob_count].mean() if ob_count else 0.0
    # Forward transform with the + sign and 1/sqrt(L) scaling, taper, back.
    padded = np.zeros(length)
    padded[:n] = spectrum
    forward = np.fft.ifft(padded) * np.sqrt(length)
    smoothed = (np.fft.fft(forward * taper) / np.sqrt(length)).real[:n]
    if scan["binning"] > 0:
        smoothed = binning(smoothed, scan["binning"])
    a = smoothed[grid_index] - dark[grid_index]
    below = a < 0
    dark[grid_index[below]] = smoothed[grid_index[below]] - 2.0
    a = np.where(below, 2.0, a)
    value = np.clip(a * scan["refMax"] / np.where(grid_rmd == 0, 1.0, grid_rmd),
                    scan["minT"], scan["maxT"])
    return np.where(grid_rmd < scan["threshold"], 0.0, value), ob_level


def main(path, repeat):
    with open(path) as f:
        scan = json.load(f)
    frame = np.array(scan["frame"], dtype=np.int32)
    dark = np.array(scan["dark"], dtype=np.float64)
    grid_index = np.array(scan["gridIndex"], dtype=np.int64)
    grid_rmd = np.array(scan["gridReferenceMinusDark"], dtype=np.float64)
    expected = np.array(scan["result"], dtype=np.float64)
    taper = prepare(scan)

    result, _ = process(scan, frame, dark.copy(), taper, grid_index, grid_rmd)
    worst = float(np.max(np.abs(result - expected)))
    if worst > 0.05:
        print(f"NumPy result differs from the C++ one by up to {worst:.4f} %T", file=sys.stderr)
        return 1

    def once():
        process(scan, frame, dark.copy(), taper, grid_index, grid_rmd)

    runs = timeit.repeat(once, number=repeat, repeat=5)
    per_scan_us = min(runs) / repeat * 1e6
    print(f"numpy_process_scan_us {per_scan_us:.2f}")
    print(f"numpy_max_difference_percent_T {worst:.5f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 200))
