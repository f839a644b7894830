#!/usr/bin/env bash
# Builds the plugin DLL and shows it at work under Wine, in a throwaway prefix.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

./scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target qcp_plugin_dll plugin-demo

DLL="$ROOT/build/windows/qcp-be-qel-beta-opt-in.dll"
echo "== $(file -b "$DLL" 2>/dev/null || echo "PE32 DLL") : $DLL"
i686-w64-mingw32-objdump -p "$DLL" | grep -E "^\s*DLL Name:" | sed 's/^\s*/   depends on /'

source "$ROOT/scripts/wine-env.sh"
trap 'wine_prefix_stop' EXIT
wine_prefix_start "$ROOT/build/wine-demo" "$ROOT/build/wine-demo.log"
"$ROOT/scripts/wine-run.sh" "$ROOT/build/windows/demo/plugin-demo.exe" "Z:$DLL"
