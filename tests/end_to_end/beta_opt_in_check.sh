#!/usr/bin/env bash
# CTest test <label>.beta_opt_in: the feature as the core drives it, through
# plugin-host.exe, in a Wine prefix of its own (it plants shortcuts in the
# shell folders and registers the stand-in pin server). The installation:
#
#   C:\Games\<ROOT_NAME>\                    root, with the executables
#   C:\Games\<ROOT_NAME>\Client\plugin-host.exe
#   C:\Games\<ROOT_NAME>\Client\Plugins\qcp-be-qel-beta-opt-in\qcp-be-qel-beta-opt-in.dll
#   C:\Games\<ROOT_NAME>\Client\Game\Data\Cache\Work\Run   current directory
#
# ROOT_NAME is "Tessaryn Game" unless given; a root name given runs the
# migrate scenario alone (the others do not depend on the name). The root
# reaches rundll32.exe through cmd.exe's command line, so a name holding what
# the interpreter reads (&, ^, %NAME%, !NAME!) proves the escaping: the
# trace must show rundll32.exe's command line ending in the exact root, and
# the elevated run's 42 comes only if rundll32.exe found the library by its
# path relative to the client folder (under Wine a failed `cd /d` does not
# stop `&&`).
#
# Scenarios:
#   migrate  core started with --from-kxu: needs-migration true; POST
#            do-migration answers at once; the job really starts cmd.exe and
#            rundll32.exe through "runas" (Wine's process trace shows both
#            command lines), the elevated entry's 42 makes the run succeed;
#            the events, the counter (2 on an empty store), the success flag
#            and the telemetry come out in order; the shortcuts are rewritten
#            and the alpha one unpinned and deleted, those on all users'
#            desktop by the elevated pass (its log file says so), the
#            player's own by the client's pass (the core's log says so);
#            needs-migration is then false and migration-error null; a second
#            POST does nothing.
#   stored   PUT migration-error with the named typed argument "errString",
#            then GET: the text form with code 12345, published once.
#            Before it, migration-preview.exe from the same current directory
#            finds the same root and plans what the run then does, changing
#            nothing; after it, the core's log tells the client's part, one
#            line per action. The elevated pass's log file is not forwarded:
#            Wine keeps no owners, so the file is never the Administrators
#            group's, and the core's log says so in one WARN line.
#   failing  an alpha shortcut that cannot be deleted (read-only): the run's
#            error (code 55) is the same text in the event, in GET
#            migration-error and in the telemetry's "error"; no success flag;
#            the shortcut was not unpinned.
#   no-args  the core cannot give its command line (--fail-core): GET
#            needs-migration answers 500 "ALE-F0BB341E".
#   no-counter  the data store fails to read the attempt counter: "ALE-884760E9"
#            ends the job with no counter written, no outcome, no telemetry.
#   cyrillic an installation under C:\Games\Игры Tessaryn, which code page
#            1252 cannot carry: plugin-host loads the plugin by its full path,
#            and the plugin refuses the run before anything starts (no
#            cmd.exe), with the directory named in an ERROR line; the
#            has-migrated flag is not written and nothing is touched.
#   full-width  an installation under C:\Ｇａｍｅｓ\Tessaryn Game, which
#            best-fit mapping reads as C:\Games\Tessaryn Game, the
#            installation beside it: refused the same way, and nothing in
#            C:\Games changes.
#   twin     the C:\Games installation run with the look-alike's launcher and
#            alpha shortcuts on all users' desktop, whose targets best-fit
#            mapping reads as the installation's: its own shortcut is
#            rewritten, the look-alike's stay byte for byte, are not
#            unpinned, not logged, and the preview keeps them.
#
#   beta_opt_in_check.sh PLUGIN_HOST DLL LNK_TOOL PIN_SERVER_DLL PREVIEW WORK_DIR [ROOT_NAME]
set -euo pipefail
usage="usage: beta_opt_in_check.sh PLUGIN_HOST DLL LNK_TOOL PIN_SERVER_DLL PREVIEW WORK_DIR [ROOT_NAME]"
[ $# -eq 6 ] || [ $# -eq 7 ] || { echo "$usage" >&2; exit 2; }
root_name="${7:-Tessaryn Game}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
plugin_host="$(realpath "$1")" dll="$(realpath "$2")" tool="$(realpath "$3")" pin_server="$(realpath "$4")"
preview="$(realpath "$5")"
work="$(realpath -m "$6")"

source "$here/../../scripts/wine-env.sh"
source "$here/installation.sh"
source "$here/check_results.sh"
trap wine_prefix_stop EXIT
mkdir -p "$(dirname "$work")"
wine_prefix_start "$work" "$work.log"
drive_c="$WINEPREFIX/drive_c"
user="$(wine_prefix_user)"
quiet() { "$@" </dev/null >>"$work.log" 2>&1; }

exit_with_outcome() { finish "$work" "beta opt-in end to end ($root_name): all scenarios passed"; }
# traced TEXT: TEXT as Wine's trace writes a wide string's characters: "\" and
# the double quote after a "\", the others outside printable ASCII as "\"
# and four hex digits.
traced() (
  export LC_ALL=C.UTF-8
  local text="$1" out="" c code i
  for ((i = 0; i < ${#text}; i++)); do
    c="${text:i:1}"
    printf -v code '%d' "'$c"
    if [ "$c" = '\' ] || [ "$c" = '"' ]; then out+="\\$c"
    elif [ "$code" -lt 32 ] || [ "$code" -ge 127 ]; then printf -v c '\\%04x' "$code"; out+="$c"
    else out+="$c"; fi
  done
  printf '%s' "$out"
)
count_of() { grep -cF -- "$2" "$1" || true; }
in_order() {
  local file="$1"; shift
  local previous=0 text at
  for text in "$@"; do
    at="$(grep -nF -- "$text" "$file" | awk -F: -v after="$previous" '$1 > after { print $1; exit }' || true)"
    if [ -z "$at" ]; then fail "out of order or missing: $text"; return; fi
    previous="$at"
  done
}

root_win="C:\\Games\\$root_name"
root="$drive_c/Games/$root_name"
client="$root/Client"
run_dir="$(plant_installation "$root" "$plugin_host" "$dll")"
cp "$preview" "$client/migration-preview.exe"
unpinned="$work/unpinned.txt"
quiet "$here/../support/register_pin_server.sh" register "$pin_server" "--log=Z:${unpinned//\//\\}"

desktop="$drive_c/users/$user/Desktop"
public_desktop="$drive_c/users/Public/Desktop"
programs="$drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tessaryn"
win() { local path="${1#"$drive_c"/}"; echo "C:\\${path//\//\\}"; }
plant() {  # plant LINK TARGET_WIN
  mkdir -p "$(dirname "$1")"
  quiet wine "$tool" write "$(win "$1")" "--target=$2" "--working-directory=${2%\\*}" "--icon=$2"
}
# The target as lnk-tool prints it (UTF-8).
target_of() {
  wine "$tool" read "$(win "$1")" </dev/null 2>>"$work.log" | grep -a '^target=' | head -n1 | cut -d= -f2- |
    tr -d '\r'
}

# session NAME STEP...: plugin-host with --json from the current directory
# six levels below the root, with Wine's process trace on standard error.
session() {
  local name="$1"; shift
  local rc=0
  (cd "$run_dir" && WINEDEBUG=+process wine "$root_win\\Client\\plugin-host.exe" --json "$@" \
    </dev/null >"$work/$name.out" 2>"$work/$name.err") || rc=$?
  [ "$rc" -eq 0 ] || fail "plugin-host exit code $rc"
}

needs='/qel-beta-opt-in/v1/needs-migration'
error_path='/qel-beta-opt-in/v1/migration-error'
counter='/data-store/v1/install-settings/opt-in-migration-attempts-remaining-v3'
response() { echo "{\"type\":\"response\",\"method\":\"$1\",\"path\":\"$2\",\"status\":0,\"body\":$3}"; }
event() {  # event URI DATA: the payload line fragment of both publications
  echo "\"payload\":{\"data\":$2,\"eventType\":\"Update\",\"uri\":\"$1\"}}"
}
specific() { echo "{\"type\":\"event\",\"direction\":\"published\",\"name\":\"OnJsonApiEvent_qel-beta-opt-in_v1_$1\","; }
base='{"type":"event","direction":"published","name":"OnJsonApiEvent",'

# --- migrate ---------------------------------------------------------------
scenario=migrate
# All users' desktop for the elevated pass, the player's folders for the
# client's.
plant "$public_desktop/Tessaryn.lnk" "$root_win\\Tessaryn.exe"
plant "$public_desktop/Tessaryn client alpha.lnk" "$root_win\\Tessaryn.exe"
plant "$desktop/Tessaryn.lnk" "$root_win\\Tessaryn.exe"
plant "$programs/Tessaryn Launcher.lnk" "$root_win\\Launcher\\QelLauncher.exe"
printf 'not a shortcut' >"$desktop/Broken.lnk"
printf 'MZ' >"$root/Uninstall Tessaryn client alpha.exe"
# The preview, from the client's current directory: same root, same plan,
# nothing changed.
before_preview="$(cd "$drive_c" && find users Games -type f -printf '%T@ %s %p\n' | LC_ALL=C sort)"
(cd "$run_dir" && wine "$root_win\\Client\\migration-preview.exe" --json --current-dir "$(win "$run_dir")" \
  </dev/null >"$work/preview.jsonl" 2>>"$work.log") || fail "migration-preview failed"
[ "$(cd "$drive_c" && find users Games -type f -printf '%T@ %s %p\n' | LC_ALL=C sort)" = "$before_preview" ] ||
  fail "the preview changed files"
[ "$(tr -d '\r' <"$work/preview.jsonl" |
  jq -r 'select(.kind == "summary") | [.root, .foundBy, .verdict, (.counts | tojson)] | join(" ")')" = \
  "$root_win current-dir accepted {\"rewrite\":3,\"unpin-delete\":1,\"keep\":0,\"skip\":1,\"fail\":0,\"uninstallers\":1}" ] ||
  fail "preview summary: $(tail -n1 "$work/preview.jsonl")"
session migrate --core-arg --from-kxu GET "$needs" POST /qel-beta-opt-in/v1/do-migration wait \
  GET "$needs" GET "$error_path" POST /qel-beta-opt-in/v1/do-migration wait
out="$work/migrate.out"
in_order "$out" \
  "$(response GET "$needs" true)" \
  '{"type":"job","state":"scheduled","name":"qel-beta-opt-in.migrate","id":1,' \
  '{"type":"job","state":"started","name":"qel-beta-opt-in.migrate","id":1}' \
  "$(specific needs-migration)$(event "$needs" false)" \
  "$base$(event "$needs" false)" \
  "{\"type\":\"core-request\",\"method\":\"GET\",\"path\":\"$counter\",\"arguments\":[],\"status\":200,\"body\":null}" \
  "{\"type\":\"core-request\",\"method\":\"POST\",\"path\":\"$counter\",\"arguments\":[2]," \
  '"levelName":"ALWAYS","message":"Performing opt-in migration."}' \
  "$(specific migration-error)$(event "$error_path" null)" \
  "$base$(event "$error_path" null)" \
  '{"type":"core-request","method":"POST","path":"/data-store/v1/install-settings/opt-in-has-migrated-v2","arguments":[true],' \
  '{"type":"telemetry","name":"beta_opt_in_migrate_result","data":{"attempts_remaining":"2","succeeded":"true"}}' \
  '{"type":"job","state":"ended","name":"qel-beta-opt-in.migrate","id":1}' \
  "$(response GET "$needs" false)" \
  "$(response GET "$error_path" null)" \
  '{"type":"job","state":"ended","name":"qel-beta-opt-in.migrate","id":2}'
# The job runs on the core's worker thread, so its first lines may come before
# or after the POST's answer; the answer must come before the job has ended.
in_order "$out" \
  "$(response POST /qel-beta-opt-in/v1/do-migration null)" \
  '{"type":"job","state":"ended","name":"qel-beta-opt-in.migrate","id":1}'
[ "$(count_of "$out" '"path":"/quorclient/command-line-args"')" -eq 1 ] || fail "the command line was asked more than once"
[ "$(count_of "$out" '"type":"event"')" -eq 4 ] || fail "the second POST published events"
[ "$(count_of "$out" '"type":"telemetry"')" -eq 1 ] || fail "the second POST sent telemetry"
# The elevated copy, started the way the client starts it; the trace cuts
# long command lines, so cmd.exe's is read up to the client folder.
entry='Plugins\qcp-be-qel-beta-opt-in\qcp-be-qel-beta-opt-in.dll,_MigrateEntryPoint@16 '
quoted_client="${root_win//[%]/%%cd:~,%}\\Client\\"
expect "$work/migrate.err" \
  'NtCreateUserProcess L"\\??\\C:\\windows\\system32\\cmd.exe" image' \
  "cmdline L\"$(traced "\"C:\\windows\\system32\\cmd.exe\" /D /E:ON /V:OFF /C cd /d \"$quoted_client\" && ")" \
  'NtCreateUserProcess L"\\??\\C:\\windows\\system32\\rundll32.exe" image' \
  "cmdline L\"$(traced "\"C:/windows/system32/rundll32.exe\" $entry$root_win")\" "
for link in "$public_desktop/Tessaryn.lnk" "$desktop/Tessaryn.lnk" "$programs/Tessaryn Launcher.lnk"; do
  [ "$(target_of "$link")" = "$root_win\\TessarynClient.exe" ] || fail "not rewritten: $link"
done
[ ! -e "$public_desktop/Tessaryn client alpha.lnk" ] || fail "alpha shortcut not deleted"
grep -qF 'Tessaryn client alpha.lnk' "$unpinned" 2>/dev/null || fail "alpha shortcut not unpinned"
[ ! -e "$root/Uninstall Tessaryn client alpha.exe" ] || fail "uninstaller not removed"
# Which pass did what, each action once. The elevated pass's log file: all
# users' desktop, nothing of the player's own folders.
links=("$(win "$public_desktop")" "$(win "$desktop")" "$(win "$programs")")
links=("${links[@]//\\//}")
# (in the prefix's ANSI code page, 1252)
sed 's/^[^|]*| *\([A-Z]*\)| /\1 /' "$client/qel-beta-opt-in-elevated.log" | tr -d '\r' | iconv -f CP1252 -t UTF-8 \
  >"$work/elevated-log.txt"
expect "$work/elevated-log.txt" \
  "OKAY qel-beta-opt-in: Rewrote shortcut ${links[0]}/Tessaryn.lnk to start $root_win\\TessarynClient.exe" \
  "OKAY qel-beta-opt-in: Deleted shortcut ${links[0]}/Tessaryn client alpha.lnk"
[ "$(grep -c 'qel-beta-opt-in: \(Rewrote\|Deleted\|Skipped\) shortcut' "$work/elevated-log.txt")" -eq 2 ] ||
  fail "the elevated pass did more: $(cat "$work/elevated-log.txt")"
# The core's log: the client's pass did the player's shortcuts, skipped the
# broken one and cleaned up; the elevated pass's file was not forwarded (Wine
# keeps no owners, so it is never the Administrators group's).
jq -r 'select(.type == "log") | "\(.levelName) \(.message)"' "$out" | tr -d '\r' >"$work/migrate-log.txt"
client_line="OKAY qel-beta-opt-in:"
in_order "$work/migrate-log.txt" \
  'ALWAYS Performing opt-in migration.' \
  "WARN qel-beta-opt-in: No log from the elevated pass in C:/Games/$root_name/Client/qel-beta-opt-in-elevated.log: the file is not owned by the Administrators group, so the elevated pass did not write it" \
  "OKAY qel-beta-opt-in: Removed uninstaller file C:/Games/$root_name/Uninstall Tessaryn client alpha.exe"
for line in \
  "$client_line Rewrote shortcut ${links[1]}/Tessaryn.lnk to start $root_win\\TessarynClient.exe" \
  "$client_line Rewrote shortcut ${links[2]}/Tessaryn Launcher.lnk to start $root_win\\TessarynClient.exe" \
  "$client_line Migrating shortcut: $root_win\\Tessaryn.exe $root_win" \
  "$client_line Migrating shortcut: $root_win\\Launcher\\QelLauncher.exe $root_win" \
  "$client_line Skipped shortcut ${links[1]}/Broken.lnk: cannot be read" \
  "$client_line Rewrote shortcut" "$client_line Skipped shortcut" "Removed uninstaller file" "[elevated]" \
  "${links[0]}"; do
  expected=1
  case "$line" in *"Rewrote shortcut") expected=2 ;; "[elevated]" | "${links[0]}") expected=0 ;; esac
  [ "$(count_of "$work/migrate-log.txt" "$line")" -eq "$expected" ] || fail "not $expected time(s) in the log: $line"
done
[ "$(grep -c . "$work/migrate-log.txt")" -eq 8 ] || fail "the log has other lines: $(cat "$work/migrate-log.txt")"

[ $# -eq 6 ] || exit_with_outcome

# --- stored ------------------------------------------------------------------
scenario=stored
session stored --arg errString='"boom"' PUT "$error_path" GET "$error_path"
stored_text='"{\"message\":\"boom\",\"errorCode_int\":12345}"'
in_order "$work/stored.out" \
  "$(specific migration-error)$(event "$error_path" "$stored_text")" \
  "$base$(event "$error_path" "$stored_text")" \
  "$(response PUT "$error_path" null)" \
  "$(response GET "$error_path" "$stored_text")"

# --- failing -------------------------------------------------------------------
scenario=failing
plant "$public_desktop/Tessaryn client alpha.lnk" "$root_win\\Tessaryn.exe"
chmod a-w "$public_desktop/Tessaryn client alpha.lnk"  # Wine's read-only attribute
unpins_before="$(grep -c . "$unpinned" || true)"
session failing --core-arg --from-kxu POST /qel-beta-opt-in/v1/do-migration wait GET "$error_path"
[ -e "$public_desktop/Tessaryn client alpha.lnk" ] || fail "the read-only alpha shortcut is gone"
[ "$(grep -c . "$unpinned" || true)" = "$unpins_before" ] || fail "the read-only alpha shortcut was unpinned"
chmod u+w "$public_desktop/Tessaryn client alpha.lnk"
out="$work/failing.out"
error_text="$(jq -r 'select(.type == "response" and .method == "GET") | .body' "$out")"
case "$error_text" in
  '{"message":"Failed to delete '*'Tessaryn client alpha.lnk","errorCode_int":55}') ;;
  *) fail "GET migration-error answered: $error_text" ;;
