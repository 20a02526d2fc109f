#!/usr/bin/env bash
# Runs every fuzz target built in BUILD_DIR for SECONDS seconds each.
#   usage: fuzz/run.sh BUILD_DIR SECONDS
# Seeds come from fuzz/corpus/<target>/; what the fuzzer adds to the corpus is
# kept in BUILD_DIR/fuzz-corpus/<target>/, out of the source tree. An input
# that fails is written to fuzz/regressions/<target>/, where the replay test
# (tests/host/test_fuzz_regressions.cpp) picks it up.
set -euo pipefail

if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

status=0
for src in "$here"/*.cpp; do
  name=$(basename "$src" .cpp)
  exe="$build/fuzz/$name"
  if [ ! -x "$exe" ]; then
    echo "fuzz: $exe is not built (configure with CXX=clang++ -DX11SA_FUZZ=ON)" >&2
    status=1
    continue
  fi
  seeds="$here/corpus/$name"
  work="$build/fuzz-corpus/$name"
  crashes="$here/regressions/$name"
  mkdir -p "$seeds" "$work" "$crashes"
  extra=()
  if [ -f "$here/$name.dict" ]; then extra+=("-dict=$here/$name.dict"); fi
  echo "fuzz: running $name for ${seconds}s"
  if ! "$exe" "$work" "$seeds" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$crashes/" -print_final_stats=1 "${extra[@]}"; then
    echo "fuzz: $name found a failing input; see $crashes/" >&2
    status=1
  fi
done
exit $status
