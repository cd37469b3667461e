#!/usr/bin/env python3
"""Inspects a Windows .exe of the program: headers with mingw-w64's objdump,
resources with a small reader of the PE resource directory.

Usage: inspect_exe.py --objdump PATH --version X.Y.Z.W [--machine i386|x86-64] EXE
       inspect_exe.py --self-test

Checks that EXE is an x86 PE image of the given machine (i386: PE32, the
shipped .exe; x86-64: PE32+) and of the Windows GUI subsystem, so that no
console opens when it starts; that its import table names only DLLs that
every Windows has; that its version information names the product and the
given version; and that its application manifest runs it as the invoker and
declares Windows 7 to 11. Prints one line per check and exits 1 if any check
fails. --self-test runs the checks on sample reports and manifests, some of
which they must reject.
"""

import argparse
import fnmatch
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

from pe_resources import RT_MANIFEST, RT_VERSION, PeError, resources, version_info

# System DLLs of every supported Windows (the UCRT ones since Windows 10, and
# as an update before): anything else would have to ship beside the .exe.
ALLOWED_DLLS = ("kernel32.dll", "msvcrt.dll", "ucrtbase.dll", "api-ms-win-crt-*.dll")
GUI_SUBSYSTEM = 2

# What objdump reports for each machine: file format, architecture, magic.
MACHINES = {
    "i386": ("pei-i386", "i386", "010b", "PE32"),
    "x86-64": ("pei-x86-64", "i386:x86-64", "020b", "PE32+"),
}

