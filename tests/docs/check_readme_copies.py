#!/usr/bin/env python3
"""Checks that the README's copies of source files are still the files, to the byte.

    check_readme_copies.py README.md PATH [PATH ...]

A copy is a fenced code block right after a line `<!-- copy of PATH -->`; PATH is relative
to the README's folder. Every PATH named on the command line must have exactly one copy,
and every copy must be named there, so that a copy cannot silently stop being checked.
"""

import os
import re
import sys

MARKER = re.compile(r"^<!-- copy of (\S+) -->$")
FENCE = re.compile(r"^```")


def copies_in(readme_lines):
    """Yields (path, text of the block) for every marked block."""
    index = 0
    while index < len(readme_lines):
        marker = MARKER.match(readme_lines[index])
        index += 1
        if not marker:
            continue
        if index >= len(readme_lines) or not FENCE.match(readme_lines[index]):
            raise ValueError(f"line {index}: no code block after the copy marker")
        end = index + 1
        while end < len(readme_lines) and not FENCE.match(readme_lines[end]):
            end += 1
        if end == len(readme_lines):
            raise ValueError(f"line {index + 1}: code block never closed")
        yield marker[1], "".join(line + "\n" for line in readme_lines[index + 1 : end])
        index = end + 1


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    readme, expected = argv[0], argv[1:]
    with open(readme, encoding="utf-8") as f:
        lines = f.read().splitlines()
    copies = list(copies_in(lines))
    problems = []
    named = [path for path, _ in copies]
    for path in sorted(set(named) | set(expected)):
        if named.count(path) != 1 or path not in expected:
            problems.append(f"{path}: {named.count(path)} copies, expected: {path in expected}")
    for path, text in copies:
        with open(os.path.join(os.path.dirname(readme), path), encoding="utf-8") as f:
            source = f.read()
        if text != source:
            problems.append(f"{path}: the README's copy differs from the file")
    for problem in problems:
        print(f"FAIL {problem}")
    print(f"{len(copies)} copies checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
