#!/usr/bin/env python3
"""End-to-end test of a search-tree front end against a plain walk-and-match.

    search_tree_test.py --filter build/debug/searchfilter
        runs tools/search_tree.py with that filter on a generated Linux tree
    search_tree_test.py --wine build/windows-x86_64/searchfilter.exe
        the same with tools/search_tree.py --wine EXE (set WINEPREFIX to share a prefix)
    search_tree_test.py --windows-frontend build/windows-x86_64/search_tree.exe \
                        --emulator tests/win/wine_run.sh
        runs the Win32 front end (which starts the searchfilter.exe beside it) on a tree
        of names that Windows allows

Each case searches the same tree for a few terms. The answer must be exactly the
locations that the reference below keeps: every file (and link) and every empty folder,
matched case-blind by Unicode's simple lowercase mapping per character (accents kept),
each term against the folder text and the name on their own. The front end's summary
must count the same locations.
"""

import argparse
import functools
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO_ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO_ROOT, "tools"))
sys.path.insert(0, os.path.join(REPO_ROOT, "tests", "support"))
from gen_lower_table import DEFAULT_INPUT, read_lowercase_map  # noqa: E402
from program_runs import Failure, run_captured, run_each, temp_folder  # noqa: E402

SEARCH_TREE = os.path.join(REPO_ROOT, "tools", "search_tree.py")
TIMEOUT_SECONDS = 120

# (relative path, kind): "file", "folder" (made empty unless something goes inside) or
# "link" (to the folder Música). Names Windows refuses are marked Linux-only.
TREE = [
    ("Relatório Anual/Relatório Final.PDF", "file"),
    ("Relatório Anual/notas.txt", "file"),
    ("Relatório Anual/2024/Resumo AÇÃO.txt", "file"),
    ("Música/Canção do Mar.mp3", "file"),
    ("Música/song with spaces.ogg", "file"),
    ("Música/ÉPOCA", "folder"),
    ("empty folder", "folder"),
    ("accents/café.txt", "file"),
    ("accents/cafe.txt", "file"),
    ("İstanbul.txt", "file"),
    ("istanbul notes.txt", "file"),
    ("ΟΔΟΣ.txt", "file"),
    ("\u212aelvin.txt", "file"),
    ("top.txt", "file"),
]
LINUX_ONLY_TREE = [
    (b"a\\b/c.txt", "file"),
    (b"a/b\\c.txt", "file"),
    (b"caf\xe9.txt", "file"),
    (b"bad\xff dir/inside.txt", "file"),
    (b"link to M\xc3\xbasica", "link"),
    (b"line\nbreak.txt", "file"),
    (b"carriage\rreturn.txt", "file"),
    (b"cr\rdir/hidden.txt", "file"),
]
UNLISTABLE_NAMES = 3  # the names above that hold CR or LF

# (case name, terms, Linux only). Terms are str, or bytes where they are not UTF-8.
CASES = [
    ("folder_and_file_names", ["relatório"], False),
    ("several_terms", ["PDF", "mp3"], False),
    ("accents_kept_capitals_folded", ["CAFÉ"], False),
    ("empty_folders_found", ["époCA", "EMPTY"], False),
    ("dotted_capital_i_folds_to_i", ["İSTANBUL"], False),
    ("sigma_without_final_form", ["οδοσ"], False),
    ("kelvin_sign_folds_to_k", ["kelvin"], False),
    ("spaces_kept_in_terms", [" with "], False),
    ("nothing_kept", ["no such name", ""], False),
    ("backslash_in_file_name", ["b\\c"], True),
    ("backslash_in_folder_name", ["a\\b"], True),
    ("ill_formed_byte_matches_itself", [b"\xe9", b"\xff"], True),
    ("link_listed_not_followed", ["link"], True),
    ("names_with_line_ends_not_listed", ["break", "return", "hidden"], True),
    ("folder_text_ends_with_slash", ["/"], True),
]


