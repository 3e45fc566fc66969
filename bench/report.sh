#!/bin/sh
# Builds glyphar-bench in Release, runs it (cases interleaved and repeated in
# one process) and writes the table of medians and ratios to OUT.
#
#   bench/report.sh BUILD_DIR OUT.md [Google Benchmark flags]
set -eu

build=$1 out=$2
shift 2
cmake -S "$(dirname "$0")/.." -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DGLYPHAR_BUILD_TESTS=OFF -DGLYPHAR_BUILD_DEMO=OFF -DGLYPHAR_INSTALL=OFF >/dev/null
cmake --build "$build" --target glyphar-bench
"$build/bench/glyphar-bench" --markdown="$out" "$@"
