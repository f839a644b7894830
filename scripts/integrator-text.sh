#!/usr/bin/env bash
# integrator-text.sh VERSION CLIENT_DIR: the text for integrators that goes
# into the release archive whose client folder is CLIENT_DIR, taken from the
# project's pages so it is written once: the
# README's opening, then the sections on the archives and on symbolising a
# crash (docs/releasing.md), on the feature's endpoints with the deliberate
# changes of its run (docs/feature.md, docs/differences.md) and on
# plugin-host (docs/simulator.md), each as a section of its own. Paragraphs
# about the project's own tests (those opening with a test name, "`windows.")
# and paragraphs that only point to another page (opening with a link) are
# left out; a link to the project's pages becomes its text in quotes, since
# the pages are not in the archive. scripts/archive_text.py then makes the
# rest true inside the archive: its paths for the build's, no reference to
# the repository's files, no image it does not hold.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
version="$1" client="$2"

# section FILE HEADING [--body]: the section under HEADING (a whole line of
# FILE) with its subsections, headings shifted so HEADING becomes level 2;
# with --body, without the heading, as the continuation of the one before.
section() {
  awk -v wanted="$2" -v body="${3:-}" '
    /^#+ / {
      level = index($0, " ") - 1
      if (taking && level <= taken_level) taking = 0
      if ($0 == wanted) {
        taking = 1; taken_level = level; paragraph_start = 1
        if (body != "") next
      }
      if (taking) { $0 = substr("######", 1, level - taken_level + 2) substr($0, level + 1); print; next }
    }
    !taking { next }
    # A paragraph is kept or dropped whole, by its first line.
    /^$/ { print; skipping = 0; paragraph_start = 1; next }
    {
      if (paragraph_start && (/^`windows\./ || /^\[[^]]*\]\([^)]*\.md[#)]/)) skipping = 1
      paragraph_start = 0
      if (!skipping) print
    }
  ' "$ROOT/$1"
  echo
}

# The README's opening: what follows its title, up to its first section.
opening() {
  awk 'NR > 1 && /^## / { exit } NR > 1 { print }' "$ROOT/README.md"
}

{
  echo "# qcp-be-qel-beta-opt-in $version: notes for integrators"
  opening
  section docs/releasing.md "## The archives"
  section docs/releasing.md "## Symbolising a crash"
  section docs/feature.md "## The beta opt-in feature"
  section docs/differences.md "## The beta opt-in feature's run" --body
  section docs/simulator.md '# The host simulator: `plugin-host`'
} | sed -E 's/\[([^]]*)\]\(([^)#]*\.md)?(#[^)]*)?\)/"\1"/g' | python3 "$ROOT/scripts/archive_text.py" "$client" | cat -s
