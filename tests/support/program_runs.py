"""Running searchfilter in a folder of its own and checking the files it leaves there.

    program = program_from_options(parser, args)     # --binary and --emulator
    with temp_folder("e2e") as folder:
        write_inputs(folder, {TERMS: b"pdf\\n", FOLDERS: b"C:\\\\Docs\\n", FILES: b"a.pdf\\n"})
        program.run(folder, "run 1")
        check_equal(output_bytes(folder), want, "run 1")

A run must end with exit code 0 and print nothing; anything else, and every failed
check, raises Failure. Output is collected in files, never pipes: a process an emulator
starts on the way (Wine's) may inherit them and outlive the program.
"""

import contextlib
import os
import shlex
import shutil
import signal
import subprocess
import tempfile
import time
import traceback
from collections import namedtuple

OUTPUT = "searchOutputList.txt"
TREE = "searchTreeName.txt"
TERMS = "searchTermsList.txt"
FOLDERS = "foldersScratch.txt"
FILES = "filesScratch.txt"
INPUTS = (TREE, TERMS, FOLDERS, FILES)

RUN_TIMEOUT = 120


class Failure(Exception):
    """What a failed check or run says."""


class Skip(Exception):
    """Why a test does not apply here."""


# Files.


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_inputs(folder, files):
    """Writes {name: bytes} into folder; a value of None leaves the file out."""
    for name, data in files.items():
        if data is not None:
            write_bytes(os.path.join(folder, name), data)


def output_bytes(folder):
    """The output list's bytes; None when there is no such file."""
    path = os.path.join(folder, OUTPUT)
    return read_bytes(path) if os.path.isfile(path) else None


@contextlib.contextmanager
def temp_folder(tag):
    """A fresh folder, removed with all it holds when the block ends."""
    folder = tempfile.mkdtemp(prefix="searchfilter-{}-".format(tag))
    try:
        yield folder
    finally:
        # Permissions a test took away must not stop the clean-up.
        for root, dirs, _ in os.walk(folder):
            for name in dirs:
                with contextlib.suppress(OSError):
                    os.chmod(os.path.join(root, name), 0o755)
        with contextlib.suppress(OSError):
            os.chmod(folder, 0o755)
        shutil.rmtree(folder, ignore_errors=True)


# Checks.


def check(condition, message):
    if not condition:
        raise Failure(message)


def describe_bytes(data, limit=120):
    return repr(data[:limit]) + ("... ({} bytes)".format(len(data)) if len(data) > limit else "")


def first_difference(actual, expected):
    """Where two byte strings first differ, with the bytes around that place."""
    limit = min(len(actual), len(expected))
    pos = limit
    # Compare in chunks first: some files run to hundreds of MiB.
    step = 1 << 16
    for start in range(0, limit, step):
        end = min(start + step, limit)
        if actual[start:end] != expected[start:end]:
            pos = next(i for i in range(start, end) if actual[i] != expected[i])
            break
    low = max(0, pos - 16)
    return "first difference at byte {} (got {} bytes, want {}): got {!r} want {!r}".format(
        pos, len(actual), len(expected), actual[low : pos + 24], expected[low : pos + 24]
    )


def check_equal(actual, expected, what):
    if actual is None or expected is None:
        check(actual == expected, "{}: got {!r}, want {!r}".format(what, actual, expected))
    elif actual != expected:
        raise Failure("{}: {}".format(what, first_difference(actual, expected)))


def check_unchanged(folder, files, label):
    """Each of {name: bytes} is still a file in folder holding those bytes."""
    for name, before in files.items():
        path = os.path.join(folder, name)
        check(os.path.isfile(path), "{}: {} is gone".format(label, name))
        check_equal(read_bytes(path), before, "{}: {} changed".format(label, name))


def check_entries(folder, names, label):
    """folder holds no entry but those named."""
    extra = sorted(set(os.listdir(folder)) - set(names))
    check(not extra, "{}: left unexpected entries {}".format(label, extra))


