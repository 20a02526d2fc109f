#!/usr/bin/env python3
"""The Python package on a panel of monthly series: x11sa.adjust_frame
against a loop of statsmodels' STL over the same frame, and its cost per
series against the C++ library's (bench/adjust_panel), all in one run.

usage: bench_python.py BUILD_DIR [SERIES] [YEARS]
"""
import os
import re
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1])
count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
years = int(sys.argv[3]) if len(sys.argv) > 3 else 20
sys.path.insert(0, os.path.join(build, "python"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pandas as pd  # noqa: E402
from statsmodels.tsa.seasonal import STL  # noqa: E402

import gen_series  # noqa: E402
import x11sa  # noqa: E402


def best_of(runs, f):
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        f()
        times.append(time.perf_counter() - t0)
    return min(times)


def stl_loop(frame):
    for _, group in frame.groupby("series", sort=True):
        series = pd.Series(group["value"].to_numpy(), index=pd.PeriodIndex(group["date"], freq="M"))
        STL(series, period=12).fit()


with tempfile.TemporaryDirectory() as work:
    path = os.path.join(work, "panel.csv")
    with open(path, "w") as out:
        gen_series.write_series(out, count, years)
    frame = pd.read_csv(path, parse_dates=["date"])
    print(f"{count} monthly series of {years} years; load {os.getloadavg()[0]:.2f}")

    library = subprocess.run([os.path.join(build, "bench", "adjust_panel"), path], capture_output=True, text=True,
                             check=True).stdout
    cpp = float(re.search(r"([0-9.]+) s,", library).group(1))
    one = best_of(3, lambda: x11sa.adjust_frame(frame, date="date", var="value", by="series", threads=1))
    every = best_of(3, lambda: x11sa.adjust_frame(frame, date="date", var="value", by="series"))
    stl = best_of(1, lambda: stl_loop(frame))

print(f"C++ adjust_series, 1 thread:          {cpp:8.3f} s  {1000 * cpp / count:.3f} ms per series")
print(f"x11sa.adjust_frame, 1 thread:         {one:8.3f} s  {1000 * one / count:.3f} ms per series "
      f"({one / cpp:.2f} x the C++ cost)")
print(f"x11sa.adjust_frame, {os.cpu_count()} threads:        {every:8.3f} s")
print(f"statsmodels STL loop:                 {stl:8.3f} s")
print(f"adjust_frame is {stl / every:.1f} times faster than the STL loop")
