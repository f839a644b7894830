#!/usr/bin/env bash
# CTest test <label>.read_only_shortcuts: read-only shortcuts in the
# installation, end to end, as an unprivileged user. Wine maps the read-only
# attribute to the Unix write permissions, which root passes: only a user
# without root's rights meets a read-only shortcut as Windows does (it can be
# read but neither deleted nor saved over). Run as root, the script stages
# itself and the programs in a folder of the unprivileged account "nobody"
# and runs again as that user (setpriv), in a Wine prefix of that user's own.
#
# In all users' folders (the elevated entry's): a read-only alpha shortcut on
# the desktop, a read-only legacy shortcut and a writable one in the
# Start-menu programs. migration-preview.exe plans the read-only ones as
# failures (codes 55 and 48, the attribute named), the entry then exits 55:
# both stay byte for byte, the alpha one is not unpinned, the writable one is
# rewritten, and its log file names the attribute and matches the plan.
#
#   read_only_shortcuts_check.sh DLL LNK_TOOL PIN_SERVER_DLL PREVIEW WORK_DIR
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: read_only_shortcuts_check.sh DLL LNK_TOOL PIN_SERVER_DLL PREVIEW WORK_DIR" >&2; exit 2; }
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
dll="$(realpath "$1")" tool="$(realpath "$2")" pin_server="$(realpath "$3")" preview="$(realpath "$4")"
work="$(realpath -m "$5")"

if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "setpriv is missing (util-linux)" >&2; exit 1; }
  # The checkout may lie where "nobody" cannot reach (a clone in a private
  # temporary folder): the scripts and programs the run needs are staged in a
  # folder of that user's own, with the layout they expect, and the run's
  # files come back into WORK_DIR afterwards.
  stage="$(mktemp -d /tmp/qcp-read-only-shortcuts.XXXXXX)"
  mkdir -p "$stage/scripts" "$stage/tests/end_to_end" "$stage/tests/support" "$stage/bin"
  cp "$here/../../scripts/wine-env.sh" "$stage/scripts/"
  cp "${BASH_SOURCE[0]}" "$here/check_results.sh" "$stage/tests/end_to_end/"
  cp "$here/../support/register_pin_server.sh" "$stage/tests/support/"
  cp "$dll" "$tool" "$pin_server" "$preview" "$stage/bin/"
  chown -R "$(id -u nobody):$(id -g nobody)" "$stage"
  code=0
  setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups -- \
    bash "$stage/tests/end_to_end/$(basename "${BASH_SOURCE[0]}")" "$stage/bin/$(basename "$dll")" \
    "$stage/bin/$(basename "$tool")" "$stage/bin/$(basename "$pin_server")" "$stage/bin/$(basename "$preview")" \
    "$stage/work" || code=$?
  rm -rf "$work"
  mkdir -p "$work"
  cp "$stage/work"/*.log "$stage/work"/*.jsonl "$work/" 2>/dev/null || true
  rm -rf "$stage"
  [ "$code" -eq 0 ] || echo "the run's logs are in $work" >&2
  exit "$code"
fi

source "$here/../../scripts/wine-env.sh"
source "$here/check_results.sh"
trap wine_prefix_stop EXIT
wine_prefix_start "$work/run" "$work/run.log"
drive_c="$WINEPREFIX/drive_c"
quiet() { "$@" </dev/null >>"$work/run.log" 2>&1; }
win() { local path="${1#"$drive_c"/}"; echo "C:\\${path//\//\\}"; }
walked() { local path; path="$(win "$1")"; printf '%s' "${path//\\//}"; }

root_win='C:\Games\Tessaryn Game'
root="$drive_c/Games/Tessaryn Game"
desktop="$drive_c/users/Public/Desktop"
programs="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaryn"
pins="$work/pins.log"
mkdir -p "$root" "$desktop" "$programs"
for exe in Tessaryn.exe QelLauncher.exe TessarynClient.exe; do printf 'MZ' >"$root/$exe"; done
quiet "$here/../support/register_pin_server.sh" register "$pin_server"
plant() {  # plant LINK TARGET_NAME
  quiet wine "$tool" write "$(win "$1")" "--target=$root_win\\$2" "--working-directory=$root_win" "--icon=$root_win\\$2"
}
alpha="$desktop/Tessaryn client alpha.lnk"
legacy="$programs/Tessaryn.lnk"
writable="$programs/QelLauncher.lnk"
plant "$alpha" Tessaryn.exe
plant "$legacy" Tessaryn.exe
plant "$writable" QelLauncher.exe
chmod a-w "$alpha" "$legacy"
before="$(sha1sum "$alpha" "$legacy")"

wine "$preview" --json --root "$root_win" </dev/null >"$work/preview.jsonl" 2>>"$work/run.log" ||
  fail "migration-preview failed"
plan() { tr -d '\r' <"$work/preview.jsonl" | jq -r --arg f "$(walked "$1")" 'select(.file == $f) | [.action, .errorCode, .reason] | map(tostring) | join(" ")'; }
[ "$(plan "$alpha")" = "fail 55 it is read-only, so it cannot be deleted" ] || fail "planned for $alpha: $(plan "$alpha")"
[ "$(plan "$legacy")" = "fail 48 it is read-only, so it cannot be saved over" ] || fail "planned for $legacy: $(plan "$legacy")"
[ "$(plan "$writable" | cut -d' ' -f1)" = rewrite ] || fail "planned for $writable: $(plan "$writable")"

code=0
(cd "$work" && QCP_PIN_SERVER_LOG="Z:${pins//\//\\}" timeout 120 wine rundll32.exe \
  "Z:${dll//\//\\},_MigrateEntryPoint@16" 'C:\Games\Tessaryn' 'Game' </dev/null >>"$work/run.log" 2>&1) || code=$?
[ "$code" -eq 55 ] || fail "exit code $code, expected 55"
[ "$(sha1sum "$alpha" "$legacy")" = "$before" ] || fail "a read-only shortcut changed"
[ ! -s "$pins" ] || fail "unpinned: $(cat "$pins")"
[ "$(wine "$tool" read "$(win "$writable")" </dev/null 2>>"$work/run.log" | grep -a '^target=' | tr -d '\r')" = \
  "target=$root_win\\TessarynClient.exe" ] || fail "the writable shortcut was not rewritten"
log="$work/qel-beta-opt-in-elevated.log"
for line in \
  "OKAY| qel-beta-opt-in: Left shortcut $(walked "$alpha") unchanged: it is read-only, so it cannot be deleted" \
  "ERROR| qel-beta-opt-in: Failed to delete link $(walked "$alpha") : Failed to delete $(walked "$alpha")" \
  "OKAY| qel-beta-opt-in: Left shortcut $(walked "$legacy") unchanged: it is read-only, so it cannot be saved over" \
  "ERROR| qel-beta-opt-in: Failed to write link $(walked "$legacy") : Save failed for $(walked "$legacy")"; do
  grep -qF -- "$line" "$log" || fail "not in the elevated log: $line"
done

finish "$work" "read-only shortcuts end to end as $(id -un): planned and failed untouched"
