#!/usr/bin/env bash
# CTest test <label>.plugin_host: the bridge end to end from the core's side.
# plugin-host.exe loads the test plugin (tests/support) through its loader
# entry and the records alone, in the prefix scripts/test.sh shares:
#
#   session  loaded from Plugins\<name>\<name>.dll beside the simulator; the
#            registration answer read back (describe) with the bridge's and
#            the built-in types and events; started; requests with a path
#            parameter, a query argument and a JSON body, a named and a
#            positional typed argument, and a header; a request to the core, a
#            job that publishes an event, posts telemetry and logs; a log line;
#            an async service-proxy event without handler (the ERROR line); a
#            path no endpoint serves; stopped and unloaded, in that order.
#   refused  core 19.0.0: the process ends abnormally with ALE-EECF0606 and
#            the plugin never counts as loaded.
#   memory   the plugin's live bytes after 10,000 more requests stay within
#            a few hundred bytes of their figure after one warm-up request.
#
#   plugin_host_check.sh PLUGIN_HOST_EXE TEST_PLUGIN_DLL WORK_DIR
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: plugin_host_check.sh PLUGIN_HOST_EXE TEST_PLUGIN_DLL WORK_DIR" >&2; exit 2; }
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
run="$here/../../scripts/wine-run.sh"
source "$here/check_results.sh"
host="$(realpath "$1")" dll="$(realpath "$2")" work="$(realpath -m "$3")"
name="$(basename "$dll" .dll)"
rm -rf "$work"
mkdir -p "$work/Plugins/$name"
cp "$host" "$work/plugin-host.exe"
cp "$dll" "$work/Plugins/$name/$name.dll"

items='/test-plugin/v1/items/42?limit=7'
item_body='{"name":"widget","tags":["a","b","c"]}'
async_event='{"uuid":"u1","serviceName":"svc","methodName":"m","payload":"","status":"200","error":""}'

# --- session -------------------------------------------------------------
out="$work/session.out"
rc=0
"$run" "$work/plugin-host.exe" --json --name "$name" --core-arg --from-kxu \
  describe \
  POST "$items" "$item_body" \
  --arg greeting='"hello"' PUT /test-plugin/v1/greeting GET /test-plugin/v1/greeting \
  --arg '="by position"' PUT /test-plugin/v1/greeting GET /test-plugin/v1/greeting \
  --header greeting='from a header' PUT /test-plugin/v1/greeting GET /test-plugin/v1/greeting \
  GET /test-plugin/v1/core-args \
  POST /test-plugin/v1/jobs wait \
  POST /test-plugin/v1/log \
  event OnServiceProxyAsyncEvent "$async_event" \
  GET /test-plugin/v1/nothing-here \
  stats >"$out" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "session: exit code $rc"
expect "$out" \
  '"endpoints":[{' '"path":"/test-plugin/v1/items/{id}?{+query}"' \
  '{"name":"limit","description":"","type":{"kind":"int32"},"optional":false,"location":"query"}' \
  '"location":"body"' '"name":"PluginResourceEvent"' '"name":"BindingAsyncState"' \
  '{"name":"OnCallback","nameSpace":"","payloadType":"BindingCallbackEvent"' \
  '{"name":"OnServiceProxyAsyncEvent","nameSpace":' '"payloadType":"PluginServiceProxyResponse"' \
  "{\"type\":\"response\",\"method\":\"POST\",\"path\":\"$items\",\"status\":0,\"body\":{\"id\":42,\"limit\":7,\"name\":\"widget\",\"tagCount\":3}}" \
  '"path":"/test-plugin/v1/greeting","status":0,"body":"hello"}' \
  '"path":"/test-plugin/v1/greeting","status":0,"body":"by position"}' \
  '"path":"/test-plugin/v1/greeting","status":0,"body":"from a header"}' \
  '{"type":"core-request","method":"GET","path":"/quorclient/command-line-args","arguments":[],"status":200,"body":["--from-kxu"]}' \
  '"path":"/test-plugin/v1/core-args","status":0,"body":["--from-kxu"]}' \
  '{"type":"telemetry","name":"test_plugin_job","data":{"result":"done"}}' \
  '{"type":"log","level":1,"levelName":"WARN","message":"test-plugin: log request"}' \
  '"level":2,"levelName":"ERROR","message":"qel-beta-opt-in: Could not find registered handler for async service proxy event svc.m"}' \
  '{"type":"response","method":"GET","path":"/test-plugin/v1/nothing-here","status":404,"error":' \
  '{"type":"stats","liveBytes":'
in_order "$out" \
  '{"type":"plugin","state":"loaded","name":"qel-beta-opt-in","path":' \
  '{"type":"plugin","state":"started","pluginId":1}' \
  '{"type":"describe",' \
  '{"type":"job","state":"scheduled","name":"qel-beta-opt-in.test-job","id":1' \
  '{"type":"job","state":"started","name":"qel-beta-opt-in.test-job","id":1}' \
  '{"type":"event","direction":"published","name":"OnJsonApiEvent_test-plugin_v1_greeting","payload":{"data":"from a header","eventType":"Update","uri":"/test-plugin/v1/greeting"}}' \
  '{"type":"event","direction":"published","name":"OnJsonApiEvent","payload":{"data":"from a header"' \
  '"message":"test-plugin: job done (published 1, telemetry 1)"}' \
  '{"type":"job","state":"ended","name":"qel-beta-opt-in.test-job","id":1}' \
  '{"type":"event","direction":"delivered","name":"OnServiceProxyAsyncEvent"' \
  'Could not find registered handler for async service proxy event svc.m' \
  '{"type":"plugin","state":"stopped"}' \
  '{"type":"plugin","state":"unloaded"}'

# --- refused -------------------------------------------------------------
out="$work/refused.out"
rc=0
"$run" "$host" --plugin "$dll" --core-version 19.0.0 stats >"$out" 2>&1 || rc=$?
# A fail-fast end: Wine reports 0xC0000602, of which the shell sees 2, so
# what tells it from a wrong command line is that the simulator said nothing.
[ "$rc" -ne 0 ] || fail "refused: exit code 0"
expect "$out" "ALE-EECF0606" \
  "qel-beta-opt-in which supports plugin API 18.0.0 is not compatible with core's plugin API 19.0.0"
if grep -qE '^(plugin |plugin-host:)' "$out"; then fail "refused: the simulator went on after the loader"; fi

# --- memory --------------------------------------------------------------
out="$work/memory.out"
rc=0
"$run" "$host" --json --plugin "$dll" \
  POST "$items" "$item_body" stats \
  repeat 10000 POST "$items" "$item_body" \
  stats >"$out" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "memory: exit code $rc"
live=($(grep -o '{"type":"stats","liveBytes":[0-9]*' "$out" | grep -o '[0-9]*$'))
answered="$(grep -cF '"status":0,"body":{"id":42,"limit":7,"name":"widget","tagCount":3}}' "$out" || true)"
[ "$answered" -eq 10001 ] || fail "memory: $answered of 10001 requests answered"
if [ "${#live[@]}" -ne 2 ]; then
  fail "memory: expected two stats lines"
else
  growth=$((live[1] - live[0]))
  echo "live bytes after the warm-up request: ${live[0]}; after 10,000 more: ${live[1]} ($growth)"
  [ "${growth#-}" -le 512 ] || fail "memory: live bytes moved by $growth after 10,000 requests"
fi

finish "$work" "plugin-host end to end: all checks passed"
