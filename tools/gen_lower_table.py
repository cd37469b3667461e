#!/usr/bin/env python3
"""Generate filter/lower_table.cpp, the simple lowercase mapping, from UnicodeData.txt.

Usage: gen_lower_table.py [UnicodeData.txt [output.cpp]] [--unicode-version X.Y.Z]

Field 13 of UnicodeData.txt is the simple (one-to-one) lowercase mapping. The
generated lookup is a three-step table:
  kBlockIndex[cp >> 7]   block number of the 128 code points around cp
  kBlocks[block][cp & 127] index into kDeltas
  kDeltas[index]         value to add to cp
Identical blocks are stored once, block 0 is the block without mappings, and
code points at or beyond the last block with mappings return at once.
The Unicode version is read from ReadMe.txt or DerivedAge.txt next to the
input file; --unicode-version overrides it, and 15.0.0 is used when neither
file says.
"""

import argparse
import os
import re
import sys

DEFAULT_INPUT = "/usr/share/unicode/UnicodeData.txt"
DEFAULT_VERSION = "15.0.0"
SCRIPT_NAME = "tools/gen_lower_table.py"
BLOCK_SHIFT = 7
BLOCK_SIZE = 1 << BLOCK_SHIFT
MAX_CODE_POINT = 0x10FFFF
VALUES_PER_LINE = 16
COLUMN_LIMIT = 100


def is_surrogate(cp):
    return 0xD800 <= cp <= 0xDFFF


def parse_code_point(text, line_number):
    if not re.fullmatch(r"[0-9A-Fa-f]{4,6}", text):
        raise ValueError(f"line {line_number}: bad code point {text!r}")
    cp = int(text, 16)
    if cp > MAX_CODE_POINT:
        raise ValueError(f"line {line_number}: code point {text} beyond U+10FFFF")
    return cp


def read_lowercase_map(path):
    """Return {code point: simple lowercase mapping} for every code point that has one."""
    mapping = {}
    seen = set()
    range_start = None  # (code point, name prefix) of a pending "<..., First>" entry
    with open(path, encoding="utf-8") as data:
        for line_number, line in enumerate(data, 1):
            line = line.rstrip("\r\n")
            if not line:
                continue
            fields = line.split(";")
            if len(fields) != 15:
                raise ValueError(f"line {line_number}: {len(fields)} fields, expected 15")
            cp = parse_code_point(fields[0], line_number)
            if cp in seen:
                raise ValueError(f"line {line_number}: U+{cp:04X} listed twice")
            seen.add(cp)
            name = fields[1]
            lower = fields[13]

            # Ranges ("<CJK Ideograph, First>" ... "<CJK Ideograph, Last>") stand for
            # every code point between; a mapping there would have no sensible meaning.
            if name.endswith(", First>"):
                if range_start is not None:
                    raise ValueError(f"line {line_number}: range inside a range")
                range_start = (cp, name[: -len(", First>")])
            elif name.endswith(", Last>"):
                if range_start is None or range_start[1] != name[: -len(", Last>")]:
                    raise ValueError(f"line {line_number}: range end without its start")
                if range_start[0] > cp:
                    raise ValueError(f"line {line_number}: range ends before it starts")
                range_start = None
            elif range_start is not None:
                raise ValueError(f"line {line_number}: range start without its end")
            if (name.endswith(", First>") or name.endswith(", Last>")) and lower:
                raise ValueError(f"line {line_number}: range entry with a lowercase mapping")

            if not lower:
                continue
            target = parse_code_point(lower, line_number)
            if is_surrogate(cp) or is_surrogate(target):
                raise ValueError(f"line {line_number}: surrogate in a lowercase mapping")
            if target != cp:
                mapping[cp] = target
    if range_start is not None:
        raise ValueError("range start without its end at the end of the file")
    if not mapping:
        raise ValueError("no lowercase mappings found")
    return mapping


def detect_version(input_path):
    """The Unicode version stated by the files beside input_path, or None."""
    folder = os.path.dirname(os.path.abspath(input_path))
    probes = [
        ("ReadMe.txt", r"for Version (\d+\.\d+\.\d+) of the Unicode Standard"),
        ("DerivedAge.txt", r"^# DerivedAge-(\d+\.\d+\.\d+)\.txt"),
    ]
    for file_name, pattern in probes:
        try:
            with open(os.path.join(folder, file_name), encoding="utf-8") as f:
                head = f.read(4096)
        except OSError:
            continue
        found = re.search(pattern, head, re.MULTILINE)
        if found:
            return found.group(1)
    return None


def build_tables(mapping):
    """Split the mapping into (block index, blocks, deltas, limit)."""
    limit = ((max(mapping) >> BLOCK_SHIFT) + 1) << BLOCK_SHIFT
    deltas = [0]
    delta_slot = {0: 0}
    identity = tuple([0] * BLOCK_SIZE)
    blocks = [identity]
    block_number = {identity: 0}
    block_index = []
    for start in range(0, limit, BLOCK_SIZE):
        slots = []
        for cp in range(start, start + BLOCK_SIZE):
            delta = mapping.get(cp, cp) - cp
            if delta not in delta_slot:
                delta_slot[delta] = len(deltas)
                deltas.append(delta)
            slots.append(delta_slot[delta])
        slots = tuple(slots)
        if slots not in block_number:
            block_number[slots] = len(blocks)
            blocks.append(slots)
        block_index.append(block_number[slots])
    return block_index, blocks, deltas, limit


