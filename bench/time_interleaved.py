#!/usr/bin/env python3
"""Times shell commands in interleaved rounds: each round runs every command
once, in the order given, so that a machine that speeds up or slows down
during the measurement moves all of them alike. hyperfine runs all of one
command's runs before the next command's: on a virtual machine whose speed
drifts by a factor of two over minutes, a difference of two of its medians
(a run and the same program's run in an empty folder) can come out negative.

    time_interleaved.py --rounds N --export-json FILE \\
        [--prepare CMD] -n NAME COMMAND [[--prepare CMD] -n NAME COMMAND ...]

A first round, untimed, warms up. Each command, and its --prepare command
(untimed, run just before it), runs under bash. The JSON has hyperfine's
shape as far as bench_report reads it:
per command its median wall time and its mean user and system CPU time (of
bash and every process it waits for), in seconds, and every run's wall time.
A command that fails stops the measurement (exit 1)."""

import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def parse(argv):
    rounds, out, commands, prepare, name = None, None, [], None, None
    i = 0
    while i < len(argv):
        arg = argv[i]
        if arg in ("--rounds", "--export-json", "--prepare", "-n"):
            if i + 1 >= len(argv):
                sys.exit("time_interleaved: %s needs a value" % arg)
            value = argv[i + 1]
            if arg == "--rounds":
                rounds = int(value)
            elif arg == "--export-json":
                out = value
            elif arg == "--prepare":
                prepare = value
            else:
                name = value
            i += 2
            continue
        if name is None:
            sys.exit("time_interleaved: command %r has no -n NAME" % arg)
        commands.append({"name": name, "command": arg, "prepare": prepare})
        prepare, name = None, None
        i += 1
    if not rounds or rounds < 1 or out is None or not commands:
        sys.exit(__doc__)
    return rounds, out, commands


def run(command, errors, cwd=None):
    """Its exit code. What it writes to stderr goes to `errors`, a file (Wine's
    background processes would hold a pipe open), emptied by the caller."""
    return subprocess.run(["bash", "-c", command], cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=errors).returncode


def failed(name, rc, errors):
    """Shows what the failed command wrote to stderr and stops (exit 1)."""
    errors.seek(0)
    sys.stderr.write(errors.read()[-2000:].decode("utf-8", "replace"))
    tool = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    sys.exit("%s: %s failed (exit %d)" % (tool, name, rc))


def main():
    rounds, out, commands = parse(sys.argv[1:])
    for c in commands:
        c.update(times=[], user=[], system=[])
    errors = tempfile.TemporaryFile()
    for round_number in range(rounds + 1):  # the first round warms up, untimed
        for c in commands:
            errors.seek(0)
            errors.truncate()
            if c["prepare"] is not None:
                rc = run(c["prepare"], errors)
                if rc != 0:
                    failed("prepare of " + c["name"], rc, errors)
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            rc = run(c["command"], errors)
            wall = time.perf_counter() - start
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            if rc != 0:
                failed(c["name"], rc, errors)
            if round_number == 0:
                continue
            c["times"].append(wall)
            c["user"].append(after.ru_utime - before.ru_utime)
            c["system"].append(after.ru_stime - before.ru_stime)
    results = [{"command": c["name"], "median": statistics.median(c["times"]),
                "mean": statistics.fmean(c["times"]), "user": statistics.fmean(c["user"]),
                "system": statistics.fmean(c["system"]), "times": c["times"]}
               for c in commands]
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"rounds": rounds, "results": results}, f, indent=1)


if __name__ == "__main__":
    main()
