#!/usr/bin/env bash
# CTest test <label>.http_front: plugin-host --serve driven by curl over
# loopback, in a Wine prefix of its own (the product's migration starts
# cmd.exe and rundll32.exe).
#
#   test plugin  every endpoint: path and query parameters, a JSON body, a
#                named, a positional and a header argument, a request to the
#                core, a job whose event and telemetry arrive on the event
#                stream, an event delivered; describe and stats; an unknown
#                path (404), a malformed argument (400), an unknown method
#                (400), a method the simulator has no code for (405), a body
#                over 16 MiB (413), a foreign Origin and a foreign Host (403),
#                no CORS header; 10,000 requests from four clients at once
#                with the live bytes unmoved; 16 watchers at
#                once, the 17th refused (503), an ordinary request served
#                meanwhile; shutdown ends every watcher and the process with 0.
#   limits       a second server on the test plugin, driven over raw sockets
#                by http_limits_check.py (requests smuggled after a refused or
#                an ordinary one, cross-site requests, bodies and heads over
#                their limits, header values as sent, slow clients, a watcher
#                10,000 lines behind, shutdown with clients connected); a
#                malformed --serve address refused at start.
#   product      needs-migration, do-migration with the job's events on the
#                stream, PUT migration-error then GET.
#
#   http_front_check.sh PLUGIN_HOST TEST_PLUGIN_DLL PRODUCT_DLL WORK_DIR
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: http_front_check.sh PLUGIN_HOST TEST_PLUGIN_DLL PRODUCT_DLL WORK_DIR" >&2; exit 2; }
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
plugin_host="$(realpath "$1")" test_dll="$(realpath "$2")" product_dll="$(realpath "$3")"
work="$(realpath -m "$4")"
source "$here/../../scripts/wine-env.sh"
source "$here/http_server.sh"
source "$here/installation.sh"
source "$here/check_results.sh"
trap 'server_kill; wine_prefix_stop' EXIT
mkdir -p "$(dirname "$work")"
wine_prefix_start "$work" "$work.log"

# call NAME CURL_ARGS...: the answer's status line and headers in NAME.head,
# its body in NAME.body; prints the status.
call() {
  local name="$1"; shift
  curl -sS --max-time 60 -D "$work/$name.head" -o "$work/$name.body" -w '%{http_code}' "$@" || echo " (curl failed)"
}
# answers NAME STATUS BODY CURL_ARGS...: the call answers STATUS and BODY exactly.
answers() {
  local name="$1" status="$2" body="$3"; shift 3
  local got
  got="$(call "$name" "$@")"
  [ "$got" = "$status" ] || fail "$name: status $got, expected $status ($(head -c 300 "$work/$name.body" 2>/dev/null))"
  [ "$(cat "$work/$name.body")" = "$body" ] || fail "$name: body $(head -c 300 "$work/$name.body"), expected $body"
}
# watch FILE: a watcher of the event stream writing to FILE, once connected
# (sets watcher).
watch() {
  curl -sS -N "$base/_host/stream" >"$1" &
  watcher=$!
  local attempt
  for attempt in $(seq 1 100); do
    grep -q '^: watching' "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the event stream did not answer"
}
live_bytes() { curl -sS "$base/_host/stats" | grep -o '"liveBytes":[0-9]*' | cut -d: -f2; }

# --- test plugin -----------------------------------------------------------
scenario=test-plugin
name="$(basename "$test_dll" .dll)"
app="$work/app"
mkdir -p "$app/Plugins/$name"
cp "$plugin_host" "$app/plugin-host.exe"
cp "$test_dll" "$app/Plugins/$name/$name.dll"
server_start "$work/test-plugin" "$app/plugin-host.exe" --name "$name" --core-arg --from-kxu
base="$server_url"
watch "$work/stream.out"

items='/test-plugin/v1/items/42?limit=7'
answers items 200 '{"id":42,"limit":7,"name":"widget","tagCount":3}' \
  -X POST -H 'Content-Type: application/json' --data-binary '{"name":"widget","tags":["a","b","c"]}' "$base$items"
