#!/usr/bin/env bash
# BY groups adjusted side by side: the wall-clock time of one program over
# 4,000 monthly series of 20 years (one BY group each) with --jobs 1 and
# with --jobs N, and a check that both wrote the same files.
#   usage: bench/bench_jobs.sh X11SA_BINARY [N] [GROUPS]
set -euo pipefail
bin=$(realpath "$1")
jobs=${2:-2}
groups=${3:-4000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT; [ -n "${KEEP:-}" ] && trap - EXIT

python3 "$here/gen_series.py" "$work/panel.csv" "$groups" 20
cat > "$work/panel.x11sa" <<'PROGRAM'
proc x11 data=panel noprint outstb=stb;
   monthly date=date;
   var value;
   by series;
   output out=sa b1=b1 d10=d10 d11=d11 d12=d12 d13=d13;
run;
PROGRAM

run() {
  local n=$1
  mkdir -p "$work/jobs$n"
  local t0 t1
  t0=$(date +%s.%N)
  (cd "$work/jobs$n" && "$bin" --jobs "$n" --lib work=. --lib in="$work" --log log.txt --print listing.lst \
      <(sed 's/data=panel/data=in.panel/' "$work/panel.x11sa") >/dev/null)
  t1=$(date +%s.%N)
  sed -i -E 's/\(real time [0-9.]+ seconds\)/(real time)/; s|[^ ]*/jobs[0-9]+/|./|g' "$work/jobs$n/log.txt"
  echo "$t1 - $t0" | bc
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
serial=$(run 1)
parallel=$(run "$jobs")
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
diff -r "$work/jobs1" "$work/jobs$jobs" > /dev/null || { echo "bench_jobs: --jobs $jobs wrote other files" >&2; exit 1; }
printf '%s groups: --jobs 1 %.2f s, --jobs %s %.2f s, speed-up %.2f\n' "$groups" "$serial" "$jobs" "$parallel" \
  "$(echo "$serial / $parallel" | bc -l)"
