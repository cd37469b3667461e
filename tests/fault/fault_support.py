"""Running the filter under faults: temporary folders, checked runs, lock holders."""

import contextlib
import json
import os
import pwd
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

OUTPUT = "searchOutputList.txt"
TREE = "searchTreeName.txt"
TERMS = "searchTermsList.txt"
FOLDERS = "foldersScratch.txt"
FILES = "filesScratch.txt"
INPUTS = (TREE, TERMS, FOLDERS, FILES)

RUN_TIMEOUT = 120
HERE = os.path.dirname(os.path.abspath(__file__))
HOLDER = os.path.join(HERE, "hold_lock.py")
MEASURE_FLAG = "--measure-child"
MIB = 1024 * 1024


class Failure(Exception):
    pass


class Skip(Exception):
    pass


class Program:
    """The binary under test and how to start it."""

    def __init__(self, binary, emulator_words):
        self.binary = binary
        self.emulator = list(emulator_words)
        self.command = self.emulator + [binary]
        with open(binary, "rb") as f:
            image = f.read()
        # AddressSanitizer reserves terabytes of address space, so no small
        # RLIMIT_AS can hold it, and its quarantine keeps freed memory resident.
        self.address_sanitizer = b"__asan_init" in image

    def require_native(self, why):
        if self.emulator:
            raise Skip("not under an emulator: " + why)


def describe_bytes(data, limit=120):
    return repr(data[:limit]) + ("... ({} bytes)".format(len(data)) if len(data) > limit else "")


def first_difference(actual, expected):
    limit = min(len(actual), len(expected))
    pos = limit
    # Compare in chunks first: the files here run to hundreds of MiB.
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
    if actual != expected:
        raise Failure("{}: {}".format(what, first_difference(actual, expected)))


def check(condition, message):
    if not condition:
        raise Failure(message)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_inputs(folder, files):
    """Writes {name: bytes}; a value of None leaves the file out."""
    for name, data in files.items():
        if data is not None:
            write_bytes(os.path.join(folder, name), data)


def output_bytes(folder):
    path = os.path.join(folder, OUTPUT)
    return read_bytes(path) if os.path.exists(path) else None


@contextlib.contextmanager
def temp_folder(tag):
    folder = tempfile.mkdtemp(prefix="searchfilter-fault-{}-".format(tag))
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


def _exit_text(code):
    if code < 0:
        try:
            return "killed by {}".format(signal.Signals(-code).name)
        except ValueError:
            return "killed by signal {}".format(-code)
    return "exit code {}".format(code)


def _check_silent_success(label, code, out, err):
    if code != 0:
        raise Failure(
            "{}: {}, want 0 (stderr {})".format(label, _exit_text(code), describe_bytes(err))
        )
    if out:
        raise Failure("{}: wrote to stdout: {}".format(label, describe_bytes(out)))
    if err:
        raise Failure("{}: wrote to stderr: {}".format(label, describe_bytes(err)))


def run(program, folder, label, preexec_fn=None, timeout=RUN_TIMEOUT):
    """Runs the filter in folder; fails unless it exits 0 and prints nothing.
    Returns the seconds it took."""
    start = time.monotonic()
    try:
        result = subprocess.run(
            program.command,
            cwd=folder,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            timeout=timeout,
            preexec_fn=preexec_fn,
        )
    except subprocess.TimeoutExpired:
        raise Failure("{}: still running after {} s".format(label, timeout))
    except (OSError, subprocess.SubprocessError) as error:
        raise Failure("{}: could not start: {}".format(label, error))
    elapsed = time.monotonic() - start
    _check_silent_success(label, result.returncode, result.stdout, result.stderr)
    return elapsed


def run_measured(program, folder, label, timeout=RUN_TIMEOUT):
    """Like run, through a small fresh Python process, so that the peak resident
    size of its only child is the filter's own (plus the few MiB a fork of that
    small process starts with). Returns (seconds, peak resident bytes)."""
    helper = [sys.executable, os.path.join(HERE, "run_fault_tests.py"), MEASURE_FLAG]
    helper += [folder, str(timeout), "--"] + program.command
    try:
        done = subprocess.run(
            helper, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=timeout + 30
        )
        report = json.loads(done.stdout)
    except (subprocess.TimeoutExpired, ValueError, OSError) as error:
        raise Failure("{}: measuring helper failed: {}".format(label, error))
    if report.get("error"):
        raise Failure("{}: {}".format(label, report["error"]))
    _check_silent_success(
        label,
        report["returncode"],
        bytes.fromhex(report["stdout"]),
        bytes.fromhex(report["stderr"]),
    )
    return report["elapsed"], report["maxrss_kib"] * 1024


