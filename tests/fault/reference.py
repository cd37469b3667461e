"""A byte-level model of one filter run, for expected outputs.

It is exact as long as every byte of every term is ASCII or one that no
well-formed UTF-8 holds (C0, C1, F5 to FF). Such a byte is always a character
of its own in the decoded text (an ASCII one, or the escape unit of that lone
byte, which has no case), whatever bytes surround it, so a folded term occurs
in a folded text exactly where its bytes occur in the ASCII-lowercased bytes.
Two non-ASCII letters lowercase to ASCII ones (U+0130 to i, U+212A KELVIN SIGN
to k), so terms holding i or k are refused here.
"""

import re

LINE_END = re.compile(rb"\r\n|\r|\n|\x00")


def split_lines(data):
    """The lines a list file holds: LF, CR LF, a lone CR and NUL each end a line;
    a last line end adds no empty entry."""
    if not data:
        return []
    lines = LINE_END.split(data)
    if lines[-1] == b"":
        lines.pop()
    return lines


def first_line(data):
    lines = split_lines(data or b"")
    return lines[0] if lines else b""


def is_own_character(byte):
    return byte < 0x80 or byte in (0xC0, 0xC1) or byte >= 0xF5


def is_modelled_term(term):
    folded = term.lower()
    return all(map(is_own_character, term)) and b"i" not in folded and b"k" not in folded


def folded_terms(terms_data):
    """The non-empty terms, ASCII-lowercased; raises for terms the model cannot follow."""
    terms = []
    for term in split_lines(terms_data or b""):
        if not term:
            continue  # an empty term keeps nothing
        if not is_modelled_term(term):
            raise ValueError("term {!r} is outside the model".format(term))
        terms.append(term.lower())
    return terms


def kept_locations(terms, folder_lines, file_lines):
    """Yields folder + backslash + file for every pair a term occurs in, in folder order."""
    for index, folder in enumerate(folder_lines):
        file = file_lines[index] if index < len(file_lines) else b""
        folder_folded = folder.lower()
        file_folded = file.lower()
        if any(term in folder_folded or term in file_folded for term in terms):
            yield folder + b"\\" + file


def expected_block(tree=None, terms=None, folders=None, files=None):
    """The block one run appends, from the bytes of the four inputs (None: missing)."""
    term_list = folded_terms(terms)
    parts = [first_line(tree), b"\n"]
    if term_list:
        for location in kept_locations(
            term_list, split_lines(folders or b""), split_lines(files or b"")
        ):
            parts.append(location)
            parts.append(b"\n")
    return b"".join(parts)