def make_tree(root, linux):
    entries = [(path.encode(), kind) for path, kind in TREE]
    if linux:
        entries += LINUX_ONLY_TREE
    for path, kind in entries:
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        if kind == "folder":
            os.makedirs(full, exist_ok=True)
        elif kind == "link":
            os.symlink("Música", full)
        else:
            with open(full, "wb") as f:
                f.write(b"x")


class Folding:
    def __init__(self, unicode_data):
        self.lower = read_lowercase_map(unicode_data)

    def fold(self, data):
        # An ill-formed byte decodes to a lone surrogate of its own, which has no case.
        text = data.decode("utf-8", "surrogateescape")
        return "".join(chr(self.lower.get(ord(ch), ord(ch))) for ch in text)


def folder_text(parts, linux):
    if linux:
        return b"".join(part + b"/" for part in parts)
    return b"\\".join(parts)


def reference_locations(root, linux):
    """(folder text, name, path below root) of every location, by a plain os.walk."""
    locations = []
    unlistable = 0
    for folder, subfolders, files in os.walk(root):
        parts = os.path.relpath(folder, root).split(b"/") if folder != root else []
        links = [name for name in subfolders if os.path.islink(os.path.join(folder, name))]
        if not subfolders and not files and parts:
            locations.append((folder_text(parts, linux), b"", b"/".join(parts) + b"/"))
        for name in sorted(files + links):
            if b"\r" in name or b"\n" in name:
                unlistable += 1
            else:
                locations.append((folder_text(parts, linux), name, b"/".join(parts + [name])))
        unlistable += sum(1 for name in subfolders if b"\r" in name or b"\n" in name)
        subfolders[:] = [name for name in subfolders if name not in links]
        subfolders[:] = [name for name in subfolders if b"\r" not in name and b"\n" not in name]
    return locations, unlistable


def expected_paths(locations, terms, folding):
    folded_terms = [folding.fold(term) for term in terms if term]
    kept = []
    for folder, name, path in locations:
        texts = (folding.fold(folder), folding.fold(name))
        if any(term in text for term in folded_terms for text in texts):
            kept.append(path)
    return sorted(kept)


def as_bytes(term):
    return term if isinstance(term, bytes) else term.encode("utf-8")


def run(command, cwd, env=None):
    return run_captured(command, cwd, "the front end", TIMEOUT_SECONDS, env=env)


class PythonFrontEnd:
    """tools/search_tree.py with a native filter, or with a searchfilter .exe under Wine."""

    linux = True
    # A program that ends with 0 but appends nothing, as a run that cannot write does.
    failing_filter = "/bin/true"
    failure_message = b"appended nothing"

    def __init__(self, filter_option):
        self.filter_option = filter_option

    def search(self, work, terms, filter_program=None):
        root = os.path.join(work, b"tree")
        options = ["--filter", filter_program] if filter_program else self.filter_option
        result = run([sys.executable, SEARCH_TREE] + options + [root] + terms, work)
        prefix = root + b"/"
        paths = result.stdout.splitlines()
        stray = [path for path in paths if not path.startswith(prefix)]
        if stray:
            raise Failure(f"paths outside the tree: {stray}")
        return result, [path[len(prefix) :] for path in paths]


class WindowsFrontEnd:
    """search_tree.exe, which starts the searchfilter.exe beside it, under Wine."""

    linux = False
    failure_message = b"ended with exit code 2"

    def __init__(self, exe, emulator):
        self.exe = exe
        self.emulator = emulator
        # A program that ends with 2: the front end itself, called without arguments.
        self.failing_filter = "Z:" + exe.replace("/", "\\")
        # Wine turns arguments and file names into UTF-16 by the locale's character set.
        self.env = dict(os.environ, LC_ALL="C.UTF-8")

    def search(self, work, terms, filter_program=None):
        options = ["--filter", filter_program] if filter_program else []
        arguments = options + ["tree"] + [as_bytes(term) for term in terms]
        result = run([self.emulator, self.exe] + arguments, work, self.env)
        paths = result.stdout.decode("utf-8", "replace").splitlines()
        stray = [path for path in paths if not path.startswith("tree\\")]
        if stray:
            raise Failure(f"paths outside the tree: {stray}")
        return result, [path[len("tree\\") :].replace("\\", "/").encode() for path in paths]


