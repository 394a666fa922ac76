#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each, two at a time, on a working copy
# of its seed corpus.  New inputs stay in BUILD/corpus-<target>; a crash is
# saved there as crash-* and should be copied into fuzz/corpus/<target>.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-600}
here=$(cd "$(dirname "$0")" && pwd)
targets=(sjis links shortcut command_line config)
run_one() {
  local t=$1 work="$build/corpus-$1"
  mkdir -p "$work"
  (cd "$work" && "../fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=16384 -print_final_stats=1 \
     . "$here/corpus/$t" > ../fuzz-$t.log 2>&1) && echo "fuzz_$t: no finding in ${seconds}s ($(grep -o 'stat::number_of_executed_units: [0-9]*' "$build/fuzz-$t.log"))" \
    || { echo "fuzz_$t: FINDING, see $build/fuzz-$t.log"; return 1; }
}
status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do run_one "$t" & pids+=($!); done
  for p in "${pids[@]}"; do wait "$p" || status=1; done
done
exit $status
