#!/usr/bin/env bash
# assemble-release.sh RELEASE_DIR OUT_DIR: the archives of the release build
# in RELEASE_DIR (preset "release", built by scripts/package.sh), written
# into OUT_DIR:
#   qcp-be-qel-beta-opt-in-<version>-win32.zip          the client folder, INTEGRATING.md, licenses/
#   qcp-be-qel-beta-opt-in-<version>-win32-symbols.zip  the split debug information, BUILDINFO
#   SHA256SUMS                                          of both
# The same build gives the same bytes whatever the folder, umask, time zone
# or locale it is assembled in: the time written into the archives is the one
# the build stamped the programs with (its source_date_epoch.txt).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
release="$(realpath "$1")" out="$(realpath -m "$2")"
# Messages and sort orders of the programs below, whatever the caller's locale.
export LC_ALL=C

cache_entry() { sed -n "s/^$1:[A-Z]*=//p" "$release/CMakeCache.txt"; }
version="$(cache_entry CMAKE_PROJECT_VERSION)"
source_dir="$(cache_entry CMAKE_HOME_DIRECTORY)"
[ -n "$version" ] && [ -d "$release/client" ] || { echo "assemble-release: $release is not a built release" >&2; exit 1; }
SOURCE_DATE_EPOCH="$(cat "$release/source_date_epoch.txt")"
export SOURCE_DATE_EPOCH
name="qcp-be-qel-beta-opt-in-$version-win32"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp -r "$release/client" "$stage/client"
cp -r "$release/symbols" "$stage/symbols"
"$ROOT/scripts/integrator-text.sh" "$version" "$stage/client" >"$stage/client/INTEGRATING.md"
python3 "$ROOT/scripts/build-info.py" "$release" >"$stage/symbols/BUILDINFO"

# The licence notices of what is linked in, as Debian ships them with the
# very files the build used.
mkdir -p "$stage/client/licenses"
notice_of_package_owning() {  # NAME FILE
  local package
  package="$(dpkg -S "$(realpath "$2")" | head -n1 | cut -d: -f1)"
  cp "/usr/share/doc/$package/copyright" "$stage/client/licenses/$1.txt"
}
notice_of_package_owning RapidJSON /usr/include/rapidjson/rapidjson.h
notice_of_package_owning CLI11 /usr/include/CLI/CLI.hpp
notice_of_package_owning MinGW-w64-runtime "$(i686-w64-mingw32-gcc-posix -print-file-name=libwinpthread.a)"
notice_of_package_owning GCC-runtime "$(i686-w64-mingw32-g++-posix -print-file-name=libstdc++.a)"
# libyaml and cpp-httplib (plugin-host's HTTP front) are built from Debian's
# source packages (scripts/setup.sh): their own debian/copyright.
cp "$source_dir/.deps/libyaml/source/debian/copyright" "$stage/client/licenses/libyaml.txt"
cp "$source_dir/.deps/cpp-httplib/source/debian/copyright" "$stage/client/licenses/cpp-httplib.txt"

mkdir -p "$out"
rm -f "$out"/qcp-be-qel-beta-opt-in-*-win32.zip "$out"/qcp-be-qel-beta-opt-in-*-win32-symbols.zip "$out/SHA256SUMS"
python3 "$ROOT/scripts/reproducible_zip.py" "$stage/client" "$out/$name.zip"
python3 "$ROOT/scripts/reproducible_zip.py" "$stage/symbols" "$out/$name-symbols.zip"
(cd "$out" && sha256sum "$name.zip" "$name-symbols.zip" >SHA256SUMS)
echo "assemble-release: $out/$name.zip, $out/$name-symbols.zip, $out/SHA256SUMS"
