#!/usr/bin/env python3
"""End-to-end runner for searchfilter: one data folder per case.

Each case folder holds the input files of one run (any of searchTreeName.txt,
searchTermsList.txt, foldersScratch.txt, filesScratch.txt and an existing
searchOutputList.txt), the bytes the output list must hold afterwards
(expected.txt) and optionally dirs.txt, naming files that are to be
directories instead. The binary runs twice in a fresh temporary directory; the
second run must append the same block again.

Usage: run_e2e.py --binary PATH [--emulator "wine"] [--cases-dir DIR] [CASE ...]
       run_e2e.py --list [--cases-dir DIR]
Under an emulator the environment is passed on unchanged (set WINEPREFIX,
WINEDEBUG=-all and so on before calling); its own chatter on stderr counts as
output and fails the case.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "support"))
from program_runs import (  # noqa: E402
    OUTPUT,
    Failure,
    add_program_options,
    check,
    check_entries,
    check_equal,
    check_unchanged,
    output_bytes,
    program_from_options,
    read_bytes,
    run_each,
    temp_folder,
    write_inputs,
)

EXPECTED_NAME = "expected.txt"
DIRS_NAME = "dirs.txt"
CONTROL_FILES = {EXPECTED_NAME, DIRS_NAME}
TIMEOUT_SECONDS = 60


def default_cases_dir():
    return os.path.join(HERE, "cases")


def list_cases(cases_dir):
    return sorted(
        name for name in os.listdir(cases_dir) if os.path.isdir(os.path.join(cases_dir, name))
    )


def read_dir_names(case_dir):
    path = os.path.join(case_dir, DIRS_NAME)
    if not os.path.isfile(path):
        return []
    with open(path, "r", encoding="utf-8") as f:
        return [line.strip() for line in f.read().splitlines() if line.strip()]


def prepare(case_dir, work_dir, dir_names):
    """Copies the case's inputs into work_dir; returns the bytes of every file copied."""
    copied = {}
    for name in sorted(os.listdir(case_dir)):
        source = os.path.join(case_dir, name)
        if name in CONTROL_FILES or name in dir_names or not os.path.isfile(source):
            continue
        copied[name] = read_bytes(source)
    write_inputs(work_dir, copied)
    for name in dir_names:
        os.mkdir(os.path.join(work_dir, name))
    return copied


def check_inputs(work_dir, copied, dir_names, label):
    check_entries(work_dir, set(copied) | set(dir_names) | {OUTPUT}, label)
    inputs = {name: data for name, data in copied.items() if name != OUTPUT}
    check_unchanged(work_dir, inputs, label)
    for name in dir_names:
        path = os.path.join(work_dir, name)
        check(os.path.isdir(path), "{}: directory {} is no longer a directory".format(label, name))
        if name != OUTPUT:
            check(not os.listdir(path), "{}: directory {} is no longer empty".format(label, name))


def check_output(work_dir, want, label):
    if want is None:
        path = os.path.join(work_dir, OUTPUT)
        check(os.path.isdir(path), "{}: {} is no longer a directory".format(label, OUTPUT))
        check(not os.listdir(path), "{}: something was written into {}".format(label, OUTPUT))
    else:
        got = output_bytes(work_dir)
        check(got is not None, "{}: {} was not written".format(label, OUTPUT))
        check_equal(got, want, "{}: {}".format(label, OUTPUT))


def run_case(case_dir, program):
    dir_names = read_dir_names(case_dir)
    expected_path = os.path.join(case_dir, EXPECTED_NAME)
    output_is_dir = OUTPUT in dir_names
    if os.path.isfile(expected_path):
        expected = read_bytes(expected_path)
    elif output_is_dir:
        expected = None
    else:
        raise Failure("case has no {}".format(EXPECTED_NAME))
    if output_is_dir and expected is not None:
        raise Failure("case makes {} a directory but has {}".format(OUTPUT, EXPECTED_NAME))

    with temp_folder("e2e") as work_dir:
        copied = prepare(case_dir, work_dir, dir_names)
        prior = copied.get(OUTPUT, b"")
        if expected is not None and not expected.startswith(prior):
            raise Failure("{} does not start with the existing {}".format(EXPECTED_NAME, OUTPUT))
        # The second run appends the same block again.
        wants = [expected, None if expected is None else expected + expected[len(prior) :]]
        for label, want in zip(("run 1", "run 2"), wants):
            program.run(work_dir, label, TIMEOUT_SECONDS)
            check_inputs(work_dir, copied, dir_names, label)
            check_output(work_dir, want, label)


def main(argv):
    parser = argparse.ArgumentParser(description="Run the searchfilter end-to-end cases.")
    add_program_options(parser)
    parser.add_argument("--cases-dir", default=default_cases_dir(), help="folder of case folders")
    parser.add_argument("--list", action="store_true", help="print the case names and exit")
    parser.add_argument("cases", nargs="*", metavar="CASE", help="cases to run (default: all)")
    args = parser.parse_args(argv)

    available = list_cases(args.cases_dir)
    if args.list:
        for name in available:
            print(name)
        return 0
    program = program_from_options(parser, args)

    def run_one(name):
        if name not in available:
            raise Failure("no such case in {}".format(args.cases_dir))
        run_case(os.path.join(args.cases_dir, name), program)

    return run_each(args.cases or available, run_one)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
