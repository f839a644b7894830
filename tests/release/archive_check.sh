#!/usr/bin/env bash
# archive_check.sh SOURCE_DIR RELEASE_DIR WORK_DIR EMULATOR: assembles the
# release build's archives twice (scripts/assemble-release.sh), from two
# folders with different umask, time zone, locale and SOURCE_DATE_EPOCH, and
# expects the same bytes, SHA256SUMS that sha256sum -c accepts, archives
# named by the build's version holding exactly the files a release ships
# (the programs as the build left them), a BUILDINFO that names the build's
# commit and source packages, and an INTEGRATING.md whose commands, paths and
# links work in the unpacked client folder (tests/docs/docs_commands_check.py).
set -u
source_dir="$(realpath "$1")" release_dir="$(realpath "$2")" work="$(realpath -m "$3")" emulator="$4"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work/first" "$work/second/elsewhere" "$work/second/tmp"
(cd "$source_dir" && umask 022 && TZ=UTC LC_ALL=C \
  ./scripts/assemble-release.sh "$release_dir" "$work/first/out") || exit 1
(cd "$work/second/elsewhere" && umask 077 && TZ=QCP-13:45 LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=1 TMPDIR="$work/second/tmp" \
  "$source_dir/scripts/assemble-release.sh" "$release_dir" "$work/second/out") || exit 1

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$release_dir/CMakeCache.txt")"
name="qcp-be-qel-beta-opt-in-$version-win32"
expected_files="$(printf '%s\n' "$name.zip" "$name-symbols.zip" SHA256SUMS | LC_ALL=C sort)"
for out in "$work/first/out" "$work/second/out"; do
  [ "$(cd "$out" && ls | LC_ALL=C sort)" = "$expected_files" ] || fail "$out holds $(ls "$out" | tr '\n' ' ') instead of $name.zip, $name-symbols.zip and SHA256SUMS"
  (cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS fails in $out"
done
for file in "$name.zip" "$name-symbols.zip" SHA256SUMS; do
  cmp "$work/first/out/$file" "$work/second/out/$file" || fail "$file differs between the two assemblies"
done

# Exactly what ships, with the bytes the build made.
python3 - "$work/first/out" "$name" "$release_dir" <<'EOF' || failures=$((failures + 1))
import pathlib, sys, zipfile
out, name, release = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3])
dll = "Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll"
programs = [dll, "plugin-host.exe", "tools/migration-preview.exe", "tools/value-dump.exe"]
licenses = [f"licenses/{n}.txt" for n in ("CLI11", "GCC-runtime", "MinGW-w64-runtime", "RapidJSON", "cpp-httplib", "libyaml")]
expected = {
    f"{name}.zip": (sorted(programs + licenses + ["INTEGRATING.md"]), release / "client"),
    f"{name}-symbols.zip": (sorted([p + ".debug" for p in programs] + ["BUILDINFO"]), release / "symbols"),
}
failed = False
for archive, (files, built) in expected.items():
    with zipfile.ZipFile(out / archive) as opened:
        names = opened.namelist()
        if names != files:
            print(f"FAIL: {archive} holds {names}, not {files}", file=sys.stderr)
            failed = True
            continue
        for entry in names:
            if (built / entry).is_file() and opened.read(entry) != (built / entry).read_bytes():
                print(f"FAIL: {archive}: {entry} is not the build's {built / entry}", file=sys.stderr)
                failed = True
sys.exit(1 if failed else 0)
EOF

# BUILDINFO names the build's commit and the source packages built in.
buildinfo="$(python3 -c 'import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read("BUILDINFO").decode())' \
  "$work/first/out/$name-symbols.zip")"
commit="$(sed -n 's/^QCP_SOURCE_COMMIT:INTERNAL=//p' "$release_dir/CMakeCache.txt")"
grep -qxF "commit: $commit" <<<"$buildinfo" || fail "BUILDINFO does not name the commit $commit"
grep -qF "qcp-be-qel-beta-opt-in $version:" <<<"$buildinfo" || fail "BUILDINFO does not name the version $version"
for unpacked in "$source_dir"/.deps/*/unpacked; do
  grep -qxF "  $(cat "$unpacked")" <<<"$buildinfo" || fail "BUILDINFO does not name the source package $(cat "$unpacked")"
done
grep -qE '^  g\+\+-mingw-w64-i686-posix:[a-z0-9]+ [0-9]' <<<"$buildinfo" || fail "BUILDINFO does not give the cross compiler's Debian package"

# INTEGRATING.md read where both archives are unpacked, as it says.
(cd "$work" && python3 -m zipfile -e "first/out/$name.zip" unpacked &&
  python3 -m zipfile -e "first/out/$name-symbols.zip" unpacked) || fail "the archives do not unpack"
python3 "$source_dir/tests/docs/docs_commands_check.py" --archive "$work/unpacked" "$emulator" ||
  fail "INTEGRATING.md does not work in the unpacked archives"

[ "$failures" -eq 0 ] || exit 1
echo "archives: $name.zip and $name-symbols.zip, the same bytes from both assemblies, as SHA256SUMS says"
