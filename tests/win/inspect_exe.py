#!/usr/bin/env python3
"""Inspects the shipped Windows .exe with mingw-w64's objdump.

Usage: inspect_exe.py --objdump PATH EXE
       inspect_exe.py --self-test

Checks that EXE is a 32-bit x86 PE image (PE32, machine i386) of the Windows
GUI subsystem, so that no console opens when it starts, and that its import
table names only DLLs that every Windows has. Prints one line per check and
exits 1 if any check fails. --self-test runs the checks on sample reports,
some of which they must reject.
"""

import argparse
import fnmatch
import re
import subprocess
import sys

# System DLLs of every supported Windows (the UCRT ones since Windows 10, and
# as an update before): anything else would have to ship beside the .exe.
ALLOWED_DLLS = ("kernel32.dll", "msvcrt.dll", "ucrtbase.dll", "api-ms-win-crt-*.dll")
GUI_SUBSYSTEM = 2


def objdump(tool, exe):
    result = subprocess.run(
        [tool, "-f", "-p", exe], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True
    )
    if result.returncode != 0:
        sys.exit("FAIL: {} could not read {}: {}".format(tool, exe, result.stderr.strip()))
    return result.stdout


def field(pattern, text):
    match = re.search(pattern, text, re.MULTILINE)
    return " ".join(match.group(1).split()) if match else None


def is_system_dll(name):
    return any(fnmatch.fnmatch(name.lower(), allowed) for allowed in ALLOWED_DLLS)


def check(report):
    """Returns (name, ok, detail) for every check of one objdump report."""
    checks = []
    file_format = field(r"file format (\S+)", report)
    checks.append(
        ("format", file_format == "pei-i386", "file format {}, want pei-i386".format(file_format))
    )
    machine = field(r"^architecture: ([^,\n]+)", report)
    checks.append(("machine", machine == "i386", "architecture {}, want i386".format(machine)))
    magic = field(r"^Magic\s+(\S+\s+\S+)", report)
    checks.append(
        (
            "magic",
            magic is not None and magic.startswith("010b"),
            "magic {}, want 010b (PE32)".format(magic),
        )
    )

    subsystem = re.search(r"^Subsystem\s+([0-9a-fA-F]+)\s*(\(.*\))?", report, re.MULTILINE)
    if subsystem:
        number = int(subsystem.group(1), 16)
        detail = "subsystem {} {}, want {} (Windows GUI)".format(
            number, subsystem.group(2) or "", GUI_SUBSYSTEM
        )
        checks.append(("subsystem", number == GUI_SUBSYSTEM, detail))
    else:
        checks.append(("subsystem", False, "subsystem not found in the report"))

    dlls = re.findall(r"^\s*DLL Name:\s*(\S+)", report, re.MULTILINE)
    foreign = [name for name in dlls if not is_system_dll(name)]
    has_kernel32 = any(name.lower() == "kernel32.dll" for name in dlls)
    detail = "imports {}".format(", ".join(dlls) or "(none found)")
    if foreign:
        detail += "; not system DLLs: " + ", ".join(foreign)
    checks.append(("imports", has_kernel32 and not foreign, detail))
    return checks


def sample_report(
    file_format="pei-i386",
    machine="i386",
    magic="010b\t(PE32)",
    subsystem="00000002\t(Windows GUI)",
    dlls=("KERNEL32.dll", "msvcrt.dll"),
):
    lines = [
        "prog.exe:     file format " + file_format,
        "architecture: {}, flags 0x0000010a:".format(machine),
        "",
        "Magic\t\t\t" + magic,
        "Subsystem\t\t" + subsystem,
        "The Import Tables (interpreted .idata section contents)",
    ]
    lines += ["\tDLL Name: " + name for name in dlls]
    return "\n".join(lines) + "\n"


UCRT = ("KERNEL32.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "ucrtbase.dll")

# Each sample report and the checks that must fail on it (none: all pass).
SELF_TEST_CASES = [
    ("shipped form", sample_report(), set()),
    ("ucrt imports", sample_report(dlls=UCRT), set()),
    (
        "64-bit image",
        sample_report("pei-x86-64", "i386:x86-64", "020b\t(PE32+)"),
        {"format", "machine", "magic"},
    ),
    ("console program", sample_report(subsystem="00000003\t(Windows CUI)"), {"subsystem"}),
    (
        "dynamic libstdc++",
        sample_report(dlls=("KERNEL32.dll", "msvcrt.dll", "libstdc++-6.dll")),
        {"imports"},
    ),
    ("winpthread DLL", sample_report(dlls=("KERNEL32.dll", "libwinpthread-1.dll")), {"imports"}),
    ("USER32", sample_report(dlls=("KERNEL32.dll", "USER32.dll")), {"imports"}),
    ("no import table found", sample_report(dlls=()), {"imports"}),
]


def self_test():
    failed = 0
    for label, report, must_fail in SELF_TEST_CASES:
        failing = {name for name, ok, _ in check(report) if not ok}
        ok = failing == must_fail
        print(
            "{}: {} (failing checks {}, want {})".format(
                "ok" if ok else "FAIL", label, sorted(failing), sorted(must_fail)
            )
        )
        failed += not ok
    return 1 if failed else 0


def main(argv):
    parser = argparse.ArgumentParser(description="Inspect the shipped Windows .exe.")
    parser.add_argument("--objdump", help="mingw-w64 objdump (i686-w64-mingw32-objdump)")
    parser.add_argument(
        "--self-test", action="store_true", help="check the checks on sample reports"
    )
    parser.add_argument("exe", nargs="?")
    args = parser.parse_args(argv)
    if args.self_test:
        return self_test()
    if not args.objdump or not args.exe:
        parser.error("--objdump and EXE are required")

    failed = 0
    for _, ok, detail in check(objdump(args.objdump, args.exe)):
        print("{}: {}".format("ok" if ok else "FAIL", detail))
        failed += not ok
    verdict = "{} check(s) failed".format(failed) if failed else "all checks passed"
    print("{}: {}".format(args.exe, verdict))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
