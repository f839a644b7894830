#!/usr/bin/env bash
# CTest test <label>.http_page: plugin-host --serve with the product DLL, its
# page in Debian's headless Chromium (tests/browser/page_check.mjs): the
# needs-migration form answers, a text beyond Latin-1 with markup goes and
# comes back as sent and shows as text, a published event reaches the live
# pane; a page of another origin reaches neither the plugin nor the
# simulator's shutdown. The screenshot is left in WORK_DIR/page.png.
#
#   http_page_check.sh PLUGIN_HOST PRODUCT_DLL DRIVER_DIR WORK_DIR
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: http_page_check.sh PLUGIN_HOST PRODUCT_DLL DRIVER_DIR WORK_DIR" >&2; exit 2; }
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
plugin_host="$(realpath "$1")" dll="$(realpath "$2")" driver="$(realpath -m "$3")" work="$(realpath -m "$4")"
[ -d "$driver/node_modules/playwright-core" ] || { echo "no page driver in $driver: run scripts/setup-browser.sh" >&2; exit 1; }
source "$here/../../scripts/wine-env.sh"
source "$here/http_server.sh"
[ -n "${WINEPREFIX:-}" ] || { echo "WINEPREFIX is not set; run the tests through scripts/test.sh" >&2; exit 2; }
trap server_kill EXIT
rm -rf "$work"
mkdir -p "$work/app/Plugins/qcp-be-qel-beta-opt-in"
cp "$plugin_host" "$work/app/plugin-host.exe"
cp "$dll" "$work/app/Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll"

server_start "$work/server" "$work/app/plugin-host.exe" --core-arg --from-kxu
rc=0
node "$here/../browser/page_check.mjs" "$driver" "$server_url" "$work/page.png" "$work/chromium-profile" || rc=$?
curl -sS -X POST "$server_url/_host/shutdown" >/dev/null || { echo "the server no longer answers" >&2; rc=1; }
server_wait || { echo "plugin-host exit code $server_rc" >&2; rc=1; }
if grep 'another-site' "$work/server.out" >&2; then
  echo "a request of another site's page reached the plugin" >&2
  rc=1
fi
[ -s "$work/page.png" ] || { echo "no screenshot" >&2; rc=1; }
exit "$rc"
