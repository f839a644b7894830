#!/usr/bin/env bash
# Builds the shortcut migration benchmark (Windows code, so part of the
# windows preset) and runs it under Wine in a throwaway prefix whose shell
# folders it fills with 1,000 shortcuts:
#   ./scripts/bench-migration.sh [--shortcuts=N] [--repetitions=N]
# QCP_BUILD_DIR picks another build folder of the windows preset.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
BUILD="$(realpath -m "${QCP_BUILD_DIR:-$ROOT/build/windows}")"
./scripts/setup.sh
cmake --preset windows -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target migration-bench

source "$ROOT/scripts/wine-env.sh"
trap 'wine_prefix_stop' EXIT
echo "Preparing a throwaway Wine prefix in $BUILD/wine-bench-migration" >&2
wine_prefix_start "$BUILD/wine-bench-migration" "$BUILD/wine-bench-migration.log"
echo "== migration"
"$ROOT/scripts/wine-run.sh" "$BUILD/tests/end_to_end/migration-bench.exe" "$@"