PRODUCT_NAME = "searchfilter"
COPYRIGHT = "Copyright (c) 2026 the searchfilter authors"
MANIFEST_ID = 1  # CREATEPROCESS_MANIFEST_RESOURCE_ID
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SUPPORTED_OS = {
    "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


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


def check(report, machine_name="i386"):
    """Returns (name, ok, detail) for every check of one objdump report."""
    want_format, want_machine, want_magic, kind = MACHINES[machine_name]
    checks = []
    file_format = field(r"file format (\S+)", report)
    checks.append(
        (
            "format",
            file_format == want_format,
            "file format {}, want {}".format(file_format, want_format),
        )
    )
    machine = field(r"^architecture: ([^,\n]+)", report)
    checks.append(
        (
            "machine",
            machine == want_machine,
            "architecture {}, want {}".format(machine, want_machine),
        )
    )
    magic = field(r"^Magic\s+(\S+\s+\S+)", report)
    checks.append(
        (
            "magic",
            magic is not None and magic.startswith(want_magic),
            "magic {}, want {} ({})".format(magic, want_magic, kind),
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


def check_manifest(text):
    """Returns (name, ok, detail) for the checks of one application manifest."""
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        return [("manifest", False, "manifest is not well-formed XML: {}".format(error))]
    checks = [("manifest", root.tag == ASM_V1 + "assembly", "manifest root {}".format(root.tag))]
    levels = [
        element.get("level")
        for element in root.iter(ASM_V3 + "requestedExecutionLevel")
    ]
    checks.append(
        (
            "execution level",
            levels == ["asInvoker"],
            "requested execution levels {}, want exactly asInvoker".format(levels or "(none)"),
        )
    )
    declared = {element.get("Id", "").lower() for element in root.iter(COMPATIBILITY + "supportedOS")}
    missing = [name for name, guid in SUPPORTED_OS.items() if guid not in declared]
    checks.append(
        (
            "supported systems",
            not missing,
            "supportedOS for " + (", ".join(missing) + " missing" if missing else "Windows 7 to 11"),
        )
    )
    return checks


def check_resources(image, version):
    """Returns (name, ok, detail) for the version information and the manifest."""
    try:
        found = resources(image)
    except PeError as error:
        return [("resources", False, "resource directory unreadable: {}".format(error))]
    checks = []
    want = tuple(int(part) for part in version.split("."))
    data = found.get((RT_VERSION, 1))
    if data is None:
        checks.append(("version resource", False, "version resource missing"))
    else:
        try:
            file_version, product_version, strings = version_info(data)
        except PeError as error:
            file_version = product_version = None
            strings = {}
            checks.append(("version resource", False, "version resource unreadable: {}".format(error)))
        dotted = ".".join(str(part) for part in want)
        for name, got in (("file version", file_version), ("product version", product_version)):
            checks.append((name, got == want, "{} {}, want {}".format(name, got, want)))
        for key, wanted in (
            ("ProductName", PRODUCT_NAME),
            ("FileVersion", dotted),
            ("ProductVersion", dotted),
            ("LegalCopyright", COPYRIGHT),
        ):
            got = strings.get(key)
            checks.append((key, got == wanted, "{} {!r}, want {!r}".format(key, got, wanted)))
        description = strings.get("FileDescription", "")
        checks.append(
            (
                "FileDescription",
                bool(description) and "\n" not in description,
                "FileDescription {!r}, want one line".format(description),
            )
        )
    manifest = found.get((RT_MANIFEST, MANIFEST_ID))
    if manifest is None:
        checks.append(("manifest", False, "application manifest (resource 24/1) missing"))
    else:
        checks.extend(check_manifest(manifest))
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


def sample_manifest(level="asInvoker", systems=tuple(SUPPORTED_OS.values())):
    entries = "".join('<supportedOS Id="{}"/>'.format(guid) for guid in systems)
    return (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
        '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">'
        '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>'
        '<requestedExecutionLevel level="{}" uiAccess="false"/>'
        "</requestedPrivileges></security></trustInfo>"
        '<compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1"><application>{}'
        "</application></compatibility></assembly>"
    ).format(level, entries).encode()


# Each sample manifest and the checks that must fail on it.
MANIFEST_SELF_TEST_CASES = [
    ("shipped manifest", sample_manifest(), set()),
    ("elevation asked", sample_manifest(level="requireAdministrator"), {"execution level"}),
    (
        "Windows 7 left out",
        sample_manifest(systems=list(SUPPORTED_OS.values())[1:]),
        {"supported systems"},
    ),
    ("not XML", b"<assembly", {"manifest"}),
]


def self_test():
    failed = 0
    cases = [(label, check(report), must_fail) for label, report, must_fail in SELF_TEST_CASES]
    cases += [
        (label, check_manifest(text), must_fail)
        for label, text, must_fail in MANIFEST_SELF_TEST_CASES
    ]
    for label, checks, must_fail in cases:
        failing = {name for name, ok, _ in checks if not ok}
        ok = failing == must_fail
        print(
            "{}: {} (failing checks {}, want {})".format(
                "ok" if ok else "FAIL", label, sorted(failing), sorted(must_fail)
            )
        )
        failed += not ok
    return 1 if failed else 0


def main(argv):
    parser = argparse.ArgumentParser(description="Inspect a Windows .exe of the program.")
    parser.add_argument("--objdump", help="mingw-w64 objdump (i686-w64-mingw32-objdump)")
    parser.add_argument("--version", help="the version the resources must give, X.Y.Z.W")
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    parser.add_argument(
        "--self-test", action="store_true", help="check the checks on sample reports"
    )
    parser.add_argument("exe", nargs="?")
    args = parser.parse_args(argv)
    if args.self_test:
        return self_test()
    if not args.objdump or not args.exe or not args.version:
        parser.error("--objdump, --version and EXE are required")

    with open(args.exe, "rb") as f:
        image = f.read()
    checks = check(objdump(args.objdump, args.exe), args.machine)
    checks += check_resources(image, args.version)
    failed = 0
    for _, ok, detail in checks:
        print("{}: {}".format("ok" if ok else "FAIL", detail))
        failed += not ok
    verdict = "{} check(s) failed".format(failed) if failed else "all checks passed"
    print("{}: {}".format(args.exe, verdict))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
