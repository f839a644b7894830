#!/usr/bin/env bash
# reproducibility_check.sh SOURCE_DIR RELEASE_DIR WORK_DIR: copies the sources
# into WORK_DIR, builds the shipped DLL there (release preset) in a build
# folder outside the copy, with the time stamp and commit count RELEASE_DIR
# used, and expects the stripped DLL and its debug file to be byte for byte
# those of RELEASE_DIR, and neither to name the folders either build ran in.
set -euo pipefail
source_dir="$(realpath "$1")" release_dir="$(realpath "$2")" work="$(realpath -m "$3")"
dll=Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll

rm -rf "$work"
mkdir -p "$work/checkout"
tar -C "$source_dir" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$work/checkout" -xf -
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH="$(cat "$release_dir/source_date_epoch.txt")"
# The copy has no git history: it is given the commit count, as a source
# tarball would be.
commit_count="$(sed -n 's/^CMAKE_PROJECT_VERSION_TWEAK:STATIC=//p' "$release_dir/CMakeCache.txt")"
(cd "$work/checkout" && cmake --preset release -B "$work/elsewhere" "-DQCP_COMMIT_COUNT=$commit_count" >/dev/null)
cmake --build "$work/elsewhere" --target qcp_plugin_dll_shipped -j"$(nproc)" >"$work/build.log"

failures=0
for file in "client/$dll" "symbols/$dll.debug"; do
  if ! cmp "$release_dir/$file" "$work/elsewhere/$file"; then
    echo "FAIL: $file differs between $release_dir and $work/elsewhere" >&2
    failures=$((failures + 1))
  fi
  for folder in "$source_dir" "$release_dir" "$work"; do
    if grep -qaF "$folder" "$work/elsewhere/$file" "$release_dir/$file"; then
      echo "FAIL: $file names the folder $folder" >&2
      failures=$((failures + 1))
    fi
  done
done
[ "$failures" -eq 0 ] || exit 1
echo "reproducible: $dll and its debug file ($(stat -c %s "$release_dir/client/$dll") and $(stat -c %s "$release_dir/symbols/$dll.debug") bytes) are the same from both folders"
