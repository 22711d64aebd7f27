#!/usr/bin/env python3
"""Builds examples/asset-build against a staged install of the pipeline with
Ninja and checks the build rules: everything converts once, a second build has
nothing to do, a touched ASE file reruns exactly the scripts that name it and
nothing after them (the outputs keep their bytes and times), a changed one
reruns what depends on it, a broken one fails the build with its diagnostic,
the outputs equal the tools' own run by hand, and the same project builds the
pipeline from its source tree with add_subdirectory to the same bytes.

Usage: asset_build.py <pipeline build dir> <example source dir> <scratch dir> <pipeline source dir>
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys

MODELS = {"vehicle.vkm": ["DKS2VKM", "vehicle.dks"], "turret.vkm": ["DKS2VKM", "turret.dks"],
          "models/tank.vkm": ["DKS2VKM", "tank.dks"], "brushes.hxm": ["SCENE2HXM", "brushes.ase"],
          "crate.hxm": ["SCENE2HXM", "crate.ase", "101"]}


def run(*args, cwd=None, check=True):
    result = subprocess.run(args, cwd=cwd, capture_output=True, text=True)
    if check and result.returncode != 0:
        raise SystemExit(f"{' '.join(map(str, args))} failed:\n{result.stdout}{result.stderr}")
    return result


def build(build_dir):
    """The inputs of the steps that ran and whether the summary ran."""
    result = run("ninja", cwd=build_dir, check=False)
    converted = set(re.findall(r"Converting models/(\S+)", result.stdout))
    return result, converted, "Summarising" in result.stdout


def main():
    pipeline, example, work, pipeline_source = map(pathlib.Path, sys.argv[1:5])
    shutil.rmtree(work, ignore_errors=True)
    stage, source, build_dir = work / "stage", work / "src", work / "build"
    run("cmake", "--install", pipeline, "--prefix", stage)
    shutil.copytree(example, source)
    run("cmake", "-S", source, "-B", build_dir, "-G", "Ninja", f"-DCMAKE_PREFIX_PATH={stage}")
    failures = []

    def expect(what, actual, expected):
        if actual != expected:
            failures.append(f"{what}: expected {expected!r}, got {actual!r}")

    result, converted, summarised = build(build_dir)
    expect("first build", (result.returncode, converted, summarised),
           (0, {"vehicle.dks", "turret.dks", "tank.dks", "brushes.ase", "crate.ase"}, True))
    expect("first build simplifies", "Simplifying models/vehicle.ase" in result.stdout, True)
    expect("AUTO_LODS model", "lods/vehicle_lods.vkm: 5 elements, 3 LODs" in (build_dir / "summary.txt").read_text(),
           True)
    expect("first build hides the console text", "Saving complete" in result.stdout, False)
    expect("second build", run("ninja", "-n", cwd=build_dir).stdout.strip(), "ninja: no work to do.")

    kept = list(MODELS) + ["vehicle.vkm.d", "lods/vehicle_lods.vkm", "lods/vehicle_lods_lod1.ase"]
    times = {name: (build_dir / name).stat().st_mtime_ns for name in kept}
    os.utime(source / "models/vehicle.ase")
    result, converted, summarised = build(build_dir)
    expect("touched vehicle.ase", (result.returncode, converted, summarised), (0, {"vehicle.dks", "turret.dks"}, False))
    expect("outputs of a touch keep their times", {n: (build_dir / n).stat().st_mtime_ns for n in kept}, times)
    expect("after the touch", run("ninja", "-n", cwd=build_dir).stdout.strip(), "ninja: no work to do.")

    tank = source / "models/tank.ase"
    before = (build_dir / "models/tank.vkm").read_bytes()
    tank.write_text(tank.read_text().replace("*MESH_VERTEX 0\t0 0 0", "*MESH_VERTEX 0\t0.5 0 0", 1))
    result, converted, summarised = build(build_dir)
    expect("changed tank.ase", (result.returncode, converted, summarised), (0, {"tank.dks"}, True))
    expect("changed tank.vkm", (build_dir / "models/tank.vkm").read_bytes() != before, True)

    crate = source / "models/crate.ase"
    kept, old = crate.read_bytes(), (build_dir / "crate.hxm").read_bytes()
    crate.write_bytes(kept[:2000])
    result, converted, summarised = build(build_dir)
    expect("broken crate.ase fails", result.returncode != 0 and converted == {"crate.ase"}, True)
    expect("with its diagnostic", bool(re.search(r"crate\.ase:\d+: error: ", result.stdout)), True)
    expect("and its console text", "Error: Error in ASE file!" in result.stdout, True)
    expect("leaving the old output", (build_dir / "crate.hxm").read_bytes(), old)
    crate.write_bytes(kept)
    expect("repaired", build(build_dir)[0].returncode, 0)

    by_hand = work / "by_hand"
    shutil.copytree(source / "models", by_hand)
    for name, (tool, *args) in MODELS.items():
        run(stage / "bin" / tool, *args, cwd=by_hand)
        written = by_hand / pathlib.Path(args[0]).with_suffix(pathlib.Path(name).suffix)
        expect(f"{name} as by hand", (build_dir / name).read_bytes() == written.read_bytes(), True)

    run(stage / "bin" / "aselod", "vehicle.ase", "--lods", "0.5,0.25", "--output", "vehicle_lods.dks", cwd=by_hand)
    run(stage / "bin" / "DKS2VKM", "vehicle_lods.dks", cwd=by_hand)
    expect("AUTO_LODS as by hand",
           (build_dir / "lods/vehicle_lods.vkm").read_bytes() == (by_hand / "vehicle_lods.vkm").read_bytes(), True)

    # The same project building the pipeline from its source tree instead.
    from_source = work / "from_source"
    run("cmake", "-S", source, "-B", from_source, "-G", "Ninja", f"-DMODEL_PIPELINE_SOURCE_DIR={pipeline_source}")
    expect("from source builds", run("ninja", cwd=from_source, check=False).returncode, 0)
    for name in list(MODELS) + ["lods/vehicle_lods.vkm"]:
        expect(f"{name} from source", (from_source / name).read_bytes() == (build_dir / name).read_bytes(), True)

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
