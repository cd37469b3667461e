#!/usr/bin/env python3
"""Times builds of the filter by their own clock: each command is a
repeat_runs (bench/repeat_runs.cpp) that runs the whole filter RUNS times in
one process and writes each run's time to repeat_times.txt in the folder.
Rounds are interleaved as in time_interleaved.py; within a round a command's
time is the median of its runs after the first. Under Wine a process's
start-up varied by tens of milliseconds from one run to the next, which left
the time beyond it unmeasurable from whole runs; this leaves it out.

    time_in_process.py --rounds N --runs K --folder DIR --export-json FILE \\
        -n NAME COMMAND [-n NAME COMMAND ...]

Each COMMAND runs under bash in DIR with " K repeat_times.txt" appended;
searchOutputList.txt is removed before it. The JSON holds per command the
median over the rounds, and per round its time; the first command is the
one the others are compared with (their ratio to it, round by round).
A command that fails stops the measurement (exit 1)."""

import json
import os
import statistics
import sys
import tempfile

from time_interleaved import failed, run

TIMES = "repeat_times.txt"


def parse(argv):
    opts, commands, name = {}, [], None
    i = 0
    while i < len(argv):
        arg = argv[i]
        if i + 1 >= len(argv):
            sys.exit(__doc__)
        if arg in ("--rounds", "--runs", "--folder", "--export-json"):
            opts[arg] = argv[i + 1]
        elif arg == "-n":
            name = argv[i + 1]
        else:
            sys.exit(__doc__)
        i += 2
        if arg == "-n":
            if i >= len(argv):
                sys.exit(__doc__)
            commands.append({"name": name, "command": argv[i], "rounds": []})
            i += 1
    if len(opts) != 4 or not commands or int(opts["--runs"]) < 2:
        sys.exit(__doc__)
    return int(opts["--rounds"]), int(opts["--runs"]), opts["--folder"], opts["--export-json"], \
        commands


def main():
    rounds, runs, folder, out, commands = parse(sys.argv[1:])
    errors = tempfile.TemporaryFile()
    for round_number in range(rounds + 1):  # the first round warms up, untimed
        for c in commands:
            for name in ("searchOutputList.txt", TIMES):
                path = os.path.join(folder, name)
                if os.path.exists(path):
                    os.remove(path)
            errors.seek(0)
            errors.truncate()
            rc = run("%s %d %s" % (c["command"], runs, TIMES), errors, cwd=folder)
            if rc != 0:
                failed(c["name"], rc, errors)
            with open(os.path.join(folder, TIMES), encoding="utf-8") as f:
                times = [float(line) / 1000 for line in f if line.strip()]
            if len(times) != runs:
                sys.exit("time_in_process: %s wrote %d times" % (c["name"], len(times)))
            if round_number > 0:
                c["rounds"].append(statistics.median(times[1:]))
    base = commands[0]["rounds"]
    results = []
    for c in commands:
        ratios = [a / b for a, b in zip(c["rounds"], base)]
        results.append({"command": c["name"], "median": statistics.median(c["rounds"]),
                        "rounds": c["rounds"], "ratio": statistics.median(ratios),
                        "ratio_quartiles": statistics.quantiles(ratios, n=4)
                        if len(ratios) > 1 else [ratios[0]] * 3})
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"rounds": rounds, "runs": runs, "results": results}, f, indent=1)


if __name__ == "__main__":
    main()
