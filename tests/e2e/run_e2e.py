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
import shlex
import shutil
import subprocess
import sys
import tempfile

OUTPUT_NAME = "searchOutputList.txt"
EXPECTED_NAME = "expected.txt"
DIRS_NAME = "dirs.txt"
CONTROL_FILES = {EXPECTED_NAME, DIRS_NAME}
TIMEOUT_SECONDS = 60


class CaseFailure(Exception):
    pass


def default_cases_dir():
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases")


def list_cases(cases_dir):
    return sorted(
        name for name in os.listdir(cases_dir) if os.path.isdir(os.path.join(cases_dir, name))
    )


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def hex_bytes(data):
    return data.hex(" ") if data else "(nothing)"


def first_difference(actual, expected):
    """A short description of where two byte strings first differ."""
    limit = min(len(actual), len(expected))
    pos = next((i for i in range(limit) if actual[i] != expected[i]), limit)
    start = max(0, pos - 8)
    return "first difference at byte {} (got {} bytes, want {}): got [{}] want [{}]".format(
        pos,
        len(actual),
        len(expected),
        hex_bytes(actual[start : pos + 16]),
        hex_bytes(expected[start : pos + 16]),
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
        shutil.copyfile(source, os.path.join(work_dir, name))
        copied[name] = read_bytes(source)
    for name in dir_names:
        os.mkdir(os.path.join(work_dir, name))
    return copied


def run_binary(command, work_dir, label):
    try:
        result = subprocess.run(
            command,
            cwd=work_dir,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            timeout=TIMEOUT_SECONDS,
        )
    except subprocess.TimeoutExpired:
        raise CaseFailure("{}: timed out after {} s".format(label, TIMEOUT_SECONDS))
    except OSError as error:
        raise CaseFailure("{}: could not start: {}".format(label, error))
    if result.returncode != 0:
        raise CaseFailure("{}: exit code {}, want 0".format(label, result.returncode))
    if result.stdout:
        raise CaseFailure("{}: wrote to stdout: {!r}".format(label, result.stdout[:200]))
    if result.stderr:
        raise CaseFailure("{}: wrote to stderr: {!r}".format(label, result.stderr[:200]))


def check_inputs(work_dir, copied, dir_names, label):
    expected_entries = set(copied) | set(dir_names) | {OUTPUT_NAME}
    actual_entries = set(os.listdir(work_dir))
    extra = sorted(actual_entries - expected_entries)
    if extra:
        raise CaseFailure("{}: left unexpected entries {}".format(label, extra))
    for name, before in copied.items():
        if name == OUTPUT_NAME:
            continue
        path = os.path.join(work_dir, name)
        if not os.path.isfile(path):
            raise CaseFailure("{}: input {} is gone".format(label, name))
        after = read_bytes(path)
        if after != before:
            raise CaseFailure(
                "{}: input {} changed: {}".format(label, name, first_difference(after, before))
            )
    for name in dir_names:
        path = os.path.join(work_dir, name)
        if not os.path.isdir(path):
            raise CaseFailure("{}: directory {} is no longer a directory".format(label, name))
        if name != OUTPUT_NAME and os.listdir(path):
            raise CaseFailure("{}: directory {} is no longer empty".format(label, name))


def check_output(work_dir, want, label):
    path = os.path.join(work_dir, OUTPUT_NAME)
    if not os.path.isfile(path):
        raise CaseFailure("{}: {} was not written".format(label, OUTPUT_NAME))
    got = read_bytes(path)
    if got != want:
        raise CaseFailure("{}: {} {}".format(label, OUTPUT_NAME, first_difference(got, want)))


def check_output_directory(work_dir, label):
    path = os.path.join(work_dir, OUTPUT_NAME)
    if not os.path.isdir(path):
        raise CaseFailure("{}: {} is no longer a directory".format(label, OUTPUT_NAME))
    if os.listdir(path):
        raise CaseFailure("{}: something was written into the {} directory".format(label, OUTPUT_NAME))


def run_case(case_dir, command):
    dir_names = read_dir_names(case_dir)
    expected_path = os.path.join(case_dir, EXPECTED_NAME)
    output_is_dir = OUTPUT_NAME in dir_names
    if os.path.isfile(expected_path):
        expected = read_bytes(expected_path)
    elif output_is_dir:
        expected = None
    else:
        raise CaseFailure("case has no {}".format(EXPECTED_NAME))
    if output_is_dir and expected is not None:
        raise CaseFailure("case makes {} a directory but has {}".format(OUTPUT_NAME, EXPECTED_NAME))

    work_dir = tempfile.mkdtemp(prefix="searchfilter-e2e-")
    try:
        copied = prepare(case_dir, work_dir, dir_names)
        prior = copied.get(OUTPUT_NAME, b"")
        if expected is not None and not expected.startswith(prior):
            raise CaseFailure(
                "{} does not start with the existing {}".format(EXPECTED_NAME, OUTPUT_NAME)
            )
        for label in ("run 1", "run 2"):
            run_binary(command, work_dir, label)
            check_inputs(work_dir, copied, dir_names, label)
            if expected is None:
                check_output_directory(work_dir, label)
            elif label == "run 1":
                check_output(work_dir, expected, label)
            else:
                check_output(work_dir, expected + expected[len(prior) :], label)
    finally:
        shutil.rmtree(work_dir, ignore_errors=True)


def main(argv):
    parser = argparse.ArgumentParser(description="Run the searchfilter end-to-end cases.")
    parser.add_argument("--binary", help="the searchfilter executable")
    parser.add_argument("--emulator", default="", help='command put before the binary, e.g. "wine"')
    parser.add_argument("--cases-dir", default=default_cases_dir(), help="folder of case folders")
    parser.add_argument("--list", action="store_true", help="print the case names and exit")
    parser.add_argument("cases", nargs="*", metavar="CASE", help="cases to run (default: all)")
    args = parser.parse_args(argv)

    available = list_cases(args.cases_dir)
    if args.list:
        for name in available:
            print(name)
        return 0
    if not args.binary:
        parser.error("--binary is required")
    binary = os.path.abspath(args.binary)
    if not os.path.isfile(binary):
        parser.error("no such binary: {}".format(binary))
    emulator = shlex.split(args.emulator)
    if emulator and os.sep in emulator[0]:
        emulator[0] = os.path.abspath(emulator[0])  # the cases run in other folders
    command = emulator + [binary]

    passed = failed = 0
    for name in args.cases or available:
        case_dir = os.path.join(args.cases_dir, name)
        try:
            if name not in available:
                raise CaseFailure("no such case in {}".format(args.cases_dir))
            run_case(case_dir, command)
        except CaseFailure as failure:
            print("FAIL {}: {}".format(name, failure), flush=True)
            failed += 1
        else:
            print("PASS {}".format(name), flush=True)
            passed += 1
    print("{} passed, {} failed".format(passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
