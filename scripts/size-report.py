#!/usr/bin/env python3
"""size-report.py [--members] MAP: the bytes each input library puts into
the loaded sections of a program, from GNU ld's link map (-Wl,-Map),
largest first; with --members, each object file of each library instead.
Debug sections are left out (they go to the symbols archive, not the DLL),
and so is .bss, which takes room in memory but none in the file."""

import collections
import re
import sys

LOADED = (".text", ".rdata", ".data", ".eh_frame", ".tls", ".CRT", ".idata", ".edata", ".rsrc", ".reloc")
INPUT = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def input_of(path, members):
    archive = re.match(r"(?:.*/)?([^/()]+\.a)\((.*)\)$", path)
    if archive:
        return f"{archive.group(1)}: {archive.group(2)}" if members else archive.group(1)
    if path.endswith(".obj"):
        return path.rsplit("/", 1)[-1] if members else "objects of the DLL target"
    return path.rsplit("/", 1)[-1]


def main(map_path, members):
    totals = collections.Counter()
    in_memory_map = False
    section = None
    for line in open(map_path, encoding="utf-8", errors="replace"):
        if line.startswith("Linker script and memory map"):
            in_memory_map = True
        if not in_memory_map:
            continue
        line = line.rstrip("\n")
        if re.match(r"^ \S+$", line):  # a long section name, its numbers on the next line
            section = line.strip()
            continue
        found = INPUT.match(line)
        if not found:
            section = None
            continue
        name = found.group(1) or section
        section = None
        if name is None or not name.startswith(LOADED):
            continue
        totals[input_of(found.group(4), members)] += int(found.group(3), 16)
    for name, size in totals.most_common():
        print(f"{size:>9,}  {name}")
    print(f"{sum(totals.values()):>9,}  in all (before section alignment and headers)")


if __name__ == "__main__":
    arguments = sys.argv[1:]
    members = "--members" in arguments
    arguments = [argument for argument in arguments if argument != "--members"]
    if len(arguments) != 1:
        sys.exit("usage: size-report.py [--members] MAP")
    main(arguments[0], members)
