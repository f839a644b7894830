#!/usr/bin/env bash
# Builds the shortcut migration benchmark (Windows code, so part of the
# windows preset) and runs it under Wine in a throwaway prefix whose shell
# folders it fills with 1,000 shortcuts:
#   ./scripts/bench-migration.sh [--shortcuts=N] [--repetitions=N]
# QCP_BUILD_DIR picks another build folder of the windows preset.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench-wine.sh"
bench_wine_start migration migration-bench
echo "== migration"
"$ROOT/scripts/wine-run.sh" "$BUILD/tests/end_to_end/migration-bench.exe" "$@"
