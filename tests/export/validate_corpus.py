#!/usr/bin/env python3
"""Every real export the converters take (../shared/corpus/ase, read in place)
becomes a GLB that the Khronos validator passes with no errors and no
warnings, and a PNG preview: the model DKS2VKM makes through SCENE2DKS's script, with the brushes
SCENE2HXM makes of the same file, and those brushes alone. Strict reading
first, --lenient where strict refuses the file. Skips (77) without the corpus
or without node and npm.

usage: validate_corpus.py <tools dir> <corpus dir> <DKS2VKM> <SCENE2DKS> <SCENE2HXM> <vkminfo> <hxminfo>
"""
import os
import shutil
import subprocess
import sys
import tempfile

from validate_glbs import SKIP, install


def converted(tool, args, cwd):
    """Runs a converter strict, then lenient; True when one of them succeeded."""
    for extra in ([], ["--lenient"]):
        if subprocess.run([tool, *args, *extra], cwd=cwd, capture_output=True, timeout=120).returncode == 0:
            return True
    return False


def main():
    tools, corpus, dks2vkm, scene2dks, scene2hxm, vkminfo, hxminfo = sys.argv[1:8]
    if not os.path.isdir(corpus):
        print(f"SKIP: no corpus at {corpus}")
        return SKIP
    node, module = install(tools)
    failures, glbs = [], []
    with tempfile.TemporaryDirectory() as work:
        for name in sorted(os.listdir(corpus)):
            if not name.lower().endswith(".ase"):
                continue
            stem = os.path.splitext(name)[0]
            folder = os.path.join(work, stem)
            os.mkdir(folder)
            shutil.copy(os.path.join(corpus, name), folder)
            subprocess.run([scene2dks, name], cwd=folder, capture_output=True, timeout=120)
            model = os.path.exists(os.path.join(folder, stem + ".dks")) and converted(dks2vkm, [stem + ".dks"], folder)
            brushes = converted(scene2hxm, [name], folder)
            exports = []
            if model:
                collision = ["--collision", stem + ".hxm"] if brushes else []
                exports.append([vkminfo, "--gltf", stem + ".glb", "--png", stem + ".png", stem + ".vkm", *collision])
            if brushes:
                exports.append([hxminfo, "--gltf", stem + "_brushes.glb", "--png", stem + "_brushes.png", stem + ".hxm"])
            for command in exports:
                run = subprocess.run(command, cwd=folder, capture_output=True, text=True, timeout=120)
                png = os.path.join(folder, command[4])
                if run.returncode != 0:
                    failures.append(f"{' '.join(command)} failed ({run.returncode}): {run.stderr}")
                elif open(png, "rb").read(8) != b"\x89PNG\r\n\x1a\n":
                    failures.append(f"{png} is no PNG file")
                else:
                    glbs.append(os.path.join(folder, command[2]))
        print(f"{len(glbs)} GLB files from the corpus")
        validation = subprocess.run([node, os.path.join(os.path.dirname(__file__), "validate_gltf.js"), module] + glbs)
    for failure in failures:
        print(failure)
    return 1 if failures or validation.returncode != 0 or not glbs else 0


if __name__ == "__main__":
    sys.exit(main())
