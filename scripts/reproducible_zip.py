#!/usr/bin/env python3
"""reproducible_zip.py FOLDER ARCHIVE: writes every file under FOLDER into
ARCHIVE with the same bytes for the same files, wherever and whenever it runs:
entries sorted by path, no folder entries, the time of SOURCE_DATE_EPOCH (in
UTC, 1980 at the earliest, as a zip time cannot be earlier), mode 0755 for
programs and 0644 for the rest, no extra fields and no comment."""

import os
import sys
import time
import zipfile


def main(folder, archive):
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    stamp = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
    paths = []
    for parent, _, files in os.walk(folder):
        for name in files:
            full = os.path.join(parent, name)
            paths.append(os.path.relpath(full, folder).replace(os.sep, "/"))
    with zipfile.ZipFile(archive, "w") as output:
        for path in sorted(paths):
            entry = zipfile.ZipInfo(path, date_time=stamp)
            entry.create_system = 3  # Unix, so the mode below is what unzip sets
            mode = 0o755 if path.endswith((".exe", ".dll")) else 0o644
            entry.external_attr = (0o100000 | mode) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, path), "rb") as source:
                output.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: reproducible_zip.py FOLDER ARCHIVE")
    main(sys.argv[1], sys.argv[2])
