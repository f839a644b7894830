#!/usr/bin/env bash
# Builds the crossing benchmark and the test plugin (Windows code, so part of
# the windows preset) and runs it under Wine in a throwaway prefix:
#   ./scripts/bench-crossing.sh [--requests=N] [--repetitions=N]
# QCP_BUILD_DIR picks another build folder of the windows preset.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench-wine.sh"
bench_wine_start crossing plugin-crossing-bench qcp_test_plugin
echo "== crossing"
"$ROOT/scripts/wine-run.sh" "$BUILD/tests/end_to_end/plugin-crossing-bench.exe" \
  "$BUILD/tests/support/qcp-test-plugin.dll" "$@"
