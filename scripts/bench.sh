#!/usr/bin/env bash
# Builds the benchmarks (native 32-bit, optimised) and runs them all, or the
# ones named: ./scripts/bench.sh [value|json|...]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
./scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)"
if [ "$#" -eq 0 ]; then
  set -- $(cd bench && ls *_bench.cpp | sed 's/_bench\.cpp$//')
fi
for name in "$@"; do
  echo "== $name"
  "build/bench/bench/${name}_bench"
done
