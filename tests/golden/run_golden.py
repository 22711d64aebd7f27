#!/usr/bin/env python3
"""Runs one golden case against a built program and compares every byte.

A case folder holds:
  args      the program's arguments, one per line (may be absent: no arguments)
  in/       files copied into an empty working directory before the run
  stdout    the expected standard output, byte for byte
  stderr    the expected standard error (the diagnostics); absent: it must be empty
  status    the expected exit status as a decimal number (e.g. 0, 1, 254)
  out/      files that must exist after the run with exactly these bytes
  absent    names (one per line) that must not exist after the run
Any other file that appears in the working directory fails the case.

With UPDATE_GOLDEN=1 the expected stdout, status and out/ files are rewritten
from the run instead (out/ only for names already listed there; stderr only
when the run wrote any). Read the diff
through tools/ dumps before committing such a change.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile


def first_difference(expected: bytes, actual: bytes) -> str:
    for i, (a, b) in enumerate(zip(expected, actual)):
        if a != b:
            return f"first difference at offset {i}: expected {a:#04x}, got {b:#04x}"
    return f"lengths differ: expected {len(expected)} bytes, got {len(actual)}"


def main() -> int:
    program, case = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    # Further arguments are options that must not change a successful clean
    # run (--lenient): the case is skipped when it fails or warns.
    extra = sys.argv[3:]
    update = os.environ.get("UPDATE_GOLDEN") == "1" and not extra
    args_file = case / "args"
    args = args_file.read_text().splitlines() if args_file.exists() else []
    if extra and ((case / "stderr").exists() or (case / "status").read_text().strip() != "0" or not args):
        return 77
    args += extra
    failures = []
    with tempfile.TemporaryDirectory() as work:
        work_dir = pathlib.Path(work)
        if (case / "in").is_dir():
            shutil.copytree(case / "in", work_dir, dirs_exist_ok=True)
        inputs = {str(p.relative_to(work_dir)) for p in work_dir.rglob("*") if p.is_file()}
        run = subprocess.run([str(program.resolve()), *args], cwd=work_dir, capture_output=True, timeout=120)

        expected_status_file = case / "status"
        if update:
            expected_status_file.write_text(f"{run.returncode}\n")
        expected_status = int(expected_status_file.read_text().strip())
        if run.returncode != expected_status:
            failures.append(f"exit status: expected {expected_status}, got {run.returncode}")

        stdout_file = case / "stdout"
        if update:
            stdout_file.write_bytes(run.stdout)
        expected_stdout = stdout_file.read_bytes()
        if run.stdout != expected_stdout:
            failures.append("stdout: " + first_difference(expected_stdout, run.stdout)
                            + "\n--- got ---\n" + run.stdout.decode("latin-1"))
        stderr_file = case / "stderr"
        if update:
            if run.stderr:
                stderr_file.write_bytes(run.stderr)
            elif stderr_file.exists():
                stderr_file.unlink()
        expected_stderr = stderr_file.read_bytes() if stderr_file.exists() else b""
        if run.stderr != expected_stderr:
            failures.append("stderr: " + first_difference(expected_stderr, run.stderr)
                            + "\n--- got ---\n" + run.stderr.decode("latin-1"))

        out_dir = case / "out"
        if out_dir.is_dir():
            for expected_file in sorted(p for p in out_dir.rglob("*") if p.is_file()):
                name = expected_file.relative_to(out_dir)
                produced = work_dir / name
                if not produced.exists():
                    failures.append(f"{name}: not written")
                    continue
                if update:
                    expected_file.write_bytes(produced.read_bytes())
                if produced.read_bytes() != expected_file.read_bytes():
                    failures.append(f"{name}: " + first_difference(expected_file.read_bytes(), produced.read_bytes()))

        absent_file = case / "absent"
        if absent_file.exists():
            for name in absent_file.read_text().split():
                if (work_dir / name).exists():
                    failures.append(f"{name}: must not exist after the run")
        # Anything else in the working directory (a temporary file left behind,
        # an output the case does not expect) is a failure.
        known = set(inputs)
        if out_dir.is_dir():
            known |= {str(p.relative_to(out_dir)) for p in out_dir.rglob("*") if p.is_file()}
        produced_files = {str(p.relative_to(work_dir)) for p in work_dir.rglob("*") if p.is_file()}
        unexpected = sorted(produced_files - known)
        if unexpected:
            failures.append(f"unexpected files after the run: {unexpected}")

    for failure in failures:
        print(f"{case.name}: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