answers put-named 200 null -X PUT -H 'X-Plugin-Arg-greeting: "hello"' "$base/test-plugin/v1/greeting"
answers get-named 200 '"hello"' "$base/test-plugin/v1/greeting"
answers put-positional 200 null -X PUT -H 'X-Plugin-Arg: "by position"' "$base/test-plugin/v1/greeting"
answers get-positional 200 '"by position"' "$base/test-plugin/v1/greeting"
answers put-header 200 null -X PUT -H 'greeting: from a header' "$base/test-plugin/v1/greeting"
answers get-header 200 '"from a header"' "$base/test-plugin/v1/greeting"
answers core-args 200 '["--from-kxu"]' "$base/test-plugin/v1/core-args"
answers jobs 200 null -X POST "$base/test-plugin/v1/jobs"
answers wait 200 '{"jobs":"idle"}' -X POST "$base/_host/wait"
answers log 200 null -X POST "$base/test-plugin/v1/log"
answers event 200 '{"delivered":true}' -X POST --data-binary \
  '{"uuid":"u1","serviceName":"svc","methodName":"m","payload":"","status":"200","error":""}' \
  "$base/_host/events/OnServiceProxyAsyncEvent"
answers unknown-path 404 '{"error":"The plugin has no endpoint for GET /test-plugin/v1/nothing-here"}' \
  "$base/test-plugin/v1/nothing-here"
