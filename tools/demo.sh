#!/usr/bin/env bash
# Runs the pipeline on the bundled example scene in a scratch folder of the
# build tree (the examples themselves stay untouched) and shows what was written.
set -euo pipefail
build=${1:-build/dev}
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$root/$build" && pwd)
work="$bin/demo"
rm -rf "$work"
mkdir -p "$work"
find "$root/examples" -maxdepth 1 -type f -exec cp {} "$work"/ \;
cd "$work"

run() {
  echo
  echo "\$ $*"
  "$@"
}

if [ -x "$bin/scriptgen/SCENE2DKS" ]; then
  run "$bin/scriptgen/SCENE2DKS" vehicle.ase
  echo "--- vehicle.dks ---"
  tr -d '\r' < vehicle.dks
fi
run "$bin/modelconv/DKS2VKM" vehicle.dks
if [ -x "$bin/tools/vkminfo/vkminfo" ] && [ -f vehicle.vkm ]; then
  run "$bin/tools/vkminfo/vkminfo" vehicle.vkm
fi
# Two simplified LODs of the same export, converted as LODs 1 and 2.
if [ -x "$bin/tools/aselod/aselod" ]; then
  run "$bin/tools/aselod/aselod" vehicle.ase --lods 0.5,0.25 --output vehicle_lods.dks
  run "$bin/modelconv/DKS2VKM" vehicle_lods.dks
fi
if [ -x "$bin/collision/SCENE2HXM" ]; then
  run "$bin/collision/SCENE2HXM" brushes.ase
  if [ -x "$bin/tools/hxminfo/hxminfo" ]; then
    run "$bin/tools/hxminfo/hxminfo" brushes.hxm
  fi
fi
if [ -x "$bin/tools/vkminfo/vkminfo" ] && [ -f vehicle.vkm ] && [ -f brushes.hxm ]; then
  # The summaries were shown above; only the files are new.
  for command in "$bin/tools/vkminfo/vkminfo --gltf vehicle.glb --png vehicle.png vehicle.vkm --collision brushes.hxm" \
                 "$bin/tools/hxminfo/hxminfo --gltf brushes.glb --png brushes.png brushes.hxm" \
                 "$bin/tools/vkminfo/vkminfo --png vehicle_lods.png --size 400x300 --lod all vehicle_lods.vkm"; do
    echo
    echo "\$ $command"
    $command >/dev/null
  done
  echo
  echo "glTF views (open them in any glTF viewer): $work/vehicle.glb, $work/brushes.glb"
  echo "PNG previews (open them in any image viewer): $work/vehicle.png, $work/brushes.png,"
  echo "  and LODs 0, 1 and 2 side by side: $work/vehicle_lods.png"
fi
echo
echo "Written in $work:"
ls -l "$work"
