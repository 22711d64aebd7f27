#!/usr/bin/env bash
# Generates large exports (once; kept in the build tree) and measures DKS2VKM
# on them: per-stage throughput with Google Benchmark, then whole runs timed
# with their peak memory.
set -euo pipefail
build=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$root/$build" && pwd)
data="$bin/bench-data"
mkdir -p "$data"
cd "$data"

sizes=(10000 100000 1000000)
for n in "${sizes[@]}"; do
  [ -f "grid$n.ase" ] || "$bin/tools/asegen/asegen" "$n" "grid$n.ase" "grid$n.dks"
done
ls -l grid*.ase

"$bin/bench/pipeline_bench" grid10000.dks grid100000.dks grid1000000.dks

echo
echo "DKS2VKM end to end (median of 5 runs; peak resident memory):"
for n in "${sizes[@]}"; do
  times=()
  for run in 1 2 3 4 5; do
    /usr/bin/time -f "%e %M" -o time.txt "$bin/modelconv/DKS2VKM" "grid$n.dks" > /dev/null
    times+=("$(cat time.txt)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | {
    read -r seconds kb
    size=$(stat -c %s "grid$n.ase")
    echo "  $n triangles: ${seconds} s, peak ${kb} KB ($(awk "BEGIN{printf \"%.2f\", $kb*1024/$size}") x the file size)"
  }
done
