#!/usr/bin/env bash
# Builds the release (preset "release") and assembles its archives under dist/
# (scripts/assemble-release.sh):
#   qcp-be-qel-beta-opt-in-<version>-win32.zip          the client folder
#   qcp-be-qel-beta-opt-in-<version>-win32-symbols.zip  the split debug information and BUILDINFO
#   SHA256SUMS                                          of both
# The same commit gives the same bytes from any checkout folder; the time
# written into the programs and the archives is SOURCE_DATE_EPOCH, which is
# the commit's time when unset.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

./scripts/setup.sh
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null || echo 0)"
fi
export SOURCE_DATE_EPOCH

cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
rm -rf dist
./scripts/assemble-release.sh build/release dist
cat dist/SHA256SUMS