status="$(call malformed -X PUT -H 'X-Plugin-Arg-greeting: "unterminated' "$base/test-plugin/v1/greeting")"
[ "$status" = 400 ] || fail "malformed argument: status $status"
expect "$work/malformed.body" '{"error":"request not sent: header X-Plugin-Arg-greeting: '
answers unchanged 200 '"from a header"' "$base/test-plugin/v1/greeting"
status="$(call method -X BREW "$base/test-plugin/v1/greeting")"
[ "$status" = 400 ] || fail "unknown method: status $status"
status="$(call patch -X PATCH "$base/test-plugin/v1/greeting")"
[ "$status" = 405 ] || fail "PATCH: status $status"
head -c $((16 * 1024 * 1024 + 1)) /dev/zero | tr '\0' ' ' >"$work/big.json"
status="$(call big -X POST -H 'Content-Type: application/json' --data-binary "@$work/big.json" "$base$items")"
[ "$status" = 413 ] || fail "body over 16 MiB: status $status"
status="$(call origin -X POST -H 'Origin: http://attacker.example' "$base/test-plugin/v1/jobs")"
[ "$status" = 403 ] || fail "foreign Origin: status $status"
status="$(call host -H 'Host: attacker.example' "$base/test-plugin/v1/greeting")"
[ "$status" = 403 ] || fail "foreign Host: status $status"
answers own-origin 200 '"from a header"' -H "Origin: $base" "$base/test-plugin/v1/greeting"
! grep -qi '^access-control-' "$work"/*.head || fail "a CORS header was sent"
status="$(call describe "$base/_host/describe")"
[ "$status" = 200 ] || fail "describe: status $status"
expect "$work/describe.body" '{"type":"describe","endpoints":[{' '"path":"/test-plugin/v1/items/{id}?{+query}"'

# Four clients at once, 2,500 requests each (a connection each: the server
# closes every one after its answer), after one of each kind.
answers warm-up 200 '"from a header"' "$base/test-plugin/v1/greeting"
answers warm-up-post 200 '{"id":42,"limit":7,"name":"widget","tagCount":1}' \
  -X POST -H 'Content-Type: application/json' --data-binary '{"name":"widget","tags":["a"]}' "$base$items"
before="$(live_bytes)"
# Each client alternates a GET of the greeting and a POST with a JSON body.
for _ in $(seq 1 1250); do
  printf 'url = "%s/test-plugin/v1/greeting"\noutput = /dev/null\nwrite-out = "%%{http_code}\\n"\nnext\n' "$base"
  printf 'url = "%s%s"\noutput = /dev/null\nwrite-out = "%%{http_code}\\n"\n' "$base" "$items"
  printf 'header = "Content-Type: application/json"\n'
  printf 'data-binary = "{\\"name\\":\\"widget\\",\\"tags\\":[\\"a\\"]}"\nnext\n'
done | sed '$d' >"$work/urls"  # no "next" after the last
clients=()
for client in 1 2 3 4; do
  curl -sS -K "$work/urls" >"$work/load.$client" 2>"$work/load.$client.err" &
  clients+=("$!")
done
wait "${clients[@]}" || fail "load: a client failed"
ok="$(cat "$work"/load.? | grep -c '^200$' || true)"
[ "$ok" -eq 10000 ] || fail "load: $ok of 10,000 requests answered 200"
after="$(live_bytes)"
growth=$((after - before))
[ "${growth#-}" -le 512 ] || fail "load: live bytes moved by $growth ($before, then $after)"

# The watchers: 16 at once (the first is still watching), the 17th refused.
watchers=("$watcher")
for _ in $(seq 2 16); do
  curl -sS -N "$base/_host/stream" >/dev/null &
  watchers+=("$!")
done
sleep 2
status="$(call seventeenth --max-time 5 "$base/_host/stream")"
[ "$status" = 503 ] || fail "17th watcher: status $status"
answers while-watched 200 '"from a header"' --max-time 5 "$base/test-plugin/v1/greeting"

answers shutdown 200 '{"shutdown":true}' -X POST "$base/_host/shutdown"
sleep 1.5
for pid in "${watchers[@]}"; do
  if kill -0 "$pid" 2>/dev/null; then fail "a watcher still runs after shutdown"; kill "$pid" 2>/dev/null || true; fi
done
server_wait || fail "plugin-host exit code $server_rc"
expect "$work/stream.out" \
  '"type":"response","method":"POST","path":"/test-plugin/v1/items/42?limit=7","status":0,"body":{"id":42,"limit":7,"name":"widget","tagCount":3}}' \
  'data: {"type":"core-request","method":"GET","path":"/quorclient/command-line-args"' \
  'data: {"type":"job","state":"ended","name":"qel-beta-opt-in.test-job"' \
  'data: {"type":"event","direction":"published","name":"OnJsonApiEvent","payload":{"data":"from a header"' \
  'data: {"type":"telemetry","name":"test_plugin_job","data":{"result":"done"}}' \
  'data: {"type":"log","level":1,"levelName":"WARN","message":"test-plugin: log request"}' \
  'data: {"type":"event","direction":"delivered","name":"OnServiceProxyAsyncEvent"'
expect "$work/test-plugin.out" '{"type":"plugin","state":"stopped"}' '{"type":"plugin","state":"unloaded"}'

# --- limits ------------------------------------------------------------------
scenario=limits
server_start "$work/limits" "$app/plugin-host.exe" --name "$name"
python3 "$here/http_limits_check.py" "$server_url" "$server_pid" || fail "http_limits_check.py failed"
server_wait 5 || fail "plugin-host exit code $server_rc"
# The system reads 010 as octal, 8: the address printed would not be the one bound.
for case in '127.0.0.010:0|the address part 010 has a leading zero' \
            '127.0.0.256:0|the address part "256" is not a number from 0 to 255'; do
  address="${case%%|*}" rc=0
  wine "$app/plugin-host.exe" --serve "$address" </dev/null >/dev/null 2>"$work/address.err" || rc=$?
  [ "$rc" -eq 2 ] || fail "--serve $address: exit code $rc, expected 2"
  expect "$work/address.err" "--serve $address: ${case#*|}"
done

# --- product -----------------------------------------------------------------
# The installation's layout, as the migration's elevated copy expects it.
scenario=product
root="$WINEPREFIX/drive_c/Games/Tessaryn Game"
run_dir="$(plant_installation "$root" "$plugin_host" "$product_dll")"
# The installation root is found from the current directory.
pushd "$run_dir" >/dev/null
server_start "$work/product" 'C:\Games\Tessaryn Game\Client\plugin-host.exe' --core-arg --from-kxu
popd >/dev/null
base="$server_url"
watch "$work/product-stream.out"
needs=/qel-beta-opt-in/v1/needs-migration
error_path=/qel-beta-opt-in/v1/migration-error
answers needs 200 true "$base$needs"
answers do-migration 200 null -X POST "$base/qel-beta-opt-in/v1/do-migration"
answers product-wait 200 '{"jobs":"idle"}' -X POST "$base/_host/wait"
answers needs-after 200 false "$base$needs"
answers put-error 200 null -X PUT -H 'X-Plugin-Arg-errString: "boom"' "$base$error_path"
answers get-error 200 '"{\"message\":\"boom\",\"errorCode_int\":12345}"' "$base$error_path"
answers product-shutdown 200 '{"shutdown":true}' -X POST "$base/_host/shutdown"
server_wait || fail "plugin-host exit code $server_rc"
expect "$work/product-stream.out" \
  'data: {"type":"job","state":"started","name":"qel-beta-opt-in.migrate"' \
  'data: {"type":"event","direction":"published","name":"OnJsonApiEvent","payload":{"data":false,"eventType":"Update","uri":"/qel-beta-opt-in/v1/needs-migration"}}' \
  'data: {"type":"telemetry","name":"beta_opt_in_migrate_result","data":{"attempts_remaining":"2","succeeded":"true"}}' \
  'data: {"type":"job","state":"ended","name":"qel-beta-opt-in.migrate"' \
  'data: {"type":"event","direction":"published","name":"OnJsonApiEvent","payload":{"data":"{\"message\":\"boom\",\"errorCode_int\":12345}"'

finish "$work" "http front: all checks passed"
