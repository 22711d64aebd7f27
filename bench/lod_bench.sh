#!/usr/bin/env bash
# aselod on a 1M-triangle export: triangles kept against the target, the
# library's reported error and the time per million triangles (median of 3
# whole runs), first on asegen's export as it is, then on the same grid with
# its material ids regrouped into 64x64-quad patches (asegen changes the id
# every third face, so every vertex touches several materials and none can
# go). Then, side by side on the regrouped mesh exported to glTF (positions
# and indices), `gltfpack -si`: triangles, time, and one error measure
# computed alike for both, a sampled symmetric surface distance relative to
# the bounding-box diagonal.
set -euo pipefail
build=${1:-build/release}
bin=$(cd "$build" && pwd)
data="$bin/bench-data"
mkdir -p "$data"
cd "$data"

n=1000000
ratio=0.25
[ -f "grid$n.ase" ] || "$bin/tools/asegen/asegen" "$n" "grid$n.ase" "grid$n.dks"
[ -f "patches$n.ase" ] || "$bin/bench/lod_bench" regroup "grid$n.ase" "patches$n.ase"

# Prints the median of three runs of a command as "<seconds> <peak KB>".
median() {
  for run in 1 2 3; do
    /usr/bin/time -f "%e %M" -o time.txt "$@" > run.txt
    cat time.txt
  done | sort -n | sed -n 2p
}

echo
echo "aselod --ratio $ratio on $n triangles (whole runs: read, simplify, write; median of 3):"
for mesh in "grid$n" "patches$n"; do
  read -r seconds kb < <(median "$bin/tools/aselod/aselod" "$mesh.ase" --ratio "$ratio" --output "${mesh}_aselod.ase")
  # "<file>: mesh <name>: <kept> of <total> triangles (target <target>), error <e>"
  read -r kept total target error < <(sed -n 's/.*: \([0-9]*\) of \([0-9]*\) triangles (target \([0-9]*\)), error \(.*\)/\1 \2 \3 \4/p' run.txt)
  echo "  $mesh.ase: kept $kept of $total triangles (target $target), library error $error," \
       "$seconds s ($(awk "BEGIN{printf \"%.2f\", $seconds*1e6/$total}") s per million triangles), peak $kb KB"
done

echo
if ! command -v gltfpack > /dev/null; then
  echo "gltfpack not found (apt-get install gltfpack): no comparison"
  exit 0
fi
"$bin/bench/lod_bench" gltf "patches$n.ase" "patches$n.gltf"
read -r seconds kb < <(median gltfpack -i "patches$n.gltf" -o "patches${n}_gltfpack.gltf" -si "$ratio" -noq)
echo "Side by side on patches$n ($ratio): surface distance to the source, sampled both ways:"
echo "  aselod:   $("$bin/bench/lod_bench" distance "patches$n.ase" "patches${n}_aselod.ase")"
echo "  gltfpack: $("$bin/bench/lod_bench" distance "patches$n.ase" "patches${n}_gltfpack.gltf"), $seconds s"
echo "  (gltfpack reads an 18 MB binary glTF of positions alone: no materials, seams or smoothing to keep)"
