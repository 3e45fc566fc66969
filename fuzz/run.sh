#!/bin/sh
# Runs the fuzzer for a bounded time from the committed seed corpus. Any
# crash, sanitizer report, guard-byte violation or hang (a run over 10 s)
# fails the run and leaves the input under WORK_DIR/findings/.
#
#   fuzz/run.sh FUZZER WORK_DIR [SECONDS [SEEDS_DIR [MAX_LEN]]]
set -eu

fuzzer=$1 work=$2 seconds=${3:-120}
seeds=${4:-$(dirname "$0")/corpus} max_len=${5:-8192}

rm -rf "$work"
mkdir -p "$work/corpus" "$work/findings"
cp "$seeds"/* "$work/corpus/"

"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$work/findings/" \
  "$work/corpus" 2>"$work/fuzz.log" || {
  tail -n 60 "$work/fuzz.log" >&2
  echo "fuzz: findings in $work/findings/" >&2
  exit 1
}
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/fuzz.log" || true
echo "fuzz: corpus $(ls "$work/corpus" | wc -l) inputs, no findings"
