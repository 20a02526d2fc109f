#!/usr/bin/env python3
"""Writes a CSV of monthly series, one BY group per series, for the benchmarks.

usage: gen_series.py OUT.csv [N] [YEARS]

Columns: series (S00001, ...), date (YYYY-MM-01, from January 2000) and value
(a positive series: level times trend times seasonal factor times noise).
The output depends only on N and YEARS.
"""
import math
import os
import random
import sys


def write_series(out, n, years):
    rng = random.Random(20240601)
    width = max(5, len(str(n)))  # ids stay in ascending byte order
    out.write("series,date,value\n")
    for s in range(1, n + 1):
        level = rng.uniform(50.0, 5000.0)
        growth = rng.uniform(-0.002, 0.006)  # per month
        amplitude = rng.uniform(0.05, 0.3)
        phase = rng.uniform(0.0, 2.0 * math.pi)
        noise = rng.uniform(0.005, 0.05)
        lines = []
        for t in range(years * 12):
            year, month = 2000 + t // 12, t % 12 + 1
            seasonal = 1.0 + amplitude * math.sin(2.0 * math.pi * month / 12.0 + phase)
            value = level * math.exp(growth * t) * seasonal * math.exp(rng.gauss(0.0, noise))
            lines.append(f"S{s:0{width}d},{year:04d}-{month:02d}-01,{value:.4f}\n")
        out.write("".join(lines))


def main(argv):
    if not 2 <= len(argv) <= 4:
        sys.stderr.write(__doc__)
        return 2
    try:
        n = int(argv[2]) if len(argv) > 2 else 10000
        years = int(argv[3]) if len(argv) > 3 else 20
    except ValueError:
        sys.stderr.write(__doc__)
        return 2
    if n < 1 or years < 1:
        sys.stderr.write("N and YEARS must be positive\n")
        return 2
    # Written aside and renamed, so an interrupted run leaves no partial file.
    part = argv[1] + ".part"
    with open(part, "w", newline="") as out:
        write_series(out, n, years)
    os.replace(part, argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
