#!/usr/bin/env bash
# Fuzzes each libFuzzer target of fuzz/ for a while, one after the other:
#   ./scripts/fuzz.sh [seconds per target, default 60] [name ...]
# Names are those of fuzz/<name>_fuzz.cpp (all when none is given). Builds the
# sanitize preset in build/sanitize, or in QCP_FUZZ_BUILD_DIR when set. New
# inputs go to a scratch corpus beside the build (<build>/fuzz-corpus/<name>),
# never into the committed seeds; crashes to <build>/fuzz-artifacts/<name>/.
# Inputs are at most FUZZ_MAX_LEN bytes (default 8192; for the YAML target
# 4 MiB, enough for aliases of long texts).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

seconds="${1:-60}"
[ "$#" -gt 0 ] && shift
BUILD="${QCP_FUZZ_BUILD_DIR:-$ROOT/build/sanitize}"
max_len_of() {
  if [ -n "${FUZZ_MAX_LEN:-}" ]; then echo "$FUZZ_MAX_LEN"
  elif [ "$1" = yaml ]; then echo 4194304
  else echo 8192
  fi
}

if [ "$#" -eq 0 ]; then
  set -- $(cd fuzz && ls *_fuzz.cpp | sed 's/_fuzz\.cpp$//')
fi

./scripts/setup.sh
cmake --preset sanitize -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j2 --target $(printf '%s_fuzz ' "$@")

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=()
summary=()
for name in "$@"; do
  scratch="$BUILD/fuzz-corpus/$name"
  artifacts="$BUILD/fuzz-artifacts/$name"
  mkdir -p "$scratch" "$artifacts"
  max_len="$(max_len_of "$name")"
  options=(-max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048
           -print_final_stats=1 -artifact_prefix="$artifacts/")
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  log="$BUILD/fuzz-$name.log"
  echo "== $name: ${seconds}s, inputs up to $max_len bytes, log $log"
  status=0
  "$BUILD/fuzz/${name}_fuzz" "${options[@]}" "$scratch" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)"
  corpus="$(ls "$scratch" | wc -l)"
  if [ "$status" -ne 0 ]; then
    failed+=("$name")
    summary+=("$name: FAILED (exit $status) after ${runs:-?} runs; see $log and $artifacts")
  else
    summary+=("$name: ${runs:-?} runs, no findings, $corpus new inputs in $scratch")
  fi
done

printf '%s\n' "${summary[@]}"
[ "${#failed[@]}" -eq 0 ]
