#!/usr/bin/env bash
# version_check.sh EMULATOR WINDRES CLIENT_DIR VERSION: every shipped program
# carries VERSION (X.Y.Z) in its version resource (file and product version,
# fourth part 0) with its own file name, and each tool prints
# "<name> VERSION" for --version.
set -u
emulator="$1" windres="$2" client="$3" version="$4"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

IFS=. read -r major minor patch <<<"$version"
for program in Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll plugin-host.exe tools/value-dump.exe tools/migration-preview.exe; do
  resource="$("$windres" -i "$client/$program" -O rc 2>&1)"
  for expected in "FILEVERSION $major, $minor, $patch, 0" "PRODUCTVERSION $major, $minor, $patch, 0" \
    "VALUE \"FileVersion\", \"$version.0\"" "VALUE \"ProductVersion\", \"$version.0\"" \
    "VALUE \"OriginalFilename\", \"${program##*/}\"" "VALUE \"InternalName\", \"$(basename "$program" ".${program##*.}")\"" \
    'VALUE "FileDescription", "'; do
    grep -qF -- "$expected" <<<"$resource" || fail "$program: no $expected in its version resource"
  done
done
for tool in plugin-host tools/value-dump tools/migration-preview; do
  printed="$("$emulator" "$client/$tool.exe" --version | tr -d '\r')"
  [ "$printed" = "${tool##*/} $version" ] || fail "$tool.exe --version printed '$printed'"
done
[ "$failures" -eq 0 ] || exit 1
echo "version_check: $version in every shipped program"
