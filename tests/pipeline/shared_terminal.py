#!/usr/bin/env python3
"""On one terminal for both streams, a diagnostic starts on a line of its own
after console text that left its line open; piped, standard output is the
console text alone, byte for byte.

  shared_terminal.py <DKS2VKM>
"""
import os
import pty
import subprocess
import sys
import tempfile


def main():
    program = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as work:
        leader, follower = pty.openpty()
        run = subprocess.Popen([program, "none.dks"], cwd=work, stdin=follower, stdout=follower, stderr=follower)
        os.close(follower)
        seen = b""
        while True:
            try:
                chunk = os.read(leader, 4096)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
        run.wait()
        seen = seen.replace(b"\r\n", b"\n")
        expected = b"Error - Can't open DKS: none.dks!\nnone.dks: error: Can't open DKS: none.dks!\n"
        piped = subprocess.run([program, "none.dks"], cwd=work, capture_output=True)
    failures = []
    if not seen.endswith(expected):
        failures.append(f"terminal got {seen!r}")
    if not piped.stdout.endswith(b"Error - Can't open DKS: none.dks!"):
        failures.append(f"piped standard output {piped.stdout!r}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