esac
[ "$(jq -r --arg uri "$error_path" 'select(.type == "event" and .payload.uri == $uri) | .payload.data' "$out" |
  sort -u)" = "$error_text" ] || fail "the events do not carry the error"
[ "$(jq -c 'select(.type == "telemetry") | .data' "$out")" = \
  "$(jq -cn --arg e "$error_text" '{attempts_remaining: "2", error: $e, succeeded: "false"}')" ] ||
  fail "telemetry: $(jq -c 'select(.type == "telemetry") | .data' "$out")"
[ "$(count_of "$out" 'opt-in-has-migrated-v2')" -eq 0 ] || fail "success recorded for a failed run"

# --- no-args: the core cannot give its command line -----------------------------
scenario=no-args
session no-args --core-arg --from-kxu --fail-core GET '/quorclient/command-line-args=500:"no arguments"' GET "$needs"
out="$work/no-args.out"
in_order "$out" \
  '{"type":"core-request","method":"GET","path":"/quorclient/command-line-args","arguments":[],"status":500,"error":"no arguments"}' \
  '"levelName":"ERROR","message":"Assertion failed!\n\nExpression: ALE-F0BB341E"}' \
  "{\"type\":\"response\",\"method\":\"GET\",\"path\":\"$needs\",\"status\":500,\"error\":\"ALE-F0BB341E\"}"

