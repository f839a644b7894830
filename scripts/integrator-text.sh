#!/usr/bin/env bash
# integrator-text.sh README VERSION: the text for integrators that goes into
# the release archive, taken from the README so it is written once: its
# opening, and the sections on the archives, on symbolising a crash, on the
# feature's endpoints and on plugin-host (each as a section of its own). Paragraphs about the project's own tests (those opening with
# a test name, "`windows.") are left out.
set -euo pipefail
readme="$1" version="$2"
echo "# qcp-be-qel-beta-opt-in $version: notes for integrators"
awk '
  BEGIN {
    wanted["### The archives"] = 1
    wanted["### Symbolising a crash"] = 1
    wanted["## The beta opt-in feature"] = 1
    wanted["## The host simulator: `plugin-host`"] = 1
    taking = 1  # the opening, up to the first section
  }
  /^#+ / {
    level = index($0, " ") - 1
    if (NR > 1 && taking == 1 && level <= 2) taking = 0
    if (taking && level <= taken_level) taking = 0
    if ($0 in wanted) { taking = 2; taken_level = level; sub(/^#+ /, "## ") }
    if (NR == 1) next
  }
  # A paragraph is kept or dropped whole, by its first line.
  /^$/ { if (taking) print; skipping = 0; paragraph_start = 1; next }
  {
    if (paragraph_start && /^`windows\./) skipping = 1
    paragraph_start = 0
    if (taking && !skipping) print
  }
' paragraph_start=1 "$readme" | cat -s
