#!/usr/bin/env python3
"""Sharing tests of the Windows build: another process holds one of the files.

Usage: sharing_tests.py --binary EXE --holder HOLD_FILE_EXE [--emulator CMD] [CASE ...]
       sharing_tests.py --list

Each case prepares the four inputs and an existing output list in a fresh
temporary folder, lets hold_file.exe open one of them with the case's access
and sharing (or marks the output read-only), runs the filter while the file
is held and checks the output bytes, the exit code, the silence on stdout and
stderr, and how long the run took: the filter waits up to 5 seconds for an
output list that another process holds, and for nothing else.
"""

import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "support"))
from program_runs import (  # noqa: E402
    FILES,
    FOLDERS,
    OUTPUT,
    TERMS,
    TREE,
    Failure,
    add_program_options,
    check_entries,
    check_equal,
    check_unchanged,
    program_from_options,
    read_bytes,
    run_each,
    temp_folder,
    write_inputs,
)

INPUTS = {
    TREE: b"Tree\n",
    TERMS: b"notas\n",
    FOLDERS: "C:\\Docs\nC:\\Música\n".encode(),
    FILES: "notas.txt\nRelatório.pdf\n".encode(),
}
PRIOR = b"earlier block\n"
FULL_BLOCK = b"Tree\nC:\\Docs\\notas.txt\n"
NO_TERMS_BLOCK = b"Tree\n"  # the terms file counted as missing: nothing kept

OUTPUT_WAIT = 5.0  # seconds the filter keeps trying a held output list
AT_ONCE = 4.0  # a run that did not wait for the output stays well below the wait
START_TIMEOUT = 60
RUN_TIMEOUT = 60

# name: (held file, access, share, hold milliseconds or "readonly",
#        output afterwards, timing of the run: "at_once", "until_release" (it
#        waited, but less than the full wait), "full_wait")
CASES = {
    "input_held_by_writer_counts_as_missing":
        (TERMS, "w", "r", 4000, PRIOR + NO_TERMS_BLOCK, "at_once"),
    "input_held_without_read_sharing_counts_as_missing":
        (TERMS, "r", "-", 4000, PRIOR + NO_TERMS_BLOCK, "at_once"),
    "input_held_by_reader_is_read":
        (TERMS, "r", "r", 4000, PRIOR + FULL_BLOCK, "at_once"),
    "output_released_within_wait_gets_block":
        (OUTPUT, "w", "r", 2000, PRIOR + FULL_BLOCK, "until_release"),
    "output_held_by_reader_released_gets_block":
        (OUTPUT, "r", "r", 2000, PRIOR + FULL_BLOCK, "until_release"),
    "output_held_past_wait_is_untouched":
        (OUTPUT, "w", "r", 8000, PRIOR, "full_wait"),
    "output_held_by_sharing_reader_gets_block_at_once":
        (OUTPUT, "r", "rw", 4000, PRIOR + FULL_BLOCK, "at_once"),
    "read_only_output_fails_at_once":
        (OUTPUT, None, None, "readonly", PRIOR, "at_once"),
}


def start_holder(command, work_dir, name, access, share, milliseconds):
    """Starts hold_file and returns it once its marker says that it holds the file."""
    holder = subprocess.Popen(
        command + [name, access, share, str(milliseconds)],
        cwd=work_dir,
        stdin=subprocess.DEVNULL,
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
    )
    marker = os.path.join(work_dir, name + ".held")
    deadline = time.monotonic() + START_TIMEOUT
    while not os.path.exists(marker):
        if holder.poll() is not None:
            _, err = holder.communicate()
            raise Failure("hold_file could not hold {}: {!r}".format(name, err))
        if time.monotonic() > deadline:
            holder.kill()
            raise Failure("hold_file did not hold {} within {} s".format(name, START_TIMEOUT))
        time.sleep(0.01)
    return holder


def finish_holder(holder):
    try:
        _, err = holder.communicate(timeout=START_TIMEOUT)
    except subprocess.TimeoutExpired:
        holder.kill()
        raise Failure("hold_file did not end")
    if holder.returncode != 0:
        raise Failure("hold_file exit code {}: {!r}".format(holder.returncode, err))


def check_timing(timing, hold, elapsed):
    if timing == "at_once" and elapsed >= AT_ONCE:
        raise Failure("took {:.1f} s, want an answer at once (< {} s)".format(elapsed, AT_ONCE))
    if timing == "until_release":
        # The run started just after the file was taken, so it cannot have
        # written before the release unless it ignored the holder.
        least = hold / 1000.0 / 2
        if not least <= elapsed < OUTPUT_WAIT:
            raise Failure(
                "took {:.1f} s, want a wait until the release ({} to {} s)".format(
                    elapsed, least, OUTPUT_WAIT
                )
            )
    if timing == "full_wait" and elapsed < OUTPUT_WAIT - 0.1:
        raise Failure("took {:.1f} s, want the full wait of {} s".format(elapsed, OUTPUT_WAIT))


def run_case(name, program, holder_exe):
    held, access, share, hold, want_output, timing = CASES[name]
    holder_command = program.emulator + [holder_exe]
    with temp_folder("sharing") as work_dir:
        write_inputs(work_dir, {**INPUTS, OUTPUT: PRIOR})
        holder = None
        if hold == "readonly":
            result = subprocess.run(
                holder_command + ["--readonly", held], cwd=work_dir, capture_output=True
            )
            if result.returncode != 0:
                raise Failure("could not make {} read-only: {!r}".format(held, result.stderr))
        else:
            holder = start_holder(holder_command, work_dir, held, access, share, hold)
        try:
            elapsed = program.run(work_dir, "the filter", RUN_TIMEOUT)
            # The file must still have been held when the run ended, or the
            # case tested nothing.
            if holder is not None and hold >= 4000 and holder.poll() is not None:
                raise Failure("hold_file let go of {} before the run ended".format(held))
        finally:
            if holder is not None:
                finish_holder(holder)

        check_timing(timing, hold, elapsed)
        check_equal(read_bytes(os.path.join(work_dir, OUTPUT)), want_output, OUTPUT)
        check_unchanged(work_dir, INPUTS, "after the run")
        check_entries(work_dir, set(INPUTS) | {OUTPUT}, "after the run")
        return "{:.1f} s".format(elapsed)


def main(argv):
    parser = argparse.ArgumentParser(description="Sharing tests of the Windows build.")
    add_program_options(
        parser, "searchfilter.exe", "command put before each .exe, e.g. wine_run.sh"
    )
    parser.add_argument("--holder", help="hold_file.exe")
    parser.add_argument("--list", action="store_true", help="print the case names and exit")
    parser.add_argument("cases", nargs="*", metavar="CASE")
    args = parser.parse_args(argv)
    if args.list:
        print("\n".join(CASES))
        return 0
    if not args.holder:
        parser.error("--holder is required")
    program = program_from_options(parser, args)
    holder_exe = os.path.abspath(args.holder)

    def run_one(name):
        if name not in CASES:
            raise Failure("no such case")
        return run_case(name, program, holder_exe)

    return run_each(args.cases or list(CASES), run_one)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
