#!/usr/bin/env python3
"""Compiles the README's C# example with Mono and runs it against a native searchfilter.

    run_csharp_example.py --filter build/debug/searchfilter

The example writes the lists of examples/typical, runs the filter and prints the kept
lines; they must be the ones the typical_run case expects.
"""

import argparse
import os
import shutil
import subprocess
import sys

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO_ROOT, "tests", "support"))
from program_runs import temp_folder  # noqa: E402

SOURCE = os.path.join(REPO_ROOT, "examples", "csharp", "CallSearchfilter.cs")
EXPECTED = os.path.join(REPO_ROOT, "tests", "e2e", "cases", "typical_run", "expected.txt")
TIMEOUT_SECONDS = 120


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--filter", required=True, help="the native searchfilter")
    args = parser.parse_args(argv)
    missing = [tool for tool in ("mcs", "mono") if not shutil.which(tool)]
    if missing:
        print(f"FAIL: {' and '.join(missing)} not found (apt-get install -y mono-mcs)")
        return 1
    with open(EXPECTED, "rb") as f:
        want = f.read().split(b"\n", 1)[1]  # the kept lines, without the header line
    with temp_folder("csharp-example") as work:
        program = os.path.join(work, "CallSearchfilter.exe")
        folder = os.path.join(work, "lists")
        os.mkdir(folder)
        subprocess.run(["mcs", "-warnaserror", f"-out:{program}", SOURCE], check=True)
        # Mono's console writes the locale's character set.
        env = dict(os.environ, LC_ALL="C.UTF-8")
        result = subprocess.run(
            ["mono", program, os.path.abspath(args.filter), folder],
            capture_output=True,
            env=env,
            timeout=TIMEOUT_SECONDS,
        )
    if result.returncode != 0 or result.stdout != want or result.stderr:
        print(f"FAIL: exit {result.returncode}, stdout {result.stdout!r} (want {want!r}),")
        print(f"      stderr {result.stderr!r}")
        return 1
    print("PASS csharp_example")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
