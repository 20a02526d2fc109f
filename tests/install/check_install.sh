#!/usr/bin/env bash
# The installed library as a user gets it: installs the build tree into a
# scratch prefix, checks that each installed header compiles on its own, then
# builds examples/library against the package, once with the shared library
# and once with the static one, and runs both programs. Their D11 values, the
# listing and the data set must be those the x11sa command of the same build
# gives for examples/airline.x11sa.
#   usage: check_install.sh CMAKE BUILD_DIR SOURCE_DIR X11SA_BINARY CXX BUILD_TYPE
#                           "COMPILE_FLAGS" "LINK_FLAGS"
# The flags are those the build tree's own code was compiled and linked with
# beyond the warnings (the sanitizers): the examples get them too, since a
# library built with sanitizers needs their runtimes in the program.
set -euo pipefail
cmake=$1
build=$2
root=$3
bin=$(realpath "$4")
cxx=$5
build_type=$6
extra_compile=$7
extra_link=$8
warnings="-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "install: $*" >&2
  exit 1
}

prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install failed"; }

# Users get include/x11sa/ and nothing else: each header must compile with
# only the prefix on the include path.
headers=$(cd "$prefix/include" && find . -type f | sort)
[ -n "$headers" ] || fail "no header installed"
for h in $headers; do
  case "$h" in ./x11sa/*.h) ;; *) fail "unexpected file installed under include/: $h" ;; esac
  echo "#include <${h#./}>" | "$cxx" -std=c++20 $warnings -fsyntax-only -I "$prefix/include" -x c++ - \
    || fail "${h#./} does not compile on its own against the installed headers"
done

# What the command writes for the airline example: the reference for both programs.
mkdir "$work/command"
(cd "$work/command" && "$bin" --lib ex="$root/examples/data" "$root/examples/airline.x11sa" > listing.lst 2> log.txt) \
  || fail "x11sa on examples/airline.x11sa failed"
# D11 is the "adjusted" column of OUT=; the example prints its first and last year.
awk -F, 'NR == 1 { for (i = 1; i <= NF; ++i) if ($i == "adjusted") col = i; next }
         { print substr($1, 1, 7), $col }' "$work/command/airline_sa.csv" > "$work/d11_all.txt"
[ "$(wc -l < "$work/d11_all.txt")" -gt 24 ] || fail "the command wrote too few D11 values"
{ head -n 12 "$work/d11_all.txt"; tail -n 12 "$work/d11_all.txt"; } > "$work/d11_expected.txt"

for kind in shared static; do
  static=OFF
  [ "$kind" = static ] && static=ON
  example="$work/example-$kind"
  "$cmake" -S "$root/examples/library" -B "$example" -DCMAKE_PREFIX_PATH="$prefix" -DX11SA_EXAMPLE_STATIC=$static \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$build_type" \
    -DCMAKE_CXX_FLAGS="$warnings $extra_compile" -DCMAKE_EXE_LINKER_FLAGS="$extra_link" > "$work/configure.log" 2>&1 \
    || { cat "$work/configure.log" >&2; fail "$kind: configuring examples/library failed"; }
  found=$(sed -n 's/^x11sa_DIR:PATH=//p' "$example/CMakeCache.txt")
  [ "$(realpath "$found")" = "$(realpath "$prefix")/lib/cmake/x11sa" ] || fail "$kind: found the package in '$found', not in the prefix"
  "$cmake" --build "$example" -j 2 > "$work/build.log" 2>&1 || { cat "$work/build.log" >&2; fail "$kind: building examples/library failed"; }

  # The shared build loads libx11sa.so at run time; the static one holds the library.
  for program in adjust_csv run_program; do
    needed=$(readelf -d "$example/$program" | grep -c 'NEEDED.*libx11sa\.so' || true)
    if [ "$kind" = shared ] && [ "$needed" != 1 ]; then fail "$program does not link libx11sa.so"; fi
    if [ "$kind" = static ] && [ "$needed" != 0 ]; then fail "$program links libx11sa.so, not libx11sa.a"; fi
  done

  "$example/adjust_csv" "$root/examples/data/airline.csv" > "$work/adjust-$kind.txt" || fail "$kind: adjust_csv failed"
  grep -q '^# 144 months from 1949-01: exit level 0,' "$work/adjust-$kind.txt" || fail "$kind: adjust_csv: $(head -n 1 "$work/adjust-$kind.txt")"
  grep -v '^#' "$work/adjust-$kind.txt" > "$work/d11-$kind.txt"
  diff -u "$work/d11_expected.txt" "$work/d11-$kind.txt" >&2 || fail "$kind: D11 of adjust_series differs from OUT= of the command"

  run="$work/run-$kind"
  mkdir "$run"
  (cd "$run" && "$example/run_program" "$root/examples/airline.x11sa" ex="$root/examples/data" > listing.lst 2> log.txt) \
    || fail "$kind: run_program failed"
  for f in listing.lst airline_sa.csv; do
    cmp "$work/command/$f" "$run/$f" || fail "$kind: run_program wrote a $f other than the command's"
  done
  echo "install: $kind library: D11, listing and data set as the command's"
done
