#!/usr/bin/env python3
"""Every failing run on a real export says where: a '<file>:<line>: error:' line
on standard error whose file is one the run read and whose line exists in it.

  corpus_diagnostics.py <corpus dir> <DKS2VKM> <SCENE2DKS> <SCENE2HXM> [extra args...]

Runs SCENE2DKS, then DKS2VKM on the script it wrote, and SCENE2HXM, on a copy of
each export. Exit 77 (skipped) without the corpus.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

ERROR = re.compile(r"^(.+?):(\d+): error: ", re.M)


def line_count(path):
    data = open(path, "rb").read()
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        data = data.decode("utf-16").encode("latin-1", "replace")
    return max(data.count(b"\n"), data.count(b"\r")) + 1


def main():
    corpus, dks2vkm, scene2dks, scene2hxm, *extra = sys.argv[1:]
    if not os.path.isdir(corpus):
        print(f"no corpus at {corpus}")
        return 77
    failures, failing, runs = [], 0, 0
    for name in sorted(os.listdir(corpus)):
        if not name.lower().endswith(".ase"):
            continue
        with tempfile.TemporaryDirectory() as work:
            shutil.copy(os.path.join(corpus, name), work)
            subprocess.run([scene2dks, name], cwd=work, capture_output=True, timeout=120)
            script = os.path.splitext(name)[0] + ".dks"
            for command in ([dks2vkm, script, *extra], [scene2hxm, name, *extra]):
                run = subprocess.run(command, cwd=work, capture_output=True, timeout=120)
                runs += 1
                if run.returncode == 0:
                    continue
                failing += 1
                errors = run.stderr.decode("latin-1")
                located = [(f, int(n)) for f, n in ERROR.findall(errors)
                           if os.path.isfile(os.path.join(work, f)) and 1 <= int(n) <= line_count(os.path.join(work, f))]
                if not located:
                    failures.append(f"{os.path.basename(command[0])} {name}: no error at a line of a file it read:\n{errors}")
    for failure in failures:
        print(failure)
    print(f"{runs} runs, {failing} failing, {len(failures)} without a located error")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
