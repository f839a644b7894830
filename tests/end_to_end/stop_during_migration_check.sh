#!/usr/bin/env bash
# CTest test <label>.stop_during_migration: the core stops (and unloads) the
# plugin while its migration job is inside the library, through
# plugin-host.exe and the DLL in the client's Plugins folder, in a Wine prefix
# of its own. The installation is laid out as in beta_opt_in_check.sh.
#
# Scenarios:
#   waiting  POST do-migration with the elevated process held inside its
#            shortcut pass (the stand-in pin server blocks in the unpin of the
#            alpha shortcut while a block file exists), then `stop` during the
#            job's 60-second wait: stop returns within 2 s, the worker has
#            left the plugin, the plugin is unloaded and plugin-host exits 0;
#            the data store holds the decremented counter and no success flag;
#            no event, telemetry, core request or log line follows the stop.
#            The held process is then released and runs to its end.
#   held     the job held by the core until after `stop`: its late callback
#            does nothing at all (no request, event or log line), the store
#            stays empty, plugin-host exits 0.
#   client-pass  plugin-host sees an older Windows (Wine's version for it set
#            to XP), so nothing elevated starts and the client's own shortcut
#            pass meets the alpha shortcut, whose unpin is held: `stop`
#            returns within 2 s while the unpin is still held, the plugin is
#            unloaded; released, the pass (on its own thread, which keeps the
#            DLL mapped) deletes the shortcut it was at and ends, and
#            plugin-host exits 0.
#
#   stop_during_migration_check.sh PLUGIN_HOST DLL LNK_TOOL PIN_SERVER_DLL WORK_DIR
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: stop_during_migration_check.sh PLUGIN_HOST DLL LNK_TOOL PIN_SERVER_DLL WORK_DIR" >&2; exit 2; }
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
plugin_host="$(realpath "$1")" dll="$(realpath "$2")" tool="$(realpath "$3")" pin_server="$(realpath "$4")"
work="$(realpath -m "$5")"

source "$here/../../scripts/wine-env.sh"
source "$here/installation.sh"
source "$here/check_results.sh"
block="$work/unpin.block"
release_held() { rm -f "$block"; }
trap 'release_held; wine_prefix_stop' EXIT
mkdir -p "$(dirname "$work")"
wine_prefix_start "$work" "$work.log"
drive_c="$WINEPREFIX/drive_c"
quiet() { "$@" </dev/null >>"$work.log" 2>&1; }
windows() { echo "Z:${1//\//\\}"; }

