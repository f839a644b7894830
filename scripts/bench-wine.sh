# Sourced by the benchmarks of Windows code (bench-migration.sh,
# bench-crossing.sh): bench_wine_start NAME TARGET... builds the targets of
# the windows preset, in QCP_BUILD_DIR when it is set (another build folder
# of that preset) or build/windows, and starts a throwaway Wine prefix in
# $BUILD/wine-bench-NAME, stopped when the script exits. Sets ROOT (the
# checkout) and BUILD (the build folder), and leaves the working folder at
# ROOT.

bench_wine_start() {
  local name="$1"
  shift
  ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  cd "$ROOT"
  BUILD="$(realpath -m "${QCP_BUILD_DIR:-$ROOT/build/windows}")"
  ./scripts/setup.sh
  cmake --preset windows -B "$BUILD" >/dev/null
  cmake --build "$BUILD" -j"$(nproc)" --target "$@"

  source "$ROOT/scripts/wine-env.sh"
  trap 'wine_prefix_stop' EXIT
  echo "Preparing a throwaway Wine prefix in $BUILD/wine-bench-$name" >&2
  wine_prefix_start "$BUILD/wine-bench-$name" "$BUILD/wine-bench-$name.log"
}
