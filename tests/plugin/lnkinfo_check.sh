#!/usr/bin/env bash
# CTest test <label>.plugin_lnkinfo: Debian's lnkinfo (liblnk-utils) as a
# reader independent of the Windows shell. plugin_tests.exe's case
# ShellLinkExport.WritesShortcutsForLnkinfo writes, into a fresh folder,
# before.lnk (a legacy shortcut with arguments and a description), after.lnk
# (the same overwritten by writeShortcut) and expected.txt; this script checks
# that lnkinfo sees the arguments and the description in before.lnk only, and
# the target, working directory, icon and icon index 0 in after.lnk.
#
#   lnkinfo_check.sh EMULATOR PLUGIN_TESTS_EXE WORK_DIR
# Fails when lnkinfo is not installed (scripts/setup.sh installs it).
set -euo pipefail

if ! command -v lnkinfo >/dev/null 2>&1; then
  echo "lnkinfo is missing: install Debian's liblnk-utils (scripts/setup.sh does)" >&2
  exit 1
fi
[ $# -eq 3 ] || { echo "usage: lnkinfo_check.sh EMULATOR PLUGIN_TESTS_EXE WORK_DIR" >&2; exit 2; }
emulator="$1" tests="$2" work="$(realpath -m "$3")"

rm -rf "$work"
mkdir -p "$work"
QCP_LNK_EXPORT_DIR="Z:${work//\//\\}" "$emulator" "$tests" --gtest_filter='ShellLinkExport.*'

for file in before.lnk after.lnk expected.txt; do
  [ -f "$work/$file" ] || { echo "FAIL: plugin_tests wrote no $file" >&2; exit 1; }
done

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The value of one "Name : value" line of lnkinfo's report (tabs around).
field() { sed -n "s/^[[:space:]]*$2[[:space:]]*: //p" "$1" | head -n1; }
expected() { sed -n "s/^$1=//p" "$work/expected.txt"; }

lnkinfo "$work/before.lnk" >"$work/before.txt"
lnkinfo "$work/after.lnk" >"$work/after.txt"

# The check can see what it looks for.
grep -q "Contains a command line arguments string" "$work/before.txt" || fail "before.lnk: no arguments seen"
[ "$(field "$work/before.txt" "Command line arguments")" = "--from-kxu --no-zamp" ] ||
  fail "before.lnk: arguments are '$(field "$work/before.txt" "Command line arguments")'"
grep -q "Contains a description string" "$work/before.txt" || fail "before.lnk: no description seen"

# writeShortcut's file: nothing of the old shortcut but what it wrote.
! grep -q "Contains a command line arguments string" "$work/after.txt" || fail "after.lnk still has arguments"
! grep -q "Command line arguments" "$work/after.txt" || fail "after.lnk still has an arguments line"
! grep -q "Contains a description string" "$work/after.txt" || fail "after.lnk still has a description"
[ "$(field "$work/after.txt" "Local path")" = "$(expected target)" ] ||
  fail "after.lnk: local path '$(field "$work/after.txt" "Local path")', expected '$(expected target)'"
[ "$(field "$work/after.txt" "Working directory")" = "$(expected working_directory)" ] ||
  fail "after.lnk: working directory '$(field "$work/after.txt" "Working directory")'"
[ "$(field "$work/after.txt" "Icon location")" = "$(expected icon)" ] ||
  fail "after.lnk: icon location '$(field "$work/after.txt" "Icon location")'"
[ "$(field "$work/after.txt" "Icon index")" = "0" ] ||
  fail "after.lnk: icon index '$(field "$work/after.txt" "Icon index")'"
[ "$(field "$work/after.txt" "Hot Key value")" = "0" ] ||
  fail "after.lnk: hot key '$(field "$work/after.txt" "Hot Key value")'"

if [ "$failures" -ne 0 ]; then
  echo "--- lnkinfo after.lnk" >&2
  cat "$work/after.txt" >&2
  exit 1
fi
echo "lnkinfo: before.lnk has arguments and a description; after.lnk has neither, and the written target, working directory and icon 0"
