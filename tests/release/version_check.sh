#!/usr/bin/env bash
# version_check.sh EMULATOR WINDRES CLIENT_DIR VERSION: every shipped program
# carries VERSION (W.X.Y.Z, the last part the commit count) in its version
# resource (file and product version) with its own file name, the company and
# its copyright, and each tool prints "<name> VERSION" for --version.
set -u
emulator="$1" windres="$2" client="$3" version="$4"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

IFS=. read -r major minor patch tweak <<<"$version"
[ -n "$tweak" ] || fail "the version $version has no fourth part"
company="qcp-be-qel-beta-opt-in developers"
for program in Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll plugin-host.exe tools/value-dump.exe tools/migration-preview.exe; do
  resource="$("$windres" -i "$client/$program" -O rc 2>&1)"
  for expected in "FILEVERSION $major, $minor, $patch, $tweak" "PRODUCTVERSION $major, $minor, $patch, $tweak" \
    "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
    "VALUE \"OriginalFilename\", \"${program##*/}\"" "VALUE \"InternalName\", \"$(basename "$program" ".${program##*.}")\"" \
    "VALUE \"CompanyName\", \"$company\"" "VALUE \"LegalCopyright\", \"Copyright (C) " 'VALUE "FileDescription", "'; do
    grep -qF -- "$expected" <<<"$resource" || fail "$program: no $expected in its version resource"
  done
  grep -qE "VALUE \"LegalCopyright\", \"Copyright \\(C\\) ([0-9]{4} )?$company\"" <<<"$resource" ||
    fail "$program: its copyright is not the company's"
done
for tool in plugin-host tools/value-dump tools/migration-preview; do
  printed="$("$emulator" "$client/$tool.exe" --version | tr -d '\r')"
  [ "$printed" = "${tool##*/} $version" ] || fail "$tool.exe --version printed '$printed'"
done
[ "$failures" -eq 0 ] || exit 1
echo "version_check: $version in every shipped program"
