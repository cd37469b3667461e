"""Calling searchfilter from Python: write the four lists, run it, read back its own block.

    write_lists(folder, b"My tree", [b"term"], [b"C:\\Docs"], [b"notes.txt"])
    kept = run_filter(["/abs/path/to/searchfilter"], folder, b"My tree")

Every item is bytes in UTF-8 (or any bytes: they are carried through unchanged) and holds
no CR, LF or NUL, which would end its line early. The folder must be the caller's own: a
run's block is found as everything the output list gained during that run.
"""

import os
import subprocess

OUTPUT_NAME = "searchOutputList.txt"


class FilterRunError(Exception):
    """The run left no complete block of its own in the output list."""


def write_list(path, lines):
    # Plain bytes: LF line ends and no byte-order mark, which would join the first line.
    with open(path, "wb") as f:
        f.write(b"".join(line + b"\n" for line in lines))


def write_lists(folder, tree_name, terms, folders, files):
    write_list(os.path.join(folder, "searchTreeName.txt"), [tree_name])
    write_list(os.path.join(folder, "searchTermsList.txt"), terms)
    write_list(os.path.join(folder, "foldersScratch.txt"), folders)
    write_list(os.path.join(folder, "filesScratch.txt"), files)


def output_length(folder):
    try:
        return os.path.getsize(os.path.join(folder, OUTPUT_NAME))
    except FileNotFoundError:
        return 0


def run_filter(command, folder, tree_name):
    """Runs command (an absolute path: a relative one would be taken from inside folder)
    in folder and returns the kept "folder\\file" lines of its block, as bytes."""
    before = output_length(folder)
    result = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL)
    # searchfilter itself always ends with 0: anything else means it did not run through.
    if result.returncode != 0:
        raise FilterRunError(f"searchfilter ended with exit code {result.returncode}")
    try:
        with open(os.path.join(folder, OUTPUT_NAME), "rb") as f:
            f.seek(before)
            block = f.read()
    except FileNotFoundError:
        block = b""
    if not block:
        raise FilterRunError(
            "searchfilter appended nothing: the output list was held by another writer"
            " for more than 5 s, or it or its folder is read-only"
        )
    lines = block.split(b"\n")
    if lines.pop() != b"" or lines[0] != tree_name:
        raise FilterRunError("the output list gained something that is not this run's block")
    return lines[1:]
