#!/usr/bin/env python3
"""build-info.py RELEASE_DIR: the BUILDINFO text of the symbols archive, what
it takes to trace a release back to how it was built: the version, the
commit (from git when the build was configured: cmake/QcpSourceState.cmake),
its time, the Debian source packages built in, the versions of the
toolchain's programs, and every Debian package that owns a program, header
or library the build used. Those files are the compilers and binary tools
the build ran (the compile_commands.json of the build and of libyaml's, the
CMake cache), the headers of every
object (ninja's dependency log of the build and of libyaml's), and the
archives the DLL was linked from (its link map). Nothing in it depends on
the folder, the time zone or the locale it is written in."""
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time

PROJECT = "qcp-be-qel-beta-opt-in"
TOOL_ENTRIES = ("CMAKE_AR", "CMAKE_LINKER", "CMAKE_OBJCOPY", "CMAKE_STRIP", "CMAKE_RANLIB", "CMAKE_RC_COMPILER",
                "CMAKE_COMMAND", "CMAKE_MAKE_PROGRAM")


def run(*command):
    done = subprocess.run(command, capture_output=True, text=True, errors="replace",
                          env=dict(os.environ, LC_ALL="C"))
    return done.stdout


def read_cache(release):
    cache = {}
    for line in (release / "CMakeCache.txt").read_text(encoding="utf-8", errors="replace").splitlines():
        found = re.match(r"^([A-Za-z_][\w-]*):[A-Z]+=(.*)$", line)
        if found:
            cache[found.group(1)] = found.group(2)
    return cache


def programs_used(release, cache):
    """The programs the build ran: compilers with the programs they drive, the
    binary tools, CMake and ninja."""
    compilers = set()
    for commands in sorted(release.rglob("compile_commands.json")):  # the build's and libyaml's
        for entry in json.loads(commands.read_text()):
            compilers.add(entry["command"].split()[0])
    programs = set(compilers)
    for compiler in compilers:
        for driven in ("cc1", "cc1plus", "as", "ld", "collect2", "lto-wrapper"):
            path = run(compiler, f"-print-prog-name={driven}").strip()
            if path.startswith("/"):
                programs.add(path)
    programs.update(cache[name] for name in TOOL_ENTRIES if cache.get(name, "").startswith("/"))
    return sorted(programs), sorted(compilers)


def files_read(release, cache):
    """The headers of every object (ninja's dependency logs) and the archives
    and import libraries the DLL was linked from (its link map)."""
    files = set()
    ninja = cache.get("CMAKE_MAKE_PROGRAM", "ninja")
    for build_file in sorted(release.rglob("build.ninja")):
        listing = run(ninja, "-C", str(build_file.parent), "-t", "deps")
        files.update(line.strip() for line in listing.splitlines() if line.startswith("    "))
    for link_map in release.glob("*.map"):
        text = link_map.read_text(encoding="utf-8", errors="replace")
        files.update(re.findall(r"^LOAD (\S+)$", text, re.M))
    return {path for path in files if path.startswith("/usr/")}


def owners(paths):
    """The installed Debian packages owning the files, from dpkg's file lists."""
    owner_of = {}
    for listing in pathlib.Path("/var/lib/dpkg/info").glob("*.list"):
        package = listing.stem
        for line in listing.read_text(encoding="utf-8", errors="replace").splitlines():
            owner_of.setdefault(line, set()).add(package)
    packages = set()
    for path in paths:
        for candidate in (path, os.path.realpath(path)):
            packages |= owner_of.get(os.path.normpath(candidate), set())
    return sorted(packages)


def package_versions(packages):
    if not packages:
        return []
    listing = run("dpkg-query", "-W", "-f", "${Package}:${Architecture} ${Version}\n", *packages)
    return sorted(set(listing.splitlines()))


def first_line(*command):
    lines = run(*command).strip().splitlines()
    return lines[0] if lines else "unknown"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: build-info.py RELEASE_DIR")
    release = pathlib.Path(sys.argv[1]).resolve()
    cache = read_cache(release)
    source = pathlib.Path(cache["CMAKE_HOME_DIRECTORY"])
    commit_time = cache.get("QCP_SOURCE_COMMIT_TIME", "unknown")
    if commit_time.isdigit():
        commit_time = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(commit_time)))
    epoch = (release / "source_date_epoch.txt").read_text().strip()
    programs, compilers = programs_used(release, cache)

    print(f"{PROJECT} {cache['CMAKE_PROJECT_VERSION']}: how this release was built")
    print()
    print(f"commit: {cache.get('QCP_SOURCE_COMMIT', 'unknown')}")
    print(f"uncommitted changes when configured: {cache.get('QCP_SOURCE_MODIFIED', 'unknown')}")
    print(f"commit time: {commit_time}")
    print(f"time of the programs and archives (SOURCE_DATE_EPOCH): {epoch}")
    print()
    print("Debian source packages built in (unpacked with dpkg-source -x):")
    for unpacked in sorted((source / ".deps").glob("*/unpacked")):
        print(f"  {unpacked.read_text().strip()}")
    print()
    print("toolchain:")
    for compiler in compilers:
        print(f"  {os.path.basename(compiler)}: {first_line(compiler, '--version')}")
    for name in ("CMAKE_LINKER", "CMAKE_RC_COMPILER", "CMAKE_COMMAND", "CMAKE_MAKE_PROGRAM"):
        if cache.get(name):
            print(f"  {os.path.basename(cache[name])}: {first_line(cache[name], '--version')}")
    python = shutil.which("python3")
    if python:
        print(f"  python3 (the archives): {first_line(python, '--version')}")
    print()
    print("Debian packages of the programs, headers and libraries the build used:")
    for line in package_versions(owners(set(programs) | files_read(release, cache))):
        print(f"  {line}")


if __name__ == "__main__":
    main()
