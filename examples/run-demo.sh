#!/usr/bin/env bash
# Runs the bundled example end to end: adjusts the monthly airline passengers
# series, shows part of the listing and of the output data set.
set -euo pipefail
bin=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$here/../build/demo"
out=$(cd "$here/../build/demo" && pwd)
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

# The second example: the ARIMA extension with the automatic choice, and the
# stability of the adjustment by sliding spans.
"$bin" --lib ex="$here/data" --print airline_arima.lst --log airline_arima.log --html airline_arima.html \
  "$here/airline_arima.x11sa"
echo
echo "== Program: examples/airline_arima.x11sa (ARIMA extension, sliding spans)"
grep -E "^(Model [0-9] is chosen|Of the models)" airline_arima.lst || true
awk '/S 2.A.3 Summary/ {show = 1} show && /^$/ && ++blank > 3 {exit} show' airline_arima.lst | head -n 24
echo "   ..."

echo
echo "== Where the files are"
for f in airline.lst airline.log airline.html airline_sa.csv airline_arima.lst airline_arima.html airline_extended.csv; do
  printf '   %s\n' "$out/$f"
done
echo "   Open the HTML reports in a browser: every table, and the charts G1 (the series and its"
echo "   seasonally adjusted values) and G2 (the seasonal factors, month by month)."

# The Python package, built beside the command.
python_dir=$(cd "$(dirname "$bin")" && pwd)/python
if [ -d "$python_dir/x11sa" ] && /usr/bin/python3 -c 'import pandas' 2>/dev/null; then
  echo
  echo "== Python: examples/adjust.py (PYTHONPATH=build/python /usr/bin/python3 examples/adjust.py)"
  PYTHONPATH="$python_dir" /usr/bin/python3 "$here/adjust.py"
fi