# --- no-counter: the data store cannot read the attempt counter ------------------
scenario=no-counter
plant "$desktop/Tessaryn.lnk" "$root_win\\Tessaryn.exe"
session no-counter --core-arg --from-kxu --fail-core GET "$counter=500:store down" \
  POST /qel-beta-opt-in/v1/do-migration wait
out="$work/no-counter.out"
in_order "$out" \
  "{\"type\":\"core-request\",\"method\":\"GET\",\"path\":\"$counter\",\"arguments\":[],\"status\":500,\"error\":\"store down\"}" \
  '"levelName":"ERROR","message":"Assertion failed!\n\nExpression: ALE-884760E9\n' \
  '{"type":"job","state":"ended","name":"qel-beta-opt-in.migrate","id":1}'
[ "$(count_of "$out" "\"method\":\"POST\",\"path\":\"$counter\"")" -eq 0 ] || fail "the counter was written"
[ "$(count_of "$out" '"type":"telemetry"')" -eq 0 ] || fail "telemetry was sent"
[ "$(count_of "$out" 'Performing opt-in migration.')" -eq 0 ] || fail "the migration ran"
[ "$(target_of "$desktop/Tessaryn.lnk")" = "$root_win\\Tessaryn.exe" ] || fail "a shortcut was migrated"

