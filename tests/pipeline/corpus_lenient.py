#!/usr/bin/env python3
"""With --lenient every real export converts: DKS2VKM through the script
SCENE2DKS writes (every file but empty and non-ASE ones), checked by vkminfo,
and SCENE2HXM for every file that has meshes.

  corpus_lenient.py <corpus dir> <DKS2VKM> <SCENE2DKS> <SCENE2HXM> <vkminfo>
"""
import os
import shutil
import subprocess
import sys
import tempfile


def text_of(path):
    data = open(path, "rb").read()
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        data = data.decode("utf-16").encode("cp1252", "replace")
    return data


def main():
    corpus, dks2vkm, scene2dks, scene2hxm, vkminfo = sys.argv[1:6]
    if not os.path.isdir(corpus):
        print(f"no corpus at {corpus}")
        return 77
    failures, counts = [], {"DKS2VKM": [0, 0], "SCENE2HXM": [0, 0]}
    for name in sorted(os.listdir(corpus)):
        if not name.lower().endswith(".ase"):
            continue
        text = text_of(os.path.join(corpus, name))
        with tempfile.TemporaryDirectory() as work:
            shutil.copy(os.path.join(corpus, name), work)
            stem = os.path.splitext(name)[0]
            if text.lstrip().startswith(b"*3DSMAX_ASCIIEXPORT"):
                subprocess.run([scene2dks, name], cwd=work, capture_output=True, timeout=120)
                run = subprocess.run([dks2vkm, stem + ".dks", "--lenient"], cwd=work, capture_output=True, timeout=120)
                check = subprocess.run([vkminfo, stem + ".vkm"], cwd=work, capture_output=True, timeout=120)
                counts["DKS2VKM"][0] += 1
                if run.returncode == 0 and check.returncode == 0:
                    counts["DKS2VKM"][1] += 1
                else:
                    failures.append(f"DKS2VKM {name}: {run.stdout[-200:]!r} {check.stderr!r}")
            if b"*MESH_VERTEX_LIST" in text:
                run = subprocess.run([scene2hxm, name, "--lenient"], cwd=work, capture_output=True, timeout=120)
                counts["SCENE2HXM"][0] += 1
                if run.returncode == 0:
                    counts["SCENE2HXM"][1] += 1
                else:
                    failures.append(f"SCENE2HXM {name}: {run.stdout[-200:]!r}")
    for failure in failures:
        print(failure)
    for tool, (tried, converted) in counts.items():
        print(f"{tool} --lenient: {converted} of {tried} exports converted")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
