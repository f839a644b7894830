#!/usr/bin/env bash
# Builds the crossing benchmark and the test plugin (Windows code, so part of
# the windows preset) and runs it under Wine in a throwaway prefix:
#   ./scripts/bench-crossing.sh [--requests=N] [--repetitions=N]
# QCP_BUILD_DIR picks another build folder of the windows preset.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
BUILD="$(realpath -m "${QCP_BUILD_DIR:-$ROOT/build/windows}")"
./scripts/setup.sh
cmake --preset windows -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target plugin-crossing-bench qcp_test_plugin

source "$ROOT/scripts/wine-env.sh"
trap 'wine_prefix_stop' EXIT
echo "Preparing a throwaway Wine prefix in $BUILD/wine-bench-crossing" >&2
wine_prefix_start "$BUILD/wine-bench-crossing" "$BUILD/wine-bench-crossing.log"
echo "== crossing"
"$ROOT/scripts/wine-run.sh" "$BUILD/tests/end_to_end/plugin-crossing-bench.exe" \
  "$BUILD/tests/support/qcp-test-plugin.dll" "$@"
