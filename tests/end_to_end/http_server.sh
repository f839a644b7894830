# Sourced by the HTTP front's tests: plugin-host --serve in the background.
#
#   server_start OUT_BASE EXE ARG...  starts EXE --serve 127.0.0.1:0 ARG... in
#                                     the current directory, output in
#                                     OUT_BASE.out and OUT_BASE.err; sets
#                                     server_url and server_pid
#   server_wait                       waits up to 20 s for the exit; false
#                                     unless it was 0 (server_rc)
#   server_kill                       ends a server still running

server_pid=""
server_url=""
server_rc=0

server_start() {
  local out="$1.out" err="$1.err" exe="$2"; shift 2
  wine "$exe" --serve 127.0.0.1:0 "$@" </dev/null >"$out" 2>"$err" &
  server_pid=$!
  local attempt
  for attempt in $(seq 1 600); do
    server_url="$(grep -o '"type":"serving","url":"http://[^"]*/"' "$out" | head -n1 | sed 's/.*"url":"\(.*\)\/"/\1/')" || true
    [ -n "$server_url" ] && return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "plugin-host did not start serving:" >&2
  cat "$out" "$err" >&2
  return 1
}

server_wait() {
  local attempt
  for attempt in $(seq 1 200); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  server_rc=0
  wait "$server_pid" || server_rc=$?
  server_pid=""
  [ "$server_rc" -eq 0 ]
}

server_kill() {
  [ -n "$server_pid" ] || return 0
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
}
