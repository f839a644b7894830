#!/usr/bin/env bash
# Builds the Windows DLL with its tests, the release build (what ships, which
# the end-to-end tests run) and the native sanitizer build, then runs every
# test (the Windows ones under Wine) in one CTest run. Among them,
# windows.release_archives assembles the release's archives from that
# release build twice, in different folders with a different umask, TZ and
# LC_ALL, checks their files, compares them byte for byte and runs
# sha256sum -c on their SHA256SUMS (tests/release/archive_check.sh).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

./scripts/setup.sh
./scripts/setup-browser.sh

build() {
  local preset="$1"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
}
build windows
build release
build sanitize

# One CTest run over both build trees, so the last line is its summary.
ALL="$ROOT/build/all"
mkdir -p "$ALL"
printf 'subdirs("%s" "%s")\n' "$ROOT/build/windows" "$ROOT/build/sanitize" > "$ALL/CTestTestfile.cmake"

source "$ROOT/scripts/wine-env.sh"
WINE_RUN="$ROOT/build/wine-test"
trap 'wine_prefix_stop' EXIT
mkdir -p "$ROOT/build"
echo "Preparing a throwaway Wine prefix in $WINE_RUN" >&2
wine_prefix_start "$WINE_RUN" "$ROOT/build/wine-test.log"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

ctest --test-dir "$ALL" --output-on-failure -j"$(nproc)"
