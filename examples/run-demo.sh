#!/usr/bin/env bash
# Runs the bundled example end to end: adjusts the monthly airline passengers
# series, shows part of the listing and of the output data set.
set -euo pipefail
bin=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../build/demo"
mkdir -p "$out"
cd "$out"
"$bin" --lib ex="$here/data" --print airline.lst --log airline.log --html airline.html "$here/airline.x11sa"
echo "== Program: examples/airline.x11sa"
cat "$here/airline.x11sa"
echo
echo "== Log (build/demo/airline.log)"
cat airline.log
echo
echo "== Listing, first tables (build/demo/airline.lst)"
sed -n '1,60p' airline.lst
echo "   ..."
echo
echo "== Output data set, first rows (build/demo/airline_sa.csv)"
head -n 8 airline_sa.csv
echo "   ... $(($(wc -l < airline_sa.csv) - 1)) rows"
echo
echo "== HTML report with every table and the charts: build/demo/airline.html"

# The Python package, built beside the command.
python_dir=$(cd "$(dirname "$bin")" && pwd)/python
if [ -d "$python_dir/x11sa" ] && /usr/bin/python3 -c 'import pandas' 2>/dev/null; then
  echo
  echo "== Python: examples/adjust.py (PYTHONPATH=build/python /usr/bin/python3 examples/adjust.py)"
  PYTHONPATH="$python_dir" /usr/bin/python3 "$here/adjust.py"
fi
