#!/usr/bin/env bash
# CTest test <label>.stop_entries: the core stops the plugin while one of its
# calls into the plugin is inside it, through plugin-host.exe, in the prefix
# scripts/test.sh shares:
#
#   streamed     the product DLL, the core's endpoints answering in streams
#                of 4 bytes a read (--stream-answers): GET needs-migration
#                reads the 14 bytes of the core's command line in 4 reads
#                (a "Wait: yield" after each short one) and answers true; with stop-in-yield the
#                core stops the plugin from inside the yield between two reads
#                of that answer: the request comes back with 503 "Plugin is
#                stopping", nothing but the stream's release reaches the core
#                after stop, and the plugin is unloaded, plugin-host exiting 0.
#   event        the test plugin's event handler, delivered on a thread of
#                its own (background), sleeps 1.5 s while stop runs on the
#                steps' thread: stop returns only after the handler has read
#                its object and logged its last line; nothing follows stop.
#
#   stop_entries_check.sh PLUGIN_HOST DLL TEST_PLUGIN_DLL WORK_DIR
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: stop_entries_check.sh PLUGIN_HOST DLL TEST_PLUGIN_DLL WORK_DIR" >&2; exit 2; }
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
run="$here/../../scripts/wine-run.sh"
source "$here/check_results.sh"
host="$(realpath "$1")" dll="$(realpath "$2")" test_dll="$(realpath "$3")" work="$(realpath -m "$4")"
rm -rf "$work"
mkdir -p "$work"
cp "$host" "$work/plugin-host.exe"
for plugin in "$dll" "$test_dll"; do
  name="$(basename "$plugin" .dll)"
  mkdir -p "$work/Plugins/$name"
  cp "$plugin" "$work/Plugins/$name/$name.dll"
done

session() {  # session NAME ARGUMENT...: plugin-host --json, output in WORK/NAME.out
  local name="$1"; shift
  local rc=0
  "$run" "$work/plugin-host.exe" --json "$@" >"$work/$name.out" 2>&1 || rc=$?
  [ "$rc" -eq 0 ] || fail "plugin-host exit code $rc"
}
no_late_calls() {
  if grep -qF '"type":"late-call"' "$1"; then fail "the plugin called the core after stop: $(grep -F late-call "$1" | head -n 3)"; fi
}
needs='/qel-beta-opt-in/v1/needs-migration'

# --- streamed --------------------------------------------------------------
scenario=streamed
session streamed-read --core-arg --from-kxu --stream-answers 4 GET "$needs"
out="$work/streamed-read.out"
expect "$out" \
  "{\"type\":\"response\",\"method\":\"GET\",\"path\":\"$needs\",\"status\":0,\"body\":true}" \
  '{"type":"core-stream","state":"released","reads":4,"bytesRead":14,"bytes":14}'
no_late_calls "$out"

session streamed-stop --core-arg --from-kxu --stream-answers 4 stop-in-yield GET "$needs" sleep 0.2
out="$work/streamed-stop.out"
in_order "$out" \
  '{"type":"plugin","state":"started"' \
  '{"type":"core-request","method":"GET","path":"/quorclient/command-line-args"' \
  '{"type":"plugin","state":"stop called"}' \
  '{"type":"plugin","state":"stop returned"' \
  '{"type":"core-stream","state":"released"' \
  "{\"type\":\"response\",\"method\":\"GET\",\"path\":\"$needs\",\"status\":503,\"error\":\"Plugin is stopping\"}" \
  '{"type":"plugin","state":"worker left"' \
  '{"type":"plugin","state":"stopped"}' \
  '{"type":"plugin","state":"unloaded"}'
no_late_calls "$out"
if grep -qF 'ALE-F0BB341E' "$out"; then fail "a stopped read was taken for an unreadable command line"; fi
# The stop came at the first yield: one read of the answer, then its release.
expect "$out" '{"type":"core-stream","state":"released","reads":1,"bytesRead":4,"bytes":14}'

# --- event -----------------------------------------------------------------
scenario=event
slow='{"uri":"/test-plugin/v1/slow","eventType":"Update","data":1500}'
session event --name qcp-test-plugin POST /test-plugin/v1/slow-handler \
  background event OnJsonApiEvent "$slow" sleep 0.5 stop 10 sleep 0.2
out="$work/event.out"
in_order "$out" \
  '"message":"test-plugin: slow handler began"}' \
  '{"type":"plugin","state":"stop called"}' \
  '"message":"test-plugin: slow handler done (greeting \"\")"}' \
  '{"type":"plugin","state":"stop returned"' \
  '{"type":"plugin","state":"stopped"}' \
  '{"type":"plugin","state":"unloaded"}'
no_late_calls "$out"

finish "$work" "stop during the core's calls end to end: all scenarios passed"