# --- cyrillic, full-width: installations code page 1252 cannot carry ---------------
# refused SCENARIO ROOT_WIN SHOWN: an installation at ROOT_WIN (its shortcut,
# its uninstaller) whose run must be refused before anything starts, the
# current directory shown as SHOWN\Client\...\Run in an ERROR line; nothing
# under users\, Games\ or the installation changes.
refused() {
  scenario="$1"
  local root_win="$2" shown="$3"
  local root="$drive_c/${root_win#C:\\}"
  root="${root//\\//}"
  local run_dir
  run_dir="$(plant_installation "$root" "$plugin_host" "$dll")"
  printf 'MZ' >"$root/Uninstall Tessaryn client alpha.exe"
  plant "$public_desktop/Tessaryn $scenario.lnk" "$root_win\\Tessaryn.exe"
  local top="${root#"$drive_c"/}"
  top="${top%%/*}"
  local before
  before="$(cd "$drive_c" && find users Games "$top" -type f -printf '%T@ %s %p\n' | LC_ALL=C sort -u)"
  session "$scenario" --core-arg --from-kxu POST /qel-beta-opt-in/v1/do-migration wait GET "$error_path"
  local out="$work/$scenario.out" message
  [ "$(cd "$drive_c" && find users Games "$top" -type f -printf '%T@ %s %p\n' | LC_ALL=C sort -u)" = "$before" ] ||
    fail "files changed"
  ! grep -qF 'system32\\cmd.exe' "$work/$scenario.err" || fail "cmd.exe was started"
  [ "$(count_of "$out" 'opt-in-has-migrated-v2')" -eq 0 ] || fail "the has-migrated flag was written"
  message="$(jq -r 'select(.type == "log" and .levelName == "ERROR") | .message' "$out")"
  case "$message" in
    "qel-beta-opt-in: Cannot find the installation root: the current directory $shown\\Client\\Game\\Data\\Cache\\Work\\Run has characters that the ANSI code page "*" cannot hold.") ;;
    *) fail "ERROR lines: $message" ;;
  esac
  [ "$(jq -r 'select(.type == "response" and .method == "GET") | .body' "$out")" = "${message#qel-beta-opt-in: }" ] ||
    fail "GET migration-error: $(jq -r 'select(.type == "response" and .method == "GET") | .body' "$out")"
  # The preview, given that current directory, says the same.
  local said code=0
  said="$(wine "$preview" --current-dir "$(win "$run_dir")" </dev/null 2>&1 >/dev/null | tr -d '\r')" || code=$?
  [ "$code" -eq 1 ] && [ "$said" = "migration-preview: no plan: ${message#qel-beta-opt-in: }" ] ||
    fail "migration-preview ($code): $said"
}
refused cyrillic 'C:\Games\Игры Tessaryn' 'C:\Games\<U+0418><U+0433><U+0440><U+044B> Tessaryn'
# Beside C:\Games\Tessaryn Game, with a legacy shortcut and an uninstaller of
# its own again, which a run from the look-alike would have taken for its own.
plant "$public_desktop/Tessaryn.lnk" "$root_win\\Tessaryn.exe"
printf 'MZ' >"$root/Uninstall Tessaryn client alpha.exe"
refused full-width 'C:\Ｇａｍｅｓ\Tessaryn Game' 'C:\<U+FF27><U+FF41><U+FF4D><U+FF45><U+FF53>\Tessaryn Game'