def lookup(tables, cp):
    """The generated C++ function, in Python, to check the tables before writing them."""
    block_index, blocks, deltas, limit = tables
    if cp >= limit:
        return cp
    block = block_index[cp >> BLOCK_SHIFT]
    if block == 0:
        return cp
    return cp + deltas[blocks[block][cp & (BLOCK_SIZE - 1)]]


def unsigned_type(largest):
    for bits in (8, 16, 32):
        if largest < 1 << bits:
            return f"std::uint{bits}_t", bits // 8
    raise ValueError("value too large for a table")


def format_values(values, indent="    "):
    width = max(len(str(v)) for v in values)
    per_line = min(VALUES_PER_LINE, (COLUMN_LIMIT - len(indent)) // (width + 2))
    lines = []
    for i in range(0, len(values), per_line):
        row = values[i : i + per_line]
        lines.append(indent + ", ".join(str(v).rjust(width) for v in row) + ",")
    return lines


def render(tables, input_label, version):
    block_index, blocks, deltas, limit = tables
    index_type, index_bytes = unsigned_type(len(blocks) - 1)
    slot_type, slot_bytes = unsigned_type(len(deltas) - 1)
    if not all(-(1 << 31) <= d < 1 << 31 for d in deltas):
        raise ValueError("delta does not fit in int32")
    size = len(block_index) * index_bytes + len(blocks) * BLOCK_SIZE * slot_bytes + len(deltas) * 4

    out = [
        f"// Generated by {SCRIPT_NAME} from {input_label} (Unicode {version}).",
        "// Do not edit by hand: change the script and run it again.",
        "//",
        "// Simple lowercase mapping (UnicodeData.txt field 13) as a table lookup:",
        f"// kBlockIndex picks one of {len(blocks)} shared blocks of {BLOCK_SIZE} code points,",
        "// the block gives an index into kDeltas, the delta is added to the code point.",
        f"// Tables: {size} bytes.",
        '#include "filter/lower_table.h"',
        "",
        "#include <cstdint>",
        "",
        "namespace filter {",
        "namespace {",
        "",
        "// No code point from here on has a lowercase mapping.",
        f"constexpr char32_t kMappedLimit = 0x{limit:X};",
        f"constexpr unsigned kBlockShift = {BLOCK_SHIFT};",
        f"constexpr char32_t kBlockMask = 0x{BLOCK_SIZE - 1:X};",
        "",
        "// clang-format off",
        f"// Block number of every {BLOCK_SIZE} code points below kMappedLimit; block 0 maps nothing.",
        f"constexpr {index_type} kBlockIndex[{len(block_index)}] = {{",
    ]
    out += format_values(block_index)
    out += [
        "};",
        "",
        "// Per block and code point, the index of its delta in kDeltas.",
        f"constexpr {slot_type} kBlocks[{len(blocks)}][{BLOCK_SIZE}] = {{",
    ]
    users = {}
    for number, block in enumerate(block_index):
        users.setdefault(block, []).append(f"U+{number << BLOCK_SHIFT:04X}")
    for number, block in enumerate(blocks):
        used_at = "no mappings" if number == 0 else "used at " + " ".join(users[number])
        out.append(f"    {{  // block {number}: {used_at}")
        out += format_values(block, indent="        ")
        out.append("    },")
    out += [
        "};",
        "",
        "// Lowercase mapping minus code point.",
        f"constexpr std::int32_t kDeltas[{len(deltas)}] = {{",
    ]
    out += format_values(deltas)
    out += [
        "};",
        "// clang-format on",
        "",
        "}  // namespace",
        "",
        "char32_t simpleLowercase(char32_t codePoint) {",
        "    if (codePoint >= kMappedLimit) return codePoint;",
        "    const unsigned block = kBlockIndex[codePoint >> kBlockShift];",
        "    if (block == 0) return codePoint;",
        "    const std::int32_t delta = kDeltas[kBlocks[block][codePoint & kBlockMask]];",
        "    return static_cast<char32_t>(static_cast<std::int32_t>(codePoint) + delta);",
        "}",
        "",
        "}  // namespace filter",
        "",
    ]
    return "\n".join(out), size


def main():
    repo_root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description="Generate the simple lowercase mapping table.")
    parser.add_argument("input", nargs="?", default=DEFAULT_INPUT, help="UnicodeData.txt")
    parser.add_argument(
        "output",
        nargs="?",
        default=os.path.join(repo_root, "filter", "lower_table.cpp"),
        help="generated C++ file (default: filter/lower_table.cpp in the repository)",
    )
    parser.add_argument("--unicode-version", help="Unicode version to name in the output")
    args = parser.parse_args()

    version = args.unicode_version or detect_version(args.input) or DEFAULT_VERSION
    if not re.fullmatch(r"\d+\.\d+\.\d+", version):
        parser.error(f"bad Unicode version {version!r}")
    mapping = read_lowercase_map(args.input)
    tables = build_tables(mapping)
    for cp in range(MAX_CODE_POINT + 2):
        if lookup(tables, cp) != mapping.get(cp, cp):
            raise AssertionError(f"table lookup wrong for U+{cp:04X}")

    text, size = render(tables, args.input, version)
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    print(
        f"{args.output}: {len(mapping)} mappings, {len(tables[1])} blocks, "
        f"{len(tables[2])} deltas, {size} bytes of tables",
        file=sys.stderr,
    )


if __name__ == "__main__":
    try:
        main()
    except (OSError, ValueError) as error:
        sys.exit(f"gen_lower_table.py: {error}")
