#!/usr/bin/env bash
# Runs every benchmark executable built in BUILD_DIR (configured with -DX11SA_BENCH=ON).
#   usage: bench/run.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)

found=0
for exe in "$build"/bench/bench_*; do
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  "$exe" --benchmark_counters_tabular=true
done
if [ "$found" -eq 0 ]; then
  echo "bench: no benchmarks in $build/bench (configure with -DX11SA_BENCH=ON)" >&2
  exit 1
fi
# BY groups side by side: the command over 4,000 groups with --jobs 1 and --jobs 2.
echo "== bench_jobs"
"$(dirname "$0")/bench_jobs.sh" "$build/x11sa" 2 4000
# The Python package: against statsmodels' STL loop, and per series against the library.
echo "== bench_python"
python=/usr/bin/python3; [ -x "$python" ] || python=python3
"$python" "$(dirname "$0")/bench_python.py" "$build" 2000 20