def measure_child(argv):
    """The helper side of run_measured: prints one JSON report."""
    folder, timeout, command = argv[0], float(argv[1]), argv[3:]
    report = {}
    start = time.monotonic()
    try:
        result = subprocess.run(
            command,
            cwd=folder,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            timeout=timeout,
        )
        report = {
            "returncode": result.returncode,
            "stdout": result.stdout[:400].hex(),
            "stderr": result.stderr[:400].hex(),
            "elapsed": time.monotonic() - start,
            "maxrss_kib": resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss,
        }
    except subprocess.TimeoutExpired:
        report = {"error": "still running after {} s".format(timeout)}
    except OSError as error:
        report = {"error": "could not start: {}".format(error)}
    sys.stdout.write(json.dumps(report))
    return 0


def check_memory(program, label, peak, limit, why):
    """Peak resident size against a bound; an emulator's or a sanitizer's own
    memory is not the program's, so there the bound is not checked."""
    if program.emulator or program.address_sanitizer:
        return
    check(
        peak <= limit,
        "{}: peak resident size {:.1f} MiB, bound {:.1f} MiB ({})".format(
            label, peak / MIB, limit / MIB, why
        ),
    )


@contextlib.contextmanager
def holding(path, kind, seconds=30.0, append=b""):
    """Another process holds a flock on path ("ex" or "sh") while the block runs;
    it lets go after seconds, or when the block ends, whichever comes first."""
    command = [sys.executable, HOLDER, path, kind, str(seconds)]
    if append:
        command.append(append.hex())
    holder = subprocess.Popen(
        command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE
    )
    try:
        line = holder.stdout.readline()
        if line != b"locked\n":
            holder.kill()
            _, err = holder.communicate(timeout=10)
            raise Failure("lock holder did not start: {!r} {!r}".format(line, err[-300:]))
        yield holder
    finally:
        with contextlib.suppress(OSError):
            holder.stdin.close()
        try:
            holder.wait(timeout=seconds + 10)
        except subprocess.TimeoutExpired:
            holder.kill()
            holder.wait()
        holder.stdout.close()
        holder.stderr.close()


def unprivileged_user(program):
    """A preexec_fn that runs the filter as 'nobody', without root's power to
    ignore permission bits, and that user's (uid, gid); None when the tests
    already run as an ordinary user."""
    if os.geteuid() != 0:
        return None
    if program.emulator:
        raise Skip("running as root, and the emulator's prefix belongs to root")
    try:
        user = pwd.getpwnam("nobody")
    except KeyError:
        raise Skip("running as root and there is no user 'nobody' to run the filter as")
    require_passable(program.binary)
    uid, gid = user.pw_uid, user.pw_gid

    def become_nobody():
        os.setgroups([])
        os.setgid(gid)
        os.setuid(uid)

    return become_nobody, (uid, gid)


def require_passable(path):
    """Skips unless any user may pass path and every folder above it."""
    path = os.path.abspath(path)
    while True:
        mode = os.stat(path).st_mode
        if not mode & stat.S_IXOTH:
            message = "running as root and 'nobody' may not pass {} (mode {:o})"
            raise Skip(message.format(path, mode & 0o7777))
        parent = os.path.dirname(path)
        if parent == path:
            return
        path = parent


def file_size_limit(size):
    """A preexec_fn: the child may not make files larger than size, and starts
    with SIGXFSZ at its default (fatal) action, so only the program's own
    handling keeps it alive."""

    def limit():
        signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))

    return limit


def address_space_limit(size):
    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (size, size))

    return limit


@contextlib.contextmanager
def small_volume(size):
    """A fresh folder on a tmpfs volume of its own, size bytes large, so that a
    write there runs out of room for real (ENOSPC natively, a full disk for a
    Windows program under Wine). Mounting needs root; elsewhere it skips."""
    if os.geteuid() != 0:
        raise Skip("mounting a small volume needs root")
    folder = tempfile.mkdtemp(prefix="searchfilter-fault-volume-")
    options = "size={},mode=0755".format(size)
    mounted = subprocess.run(
        ["mount", "-t", "tmpfs", "-o", options, "searchfilter-fault", folder],
        stdin=subprocess.DEVNULL,
        capture_output=True,
    )
    if mounted.returncode != 0:
        os.rmdir(folder)
        raise Skip("cannot mount a small volume: " + mounted.stderr.decode(errors="replace").strip())
    try:
        yield folder
    finally:
        if subprocess.run(["umount", folder], capture_output=True).returncode != 0:
            subprocess.run(["umount", "--lazy", folder], capture_output=True)
        with contextlib.suppress(OSError):
            os.rmdir(folder)


def free_bytes(folder):
    info = os.statvfs(folder)
    return info.f_bavail * info.f_frsize


def fill_volume(path, leave):
    """Writes a file at path that takes all the room of its volume but leave bytes."""
    folder = os.path.dirname(path)
    write_bytes(path, bytes(free_bytes(folder) - leave))
    check(free_bytes(folder) == leave, "could not leave exactly {} bytes free".format(leave))
