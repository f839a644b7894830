#!/usr/bin/env python3
"""archive_text.py CLIENT_DIR < PAGE > PAGE: the project's Markdown made true
inside the client archive whose folder is CLIENT_DIR, where neither the
repository nor a build exists:

- build paths become the archive's: build/release/client/X is X, and the
  windows build's programs are where the archive puts them; a build folder
  itself is a reference to the repository (below);
- a reference to a file of the repository that the archive does not hold
  (`plugin/elevated_launch.h`, `scripts/setup.sh`) is dropped from the
  parentheses it stands in, with the rest of its item ("(`x.h`; more)"
  keeps "(more)", "(`x.h`)" goes);
- an image the archive does not hold is dropped, and the colon that led
  to it becomes a full stop."""
import pathlib
import re
import sys

REPOSITORY_PATH = re.compile(
    r"`(?:\./)?((?:scripts|tests|tools|docs|cmake|build|bench|fuzz|dll|logging|binding|formats"
    r"|remoting|host|platform|plugin)/[^`]*)`")
BUILD_PATHS = [
    (re.compile(r"build/release/client/(?=[^`\s])"), ""),
    (re.compile(r"build/windows/tools/plugin-host\.exe"), "plugin-host.exe"),
    (re.compile(r"build/windows/tools/([\w-]+\.exe)"), r"tools/\1"),
    (re.compile(r"build/windows/(qcp-be-qel-beta-opt-in\.dll)"), r"Plugins/qcp-be-qel-beta-opt-in/\1"),
]
PARENTHESES = re.compile(r"[ \t]*\n?[ \t]*\(([^()]*)\)")
ITEM_SEPARATOR = re.compile(r"(;\s+|,\s+)")
IMAGE = re.compile(r"^!\[[^\]]*\]\(([^)\s]+)[^)]*\)$")


def outside_archive(client, text):
    """Whether a text starts with a code span naming a repository file the archive lacks."""
    found = REPOSITORY_PATH.match(text.strip())
    return found is not None and not (client / found.group(1)).exists()


def without_repository_items(client, found):
    parts = ITEM_SEPARATOR.split(found.group(1))
    items, separators = parts[0::2], parts[1::2] + [""]
    kept = [(item, separator) for item, separator in zip(items, separators) if not outside_archive(client, item)]
    if len(kept) == len(items):
        return found.group(0)
    if not kept:
        return ""
    inner = "".join(item + separator for item, separator in kept[:-1]) + kept[-1][0]
    leading = found.group(0)[: found.group(0).index("(")]  # the blank or line break before
    return f"{leading}({inner})"


def without_missing_images(client, text):
    paragraphs = text.split("\n\n")
    kept = []
    for paragraph in paragraphs:
        image = IMAGE.match(paragraph.strip())
        if image and not (client / image.group(1)).exists():
            if kept and kept[-1].rstrip().endswith(":"):
                kept[-1] = kept[-1].rstrip()[:-1] + "."
            continue
        kept.append(paragraph)
    return "\n\n".join(kept)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: archive_text.py CLIENT_DIR < PAGE")
    client = pathlib.Path(sys.argv[1])
    text = sys.stdin.read()
    for pattern, replacement in BUILD_PATHS:
        text = pattern.sub(replacement, text)
    text = PARENTHESES.sub(lambda found: without_repository_items(client, found), text)
    text = without_missing_images(client, text)
    sys.stdout.write(text)


if __name__ == "__main__":
    main()
