#!/usr/bin/env bash
# Runs one Windows program under Wine (CTest's emulator for the Windows build).
# The program's output goes through a file: Wine's background processes keep
# the descriptors they inherit, and a pipe held open by them never closes.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/wine-env.sh"
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: WINEPREFIX is not set; run the tests through scripts/test.sh" >&2
  exit 2
fi
out="$(mktemp)"
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
