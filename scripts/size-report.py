#!/usr/bin/env python3
"""size-report.py MAP: the bytes each input library puts into the file of a
program, from GNU ld's link map (-Wl,-Map), largest first: the contents of
its loaded sections. Debug sections are left out (they go to the symbols
archive, not the DLL), and so is .bss, which takes room in memory but no
bytes of the file."""

import collections
import re
import sys

LOADED = (".text", ".rdata", ".data", ".eh_frame", ".tls", ".CRT", ".idata", ".edata", ".rsrc", ".reloc")
INPUT = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def library_of(path):
    archive = re.match(r"(?:.*/)?([^/()]+\.a)\((.*)\)$", path)
    if archive:
        return archive.group(1)
    return "objects of the DLL target" if path.endswith(".obj") else path.rsplit("/", 1)[-1]


def main(map_path):
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
        totals[library_of(found.group(4))] += int(found.group(3), 16)
    for library, size in totals.most_common():
        print(f"{size:>9,}  {library}")
    print(f"{sum(totals.values()):>9,}  in all (before section alignment and headers)")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: size-report.py MAP")
    main(sys.argv[1])
