#!/usr/bin/env python3
"""The bad-input table: what each tool does with each kind of bad input.

  bad_input.py <source dir> <DKS2VKM> <SCENE2DKS> <SCENE2HXM> <tool> <row>
  bad_input.py <source dir> --inspector <vkminfo or hxminfo> <tool> <row>

Runs the built program in a scratch folder on a bad version of the example
scene and checks the last console line (exactly), the exit status, and what
happened to an output file that existed before the run. The README's table
is this file's CASES, row by row. Exit 77 (skipped) when a row cannot be set
up on this machine.
"""
import ctypes
import os
import random
import re
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile

SKIP = 77
OLD = b"an older output that a failed run must leave alone\n"
CUT_SHORT = "<any: a run ended by a signal loses what it had not flushed>"


def garbage(size):
    rng = random.Random(20261207)
    return bytes(rng.randrange(256) for _ in range(size))


def edit(text, old, new):
    if old not in text:
        raise SystemExit(f"fixture lacks {old!r}")
    return text.replace(old, new, 1)


def cut_mid_mesh(text):
    # In the middle of the second mesh's vertex list.
    second = text.index("*GEOMOBJECT", text.index("*GEOMOBJECT") + 1)
    vertices = text.index("*MESH_VERTEX ", second)
    return text[: text.index("\n", vertices + 200) + 1]


# Per tool: the example input, the arguments, the output name, and per row the
# input change, the expected last console line, exit status and the fate of an
# existing output ("untouched", "replaced", "absent": no output before or after).
TOOLS = {
    "DKS2VKM": {"input": "vehicle.ase", "args": ["vehicle.dks"], "output": "vehicle.vkm"},
    "SCENE2DKS": {"input": "vehicle.ase", "args": ["vehicle.ase"], "output": "vehicle.dks"},
    "SCENE2HXM": {"input": "brushes.ase", "args": ["brushes.ase"], "output": "brushes.hxm"},
}

