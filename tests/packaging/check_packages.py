#!/usr/bin/env python3
"""Builds the packages of one preset, unpacks each into a fresh folder and runs the program
from there on the bundled example folder.

    check_packages.py --preset release
        the .tar.gz and the .deb (listed with dpkg-deb -c, unpacked with dpkg-deb -x)
    check_packages.py --preset windows-i686 --emulator tests/win/wine_run.sh
        the .zip; its searchfilter.exe is run through the emulator (for this 32-bit
        program, a Wine that runs 32-bit programs, with WINEPREFIX set by the caller)

The preset must be built. Each package must hold exactly the program, README.md and
LICENSE (the same bytes as the build's and the repository's), be named after the
project's version, and that version must be the first entry of CHANGELOG.md.
"""

import argparse
import os
import re
import subprocess
import sys
import tarfile
import zipfile

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO_ROOT, "tests", "support"))
from program_runs import (  # noqa: E402
    OUTPUT,
    Failure,
    Program,
    check_equal,
    read_bytes,
    temp_folder,
    write_inputs,
)

EXAMPLE = os.path.join(REPO_ROOT, "examples", "typical")
EXAMPLE_CASE = os.path.join(REPO_ROOT, "tests", "e2e", "cases", "typical_run")
DOCS = ("README.md", "LICENSE")
TIMEOUT_SECONDS = 60


def project_version(build_dir):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    raise Failure(f"no project version in {build_dir}/CMakeCache.txt")


def check_changelog(version):
    with open(os.path.join(REPO_ROOT, "CHANGELOG.md"), encoding="utf-8") as changelog:
        entries = re.findall(r"^## (\S+)", changelog.read(), re.MULTILINE)
    if not entries or entries[0] != version:
        raise Failure(f"CHANGELOG.md's first entry is {entries[:1]}, want {version}")


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, timeout=TIMEOUT_SECONDS, **kwargs)
    if result.returncode != 0:
        raise Failure(f"{command} failed ({result.returncode}): {result.stderr!r}")
    return result.stdout


def build_packages(preset, folder):
    run(["cpack", "--preset", preset, "-B", folder], cwd=REPO_ROOT)
    return sorted(name for name in os.listdir(folder) if not name.startswith("_CPack"))


def check_files(unpacked, program, doc_dir, built_program):
    """The program is the one built, and the documents are the repository's."""
    if read_bytes(program) != read_bytes(built_program):
        raise Failure(f"{program} is not {built_program}")
    for name in DOCS:
        if read_bytes(os.path.join(doc_dir, name)) != read_bytes(os.path.join(REPO_ROOT, name)):
            raise Failure(f"{name} in the package differs from the repository's")
    files = sorted(
        os.path.relpath(os.path.join(folder, name), unpacked)
        for folder, _, names in os.walk(unpacked)
        for name in names
    )
    want = sorted(
        os.path.relpath(path, unpacked)
        for path in [program] + [os.path.join(doc_dir, name) for name in DOCS]
    )
    if files != want:
        raise Failure(f"unpacked files {files}, want {want}")


def check_example_run(program):
    """The unpacked program, run in a copy of examples/typical, appends the expected block."""
    example = {name: read_bytes(os.path.join(EXAMPLE, name)) for name in os.listdir(EXAMPLE)}
    for name, data in example.items():
        if data != read_bytes(os.path.join(EXAMPLE_CASE, name)):
            raise Failure(f"examples/typical/{name} differs from the typical_run case's")
    with temp_folder("package-run") as work:
        write_inputs(work, example)
        program.run(work, f"{program.binary} on examples/typical", TIMEOUT_SECONDS)
        got = read_bytes(os.path.join(work, OUTPUT))
    check_equal(got, read_bytes(os.path.join(EXAMPLE_CASE, "expected.txt")), OUTPUT)


