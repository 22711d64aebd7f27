#!/usr/bin/env bash
# Line coverage reached by the fuzz corpora: builds the replay programs with
# clang's source-based coverage, replays the committed corpus and the corpus a
# campaign left in build/asan/findings/, and reports per source file.
#   fuzz/coverage.sh [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzzcov"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(dks2vkm_ase dks_script scene2dks scene2hxm vkm_reader hxm_reader numbers)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" > /dev/null
cmake --build "$build" --target "${targets[@]/#/replay_}" > /dev/null
rm -f "$build"/*.profraw
objects=()
for target in "${targets[@]}"; do
  LLVM_PROFILE_FILE="$build/$target.profraw" "$build/fuzz/replay_$target" \
    "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target" "$root/build/asan/findings/$target.corpus" > /dev/null
  objects+=(-object "$build/fuzz/replay_$target")
done
llvm-profdata merge -sparse "$build"/*.profraw -o "$build/fuzz.profdata"
llvm-cov report "${objects[@]:1}" -instr-profile="$build/fuzz.profdata" \
  "$root"/{common,sceneread,modelconv,geometry,scriptgen,collision}/*.{h,cpp} "$root"/tools/{vkminfo,hxminfo}/*.cpp 2>/dev/null
