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

# DKS2VKM against a plain import of the same export by a general-purpose
# library (bench/assimp_import, built where the library is installed): four
# meshes of 1M triangles in all, and 1,000 small meshes of about the same
# size. One untimed run of each command, then five interleaved runs; medians, the spread (slowest
# over fastest run) and the peak resident memory against the file's size.
reference="$bin/bench/assimp_import"
[ -f mesh4.ase ] || "$bin/tools/asegen/asegen" --meshes 4 1000000 mesh4.ase mesh4.dks
[ -f mesh1000.ase ] || "$bin/tools/asegen/asegen" --meshes 1000 1000000 mesh1000.ase mesh1000.dks
echo
echo "DKS2VKM against a plain aiImportFile (5 interleaved runs after one of each; load average $(cut -d' ' -f1-3 /proc/loadavg)):"
[ -x "$reference" ] || echo "  (assimp not installed: the comparison column is skipped)"
# Appends "<seconds> <peak KB>" of one run of a command to a file: the peak
# from GNU time, the seconds from a clock around it to the millisecond (its
# own two decimals would move a ratio at a quarter of a second by 4 %; the
# clock adds about a millisecond, for starting GNU time, to every command).
clocked() {
  local into=$1
  shift
  local seconds
  seconds=$(python3 -c '
import subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
print("%.3f" % (time.perf_counter() - start))' /usr/bin/time -f "%M" -o time.txt "$@")
  echo "$seconds $(tail -n 1 time.txt)" >> "$into"
}
# Prints "<median s> <spread> <median peak KB>" of the "<s> <KB>" lines in a file.
summary() {
  sort -n "$1" | awk '{ t[NR] = $1; m[NR] = $2 } END { printf "%s %.2f %s\n", t[3], t[5] / t[1], m[3] }'
}
for name in mesh4 mesh1000; do
  # One untimed run of each command first: the export (or the other one's
  # output) may have left the page cache meanwhile, which only the first
  # run would pay for.
  : > warm.txt
  clocked warm.txt "$bin/modelconv/DKS2VKM" "$name.dks"
  [ -x "$reference" ] && clocked warm.txt "$reference" "$name.ase"
  : > dks.txt
  : > one.txt
  : > ref.txt
  for run in 1 2 3 4 5; do
    clocked dks.txt "$bin/modelconv/DKS2VKM" "$name.dks"
    clocked one.txt "$bin/modelconv/DKS2VKM" "$name.dks" --threads 1
    if [ -x "$reference" ]; then
      clocked ref.txt "$reference" "$name.ase"
    fi
  done
  size=$(stat -c %s "$name.ase")
  read -r dks spread kb < <(summary dks.txt)
  read -r one oneSpread oneKb < <(summary one.txt)
  echo "  $name.ase ($size bytes):"
  echo "    DKS2VKM:            $dks s (spread ${spread}x), peak $kb KB ($(awk "BEGIN{printf \"%.2f\", $kb*1024/$size}") x the file size)"
  echo "    DKS2VKM --threads 1: $one s (spread ${oneSpread}x), peak $oneKb KB"
  if [ -s ref.txt ]; then
    read -r ref refSpread refKb < <(summary ref.txt)
    echo "    aiImportFile:       $ref s (spread ${refSpread}x), peak $refKb KB"
    echo "    DKS2VKM is $(awk "BEGIN{printf \"%.2f\", $ref/$dks}") x as fast"
  fi
done
echo "  load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

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
