#!/usr/bin/env python3
"""quillon.Instrument.scan() from Python, timed like bench_instrument_scan.

Same unit, same settings: the fast simulated ILX511 of the default bench,
scope on the pixel base, then T/R of a 25 % filter on the wavelength grid.
Prints the median time per call of five rounds.

    PYTHONPATH=build/release/bin /usr/bin/python3 bench/python/bench_scan.py
"""
import pathlib
import statistics
import sys
import tempfile
import time

import quillon

BENCH = pathlib.Path(__file__).resolve().parents[2] / "resources" / "sim" / "default-bench.ini"
CALLS = 2000
ROUNDS = 5


def per_call(inst):
    for _ in range(100):
        inst.scan()
    rounds = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        for _ in range(CALLS):
            inst.scan()
        rounds.append((time.perf_counter() - start) / CALLS)
    return statistics.median(rounds), min(rounds), max(rounds)


def report(name, figures):
    median, low, high = (value * 1e6 for value in figures)
    print(f"{name:<28} {median:8.1f} us per call (rounds {low:.1f} to {high:.1f})")


def main():
    with tempfile.TemporaryDirectory() as folder:
        with quillon.open(workdir=folder, simulate=BENCH, answer="yes") as inst:
            inst.sim("set 0 timing fast")
            inst.settings.update(mode="scope", base="pixel")
            report("scan scope, pixel base", per_call(inst))
            inst.settings.update(mode="scope", base="wavelength")
            inst.sim("set 0 source dark")
            inst.dark()
            inst.sim("set 0 source halogen")
            inst.reference()
            inst.sim("set 0 sample nd 25")
            inst.mode = "tr"
            report("scan tr, wavelength grid", per_call(inst))
    return 0


if __name__ == "__main__":
    sys.exit(main())
