#!/usr/bin/env python3
"""Holds a flock on one file for a while, as another program would.

Usage: hold_lock.py PATH ex|sh SECONDS [APPEND_HEX]

Takes the lock (exclusive with the file open for writing, shared with it open
for reading only), prints "locked" once it holds it, and keeps it for SECONDS
or until its stdin closes, whichever comes first. With APPEND_HEX it appends
those bytes at the end of the file just before letting go, so a test can tell
which writer came first.
"""

import fcntl
import os
import select
import sys
import time


def main(argv):
    path, kind, seconds = argv[0], argv[1], float(argv[2])
    extra = bytes.fromhex(argv[3]) if len(argv) > 3 else b""
    exclusive = kind == "ex"
    descriptor = os.open(path, os.O_RDWR if exclusive else os.O_RDONLY)
    fcntl.flock(descriptor, fcntl.LOCK_EX if exclusive else fcntl.LOCK_SH)
    sys.stdout.write("locked\n")
    sys.stdout.flush()

    deadline = time.monotonic() + seconds
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([sys.stdin], [], [], left)
        if ready and not os.read(sys.stdin.fileno(), 1):
            break  # the test is done with us

    if extra:
        os.lseek(descriptor, 0, os.SEEK_END)
        os.write(descriptor, extra)
    fcntl.flock(descriptor, fcntl.LOCK_UN)
    os.close(descriptor)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
