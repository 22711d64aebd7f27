#!/usr/bin/env bash
# Generates large exports (once; kept in the build tree) and measures DKS2VKM
# on them: per-stage throughput with Google Benchmark, then whole runs timed
# with their peak memory; then a script of many small elements in one parent
# chain, converted by DKS2VKM and read back by vkminfo. Each of those runs is
# cut off after a time limit, so a quadratic step shows as a timeout instead of
# a hanging benchmark.
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

chain=100000
limit=120
[ -f "chain$chain.ase" ] || "$bin/tools/asegen/asegen" --chain "$chain" "chain$chain.ase" "chain$chain.dks"
echo
echo "$chain elements (meshes, cameras, omni lights, each the parent of the next; $(stat -c %s "chain$chain.ase") bytes of ASE),"
echo "one run each, cut off after $limit s:"
# Prints "<what>: <seconds> s, peak <KB> KB" or the timeout; never fails the script.
timed() {
  local what=$1
  shift
  local status=0
  /usr/bin/time -f "%e %M" -o time.txt timeout "$limit" "$@" > /dev/null || status=$?
  read -r seconds kb < <(tail -n 1 time.txt)
  if [ "$status" -eq 124 ]; then
    echo "  $what: did not finish within $limit s"
  elif [ "$status" -ne 0 ]; then
    echo "  $what: failed with exit status $status after $seconds s"
  else
    echo "  $what: $seconds s, peak $kb KB"
  fi
}
rm -f "chain$chain.vkm"
timed "DKS2VKM chain$chain.dks" "$bin/modelconv/DKS2VKM" "chain$chain.dks"
if [ -f "chain$chain.vkm" ]; then
  timed "vkminfo chain$chain.vkm ($(stat -c %s "chain$chain.vkm") bytes)" "$bin/tools/vkminfo/vkminfo" "chain$chain.vkm"
else
  echo "  vkminfo: no chain$chain.vkm to read"
fi

# aselod and the comparison with gltfpack.
"$root/bench/lod_bench.sh" "$bin"