# The JSON lines of OUT after the line that says stop was called.
after_stop() { awk '/"state":"stop called"/ { seen = 1; next } seen' "$1"; }
stop_checks() {  # stop_checks OUT: what every stop must show
  local out="$1" took
  took="$(jq -r 'select(.type == "plugin" and .state == "stop returned") | .milliseconds' "$out")"
  [ -n "$took" ] && [ "$took" -lt 2000 ] || fail "stop returned after ${took:-never} ms"
  for state in "stop called" "stop returned" "worker left" "stopped" "unloaded"; do
    grep -qF "\"state\":\"$state\"" "$out" || fail "no \"$state\" line"
  done
  [ -z "$(after_stop "$out" | jq -c 'select(.type == "event" or .type == "telemetry" or .type == "log" or
    .type == "core-request")')" ] || fail "the plugin reached the core after stop: $(after_stop "$out" | head -n 5)"
}
# session NAME STEP...: plugin-host with --json and a store of its own, from
# the current directory six levels below the root.
session() {
  local name="$1"; shift
  local rc=0
  (cd "$run_dir" && QCP_PIN_SERVER_BLOCK="$(windows "$block")" wine "$root_win\\Client\\plugin-host.exe" --json \
    --store "$(windows "$work/$name.store.json")" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err") || rc=$?
  [ "$rc" -eq 0 ] || fail "plugin-host exit code $rc"
}

root_win='C:\Games\Tessaryn Game'
root="$drive_c/Games/Tessaryn Game"
client="$root/Client"
run_dir="$(plant_installation "$root" "$plugin_host" "$dll")"
unpinned="$work/unpinned.txt"
quiet "$here/../support/register_pin_server.sh" register "$pin_server" "--log=$(windows "$unpinned")"
# On all users' desktop: the elevated pass walks only the all-users folders.
alpha="$drive_c/users/Public/Desktop/Tessaryn client alpha.lnk"
mkdir -p "$(dirname "$alpha")"
quiet wine "$tool" write 'C:\users\Public\Desktop\Tessaryn client alpha.lnk' "--target=$root_win\\Tessaryn.exe"

job='"name":"qel-beta-opt-in.migrate","id":1'
store_value() { jq -c --arg key "$2" '.[$key]' "$work/$1.store.json" 2>/dev/null || echo missing; }

# --- waiting ---------------------------------------------------------------
scenario=waiting
: >"$block"
session waiting --core-arg --from-kxu POST /qel-beta-opt-in/v1/do-migration sleep 6 stop 10 sleep 1
out="$work/waiting.out"
stop_checks "$out"
grep -qF '"message":"Performing opt-in migration."' "$out" || fail "the job never reached the run"
grep -qF 'Tessaryn client alpha.lnk' "$unpinned" 2>/dev/null || fail "the elevated run never reached its unpin"
[ -e "$alpha" ] || fail "the elevated run was not held"
[ "$(store_value waiting opt-in-migration-attempts-remaining-v3)" = 2 ] ||
  fail "counter: $(store_value waiting opt-in-migration-attempts-remaining-v3)"
[ "$(store_value waiting opt-in-has-migrated-v2)" = null ] || fail "a stopped run recorded success"
# Released, the elevated run goes on to its end on its own.
release_held
for _ in $(seq 1 300); do [ -e "$alpha" ] || break; sleep 0.1; done
[ ! -e "$alpha" ] || fail "the released elevated run did not finish"

# --- held ----------------------------------------------------------------------
scenario=held
session held --core-arg --from-kxu hold POST /qel-beta-opt-in/v1/do-migration stop 10 sleep 1
out="$work/held.out"
stop_checks "$out"
grep -qF "{\"type\":\"job\",\"state\":\"started\",$job}" <(after_stop "$out") || fail "the held callback was not fired"
[ -z "$(jq -c 'select(.type == "event" or .type == "telemetry" or .type == "log" or .type == "core-request")' \
  "$out")" ] || fail "a job dropped at stop still ran"
[ ! -s "$work/held.store.json" ] || fail "the store was written: $(cat "$work/held.store.json")"

# --- client-pass -----------------------------------------------------------
scenario=client-pass
quiet wine reg add 'HKCU\Software\Wine\AppDefaults\plugin-host.exe' /v Version /d winxp /f
# On the player's own desktop, which only the client's pass walks.
user="$(wine_prefix_user)"
alpha="$drive_c/users/$user/Desktop/Tessaryn client alpha.lnk"
quiet wine "$tool" write "C:\\users\\$user\\Desktop\\Tessaryn client alpha.lnk" "--target=$root_win\\Tessaryn.exe"
: >"$unpinned"
: >"$block"
out="$work/client-pass.out"
(session client-pass --core-arg --from-kxu POST /qel-beta-opt-in/v1/do-migration sleep 5 stop 10 sleep 12
 echo "$failures" >"$work/client-pass.failures") &
session_pid=$!
for _ in $(seq 1 600); do grep -qF '"state":"unloaded"' "$out" 2>/dev/null && break; sleep 0.1; done
grep -qF '"state":"unloaded"' "$out" || fail "the plugin was not unloaded"
grep -qF 'Tessaryn client alpha.lnk' "$unpinned" || fail "the client's pass never reached its unpin"
[ -e "$alpha" ] || fail "the client's pass was not held in its unpin"
release_held
wait "$session_pid" || true
[ "$(cat "$work/client-pass.failures")" = 0 ] || fail "plugin-host failed (see above)"
stop_checks "$out"
[ ! -e "$alpha" ] || fail "the released pass did not finish its shortcut"
[ "$(store_value client-pass opt-in-has-migrated-v2)" = null ] || fail "a stopped run recorded success"
quiet wine reg delete 'HKCU\Software\Wine\AppDefaults\plugin-host.exe' /f

finish "$work" "stop during migration end to end: all scenarios passed"