# --- twin: the installation run beside its full-width look-alike --------------
scenario=twin
# The look-alike's launcher and alpha shortcuts, named by a relative path so
# that they hold their target in full (lnk-tool write-relative: Wine's writer
# stores a target best fit, as C:\Games\...; the one full-width planted above
# is such a one, and is planted again).
twin_links=("$public_desktop/Tessaryn full-width.lnk" "$public_desktop/Tessaryn client alpha full-width.lnk")
for link in "${twin_links[@]}"; do
  quiet wine "$tool" write-relative "$(win "$link")" '..\..\..\Ｇａｍｅｓ\Tessaryn Game\Tessaryn.exe'
  cp "$link" "$work/$(basename "$link").before"
done
[ "$(target_of "${twin_links[0]}")" = 'C:\Ｇａｍｅｓ\Tessaryn Game\Tessaryn.exe' ] ||
  fail "the look-alike's shortcut reads as $(target_of "${twin_links[0]}")"
(cd "$run_dir" && wine "$root_win\\Client\\migration-preview.exe" --json --current-dir "$(win "$run_dir")" \
  </dev/null >"$work/twin-preview.jsonl" 2>>"$work.log") || fail "migration-preview failed"
[ "$(tr -d '\r' <"$work/twin-preview.jsonl" |
  jq -r 'select(.kind == "shortcut" and (.file | test("full-width"))) | .action' | sort | uniq -c | tr -s ' ')" = \
  " 2 keep" ] || fail "preview: $(grep full-width "$work/twin-preview.jsonl")"
unpins_before="$(grep -c . "$unpinned" || true)"
session twin --core-arg --from-kxu POST /qel-beta-opt-in/v1/do-migration wait
[ "$(target_of "$public_desktop/Tessaryn.lnk")" = "$root_win\\TessarynClient.exe" ] ||
  fail "the installation's shortcut was not rewritten"
for link in "${twin_links[@]}"; do
  cmp -s "$link" "$work/$(basename "$link").before" || fail "changed: $link"
done
! tail -n +"$((unpins_before + 1))" "$unpinned" | grep -qF 'full-width' || fail "a look-alike's shortcut was unpinned"
! grep -qF 'full-width' "$work/twin.out" "$client/qel-beta-opt-in-elevated.log" ||
  fail "a look-alike's shortcut is logged"

exit_with_outcome
