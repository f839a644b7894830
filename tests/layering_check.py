#!/usr/bin/env python3
"""layering_check.py ROOT: every library of ours includes only from its own
floor and the floors below it, so dependencies run one way down:

    plugin, platform
    host
    remoting
    error record (logging/: PluginError, Expected, makeError, templates)
    formats
    binding
    logger (logging/: everything else)

The error record's files are the sources logging/libraries.cmake gives it,
their headers, and every logging/ header that includes one of them."""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1])
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/([^"]+)"', re.M)
BELOW = {
    "logger": {"logger"},
    "binding": {"logger", "binding"},
    "formats": {"logger", "binding", "formats"},
    "errors": {"logger", "binding", "formats", "errors"},
    "remoting": {"logger", "binding", "formats", "errors", "remoting"},
    "host": {"logger", "binding", "formats", "errors", "remoting", "host"},
    "platform": {"logger", "binding", "formats", "errors", "platform"},
    "plugin": {"logger", "binding", "formats", "errors", "remoting", "host", "platform", "plugin"},
}


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace"))


def error_record_files():
    listed = re.findall(r'logging/([a-z_]+)\.cpp', (ROOT / "logging/libraries.cmake").read_text())
    files = {f"{stem}{suffix}" for stem in listed for suffix in (".cpp", ".h")}
    growing = True
    while growing:
        growing = False
        for header in (ROOT / "logging").glob("*.h"):
            if header.name not in files and any(d == "logging" and f in files for d, f in includes(header)):
                files.add(header.name)
                growing = True
    return files


def main():
    errors = error_record_files()

    def floor(folder, name):
        if folder == "logging":
            return "errors" if name in errors else "logger"
        return folder

    faults = []
    for folder in ("logging", "binding", "formats", "remoting", "host", "platform", "plugin"):
        for path in sorted((ROOT / folder).glob("*.[ch]*")):
            own = floor(folder, path.name)
            for included_folder, included in includes(path):
                target = floor(included_folder, included)
                if target in BELOW and target not in BELOW[own]:
                    faults.append(f"{folder}/{path.name} ({own}) includes {included_folder}/{included} ({target})")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) against the layers" if faults else "Every include runs down the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