# Runs.

Completed = namedtuple("Completed", "returncode stdout stderr elapsed")


def run_captured(command, folder, label, timeout, preexec_fn=None, env=None):
    """Runs command in folder with no input; returns its exit code, output and seconds."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.monotonic()
        try:
            result = subprocess.run(
                command,
                cwd=folder,
                env=env,
                stdin=subprocess.DEVNULL,
                stdout=out,
                stderr=err,
                timeout=timeout,
                preexec_fn=preexec_fn,
            )
        except subprocess.TimeoutExpired:
            raise Failure("{}: still running after {} s".format(label, timeout))
        except (OSError, subprocess.SubprocessError) as error:
            raise Failure("{}: could not start: {}".format(label, error))
        elapsed = time.monotonic() - start
        out.seek(0)
        err.seek(0)
        return Completed(result.returncode, out.read(), err.read(), elapsed)


def exit_text(code):
    if code < 0:
        try:
            return "killed by {}".format(signal.Signals(-code).name)
        except ValueError:
            return "killed by signal {}".format(-code)
    return "exit code {}".format(code)


def check_silent_success(label, returncode, stdout, stderr):
    if returncode != 0:
        why = "{}, want 0 (stderr {})".format(exit_text(returncode), describe_bytes(stderr))
        raise Failure("{}: {}".format(label, why))
    check(not stdout, "{}: wrote to stdout: {}".format(label, describe_bytes(stdout)))
    check(not stderr, "{}: wrote to stderr: {}".format(label, describe_bytes(stderr)))


class Program:
    """The binary under test and the emulator words put before it (none natively)."""

    def __init__(self, binary, emulator_words=()):
        self.binary = binary
        self.emulator = list(emulator_words)
        self.command = self.emulator + [binary]

    def run(self, folder, label, timeout=RUN_TIMEOUT, preexec_fn=None):
        """Runs the program in folder; fails unless it exits 0 and prints nothing.
        Returns the seconds it took."""
        done = run_captured(self.command, folder, label, timeout, preexec_fn)
        check_silent_success(label, done.returncode, done.stdout, done.stderr)
        return done.elapsed


def emulator_words(text):
    """The emulator as CMake passes it, one string; its path made absolute, since the
    runs happen in other folders."""
    words = shlex.split(text)
    if words and os.sep in words[0]:
        words[0] = os.path.abspath(words[0])
    return words


def add_program_options(
    parser,
    binary_help="the searchfilter executable",
    emulator_help='command put before the binary, as one string, e.g. "tests/win/wine_run.sh"',
):
    parser.add_argument("--binary", help=binary_help)
    parser.add_argument("--emulator", default="", help=emulator_help)


def program_from_options(parser, args, kind=Program):
    """The kind of Program that args.binary and args.emulator name."""
    if not args.binary:
        parser.error("--binary is required")
    binary = os.path.abspath(args.binary)
    if not os.path.isfile(binary):
        parser.error("no such binary: {}".format(binary))
    return kind(binary, emulator_words(args.emulator))


# Reports.


def run_each(names, run_one):
    """Calls run_one(name) for each name and prints "PASS name" (with what it returned,
    if anything), "FAIL name: why" or "SKIP name: why", then "N passed, M failed".
    Returns the exit code: 1 when anything failed."""
    passed = failed = 0
    for name in names:
        try:
            note = run_one(name)
        except Skip as reason:
            print("SKIP {}: {}".format(name, reason), flush=True)
            continue
        except Failure as failure:
            print("FAIL {}: {}".format(name, failure), flush=True)
            failed += 1
            continue
        except Exception:  # a broken test is a failure too, with its trace
            print("FAIL {}: {}".format(name, traceback.format_exc().strip()), flush=True)
            failed += 1
            continue
        print("PASS {}{}".format(name, " ({})".format(note) if note else ""), flush=True)
        passed += 1
    print("{} passed, {} failed".format(passed, failed))
    return 1 if failed else 0