def check_tarball(path, built_program, scratch):
    unpacked = os.path.join(scratch, "tgz")
    with tarfile.open(path) as archive:
        archive.extractall(unpacked, filter="data")
    top = os.path.join(unpacked, os.path.basename(path)[: -len(".tar.gz")])
    program = os.path.join(top, "bin", "searchfilter")
    check_files(unpacked, program, os.path.join(top, "share", "doc", "searchfilter"), built_program)
    check_example_run(Program(program))


def check_deb(path, version, built_program, scratch):
    fields = run(["dpkg-deb", "-f", path, "Package", "Version", "Architecture"]).decode()
    architecture = run(["dpkg", "--print-architecture"]).decode().strip()
    want_fields = f"Package: searchfilter\nVersion: {version}\nArchitecture: {architecture}\n"
    if fields != want_fields:
        raise Failure(f"control fields {fields!r}, want {want_fields!r}")
    listed = sorted(
        line.split()[-1]
        for line in run(["dpkg-deb", "-c", path]).decode().splitlines()
        if line.startswith("-")
    )
    want_listed = sorted(
        ["./usr/bin/searchfilter"] + [f"./usr/share/doc/searchfilter/{name}" for name in DOCS]
    )
    if listed != want_listed:
        raise Failure(f"dpkg-deb -c lists {listed}, want {want_listed}")
    unpacked = os.path.join(scratch, "deb")
    run(["dpkg-deb", "-x", path, unpacked])
    program = os.path.join(unpacked, "usr", "bin", "searchfilter")
    doc_dir = os.path.join(unpacked, "usr", "share", "doc", "searchfilter")
    check_files(unpacked, program, doc_dir, built_program)
    check_example_run(Program(program))


def check_zip(path, emulator, built_program, scratch):
    unpacked = os.path.join(scratch, "zip")
    with zipfile.ZipFile(path) as archive:
        archive.extractall(unpacked)
    top = os.path.join(unpacked, os.path.basename(path)[: -len(".zip")])
    program = os.path.join(top, "searchfilter.exe")
    check_files(unpacked, program, top, built_program)
    if emulator:
        check_example_run(Program(program, [emulator]))
    else:
        print("note: no --emulator, so the unpacked searchfilter.exe was not run")


def check_preset(preset, emulator):
    build_dir = os.path.join(REPO_ROOT, "build", preset)
    version = project_version(build_dir)
    check_changelog(version)
    with temp_folder("packages") as scratch:
        folder = os.path.join(scratch, "packages")
        made = build_packages(preset, folder)
        if preset.startswith("windows"):
            built = os.path.join(build_dir, "searchfilter.exe")
            platform = "win32" if preset == "windows-i686" else "win64"
            want = [f"searchfilter-{version}-{platform}.zip"]
            checks = [lambda path: check_zip(path, emulator, built, scratch)]
        else:
            built = os.path.join(build_dir, "searchfilter")
            architecture = run(["dpkg", "--print-architecture"]).decode().strip()
            system = f"{os.uname().sysname}-{os.uname().machine}".lower()
            want = [
                f"searchfilter-{version}-{system}.tar.gz",
                f"searchfilter_{version}_{architecture}.deb",
            ]
            checks = [
                lambda path: check_tarball(path, built, scratch),
                lambda path: check_deb(path, version, built, scratch),
            ]
        if sorted(made) != sorted(want):
            raise Failure(f"cpack made {made}, want {want}")
        for name, check in zip(want, checks):
            check(os.path.join(folder, name))
            print(f"PASS {name}")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preset", required=True, choices=["release", "windows-i686"])
    parser.add_argument("--emulator", help="runs the .exe, e.g. tests/win/wine_run.sh")
    args = parser.parse_args(argv)
    emulator = os.path.abspath(args.emulator) if args.emulator else None
    try:
        check_preset(args.preset, emulator)
    except Failure as failure:
        print(f"FAIL {args.preset} packages: {failure}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