CASES = {
    "DKS2VKM": {
        "missing": ("none.dks", "Error - Can't open DKS: none.dks!", 1, "absent"),
        "empty": ("script:", "Error - Can't open DKS: vehicle.dks!", 1, "untouched"),
        "read_only": (None, "Saving complete.\n", 0, "replaced"),
        "directory": ("script-dir", "Error - Can't open DKS: vehicle.dks!", 1, "untouched"),
        "garbage": ("input:garbage", "Error - Crap! Missing *MATERIAL_LIST...", 1, "untouched"),
        "cut_mid_mesh": ("input:cut", "Error in line 410 -Error in ASE file! *MESH_NUMVERTEX 96 needs more lines than the file holds!", 1, "untouched"),
        "absurd_count": ("input:count", "Error in line 173 -Error in ASE file! *MESH_NUMFACES 2000000000 needs more lines than the file holds!", 1, "untouched"),
        "index_out_of_range": ("input:index",
                               "Error in line 189 -Error in ASE file! Vertex index out of range in *MESH_FACE line!", 1,
                               "untouched"),
        "long_line": ("input:line", "Error in line 3 -Line too long (more than 4095 bytes)!", 1, "untouched"),
        "long_name": ("input:name", "Error in line 153 -Name too long (more than 255 characters)!", 1, "untouched"),
        "utf16": ("input:utf16", "Saving complete.\n", 0, "replaced"),
        "non_finite": ("input:nan", "Error in line 175 -Error in ASE file! Number out of range in *MESH_VERTEX line!", 1,
                       "untouched"),
        "blank_names": ("script:blanks", "Error in line 9 -NAME line holds more than one word: Left Hull!", 1,
                        "untouched"),
        "unwritable_dir": ("unwritable", "Error - Can't write VKM: vehicle.vkm!", 1, "untouched"),
        "disk_full": ("full", "Error - Can't write VKM: vehicle.vkm!", 1, "untouched"),
        "long_output_name": ("long-name", "Saving complete.\n", 0, "replaced"),
        "private_output": ("mode-600", "Saving complete.\n", 0, "replaced"),
        "interrupted": ("signal", CUT_SHORT, 143, "untouched"),
    },
    "SCENE2DKS": {
        "missing": ("none.ase", "Error opening file none.ase\r\n", 1, "absent"),
        "empty": ("input:empty", None, 0, "replaced"),
        "read_only": (None, None, 0, "replaced"),
        "directory": ("input-dir", "Error opening file vehicle.ase\r\n", 1, "untouched"),
        "garbage": ("input:garbage", None, 0, "replaced"),
        "cut_mid_mesh": ("input:cut", None, 0, "replaced"),
        "absurd_count": ("input:count", None, 0, "replaced"),
        "index_out_of_range": ("input:index", None, 0, "replaced"),
        "long_line": ("input:line", None, 0, "replaced"),
        "long_name": ("input:name", None, 0, "replaced"),
        "utf16": ("input:utf16", None, 0, "replaced"),
        "non_finite": ("input:nan", None, 0, "replaced"),
        "blank_names": ("input:blanks", None, 0, "replaced",
                        'vehicle.ase: warning: node name "Left Hull" holds a blank; DKS2VKM reads names as one word'),
        "unwritable_dir": ("unwritable", "Error writing file vehicle.dks: ", 1, "untouched"),
        "disk_full": ("full", "Error writing file vehicle.dks: ", 1, "untouched"),
        "long_output_name": ("long-name", None, 0, "replaced"),
        "private_output": ("mode-600", None, 0, "replaced"),
        "interrupted": ("signal", CUT_SHORT, 143, "untouched"),
    },
    "SCENE2HXM": {
        "missing": ("none.ase", "Unable to open file: \n", 254, "absent"),
        "empty": ("input:empty", "No meshes in file!\n", 255, "untouched"),
        "read_only": (None, "Done.\n", 0, "replaced"),
        "directory": ("input-dir", "Unable to open file: \n", 254, "untouched"),
        "garbage": ("input:garbage", "No meshes in file!\n", 255, "untouched"),
        "cut_mid_mesh": ("input:cut", "Mesh: Wedge01Error: Error in ASE file! *MESH_VERTEX expected! (line 203)", 254,
                         "untouched"),
        "absurd_count": ("input:count", "Mesh: Box01Error: Error in ASE file! Wrong numbers in *MESH_VERTEX line! (line 122)",
                         254, "untouched"),
        "index_out_of_range": ("input:index",
                               "Mesh: Box01Error: Error in ASE file! Vertex index out of range in *MESH_FACE line! (line 64)",
                               254, "untouched"),
        "long_line": ("input:line", "Done.\n", 0, "replaced"),
        "long_name": ("input:name", "Done.\n", 0, "replaced"),
        "utf16": ("input:utf16", "Done.\n", 0, "replaced"),
        "non_finite": ("input:nan", "Mesh: Box01Error: Error in ASE file! Number out of range in *MESH_VERTEX line! (line 54)",
                       254, "untouched"),
        "blank_names": ("input:blanks", "Done.\n", 0, "replaced"),
        "unwritable_dir": ("unwritable", "Error: Can't write HXM: brushes.hxm", 254, "untouched"),
        "disk_full": ("full", "Error: Can't write HXM: brushes.hxm", 254, "untouched"),
        "long_output_name": ("long-name", "Done.\n", 0, "replaced"),
        "private_output": ("mode-600", "Done.\n", 0, "replaced"),
        "interrupted": ("signal", CUT_SHORT, 143, "untouched"),
    },
}

# The inspectors (bad_input.py <source dir> --inspector <program> <tool> <row>):
# a valid model from the fuzz seeds, and per row the file given, the expected
# standard-error line (exactly) and exit status. "model.*" names the copied
# model, changed as the row's setup says; nothing goes to standard output.
INSPECTORS = {"vkminfo": "fuzz/corpus/vkm_reader/camera_and_light.vkm", "hxminfo": "fuzz/corpus/hxm_reader/format2.hxm"}
MODEL_LIMIT = (1 << 32) + (1 << 20)  # bytes: larger files are no models

