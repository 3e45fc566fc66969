#!/bin/sh
# Builds glyphar-bench twice, Release (-O3) and RelWithDebInfo (-O2, the
# level Debian and most distributions build with), runs each (cases
# interleaved and repeated in one process), and writes the table of the -O3
# build's medians and ratios to OUT, with the -O2 build's times beside them
# and their ratio to -O3.
#
#   bench/report.sh BUILD_DIR OUT.md [Google Benchmark flags]
set -eu

build=$1 out=$2
shift 2
src=$(dirname "$0")/..
for level in Release RelWithDebInfo; do
  dir=$build
  [ "$level" = Release ] || dir=$build-o2
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=$level \
    -DGLYPHAR_BUILD_TESTS=OFF -DGLYPHAR_BUILD_DEMO=OFF -DGLYPHAR_INSTALL=OFF >/dev/null
  cmake --build "$dir" --target glyphar-bench
done
"$build-o2/bench/glyphar-bench" --medians="$build-o2/medians.tsv" "$@"
"$build/bench/glyphar-bench" --markdown="$out" --o2-medians="$build-o2/medians.tsv" "$@"
