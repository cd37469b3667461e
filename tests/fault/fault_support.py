"""What the fault tests add to plain runs (tests/support/program_runs.py): the program's
own traits, runs measured for memory, limits, another user, lock holders, small volumes."""

import contextlib
import json
import os
import pwd
import resource
import signal
import stat
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "support"))
from program_runs import (  # noqa: E402
    RUN_TIMEOUT,
    Failure,
    Program,
    Skip,
    check,
    check_silent_success,
    run_captured,
    temp_folder,
    write_bytes,
)

HOLDER = os.path.join(HERE, "hold_lock.py")
MEASURE_FLAG = "--measure-child"
MIB = 1024 * 1024


class FaultProgram(Program):
    """The program under test, and what the fault tests need to know of it."""

    def __init__(self, binary, emulator_words):
        super().__init__(binary, emulator_words)
        with open(binary, "rb") as f:
            image = f.read()
        # AddressSanitizer reserves terabytes of address space, so no small
        # RLIMIT_AS can hold it, and its quarantine keeps freed memory resident.
        self.address_sanitizer = b"__asan_init" in image

    def require_native(self, why):
        if self.emulator:
            raise Skip("not under an emulator: " + why)


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
    check_silent_success(
        label,
        report["returncode"],
        bytes.fromhex(report["stdout"]),
        bytes.fromhex(report["stderr"]),
    )
    return report["elapsed"], report["maxrss_kib"] * 1024


def measure_child(argv):
    """The helper side of run_measured: prints one JSON report."""
    folder, timeout, command = argv[0], float(argv[1]), argv[3:]
    try:
        done = run_captured(command, folder, "run", timeout)
        report = {
            "returncode": done.returncode,
            "stdout": done.stdout[:400].hex(),
            "stderr": done.stderr[:400].hex(),
            "elapsed": done.elapsed,
            "maxrss_kib": resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss,
        }
    except Failure as failure:
        report = {"error": str(failure)}
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
    with temp_folder("fault-volume") as folder:
        options = "size={},mode=0755".format(size)
        mounted = subprocess.run(
            ["mount", "-t", "tmpfs", "-o", options, "searchfilter-fault", folder],
            stdin=subprocess.DEVNULL,
            capture_output=True,
        )
        if mounted.returncode != 0:
            why = mounted.stderr.decode(errors="replace").strip()
            raise Skip("cannot mount a small volume: " + why)
        try:
            yield folder
        finally:
            if subprocess.run(["umount", folder], capture_output=True).returncode != 0:
                subprocess.run(["umount", "--lazy", folder], capture_output=True)


def free_bytes(folder):
    info = os.statvfs(folder)
    return info.f_bavail * info.f_frsize


def fill_volume(path, leave):
    """Writes a file at path that takes all the room of its volume but leave bytes."""
    folder = os.path.dirname(path)
    write_bytes(path, bytes(free_bytes(folder) - leave))
    check(free_bytes(folder) == leave, "could not leave exactly {} bytes free".format(leave))
