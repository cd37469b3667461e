#!/usr/bin/env python3
"""Searches a directory tree with searchfilter, as a file-search front end would.

Usage: search_tree.py [--filter PROGRAM | --wine EXE] ROOT TERM [TERM ...]

Lists every location of the tree (see tree_listing.py for what is listed and how), runs
the filter once on those lists in a temporary folder, and prints the kept locations as
paths of the tree, one per line on stdout (an empty folder's with a trailing "/"), then a
one-line summary on stderr. Exit code 0 when the run gave its block (kept or not), 1 when
it did not, 2 for a bad call.
"""

import argparse
import os
import sys
import tempfile
import time

from filter_call import FilterRunError, run_filter, write_lists
from tree_listing import list_tree

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_FILTER = os.path.join(REPO_ROOT, "build", "release", "searchfilter")
WINE_RUN = os.path.join(REPO_ROOT, "tests", "win", "wine_run.sh")
LINE_END_BYTES = (b"\r", b"\n", b"\0")
# The tree name is only the block's header: a line end in it is shown as "?".
TREE_NAME_TABLE = bytes.maketrans(b"\r\n\0", b"???")


class UsageError(Exception):
    pass


def parse_args(argv):
    parser = argparse.ArgumentParser(
        description="Search a directory tree with searchfilter and print the kept paths."
    )
    choice = parser.add_mutually_exclusive_group()
    choice.add_argument(
        "--filter", metavar="PROGRAM", help=f"the native filter to run (default: {DEFAULT_FILTER})"
    )
    choice.add_argument(
        "--wine", metavar="EXE", help="run this searchfilter .exe under Wine instead"
    )
    parser.add_argument("root", metavar="ROOT", help="the folder whose tree is searched")
    parser.add_argument("terms", metavar="TERM", nargs="+", help="search terms (any one keeps)")
    return parser.parse_args(argv)


def filter_command(args):
    program = os.path.abspath(args.wine or args.filter or DEFAULT_FILTER)
    if not os.path.isfile(program):
        hint = "" if args.wine or args.filter else (
            " (build it with: cmake --preset release && cmake --build --preset release)"
        )
        raise UsageError(f"no filter program at {program}{hint}")
    return [WINE_RUN, program] if args.wine else [program]


def terms_as_bytes(terms):
    encoded = [os.fsencode(term) for term in terms]
    for term in encoded:
        if any(byte in term for byte in LINE_END_BYTES):
            raise UsageError(f"a term cannot hold a line end: {term!r}")
    return encoded


def kept_paths(listing, kept_lines):
    """Maps kept lines back to the locations they came from, which they follow in order."""
    index = 0
    count = len(listing.folders)
    for line in kept_lines:
        while index < count and listing.folders[index] + b"\\" + listing.names[index] != line:
            index += 1
        if index == count:
            raise FilterRunError(f"kept line {line!r} is none of the listed locations")
        yield listing.real_path(index)
        index += 1


def summary(listing, kept_count, seconds):
    parts = [f"listed {len(listing.folders)} locations, kept {kept_count}"]
    parts.append(f"filter run {seconds * 1000:.1f} ms")
    if listing.unlistable_names:
        parts.append(f"{listing.unlistable_names} names holding CR or LF not listed")
    if listing.unreadable_folders:
        parts.append(f"{listing.unreadable_folders} folders could not be read")
    return "search_tree: " + ", ".join(parts)


def search(args):
    command = filter_command(args)
    terms = terms_as_bytes(args.terms)
    root = os.fsencode(args.root)
    if not os.path.isdir(root):
        raise UsageError(f"not a folder: {args.root}")
    listing = list_tree(root)
    tree_name = root.translate(TREE_NAME_TABLE)
    with tempfile.TemporaryDirectory(prefix="search_tree-") as folder:
        write_lists(folder, tree_name, terms, listing.folders, listing.names)
        started = time.perf_counter()
        kept_lines = run_filter(command, folder, tree_name)
        seconds = time.perf_counter() - started
    paths = list(kept_paths(listing, kept_lines))
    out = sys.stdout.buffer
    for path in paths:
        out.write(path + b"\n")
    out.flush()
    print(summary(listing, len(paths), seconds), file=sys.stderr)


def main(argv):
    args = parse_args(argv)
    try:
        search(args)
    except UsageError as error:
        print(f"search_tree: {error}", file=sys.stderr)
        return 2
    except FilterRunError as error:
        print(f"search_tree: {error}", file=sys.stderr)
        return 1
    except BrokenPipeError:
        # The reader stopped early (| head): not an error. Point stdout at /dev/null so
        # that the flush at exit does not fail again.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