INSPECTOR_CASES = {
    "vkminfo": {
        "missing": ("none.vkm", "vkminfo: none.vkm: cannot open", 1),
        "directory": ("model.vkm", "vkminfo: model.vkm: is a directory or device, not a file", 1),
        "device": ("/dev/zero", "vkminfo: /dev/zero: is a directory or device, not a file", 1),
        "read_error": ("/proc/self/mem", "vkminfo: /proc/self/mem: cannot be read: Input/output error", 1),
        "too_large": ("model.vkm", f"vkminfo: model.vkm: is too large (more than {MODEL_LIMIT} bytes)", 1),
        "garbage": ("model.vkm", "vkminfo: model.vkm: malformed VKM file at offset 0: not a VKM file (no VKM2 magic)", 1),
        "output_full": ("model.vkm", "vkminfo: cannot write the output: No space left on device", 1),
    },
    "hxminfo": {
        "missing": ("none.hxm", "hxminfo: none.hxm: cannot open the file", 1),
        "directory": ("model.hxm", "hxminfo: model.hxm: is a directory or device, not a file", 1),
        "device": ("/dev/zero", "hxminfo: /dev/zero: is a directory or device, not a file", 1),
        "read_error": ("/proc/self/mem", "hxminfo: /proc/self/mem: cannot be read: Input/output error", 1),
        "too_large": ("model.hxm", f"hxminfo: model.hxm: is too large (more than {MODEL_LIMIT} bytes)", 1),
        "garbage": ("model.hxm",
                    "hxminfo: model.hxm: malformed HXM file at offset 0: not an HXM file (magic is not \"HXM\\0\")", 1),
        "output_full": ("model.hxm", "hxminfo: cannot write the output: No space left on device", 1),
    },
}


def inspect(source, program, tool, row):
    name, expected_error, expected_status = INSPECTOR_CASES[tool][row]
    with tempfile.TemporaryDirectory() as work:
        model = os.path.join(work, "model" + os.path.splitext(INSPECTORS[tool])[1])
        shutil.copy(os.path.join(source, INSPECTORS[tool]), model)
        if name.startswith("/") and not os.path.exists(name):
            return SKIP
        if row == "directory":
            os.remove(model)
            os.mkdir(model)
        elif row == "too_large":
            try:
                os.truncate(model, MODEL_LIMIT + 1)  # sparse: no disk space used
            except OSError:
                return SKIP
        elif row == "garbage":
            open(model, "wb").write(garbage(4096))
        output = subprocess.PIPE
        if row == "output_full":
            if not os.path.exists("/dev/full"):
                return SKIP
            output = open("/dev/full", "wb")
        run = subprocess.run([os.path.abspath(program), name], cwd=work, stdout=output, stderr=subprocess.PIPE,
                             timeout=60)
        failures = []
        if run.returncode != expected_status:
            failures.append(f"exit status {run.returncode}, expected {expected_status}")
        if run.stderr.decode("latin-1") != expected_error + "\n":
            failures.append(f"standard error {run.stderr!r}, expected {expected_error!r}")
        if run.stdout:
            failures.append(f"standard output is not empty: {run.stdout[:200]!r}")
        for failure in failures:
            print(f"{tool} {row}: {failure}")
        return 1 if failures else 0


def large_input(tool, run_dir):
    """Rewrites the input so that the output is about 8 MB: a write long enough to be interrupted."""
    if tool == "DKS2VKM":
        script = open(os.path.join(run_dir, "vehicle.dks")).read()
        elements = "".join(f"ELEMENT MESH\nNAME Hull{i}\nLOD0 Hull\nPARENT NONE\n\n" for i in range(4000))
        open(os.path.join(run_dir, "vehicle.dks"), "w").write(script[:script.index("ELEMENTS")] + "ELEMENTS 4000\n\n" + elements)
    elif tool == "SCENE2DKS":
        objects = "".join(f'*GEOMOBJECT {{\n\t*NODE_NAME "Part{i}"\n}}\n' for i in range(150000))
        open(os.path.join(run_dir, "vehicle.ase"), "w").write("*3DSMAX_ASCIIEXPORT\t200\n" + objects)
    else:
        brush = ('*GEOMOBJECT {\n*NODE_NAME "B"\n*TM_ROW0 1 0 0\n*TM_ROW1 0 1 0\n*TM_ROW2 0 0 1\n*TM_POS 0 0 0\n'
                 '*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n*MESH_VERTEX_LIST {\n*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 1 1 0 0\n'
                 '*MESH_VERTEX 2 0 1 0\n}\n*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 1 C: 2\n}\n}\n')
        open(os.path.join(run_dir, "brushes.ase"), "w").write("*3DSMAX_ASCIIEXPORT\t200\n" + brush * 40000)


