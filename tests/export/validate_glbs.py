#!/usr/bin/env python3
"""Writes a GLB from every golden VKM and HXM output and from the example (the
model with its brushes), and runs the Khronos validator over them: zero errors
and zero warnings. The validator (npm package gltf-validator, pinned) is
installed into the build tree when missing; without node and npm the test
skips (77) and says how to enable it.

usage: validate_glbs.py --install-only <tools dir>
       validate_glbs.py <tools dir> <source dir> <DKS2VKM> <SCENE2HXM> <vkminfo> <hxminfo>
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

VALIDATOR = "gltf-validator@2.0.0-dev.3.10"
SKIP = 77


def install(tools):
    node, npm = shutil.which("node"), shutil.which("npm")
    if node is None or npm is None:
        print("SKIP: the glTF validation needs node and npm (Debian: apt-get install nodejs npm); "
              "install them and rerun make test")
        sys.exit(SKIP)
    module = os.path.join(tools, "node_modules", "gltf-validator")
    stamp = os.path.join(tools, "installed")
    if not os.path.exists(stamp) or open(stamp).read() != VALIDATOR:
        os.makedirs(tools, exist_ok=True)
        subprocess.run([npm, "install", "--prefix", tools, "--no-audit", "--no-fund", "--no-save", VALIDATOR],
                       check=True, stdout=subprocess.DEVNULL)
        with open(stamp, "w") as f:
            f.write(VALIDATOR)
    return node, module


def run(*args, cwd=None):
    result = subprocess.run(list(args), cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(args)} failed ({result.returncode}): {result.stderr}")


def main():
    if sys.argv[1] == "--install-only":
        install(sys.argv[2])
        return
    tools, source, dks2vkm, scene2hxm, vkminfo, hxminfo = sys.argv[1:7]
    node, module = install(tools)
    golden = os.path.join(source, "tests", "golden")
    with tempfile.TemporaryDirectory() as work:
        glbs = []
        for kind, tool in (("vkm", vkminfo), ("hxm", hxminfo)):
            for i, f in enumerate(sorted(glob.glob(os.path.join(golden, "*", "*", "out", f"*.{kind}")))):
                # Some golden outputs are deliberately no model (an old output kept).
                if subprocess.run([tool, f], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
                    print(f"not a valid {kind} file, no GLB: {f}")
                    continue
                glbs.append(os.path.join(work, f"{kind}{i}_{os.path.basename(f)}.glb"))
                run(tool, "--gltf", glbs[-1], f)
        for f in filter(os.path.isfile, glob.glob(os.path.join(source, "examples", "*"))):
            shutil.copy(f, work)
        run(dks2vkm, "vehicle.dks", cwd=work)
        run(scene2hxm, "brushes.ase", cwd=work)
        run(vkminfo, "--gltf", "vehicle.glb", "vehicle.vkm", "--collision", "brushes.hxm", cwd=work)
        glbs.append(os.path.join(work, "vehicle.glb"))
        run(hxminfo, "--gltf", "brushes.glb", "brushes.hxm", cwd=work)
        glbs.append(os.path.join(work, "brushes.glb"))
        script = os.path.join(source, "tests", "export", "validate_gltf.js")
        sys.exit(subprocess.run([node, script, module] + glbs).returncode)


if __name__ == "__main__":
    main()