SUMMARY = re.compile(rb"listed (\d+) locations, kept (\d+)")
UNLISTED = re.compile(rb"(\d+) names holding CR or LF not listed")


def check_case(front_end, work, terms, locations, unlistable, folding):
    result, got = front_end.search(work, list(terms))
    if result.returncode != 0:
        raise Failure(f"exit code {result.returncode}: {result.stderr!r}")
    want = expected_paths(locations, [as_bytes(term) for term in terms], folding)
    if sorted(got) != want:
        missing = sorted(set(want) - set(got))
        extra = sorted(set(got) - set(want))
        raise Failure(f"kept {sorted(got)}, want {want} (missing {missing}, extra {extra})")
    summary = SUMMARY.search(result.stderr)
    if not summary:
        raise Failure(f"no summary line on stderr: {result.stderr!r}")
    if (int(summary[1]), int(summary[2])) != (len(locations), len(want)):
        raise Failure(
            f"summary {summary[0]!r}, want {len(locations)} locations and {len(want)} kept"
        )
    unlisted = UNLISTED.search(result.stderr)
    if (int(unlisted[1]) if unlisted else 0) != unlistable:
        raise Failure(f"summary {result.stderr!r} should count {unlistable} unlisted names")


def check_failed_run_reported(front_end, work):
    """A filter run that leaves no block is a failure, never an empty answer."""
    result, paths = front_end.search(work, ["x"], front_end.failing_filter)
    if result.returncode != 1 or paths or front_end.failure_message not in result.stderr:
        raise Failure(f"exit {result.returncode}, kept {paths}, stderr {result.stderr!r}")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--filter", help="native searchfilter for tools/search_tree.py")
    parser.add_argument("--wine", metavar="EXE", help="searchfilter .exe for search_tree.py")
    parser.add_argument("--windows-frontend", metavar="EXE", help="the Win32 front end")
    parser.add_argument("--emulator", help="the script that runs EXE: tests/win/wine_run.sh")
    parser.add_argument("--unicode-data", default=DEFAULT_INPUT)
    args = parser.parse_args(argv)
    if [bool(args.filter), bool(args.wine), bool(args.windows_frontend)].count(True) != 1:
        parser.error("give one of --filter, --wine and --windows-frontend")
    if args.windows_frontend and not args.emulator:
        parser.error("--windows-frontend needs --emulator")

    if args.filter:
        front_end = PythonFrontEnd(["--filter", os.path.abspath(args.filter)])
    elif args.wine:
        front_end = PythonFrontEnd(["--wine", os.path.abspath(args.wine)])
    else:
        exe = os.path.abspath(args.windows_frontend)
        front_end = WindowsFrontEnd(exe, os.path.abspath(args.emulator))
    folding = Folding(args.unicode_data)
    linux = front_end.linux
    cases = [(name, terms) for name, terms, linux_only in CASES if linux or not linux_only]
    with temp_folder("search-tree-test") as work:
        work = os.fsencode(work)
        make_tree(os.path.join(work, b"tree"), linux)
        locations, unlistable = reference_locations(os.path.join(work, b"tree"), linux)
        if unlistable != (UNLISTABLE_NAMES if linux else 0):
            raise SystemExit(f"the reference walk found {unlistable} unlistable names")
        checks = {
            name: functools.partial(
                check_case, front_end, work, terms, locations, unlistable, folding
            )
            for name, terms in cases
        }
        checks["failed_run_reported"] = functools.partial(
            check_failed_run_reported, front_end, work
        )
        return run_each(list(checks), lambda name: checks[name]())


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