def run_interrupted(command, run_dir, output, out_dir):
    """Runs the tool and sends it SIGTERM the moment it creates its temporary
    file (inotify). None when the signal came too late: the output was
    already replaced (a busy machine)."""
    libc = ctypes.CDLL(None, use_errno=True)
    watch = libc.inotify_init1(os.O_CLOEXEC)
    if watch < 0 or libc.inotify_add_watch(watch, run_dir.encode(), 0x100) < 0:  # IN_CREATE
        raise OSError(ctypes.get_errno(), "inotify")
    with open(os.path.join(out_dir, "stdout"), "w+b") as out, open(os.path.join(out_dir, "stderr"), "w+b") as err:
        process = subprocess.Popen(command, cwd=run_dir, stdout=out, stderr=err)
        while process.poll() is None:
            if select.select([watch], [], [], 0.05)[0]:
                process.send_signal(signal.SIGTERM)
                break
        process.wait(timeout=60)
        os.close(watch)
        if open(output, "rb").read() != OLD:
            return None
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(command, process.returncode, out.read(), err.read())


def bad_input(tool, kind, text):
    if kind == "empty":
        return b""
    if kind == "garbage":
        return garbage(4096)
    if kind == "cut":
        return cut_mid_mesh(text).encode()
    if kind == "count":
        return edit(text, "*MESH_NUMFACES 20\n" if tool != "SCENE2HXM" else "*MESH_NUMVERTEX 8\n",
                    "*MESH_NUMFACES 2000000000\n" if tool != "SCENE2HXM" else "*MESH_NUMVERTEX 2000000000\n").encode()
    if kind == "index":
        return edit(text, "A:    0 B:", "A:  999 B:").encode()
    if kind == "line":
        lines = text.split("\n")
        return "\n".join(lines[:2] + ["*COMMENT " + "x" * 100000] + lines[2:]).encode()
    if kind == "utf16":
        return text.encode("utf-16")  # with its byte-order mark
    if kind == "nan":
        return edit(text, "*MESH_VERTEX    0\t", "*MESH_VERTEX    0\tnan ").encode()
    if kind == "blanks":
        name = "Hull" if tool != "SCENE2HXM" else "Box01"
        return text.replace(f'"{name}"', f'"Left {name}"').encode()
    if kind == "name":
        name = "Hull" if tool != "SCENE2HXM" else "Box01"
        return text.replace(f'"{name}"', '"' + "N" * 300 + '"').encode()
    raise SystemExit(f"unknown change {kind}")


