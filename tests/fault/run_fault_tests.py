#!/usr/bin/env python3
"""Fault-injection and load tests of searchfilter, end to end, on Linux.

Usage: run_fault_tests.py --binary PATH [--emulator CMD] [TEST ...]
       run_fault_tests.py --list

Each test prepares fresh temporary folders, runs the filter there under a
fault (runs racing for the output list, a lock held by another process,
missing permissions, a full volume, file-size and address-space limits, a list past 4 GiB,
hostile inputs) and checks the bytes the output list holds afterwards. Every
run must exit 0 and print nothing. Prints "PASS name", "FAIL name: why" or
"SKIP name: why" per test, then "N passed, M failed"; exits 1 on any failure.
Tests that rely on Linux alone (flock, rlimits, the program's own memory)
are skipped when an emulator runs the program.
"""

import argparse
import hashlib
import os
import random
import stat
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "support"))
from fault_support import (  # noqa: E402
    MEASURE_FLAG,
    MIB,
    FaultProgram,
    address_space_limit,
    check_memory,
    file_size_limit,
    fill_volume,
    holding,
    measure_child,
    require_passable,
    run_measured,
    small_volume,
    unprivileged_user,
)
from program_runs import (  # noqa: E402
    FILES,
    FOLDERS,
    INPUTS,
    OUTPUT,
    TERMS,
    TREE,
    Failure,
    Skip,
    add_program_options,
    check,
    check_equal,
    check_unchanged,
    describe_bytes,
    output_bytes,
    program_from_options,
    read_bytes,
    run_each,
    temp_folder,
    write_bytes,
    write_inputs,
)
from reference import expected_block, first_line, is_modelled_term, split_lines  # noqa: E402

GIB = 1024 * MIB
OUTPUT_WAIT = 5.0  # seconds the filter keeps trying an output list held by another
NO_WAIT = 1.0  # a run that fails at once stays well below this

TESTS = []


def test(function):
    TESTS.append(function)
    return function


# The typical small run: three locations, two terms, three kept.
SMALL = {
    TREE: "Árvore\n".encode(),
    TERMS: b"NOTAS\nPDF\n",
    FOLDERS: "C:\\Docs\nC:\\Música\nC:\\Notas antigas\n".encode(),
    FILES: "Relatório.pdf\nnotas.txt\nleia.md\n".encode(),
}
SMALL_BLOCK = (
    "Árvore\n"
    "C:\\Docs\\Relatório.pdf\n"
    "C:\\Música\\notas.txt\n"
    "C:\\Notas antigas\\leia.md\n"
).encode()
PRIOR = b"Earlier tree\nC:\\Old\\notas.txt\n"


def location_inputs(count, every):
    """count locations; every every-th file name holds the term."""
    folders = b"".join(b"C:\\Dados\\Pasta%d\\Sub%d\n" % (i % 997, i) for i in range(count))
    files = b"".join(
        (b"Notas_%d.txt\n" if i % every == 0 else b"outro_%d.doc\n") % i for i in range(count)
    )
    return {TREE: b"Lista\n", TERMS: b"NOTAS\n", FOLDERS: folders, FILES: files}


def block_of(inputs):
    return expected_block(*(inputs.get(name) for name in (TREE, TERMS, FOLDERS, FILES)))


def input_bytes(inputs):
    return sum(len(data) for data in inputs.values() if data is not None)


def memory_bound(inputs):
    # The joined lists take at most the input's size; the folded copy of one
    # line up to three times that line (a lone ill-formed byte may fold to
    # three bytes, and the program sizes its buffer for that); the kept
    # locations at most the folder and file lists, twice that for a moment
    # while their text grows. So six times the input; 64 MiB more covers the
    # runtime and what the fork of the measuring helper starts with (~10 MiB).
    return 6 * input_bytes(inputs) + 64 * MIB


def leading_blocks(data, block):
    count = 0
    while data.startswith(block, count * len(block)):
        count += 1
    return count


# 1. Load: runs racing for the output list.


