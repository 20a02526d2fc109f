#!/usr/bin/env bash
# Golden outputs: runs the example programs and the programs of
# tests/golden/programs at two line sizes and compares every file they write
# (listing, log, data sets, exit status; HTML and JSON at the usual line size)
# with the files kept in tests/golden/expected. The log's real times and the
# checkout's folder are masked.
#   usage: check.sh X11SA_BINARY [--update]
# With --update the kept files are replaced by the new ones: review the diff
# before committing it.
set -euo pipefail
bin=$(realpath "$1")
update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
expected="$here/expected"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for program in "$root"/examples/*.x11sa "$here"/programs/*.x11sa; do
  name=$(basename "$program" .x11sa)
  for linesize in 132 64; do
    case_name="$name-$linesize"
    out="$work/$case_name"
    mkdir -p "$out"
    # The reports do not depend on the line size: written once.
    reports=()
    [ "$linesize" = 132 ] && reports=(--html report.html --json report.json)
    rc=0
    (cd "$out" && "$bin" --lib ex="$root/examples/data" --linesize "$linesize" --print listing.lst \
        --log log.txt "${reports[@]}" "$program") || rc=$?
    echo "$rc" > "$out/exit-status"
    sed -i -E 's/\(real time [0-9.]+ seconds\)/(real time masked)/' "$out/log.txt"
    # The checkout's own folder shows in the log's library notes.
    sed -i "s|$root|ROOT|g" "$out/log.txt"
    if [ "$update" = "--update" ]; then
      rm -rf "${expected:?}/$case_name"
      mkdir -p "$expected"
      cp -r "$out" "$expected/$case_name"
      continue
    fi
    if ! diff -r -q "$expected/$case_name" "$out" > "$work/diff.txt" 2>&1; then
      echo "golden: $case_name differs:" >&2
      cat "$work/diff.txt" >&2
      for f in "$out"/*; do
        kept="$expected/$case_name/$(basename "$f")"
        [ -f "$kept" ] && ! cmp -s "$kept" "$f" && diff -u "$kept" "$f" | head -n 40 >&2
      done
      status=1
    fi
  done
done
exit $status