def main():
    if sys.argv[2] == "--inspector":
        return inspect(sys.argv[1], *sys.argv[3:6])
    source, binaries, tool, row = sys.argv[1], dict(zip(TOOLS, sys.argv[2:5])), sys.argv[5], sys.argv[6]
    setup = TOOLS[tool]
    change, expected_line, expected_status, fate, *expected_error = CASES[tool][row]
    program = os.path.abspath(binaries[tool])
    with tempfile.TemporaryDirectory() as work:
        os.chmod(work, 0o755)
        run_dir = os.path.join(work, "run")
        os.mkdir(run_dir)
        for name in ("vehicle.ase", "vehicle.dks", "brushes.ase"):
            shutil.copy(os.path.join(source, "examples", name), run_dir)
        args = list(setup["args"])
        output = os.path.join(run_dir, setup["output"])
        text = open(os.path.join(run_dir, setup["input"]), encoding="latin-1").read()
        as_user = None
        limits = None
        if change and change.startswith("input:"):
            open(os.path.join(run_dir, setup["input"]), "wb").write(bad_input(tool, change[6:], text))
        elif change == "script:":
            open(os.path.join(run_dir, "vehicle.dks"), "wb").write(b"")
        elif change == "script:blanks":
            script = open(os.path.join(run_dir, "vehicle.dks"), encoding="latin-1").read()
            open(os.path.join(run_dir, "vehicle.dks"), "w").write(edit(script, "NAME Hull", "NAME Left Hull"))
        elif change in ("input-dir", "script-dir"):
            victim = os.path.join(run_dir, setup["input"] if change == "input-dir" else "vehicle.dks")
            os.remove(victim)
            os.mkdir(victim)
        elif change == "unwritable":
            if os.geteuid() == 0:
                if shutil.which("setpriv") is None:
                    return SKIP
                # Permission bits do not bind root: run as nobody instead.
                as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        elif change == "long-name":
            # The output's name is 255 bytes, the longest most file systems accept.
            stem, extension = "n" * 251, os.path.splitext(args[0])[1]
            os.rename(os.path.join(run_dir, args[0]), os.path.join(run_dir, stem + extension))
            args = [stem + extension]
            output = os.path.join(run_dir, stem + os.path.splitext(setup["output"])[1])
        elif change == "full":
            limits = 100  # bytes: every output here is larger
        elif change == "signal":
            large_input(tool, run_dir)
        elif change == "mode-600":
            pass  # set on the existing output below
        elif change is not None:
            args = [change]
            output = os.path.join(run_dir, os.path.splitext(change)[0] + os.path.splitext(setup["output"])[1])
        if row == "read_only":
            for name in os.listdir(run_dir):
                os.chmod(os.path.join(run_dir, name), 0o444)
        if fate != "absent":
            with open(output, "wb") as f:
                f.write(OLD)
            os.chmod(output, 0o600 if change == "mode-600" else 0o644)
        if change == "unwritable":
            os.chmod(run_dir, 0o555)

        def limit():
            if limits is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (limits, limits))

        if change == "signal":
            for attempt in range(3):
                run = run_interrupted([program, *args], run_dir, output, work)
                if run is not None:
                    break
                with open(output, "wb") as f:
                    f.write(OLD)
            else:
                print(f"{tool} {row}: the signal came after the output was replaced three times")
                return SKIP
        else:
            run = subprocess.run((as_user or []) + [program, *args], cwd=run_dir, capture_output=True, timeout=60,
                                 preexec_fn=limit)
        os.chmod(run_dir, 0o755)
        failures = []
        status = run.returncode if run.returncode >= 0 else 128 - run.returncode
        if status != expected_status:
            failures.append(f"exit status {status}, expected {expected_status}")
        out = run.stdout.decode("latin-1")
        last = out[out.rfind("\n", 0, len(out) - 1) + 1:] if out.endswith("\n") else out[out.rfind("\n") + 1:]
        if expected_line not in (None, CUT_SHORT) and not last.startswith(expected_line):
            failures.append(f"last console line {last!r}, expected {expected_line!r}")
        if expected_line is None and out:
            failures.append(f"expected no console output, got {out!r}")
        errors = run.stderr.decode("latin-1")
        if expected_error and expected_error[0] not in errors:
            failures.append(f"standard error {errors!r} lacks {expected_error[0]!r}")
        if not expected_error and expected_status == 0 and errors:
            failures.append(f"standard error is not empty: {errors!r}")
        # A failure names its file (and line, where it has one) on standard error.
        if 0 < expected_status < 128 and not re.match(r"[^:\n]+(:\d+)?: error: ", errors):
            failures.append(f"standard error does not begin with a '<file>: error:' line: {errors!r}")
        exists = os.path.exists(output)
        content = open(output, "rb").read() if exists else None
        if fate == "absent" and exists:
            failures.append(f"{output} was written")
        if fate == "untouched" and content != OLD:
            failures.append(f"{output} was changed")
        if fate == "replaced" and (content is None or content == OLD):
            failures.append(f"{output} was not written")
        if change == "mode-600" and exists and os.stat(output).st_mode & 0o7777 != 0o600:
            failures.append(f"{output} has mode {os.stat(output).st_mode & 0o7777:o}, expected 600")
        # The inputs hold no hidden files: any is a temporary file left behind.
        leftovers = [n for n in os.listdir(run_dir) if n.startswith(".") or n.startswith(os.path.basename(output) + ".")]
        if leftovers:
            failures.append(f"temporary files left: {leftovers}")
        for failure in failures:
            print(f"{tool} {row}: {failure}")
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
