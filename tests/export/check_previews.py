#!/usr/bin/env python3
"""Runs vkminfo --png and hxminfo --png as a user would: the PNG's header has
the asked size (8-bit RGB) and no chunk that would vary between runs, two runs
give the same bytes, --png and --gltf work in one run, and a bad --size or an
output naming the input is refused with a message, writing nothing.

usage: check_previews.py <vkminfo> <hxminfo> <source dir>
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

BAD_SIZES = ["0x600", "800x0", "800", "x", "axb", "16385x100", "100x16385", "16384x16384", "-1x5", "5x5x5"]
failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)


def chunks(path):
    data = open(path, "rb").read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: no PNG signature")
    at, found = 8, []
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        crc = struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0]
        check(zlib.crc32(kind + body) == crc, f"{path}: bad CRC in {kind}")
        found.append((kind, body))
        at += 12 + length
    return found


def header(path):
    """(width, height, bit depth, colour type) of the PNG, after checking its chunks."""
    found = chunks(path)
    kinds = [k for k, _ in found]
    check(kinds[0] == b"IHDR" and kinds[-1] == b"IEND", f"{path}: chunks {kinds}")
    check(not {b"tIME", b"tEXt", b"zTXt", b"iTXt"} & set(kinds), f"{path}: chunks {kinds}")
    return struct.unpack(">IIBB", found[0][1][:10])


def run(*args, cwd):
    return subprocess.run(list(args), cwd=cwd, capture_output=True, text=True)


def main():
    vkminfo, hxminfo, source = map(os.path.abspath, sys.argv[1:4])
    vkm = os.path.join(source, "tests/golden/DKS2VKM/vehicle/out/vehicle.vkm")
    hxm = os.path.join(source, "tests/golden/SCENE2HXM/example_brushes_format1/out/brushes.hxm")
    with tempfile.TemporaryDirectory() as work:
        for tool, model in ((vkminfo, vkm), (hxminfo, hxm)):
            name = os.path.basename(tool)
            result = run(tool, "--png", "a.png", model, cwd=work)
            check(result.returncode == 0 and f"{name}: wrote a.png" in result.stderr, f"{name}: {result.stderr}")
            check(header(os.path.join(work, "a.png")) == (800, 600, 8, 2), f"{name}: default size")
            run(tool, model, "--png", "b.png", cwd=work)
            check(open(os.path.join(work, "a.png"), "rb").read() == open(os.path.join(work, "b.png"), "rb").read(),
                  f"{name}: two runs differ")
            result = run(tool, "--gltf", "c.glb", "--size", "321x123", "--png", "c.png", model, cwd=work)
            check(result.returncode == 0, f"{name} --gltf --png: {result.stderr}")
            check(header(os.path.join(work, "c.png")) == (321, 123, 8, 2), f"{name}: --size 321x123")
            check(open(os.path.join(work, "c.glb"), "rb").read(4) == b"glTF", f"{name}: no GLB beside the PNG")

            for size in BAD_SIZES:
                result = run(tool, "--png", "bad.png", "--size", size, model, cwd=work)
                check(result.returncode == 2 and f"{name}: --size {size}: expected WIDTHxHEIGHT" in result.stderr
                      and result.stdout == "", f"{name} --size {size}: {result.returncode} {result.stderr}")
            check(run(tool, "--size", "10x10", model, cwd=work).returncode == 2, f"{name}: --size without --png")
            before = open(model, "rb").read()
            copy = os.path.join(work, "input")
            shutil.copy(model, copy)
            for view in ("--png", "--gltf"):
                result = run(tool, view, "./input", copy, cwd=work)
                check(result.returncode == 1 and "would replace the input" in result.stderr, f"{name}: {result.stderr}")
                check(open(copy, "rb").read() == before, f"{name} {view}: the input was replaced")
            check(not os.path.exists(os.path.join(work, "bad.png")), f"{name}: a refused run wrote a file")
    for f in failures:
        print("FAIL:", f)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