@test
def concurrent_runs(program):
    runs = 16
    inputs = location_inputs(300_000, every=8)
    want_block = block_of(inputs)
    with temp_folder("solo") as solo:
        write_inputs(solo, inputs)
        program.run(solo, "solo run")
        block = output_bytes(solo)
    check_equal(block, want_block, "solo run")

    with temp_folder("race") as race:
        write_inputs(race, inputs)
        write_bytes(os.path.join(race, OUTPUT), PRIOR)
        barrier = threading.Barrier(runs)
        errors = [None] * runs

        def one_run(index):
            try:
                barrier.wait(timeout=60)
                program.run(race, "run {}".format(index + 1))
            except (Failure, threading.BrokenBarrierError) as error:
                errors[index] = str(error) or type(error).__name__

        threads = [threading.Thread(target=one_run, args=(i,)) for i in range(runs)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        problems = [error for error in errors if error]
        check(not problems, "; ".join(problems))
        got = output_bytes(race)
        check(got.startswith(PRIOR), "earlier content damaged")
        body = got[len(PRIOR) :]
        if body != block * runs:
            whole = leading_blocks(body, block)
            raise Failure(
                "want {} whole blocks of {} bytes; got {} bytes after the earlier content, "
                "of which the first {} blocks are whole, then {!r}".format(
                    runs,
                    len(block),
                    len(body),
                    whole,
                    body[whole * len(block) : whole * len(block) + 80],
                )
            )


# 2. The output list held by another process.


def output_held(program, kind, release_after):
    """Another process holds the output list with a flock of kind; it lets go
    after release_after seconds, or only after the run when that is None."""
    program.require_native("a Linux flock does not reach the emulated program's file sharing")
    with temp_folder("held") as folder:
        write_inputs(folder, SMALL)
        path = os.path.join(folder, OUTPUT)
        write_bytes(path, PRIOR)
        # A writer adds its own line before it lets go: the block must follow it.
        marker = b"line of the other writer\n" if kind == "ex" and release_after else b""
        seconds = release_after if release_after else 30.0
        with holding(path, kind, seconds, append=marker) as holder:
            elapsed = program.run(folder, "run while held")
            still_held = holder.poll() is None
        got = read_bytes(path)
        if release_after:
            check(
                elapsed >= release_after - 0.2,
                "returned after {:.2f} s, before the lock was released at {} s".format(
                    elapsed, release_after
                ),
            )
            check_equal(got, PRIOR + marker + SMALL_BLOCK, "output after the lock was released")
        else:
            check(still_held, "lock holder ended before the run did")
            check_equal(got, PRIOR, "output held past the wait")
            check(
                OUTPUT_WAIT - 1.0 <= elapsed < OUTPUT_WAIT + 1.5,
                "gave up after {:.2f} s, want about {} s".format(elapsed, OUTPUT_WAIT),
            )
            program.run(folder, "run after the lock was gone")
            check_equal(read_bytes(path), PRIOR + SMALL_BLOCK, "run after the lock was gone")


@test
def output_locked_exclusive_released(program):
    output_held(program, "ex", release_after=1.0)


@test
def output_locked_exclusive_held(program):
    output_held(program, "ex", release_after=None)


@test
def output_locked_shared_released(program):
    output_held(program, "sh", release_after=1.0)


@test
def output_locked_shared_held(program):
    output_held(program, "sh", release_after=None)


# 3. Missing permissions fail at once.


def as_owner(program, folder, paths):
    """Gives folder and paths to the user the filter will run as; returns its preexec_fn."""
    user = unprivileged_user(program)
    os.chmod(folder, 0o755)
    if user is None:
        return None
    become, (uid, gid) = user
    require_passable(folder)
    for path in [folder] + paths:
        os.chown(path, uid, gid)
    return become


def no_wait_bound(program, preexec_fn):
    """Under an emulator its own start-up counts too: add one plain run's time."""
    if not program.emulator:
        return NO_WAIT
    with temp_folder("startup") as other:
        os.chmod(other, 0o755)
        return NO_WAIT + program.run(other, "start-up run", preexec_fn=preexec_fn)


@test
def output_read_only_file(program):
    with temp_folder("rofile") as folder:
        write_inputs(folder, SMALL)
        path = os.path.join(folder, OUTPUT)
        write_bytes(path, PRIOR)
        become = as_owner(program, folder, [path])
        bound = no_wait_bound(program, become)
        os.chmod(path, 0o444)
        before = sorted(os.listdir(folder))
        elapsed = program.run(folder, "run on a read-only list", preexec_fn=become)
        check_equal(read_bytes(path), PRIOR, "read-only output list")
        check(os.stat(path).st_mode & 0o777 == 0o444, "the list's mode changed")
        check(sorted(os.listdir(folder)) == before, "the run left new entries")
        check(elapsed < bound, "took {:.2f} s, want no wait (< {:.2f} s)".format(elapsed, bound))
        # The same run may write once the list is writable: the denial was the cause.
        os.chmod(path, 0o644)
        program.run(folder, "run on a writable list", preexec_fn=become)
        check_equal(read_bytes(path), PRIOR + SMALL_BLOCK, "writable output list")


@test
def folder_read_only(program):
    with temp_folder("rodir") as folder:
        write_inputs(folder, SMALL)
        become = as_owner(program, folder, [])
        bound = no_wait_bound(program, become)
        os.chmod(folder, 0o555)
        before = sorted(os.listdir(folder))
        elapsed = program.run(folder, "run in a read-only folder", preexec_fn=become)
        check(sorted(os.listdir(folder)) == before, "the run created {}".format(OUTPUT))
        check(elapsed < bound, "took {:.2f} s, want no wait (< {:.2f} s)".format(elapsed, bound))
        os.chmod(folder, 0o755)
        program.run(folder, "run in a writable folder", preexec_fn=become)
        check_equal(output_bytes(folder), SMALL_BLOCK, "output in the writable folder")


# 4. Writes that fail part-way, or at once.


def prior_of_size(size):
    lines = b"".join(b"earlier line %06d\n" % i for i in range(size // 10))
    return lines[: size - 1] + b"\n"


def limited_writes(program, cases):
    """cases: (label, limit as a function of prior and block size, whether the block lands)."""
    program.require_native(
        "the limit would bind the emulator too, and a Windows program has no SIGXFSZ to ignore"
    )
    inputs = location_inputs(2000, every=1)
    block = block_of(inputs)
    prior = prior_of_size(10_000)
    for label, limit_of, lands in cases:
        limit = limit_of(len(prior), len(block))
        with temp_folder("fsize") as folder:
            write_inputs(folder, inputs)
            path = os.path.join(folder, OUTPUT)
            write_bytes(path, prior)
            program.run(folder, label, preexec_fn=file_size_limit(limit))
            want = prior + block if lands else prior
            check_equal(read_bytes(path), want, "{} (limit {} bytes)".format(label, limit))


@test
def write_fails_part_way(program):
    limited_writes(
        program,
        [
            ("room for 100 bytes", lambda prior, block: prior + 100, False),
            ("room for one buffer", lambda prior, block: prior + 4096 + 10, False),
            ("room for all but the last byte", lambda prior, block: prior + block - 1, False),
            ("room for exactly the block", lambda prior, block: prior + block, True),
        ],
    )


@test
def write_impossible(program):
    limited_writes(
        program,
        [
            ("limit at the list's size", lambda prior, block: prior, False),
            ("limit below the list's size", lambda prior, block: prior // 2, False),
            ("limit of one byte", lambda prior, block: 1, False),
        ],
    )


@test
def write_fails_disk_full(program):
    # The list's volume fills up during the write: a real full disk, so this
    # runs under Wine too, where the Windows program's WriteFile fails.
    inputs = location_inputs(2000, every=1)
    block = block_of(inputs)
    prior = prior_of_size(10_000)
    page = os.sysconf("SC_PAGE_SIZE")
    tail = -len(prior) % page  # room left in the list's last page
    cases = [
        ("room for the rest of the last page", 0, False),
        ("room for two pages more", 2 * page, False),
        ("room for the block", (len(block) - tail + page - 1) // page * page, True),
    ]
    check(len(block) > tail + 2 * page + 4096, "the block must outgrow the room of the failing cases")
    with small_volume(4 * MIB) as folder:
        write_inputs(folder, inputs)
        path = os.path.join(folder, OUTPUT)
        filler = os.path.join(folder, "filler")
        write_bytes(path, prior)
        for label, leave, lands in cases:
            fill_volume(filler, leave)
            program.run(folder, label)
            os.remove(filler)
            want = prior + block if lands else prior
            check_equal(read_bytes(path), want, "{} ({} bytes free)".format(label, leave))


# 5. An output list past 4 GiB.


@test
def output_over_4gib(program):
    head = b"first line of a list grown past 4 GiB\n"
    tail = b"last line before the new block\n"
    for label, size in (("past 4 GiB", 4 * GIB + 123), ("block across 4 GiB", 4 * GIB - 3)):
        with temp_folder("huge") as folder:
            write_inputs(folder, SMALL)
            path = os.path.join(folder, OUTPUT)
            with open(path, "wb") as f:  # sparse: only the two ends hold data
                f.write(head)
                f.seek(size - len(tail))
                f.write(tail)
            check(os.path.getsize(path) == size, "could not make a {} byte list".format(size))
            program.run(folder, label)
            got_size, want_size = os.path.getsize(path), size + len(SMALL_BLOCK)
            check(got_size == want_size, "{}: size {}, want {}".format(label, got_size, want_size))
            with open(path, "rb") as f:
                got_head = f.read(len(head))
                f.seek(size - len(tail))
                got_tail = f.read(len(tail))
                got_block = f.read()
            check_equal(got_head, head, label + ": start of the list")
            check_equal(got_tail, tail, label + ": end of the earlier content")
            check_equal(got_block, SMALL_BLOCK, label + ": block at offset {}".format(size))


# 6. Hostile inputs.


def run_inputs(program, inputs, label, output=None, dirs=(), fifos=()):
    """One measured run on inputs; returns the output list's bytes (None: not created)."""
    with temp_folder("inputs") as folder:
        write_inputs(folder, inputs)
        if output is not None:
            write_bytes(os.path.join(folder, OUTPUT), output)
        for name in dirs:
            os.mkdir(os.path.join(folder, name))
        for name in fifos:
            os.mkfifo(os.path.join(folder, name))
        _, peak = run_measured(program, folder, label)
        check_memory(program, label, peak, memory_bound(inputs), "6 x input + 64 MiB")
        check_unchanged(folder, {n: data for n, data in inputs.items() if data is not None}, label)
        return output_bytes(folder)


def without(inputs, name):
    return {key: (None if key == name else data) for key, data in inputs.items()}


@test
def input_directories_and_fifos(program):
    # Each input replaced by a directory, or a FIFO nobody writes to, reads as
    # missing. Windows knows no FIFOs: under an emulator only directories.
    kinds = ("directory",) if program.emulator else ("directory", "fifo")
    for name in INPUTS:
        absent = run_inputs(program, without(SMALL, name), name + " missing")
        check(absent != SMALL_BLOCK, "{} missing should change the block".format(name))
        for kind in kinds:
            label = "{} as a {}".format(name, kind)
            got = run_inputs(
                program,
                without(SMALL, name),
                label,
                dirs=[name] if kind == "directory" else [],
                fifos=[name] if kind == "fifo" else [],
            )
            check_equal(got, absent, label)
    got = run_inputs(program, {}, "every input a directory", dirs=INPUTS)
    check_equal(got, b"\n", "every input a directory")
    # The output list as a directory or a FIFO: nothing written, no hang.
    for kind in kinds:
        label = "output list as a " + kind
        with temp_folder("outkind") as folder:
            write_inputs(folder, SMALL)
            path = os.path.join(folder, OUTPUT)
            os.mkdir(path) if kind == "directory" else os.mkfifo(path)
            program.run(folder, label, timeout=30)
            mode = os.lstat(path).st_mode
            same = stat.S_ISDIR(mode) if kind == "directory" else stat.S_ISFIFO(mode)
            check(same, label + ": replaced")
            if kind == "directory":
                check(not os.listdir(path), label + ": something was written into it")


@test
def input_utf16(program):
    # NUL bytes end lines, so each character arrives as a line of its own; the
    # byte-order mark is two ill-formed bytes that are written back as read.
    def utf16(text):
        return b"\xff\xfe" + text.encode("utf-16-le")

    inputs = {
        TREE: utf16("Árvore\r\n"),
        TERMS: utf16("NOTAS\r\nPDF\r\n"),
        FOLDERS: utf16("C:\\Docs\r\nC:\\Música\r\n" * 2000),
        FILES: utf16("Relatório.pdf\r\nnotas.txt\r\n" * 2000),
    }
    want = block_of(inputs)
    check(want.count(b"\n") > 100, "test data should keep many locations")
    check_equal(run_inputs(program, inputs, "UTF-16LE inputs"), want, "UTF-16LE inputs")


@test
def input_random_binary(program):
    rng = random.Random(20240521)
    inputs = {
        TREE: rng.randbytes(2048),
        TERMS: b"ab\r\nQz\n\n09\n\x01\x02\n\xff\n",
        FOLDERS: rng.randbytes(3 * MIB),
        FILES: rng.randbytes(3 * MIB),
    }
    for data in (inputs[FOLDERS], inputs[FILES]):
        check(data.count(b"\0") > 1000 and data.count(b"\r") > 1000, "want NUL and CR in the data")
    want = block_of(inputs)
    check(want.count(b"\n") > 100, "test data should keep many locations")
    check_equal(run_inputs(program, inputs, "random lists"), want, "random lists, ASCII terms")

    # Random terms too: short lines, most of them outside the model. Every kept
    # line must be one of the pairs, in order, and every pair a modelled term
    # hits must be among them.
    raw = bytearray(rng.randbytes(512))
    for i in range(len(raw)):
        if rng.random() < 0.3:
            raw[i] = 0x0A
    inputs[TERMS] = bytes(raw)
    got = run_inputs(program, inputs, "random terms")
    check_kept_subsequence(got, inputs)


def check_kept_subsequence(got, inputs):
    lines = got.split(b"\n")
    check(lines[-1] == b"", "block does not end with LF")
    header, kept = lines[0], lines[1:-1]
    check_equal(header, first_line(inputs[TREE]), "header line")
    terms = [t.lower() for t in split_lines(inputs[TERMS]) if t and is_modelled_term(t)]
    check(terms, "test data should hold some terms the model follows")
    folders, files = split_lines(inputs[FOLDERS]), split_lines(inputs[FILES])
    position = 0
    for index, folder in enumerate(folders):
        file = files[index] if index < len(files) else b""
        location = folder + b"\\" + file
        if position < len(kept) and kept[position] == location:
            position += 1
        elif any(t in folder.lower() or t in file.lower() for t in terms):
            raise Failure("pair {} ({!r}) is hit but not kept".format(index + 1, location))
    check(
        position == len(kept),
        "kept line {} ({!r}) is no pair of the inputs, or out of order".format(
            position + 1, kept[position] if position < len(kept) else b""
        ),
    )


@test
def input_long_line(program):
    size = 64 * MIB
    folder = (b"Needl" * (size // 5 + 1))[: size - len(b"NEEDLE")] + b"NEEDLE"
    inputs = {TREE: b"Long\n", TERMS: b"needle\n", FOLDERS: folder, FILES: b"Datei.txt\n"}
    want = b"Long\n" + folder + b"\\Datei.txt\n"
    got = run_inputs(program, inputs, "one 64 MiB folder line")
    check(got is not None, "no output list")
    check(len(got) == len(want), "output is {} bytes, want {}".format(len(got), len(want)))
    check(got == want, "output differs: " + check_difference(got, want))


def check_difference(got, want):
    return "sha256 {} want {}".format(
        hashlib.sha256(got).hexdigest(), hashlib.sha256(want).hexdigest()
    )


@test
def input_many_empty_lines(program):
    count = 10_000_000
    names = {0: b"Match_first.txt", 1_234_567: b"other.txt", 5_000_000: b"a MATCH.pdf"}
    names.update({count - 2: b"nothing.doc", count - 1: b"last_match.txt"})
    parts, at = [], 0
    for index in sorted(names):
        parts.append(b"\n" * (index - at))
        parts.append(names[index] + b"\n")
        at = index + 1
    parts.append(b"\n" * (count - at))
    inputs = {TREE: b"Empty\n", TERMS: b"match\n", FOLDERS: b"\n" * count, FILES: b"".join(parts)}
    kept = [names[i] for i in sorted(names) if b"match" in names[i].lower()]
    want = b"Empty\n" + b"".join(b"\\" + name + b"\n" for name in kept)
    got = run_inputs(program, inputs, "10 million empty folder lines")
    check(got is not None, "no output list")
    check(
        got.count(b"\n") - 1 == len(kept),
        "{} kept lines, want {}".format(got.count(b"\n") - 1, len(kept)),
    )
    check_equal(got, want, "10 million empty folder lines")


@test
def input_cut_short_during_run(program):
    """Another process cuts the folder list short while a run reads it: where
    a large list is mapped, reading a mapped page whose bytes are gone raises
    SIGBUS; where it is read, the bytes read before the cut end mid-line.
    Each run must end well, with the block of the lists either as they were
    or as they are after the cut, whenever it falls."""
    program.require_native("Windows lets nobody write to a list open for reading")
    inputs = location_inputs(2_000_000, every=7)
    folders = inputs[FOLDERS]
    kept_lines = 50_000
    cut = len(b"".join(folders.splitlines(keepends=True)[:kept_lines]))
    whole = block_of(inputs)
    after_cut = block_of(dict(inputs, **{FOLDERS: folders[:cut]}))
    cut_while_running = 0
    for delay in (0.0, 0.005, 0.02, 0.05, 0.1, 0.2):
        label = "folder list cut after {} s".format(delay)
        with temp_folder("cut") as folder:
            write_inputs(folder, inputs)
            failures = []

            def run():
                try:
                    program.run(folder, label)
                except Failure as error:
                    failures.append(str(error))

            runner = threading.Thread(target=run)
            runner.start()
            time.sleep(delay)
            cut_while_running += runner.is_alive()
            os.truncate(os.path.join(folder, FOLDERS), cut)
            runner.join()
            check(not failures, "; ".join(failures))
            got = output_bytes(folder)
            check(got in (whole, after_cut), "{}: neither block: {}".format(
                label, describe_bytes(got or b"")))
    check(cut_while_running > 0, "every run had ended before its list was cut")


@test
def input_locked_exclusive(program):
    program.require_native("a Linux flock does not reach the emulated program's file sharing")
    full = run_inputs(program, SMALL, "all inputs")
    check_equal(full, SMALL_BLOCK, "all inputs")
    for name in INPUTS:
        absent = run_inputs(program, without(SMALL, name), name + " missing")
        check(absent != full, "{} missing should change the block".format(name))
        for kind, want in (("ex", absent), ("sh", full)):
            label = "{} under {} lock".format(name, "an exclusive" if kind == "ex" else "a shared")
            with temp_folder("locked") as folder:
                write_inputs(folder, SMALL)
                path = os.path.join(folder, name)
                with holding(path, kind):
                    program.run(folder, label)
                check_equal(output_bytes(folder), want, label)
                check_equal(read_bytes(path), SMALL[name], label + ": input changed")


# 7. Memory running out.


@test
def out_of_memory(program):
    program.require_native("the limit would bind the emulator itself, not the program's memory")
    if program.address_sanitizer:
        raise Skip("AddressSanitizer reserves more address space than any small limit allows")
    # Loading a 200 MiB list cannot succeed in 64 MiB of address space.
    line = b"C:\\Dados\\Pasta\\Sub\n"
    big = {TREE: b"Big\n", TERMS: b"pasta\n", FOLDERS: line * (200 * MIB // len(line) + 1)}
    big[FILES] = b"notas.txt\n" * 1000
    for output in (None, PRIOR):
        with temp_folder("oom") as folder:
            write_inputs(folder, big)
            if output is not None:
                write_bytes(os.path.join(folder, OUTPUT), output)
            state = "missing" if output is None else "present"
            label = "64 MiB for a 200 MiB list, output " + state
            program.run(folder, label, preexec_fn=address_space_limit(64 * MIB))
            check_equal(output_bytes(folder) or b"", output or b"", label)
            check(
                output is not None or not os.path.exists(os.path.join(folder, OUTPUT)),
                label + ": created the output list",
            )
    del big

    # Memory running out at every stage of a run: loading, matching, keeping,
    # writing. Raise the limit step by step until the block lands; before that
    # every run must leave the list as it was.
    inputs = location_inputs(700_000, every=1)
    block = block_of(inputs)
    step = 4 * MIB
    limit, outcomes = 32 * MIB, []
    with temp_folder("oomsweep") as folder:
        write_inputs(folder, inputs)
        path = os.path.join(folder, OUTPUT)
        write_bytes(path, PRIOR)
        while limit <= 512 * MIB:
            label = "address space {} MiB".format(limit // MIB)
            program.run(folder, label, preexec_fn=address_space_limit(limit))
            got = read_bytes(path)
            if got == PRIOR + block:
                break
            check_equal(got, PRIOR, label + ": no block or the whole block")
            outcomes.append(limit // MIB)
            limit += step
        else:
            raise Failure("no block even with 512 MiB of address space")
    check(outcomes, "the smallest limit already held the whole run; nothing was tested")


def main(argv):
    if argv[:1] == [MEASURE_FLAG]:
        return measure_child(argv[1:])
    parser = argparse.ArgumentParser(description="Fault-injection and load tests of searchfilter.")
    add_program_options(parser)
    parser.add_argument("--list", action="store_true", help="print the test names and exit")
    parser.add_argument("tests", nargs="*", metavar="TEST", help="tests to run (default: all)")
    args = parser.parse_args(argv)

    by_name = {function.__name__: function for function in TESTS}
    if args.list:
        for name in by_name:
            print(name)
        return 0
    program = program_from_options(parser, args, FaultProgram)

    def run_one(name):
        if name not in by_name:
            raise Failure("no such test")
        by_name[name](program)

    return run_each(args.tests or list(by_name), run_one)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
