# Sourced by the HTTP front's tests: plugin-host --serve in the background.
#
#   server_start OUT_BASE EXE ARG...  starts EXE --serve 127.0.0.1:0 ARG... in
#                                     the current directory, output in
#                                     OUT_BASE.out and OUT_BASE.err; sets
#                                     server_url and server_pid
#   server_wait [SECONDS]             waits up to SECONDS (default 20) for
#                                     the exit; false unless it was 0
#                                     (server_rc; 124 when it had not ended,
#                                     and it is then ended)
#   server_kill                       ends a server still running (killed
#                                     when it has not ended 5 s after TERM)

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
  for attempt in $(seq 1 "$(( ${1:-20} * 10 ))"); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$server_pid" 2>/dev/null; then
    echo "plugin-host still runs ${1:-20} s after it was told to stop" >&2
    server_kill
    server_rc=124
    return 1
  fi
  server_rc=0
  wait "$server_pid" || server_rc=$?
  server_pid=""
  [ "$server_rc" -eq 0 ]
}

server_kill() {
  [ -n "$server_pid" ] || return 0
  kill "$server_pid" 2>/dev/null || true
  local attempt
  for attempt in $(seq 1 50); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
}
