#!/usr/bin/env bash
# scripts/soak.sh [MINUTES]: plugin-host --serve on the product DLL and on the
# test plugin, each in the layout a client has, under a mixed load for
# MINUTES (default 10) from scripts/soak_load.py: every endpoint, jobs,
# events published and streamed to watchers that come and go, malformed and
# refused requests in between, on loopback only. Prints the requests served,
# the errors by kind, and each plugin's live bytes and each process's private
# bytes at the start, every minute and at the end; fails on an error or when
# a figure ends more than 5 % above its level at the end of the first minute.
#
# It runs what build/windows holds (./scripts/test.sh builds it) in a Wine
# prefix of its own under build/windows/soak; the variables QCP_SOAK_PLUGIN_HOST,
# QCP_SOAK_PRODUCT_DLL, QCP_SOAK_TEST_PLUGIN and QCP_SOAK_WORK choose other
# files and another folder.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
minutes="${1:-10}"
[[ "$minutes" =~ ^[1-9][0-9]{0,3}$ ]] || { echo "usage: soak.sh [MINUTES] (1 to 9999)" >&2; exit 2; }
build="$ROOT/build/windows"
plugin_host="$(realpath "${QCP_SOAK_PLUGIN_HOST:-$build/tools/plugin-host.exe}")"
product_dll="$(realpath "${QCP_SOAK_PRODUCT_DLL:-$build/qcp-be-qel-beta-opt-in.dll}")"
test_dll="$(realpath "${QCP_SOAK_TEST_PLUGIN:-$build/tests/support/qcp-test-plugin.dll}")"
work="$(realpath -m "${QCP_SOAK_WORK:-$build/soak}")"

source "$ROOT/scripts/wine-env.sh"
source "$ROOT/tests/end_to_end/http_server.sh"
source "$ROOT/tests/end_to_end/installation.sh"

pids=()
stop_all() {
  local pid
  for pid in "${pids[@]}"; do server_pid="$pid" server_kill; done
  wine_prefix_stop
}
trap stop_all EXIT
mkdir -p "$(dirname "$work")"
wine_prefix_start "$work" "$work.log"

# The test plugin, in the Plugins folder beside plugin-host.exe.
name="$(basename "$test_dll" .dll)"
mkdir -p "$work/app/Plugins/$name"
cp "$plugin_host" "$work/app/plugin-host.exe"
cp "$test_dll" "$work/app/Plugins/$name/$name.dll"
server_start "$work/test-plugin" "$work/app/plugin-host.exe" --name "$name" --core-arg --from-kxu
test_server="test=$server_url@$server_pid"
pids+=("$server_pid")

# The product in a client installation, run from six folders below its
# root, so that its migration job finds one.
run_dir="$(plant_installation "$WINEPREFIX/drive_c/Games/Tessaryn Game" "$plugin_host" "$product_dll")"
pushd "$run_dir" >/dev/null
server_start "$work/product" 'C:\Games\Tessaryn Game\Client\plugin-host.exe' --core-arg --from-kxu
popd >/dev/null
product_server="product=$server_url@$server_pid"
pids+=("$server_pid")

rc=0
python3 "$ROOT/scripts/soak_load.py" "$minutes" "$test_server" "$product_server" || rc=$?
for server in "$test_server" "$product_server"; do
  url="${server#*=}" url="${url%@*}"
  curl -sS --max-time 10 -X POST "$url/_host/shutdown" >/dev/null || { echo "soak: $url did not answer shutdown" >&2; rc=1; }
done
for pid in "${pids[@]}"; do
  server_pid="$pid"
  server_wait 10 || { echo "soak: plugin-host ended with $server_rc (output in $work)" >&2; rc=1; }
done
pids=()
exit "$rc"
