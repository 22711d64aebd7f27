#!/usr/bin/env bash
# Runs every fuzz target (two at a time, one per core) for a time budget on a
# scratch copy of its committed corpus; findings land in build/asan/findings/.
#   fuzz/run_fuzz.sh <seconds per target> [max runs per target] [target...]
# Exits non-zero when a target finds a crash.
set -uo pipefail
seconds=${1:-60}
runs=${2:--1}
shift $(( $# > 1 ? 2 : $# ))
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/build/asan/fuzz"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(dks2vkm_ase dks_script scene2dks scene2hxm vkm_reader hxm_reader numbers)
work="$root/build/asan/findings"
mkdir -p "$work"

dictionary() {
  case "$1" in
    dks2vkm_ase|scene2dks|scene2hxm) echo "-dict=$root/fuzz/ase.dict" ;;
    dks_script) echo "-dict=$root/fuzz/dks.dict" ;;
  esac
}

run_one() {
  local target=$1
  local scratch="$work/$target.corpus"
  mkdir -p "$scratch" "$work/$target"
  # NOTE: libFuzzer adds new inputs to the first directory: keep the committed
  # corpus second so a run never changes the repository.
  "$bin/fuzz_$target" "$scratch" "$root/fuzz/corpus/$target" $(dictionary "$target") \
    -max_total_time="$seconds" -runs="$runs" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/$target/" -print_final_stats=1 > "$work/$target.log" 2>&1
  local status=$?
  local stats
  stats=$(grep -E 'stat::number_of_executed_units|cov: ' "$work/$target.log" | tail -2 | tr '\n' ' ')
  echo "$target: exit $status; $stats"
  return $status
}

failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run_one "${targets[i]}" &
  first=$!
  second=""
  if (( i + 1 < ${#targets[@]} )); then
    run_one "${targets[i+1]}" &
    second=$!
  fi
  wait "$first" || failed=1
  [ -z "$second" ] || wait "$second" || failed=1
done
exit $failed
