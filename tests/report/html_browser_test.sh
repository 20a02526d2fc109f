#!/usr/bin/env bash
# Renders the HTML report of a real series in headless Chromium, with no
# network, and checks that it loads cleanly and holds its tables and charts.
#   usage: html_browser_test.sh X11SA_BINARY DATA_FOLDER
set -euo pipefail
cli=$1
data=$2
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "chromium is not installed (make check installs it)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/report.x11sa" <<'PROGRAM'
proc x11 data=ex.airline;
   monthly date=date charts=full;
   var passengers;
   tables b1 d10 d11 d12 d13 f1;
run;
proc x11 data=ex.ukgas;
   quarterly date=date;
   var gas;
   tables d10 d11;
run;
PROGRAM
"$cli" --lib ex="$data" --html "$work/report.html" --print "$work/report.lst" --log "$work/report.log" \
  "$work/report.x11sa"

flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking
       --disable-component-update --disable-sync --disable-extensions --user-data-dir="$work/profile"
       --proxy-server=127.0.0.1:9 --host-resolver-rules="MAP * ~NOTFOUND" --enable-logging=stderr --v=0)
timeout 120 "$browser" "${flags[@]}" --dump-dom "file://$work/report.html" > "$work/dom.html" 2> "$work/browser.log"
timeout 120 "$browser" "${flags[@]}" --window-size=1280,4000 --screenshot="$work/shot.png" \
  "file://$work/report.html" >/dev/null 2>> "$work/browser.log"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Nothing outside the file was asked for, and nothing failed on the page.
if grep -E "Failed to load resource|Uncaught|ERR_(FILE|NAME|CONNECTION|PROXY)" "$work/browser.log"; then
  fail "the page did not load cleanly"
fi
count() { grep -o "$1" "$work/dom.html" | wc -l; }
[ "$(count '<figure')" -ge 12 ] || fail "expected at least 12 tables and charts, found $(count '<figure')"
[ "$(count '<svg class="chart"')" -ge 4 ] || fail "expected the charts as SVG, found $(count '<svg class="chart"')"
[ "$(count '<polyline')" -ge 8 ] || fail "expected chart lines"
for want in "Final Seasonal Factors" "Final Seasonally Adjusted Series" "ChartG1" "ChartG2" "Contents" \
            "Step 2: PROC X11"; do
  grep -q "$want" "$work/dom.html" || fail "the report lacks '$want'"
done
# The contents link to every figure.
links=$(grep -o 'href="#o[0-9]*"' "$work/dom.html" | sort -u | wc -l)
[ "$links" -ge 12 ] || fail "expected links in the contents, found $links"
size=$(stat -c %s "$work/shot.png")
[ "$size" -gt 20000 ] || fail "the screenshot is nearly empty ($size bytes)"
echo "report renders: $(count '<figure') objects, $(count '<svg class="chart"') charts, screenshot $size bytes"
