#!/usr/bin/env bash
# build_release.sh SOURCE_DIR RELEASE_DIR: configures the release build in
# RELEASE_DIR when it is not yet, and builds its client folder.
set -euo pipefail
source_dir="$1" release_dir="$2"
if [ ! -f "$release_dir/CMakeCache.txt" ]; then
  (cd "$source_dir" && cmake --preset release -B "$release_dir" >/dev/null)
fi
cmake --build "$release_dir" --target qcp_client_folder -j"$(nproc)"
