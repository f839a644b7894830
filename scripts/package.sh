#!/usr/bin/env bash
# Builds the release (preset "release") and writes under dist/:
#   qcp-be-qel-beta-opt-in-<version>-win32.zip          the client folder
#   qcp-be-qel-beta-opt-in-<version>-win32-symbols.zip  the split debug information
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

BUILD="$ROOT/build/release"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")"
name="qcp-be-qel-beta-opt-in-$version-win32"

stage="$BUILD/package"
rm -rf "$stage"
mkdir -p "$stage"
cp -r "$BUILD/client" "$stage/client"
cp -r "$BUILD/symbols" "$stage/symbols"
./scripts/integrator-text.sh "$version" >"$stage/client/INTEGRATING.md"

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
# libyaml is built from Debian's source package (scripts/setup.sh): its own
# debian/copyright.
tar -xJOf "$(ls .deps/libyaml/libyaml_*.debian.tar.xz | head -n1)" debian/copyright >"$stage/client/licenses/libyaml.txt"
# cpp-httplib (plugin-host's HTTP front) likewise, from its unpacked source.
cp .deps/cpp-httplib/source/debian/copyright "$stage/client/licenses/cpp-httplib.txt"

rm -rf dist
mkdir -p dist
python3 scripts/reproducible_zip.py "$stage/client" "dist/$name.zip"
python3 scripts/reproducible_zip.py "$stage/symbols" "dist/$name-symbols.zip"
(cd dist && sha256sum "$name.zip" "$name-symbols.zip" >SHA256SUMS)
echo "package: dist/$name.zip, dist/$name-symbols.zip, dist/SHA256SUMS"
cat dist/SHA256SUMS
