#!/usr/bin/env bash
# CTest test <label>.shortcut_migration: the shortcut migration end to end,
# from its own entry point, the way the elevated copy runs it:
#
#   wine rundll32.exe <dll>,_MigrateEntryPoint@16 C:\Games\Tessaryn Game
#
# It runs in a fresh Wine prefix of its own (about ten seconds to make), not
# in the prefix that scripts/test.sh shares among the tests: it plants
# shortcuts in the prefix's five shell folders, removes and redirects those
# folders, and checks that nothing else in the prefix's user folders changes,
# none of which may meet another test's files.
#
# The entry walks only the all-users folders (all users' desktop and
# Start-menu programs); the player's own folders are the client's pass's.
#
# Scenarios, each from freshly planted shell folders:
#   main     every kind of shortcut at depths 0 to 3 in all five folders, and
#            legacy shortcuts outside them: exit 42; exactly the expected files
#            of the all-users folders are rewritten, deleted and unpinned,
#            nothing else changes (the player's own folders included); the
#            rewritten shortcuts read back right through the shell (lnk-tool)
#            and through Debian's lnkinfo.
#   failures a read-only alpha shortcut (failed before its unpin), then a
#            shortcut that another process keeps mapped (save refused), then
#            one that can be rewritten: exit 55, both failures logged, nothing
#            unpinned, the last one rewritten.
#   unpin    the pin server refuses the unpin: exit 58, the file stays.
#   folders  all users' desktop missing: exit 59, nothing touched; application
#            data redirected to a missing folder: the entry never asks for it
#            (exit 42).
#   roots    no root on the command line: exit 61; a missing root: exit 62.
#   loop     a folder in the desktop that leads back into the desktop: the walk
#            ends (the depth limit bounds it), exit 42.
#
# In main and loop, migration-preview.exe runs first: it changes no file's
# contents or modification time and unpins nothing, and its plan for the
# all-users folders is, entry by entry and in order, what the run's log file
# then reports it did.
#
#   shortcut_migration_check.sh DLL LNK_TOOL PIN_SERVER_DLL FILE_HOLDER PREVIEW WORK_DIR
set -euo pipefail
[ $# -eq 6 ] || {
  echo "usage: shortcut_migration_check.sh DLL LNK_TOOL PIN_SERVER_DLL FILE_HOLDER PREVIEW WORK_DIR" >&2
  exit 2
}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
dll="$(realpath "$1")" tool="$(realpath "$2")" pin_server="$(realpath "$3")" holder="$(realpath "$4")"
preview="$(realpath "$5")"
work="$(realpath -m "$6")"
if ! command -v lnkinfo >/dev/null 2>&1; then
  echo "lnkinfo is missing: install Debian's liblnk-utils (scripts/setup.sh does)" >&2
  exit 1
fi

source "$here/../../scripts/wine-env.sh"
source "$here/check_results.sh"
trap wine_prefix_stop EXIT
mkdir -p "$(dirname "$work")"
wine_prefix_start "$work" "$work.log"
drive_c="$WINEPREFIX/drive_c"
user="$(wine_prefix_user)"

# The five shell folders of a fresh prefix, as Unix paths.
common_desktop="$drive_c/users/Public/Desktop"
user_desktop="$drive_c/users/$user/Desktop"
common_programs="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
roaming="$drive_c/users/$user/AppData/Roaming"
user_programs="$roaming/Microsoft/Windows/Start Menu/Programs"
quick_launch="$roaming/Microsoft/Internet Explorer/Quick Launch"
shell_folders=("$common_desktop" "$user_desktop" "$common_programs" "$user_programs" "$quick_launch")

root_win='C:\Games\Tessaryn Game'
root="$drive_c/Games/Tessaryn Game"
new_target="$root_win\\TessarynClient.exe"
staging="$drive_c/staging"
pins="$work/pins.log"

# The Windows path of a Unix path: C:\... inside the prefix's drive, else Z:\...
win() {
  local path="$1"
  case "$path" in
    "$drive_c"/*) path="${path#"$drive_c"}"; printf 'C:%s' "${path//\//\\}" ;;
    *) printf 'Z:%s' "${path//\//\\}" ;;
  esac
}
# The walk's form of a path: "/" separators.
walked() { local path; path="$(win "$1")"; printf '%s' "${path//\\//}"; }

# wine without its output on the caller's pipes (Wine's background processes
# would keep them open).
quiet_wine() { wine "$@" </dev/null >>"$work/wine-output.txt" 2>&1; }

# --- The sample installation, and one template of each shortcut kind, written
# by the shell's own IShellLinkA; the scenarios copy them into place.
mkdir -p "$root/Game" "$drive_c/Games/Tessaryn Game2" "$drive_c/Other" "$staging"
legacy_names=(Tessaryn.exe QelLauncher.exe QelPatcher.exe QelPatcherUx.exe QelClient.exe qel.launcher.exe
  qel.launcher.admin.exe zamp_user_kernel.exe)
for name in "${legacy_names[@]}" TessarynClient.exe Gone.exe; do printf 'MZ' >"$root/$name"; done
printf 'MZ' >"$root/Game/QELCLIENT.EXE"
printf 'MZ' >"$drive_c/Games/Tessaryn Game2/Tessaryn.exe"
printf 'MZ' >"$drive_c/Other/Tessaryn.exe"

template() {
  local name="$1" target="$2"
  quiet_wine "$tool" write "$(win "$staging/$name")" "--target=$target" "--arguments=--from-kxu --no-zamp" \
    "--working-directory=${target%\\*}" "--icon=$target" --icon-index=2 --description="Play Tessaryn" ||
    { echo "lnk-tool could not write $name" >&2; exit 1; }
}
for name in "${legacy_names[@]}"; do template "$name.lnk" "$root_win\\$name"; done
template qelclient-in-game.lnk "$root_win\\Game\\QELCLIENT.EXE"
template qelpatcherux-lower.lnk "$root_win\\qelpatcherux.exe"
template client.lnk "$new_target"
template look-alike.lnk 'C:\Games\Tessaryn Game2\Tessaryn.exe'
template outside.lnk 'C:\Other\Tessaryn.exe'
template gone.lnk "$root_win\\Gone.exe"
rm "$root/Gone.exe"
quiet_wine "$tool" write "$(win "$staging/targetless.lnk")" --description="No target"
printf 'L\0\0\0 not a shortcut %.0s' {1..20} >"$staging/garbage.lnk"

# plant TEMPLATE FOLDER RELATIVE_PATH: copies a template into place.
plant() {
  mkdir -p "$(dirname "$2/$3")"
  cp "$staging/$1" "$2/$3"
}

reset_shell_folders() {
  local folder
  chmod -R u+w "${shell_folders[@]}" 2>/dev/null || true
  for folder in "${shell_folders[@]}"; do
    rm -rf "$folder"
    mkdir -p "$folder"
  done
  rm -f "$pins"
}

# Files of the prefix's drive that a run could reach (the Windows folder
# aside), with their hashes.
snapshot() {
  (cd "$drive_c" && find users ProgramData Games Other staging -type f -print0 | sort -z | xargs -0 sha1sum) >"$1"
}
# "changed PATH", "removed PATH" and "added PATH" between two snapshots.
snapshot_changes() {
  awk 'NR == FNR { before[substr($0, 43)] = substr($0, 1, 40); next }
       { path = substr($0, 43)
         if (!(path in before)) print "added " path
         else if (before[path] != substr($0, 1, 40)) print "changed " path
         delete before[path] }
       END { for (path in before) print "removed " path }' "$1" "$2" | LC_ALL=C sort
}
# The path of a file as the snapshot names it.
in_snapshot() { printf '%s' "${1#"$drive_c/"}"; }

# migrate [ROOT_WORD...]: the elevated entry as the launcher starts it. The
# root's words go to wine separately: Wine quotes a single argument with
# blanks, while the launch line hands the root over unquoted. Sets `code`;
# the run's standard error (the logger's error lines) goes to
# $work/stderr.txt, its log file to $work (its current directory).
migrate() {
  code=0
  (cd "$work" && QCP_PIN_SERVER_LOG="$(win "$pins")" timeout 120 wine rundll32.exe \
    "$(win "$dll"),_MigrateEntryPoint@16" "$@" </dev/null >"$work/stdout.txt" 2>"$work/stderr.txt") || code=$?
}

# Every file a run could reach, with its modification time.
times_of() {
  (cd "$drive_c" && find users ProgramData Games Other staging -type f -printf '%T@ %p\n' | LC_ALL=C sort) >"$1"
}
# preview_then_migrate ROOT_WORD...: the preview (JSON Lines in
# $work/preview.jsonl), which must change nothing, then the run, whose log
# file must report, in the plan's order, exactly the plan's actions. With
# aliases=1 (a folder met under several names), acting on one name changes
# what the run later finds under the others, and the run decides again as it
# goes: it must then do only planned rewrites and deletions, in the plan's
# order.
preview_then_migrate() {
  snapshot "$work/before-preview.txt"
  times_of "$work/times-before-preview.txt"
  rm -f "$pins"
  local preview_code=0
  wine "$preview" --json --root "$*" </dev/null >"$work/preview.jsonl" 2>>"$work/wine-output.txt" ||
    preview_code=$?
  [ "$preview_code" -eq 0 ] || fail "migration-preview exit code $preview_code"
  snapshot "$work/after-preview.txt"
  times_of "$work/times-after-preview.txt"
  cmp -s "$work/before-preview.txt" "$work/after-preview.txt" || fail "the preview changed a file"
  cmp -s "$work/times-before-preview.txt" "$work/times-after-preview.txt" || fail "the preview touched a file"
  expect_pins ""
  tr -d '\r' <"$work/preview.jsonl" |
    jq -r --arg desktop "$(walked "$common_desktop")/" --arg programs "$(walked "$common_programs")/" '
    select(.kind == "shortcut" and ((.file | startswith($desktop)) or (.file | startswith($programs)))) |
    if .action == "rewrite" then "Rewrote shortcut \(.file) to start \(.newTarget)"
    elif .action == "unpin-delete" then "Deleted shortcut \(.file)"
    elif .action == "skip" then "Skipped shortcut \(.file): \(.reason)"
    elif .action == "fail" then "Left shortcut \(.file) unchanged: \(.reason)"
    else empty end' >"$work/planned-actions.txt"
  migrate "$@"
  tr -d '\r' <"$work/qel-beta-opt-in-elevated.log" |
    sed -n 's/^[^|]*| *OKAY| qel-beta-opt-in: \(\(Rewrote\|Deleted\|Skipped\|Left\) shortcut .*\)$/\1/p' \
      >"$work/done-actions.txt"
  [ -s "$work/planned-actions.txt" ] || fail "the preview planned nothing"
  if [ "${aliases:-0}" = 1 ]; then
    grep -v '^Skipped ' "$work/done-actions.txt" >"$work/done-acts.txt" || true
    grep -Fx -f "$work/done-acts.txt" "$work/planned-actions.txt" >"$work/planned-acts.txt" || true
    [ -s "$work/done-acts.txt" ] && cmp -s "$work/done-acts.txt" "$work/planned-acts.txt" ||
      fail "the run did unplanned things: $(cat "$work/done-acts.txt")"
    return
  fi
  diff -u "$work/planned-actions.txt" "$work/done-actions.txt" >"$work/actions.diff" ||
    { fail "the run did not do what the preview planned (- planned, + done):"; cat "$work/actions.diff" >&2; }
}
# planned ACTION: the files the preview gave that action, in the walk's form.
planned() { tr -d '\r' <"$work/preview.jsonl" | jq -r --arg a "$1" 'select(.action == $a) | .file' | LC_ALL=C sort; }

expect_code() {
  [ "$code" -eq "$1" ] || { fail "exit code $code, expected $1"; cat "$work/stderr.txt" >&2; }
}

# One "key=value" of lnk-tool's report.
value() { grep -a "^$1=" "$work/read.txt" | head -n1 | cut -d= -f2- | tr -d '\r'; }
# One "Name : value" of lnkinfo's report.
field() { sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" "$work/lnkinfo.txt" | head -n1; }

# A shortcut to the new client and nothing else, through the shell and
# through lnkinfo.
expect_rewritten() {
  local link="$1"
  if ! wine "$tool" read "$(win "$link")" </dev/null >"$work/read.txt" 2>>"$work/wine-output.txt"; then
    fail "$link: the shell cannot read it"
    return
  fi
  [ "$(value target)" = "$new_target" ] || fail "$link: target '$(value target)'"
  [ "$(value working_directory)" = "$root_win" ] || fail "$link: working directory '$(value working_directory)'"
  [ "$(value icon)" = "$new_target" ] || fail "$link: icon '$(value icon)'"
  [ "$(value icon_index)" = "0" ] || fail "$link: icon index '$(value icon_index)'"
  [ -z "$(value arguments)" ] || fail "$link: arguments '$(value arguments)'"
  [ -z "$(value description)" ] || fail "$link: description '$(value description)'"
  if ! lnkinfo "$link" >"$work/lnkinfo.txt" 2>&1; then
    fail "$link: lnkinfo cannot read it"
    return
  fi
  [ "$(field "Local path")" = "$new_target" ] || fail "$link: lnkinfo local path '$(field "Local path")'"
  [ "$(field "Working directory")" = "$root_win" ] || fail "$link: lnkinfo working directory '$(field "Working directory")'"
  [ "$(field "Icon location")" = "$new_target" ] || fail "$link: lnkinfo icon location '$(field "Icon location")'"
  [ "$(field "Icon index")" = "0" ] || fail "$link: lnkinfo icon index '$(field "Icon index")'"
  ! grep -q "Command line arguments" "$work/lnkinfo.txt" || fail "$link: lnkinfo sees arguments"
  ! grep -q "Contains a description string" "$work/lnkinfo.txt" || fail "$link: lnkinfo sees a description"
}

# expect_changes EXPECTED_FILE BEFORE AFTER
expect_changes() {
  snapshot_changes "$2" "$3" >"$work/changes.txt"
  LC_ALL=C sort "$1" -o "$1"
  if ! diff -u "$1" "$work/changes.txt" >"$work/changes.diff"; then
    fail "the files that changed are not the expected ones (- expected, + found):"
    cat "$work/changes.diff" >&2
  fi
}

expect_log_line() {
  grep -qF -- "$1" "$work/stderr.txt" || { fail "no log line '$1'"; cat "$work/stderr.txt" >&2; }
}

expect_pins() {
  local expected="$1"
  local found=""
  [ -f "$pins" ] && found="$(tr -d '\r' <"$pins")"
  [ "$found" = "$expected" ] || fail "unpinned: '$found', expected '$expected'"
}

quiet_wine "$here/../support/register_pin_server.sh" register "$pin_server" ||
  "$here/../support/register_pin_server.sh" register "$pin_server"

# --- main ---------------------------------------------------------------------
scenario=main
reset_shell_folders
# depth 0 to 3 in each folder; rewritten (R), deleted and unpinned (D) or left (-)
plant Tessaryn.exe.lnk "$common_desktop" "Tessaryn.lnk"                                   # R
plant Tessaryn.exe.lnk "$common_desktop" "Tessaryn client alpha (2).lnk"                  # D
plant outside.lnk "$common_desktop" "Old/Tessaryn client alpha.lnk"                       # - outside the root
plant Tessaryn.exe.lnk "$common_desktop" "Deep/A/B/Tessaryn.lnk"                          # - depth 3
plant QelLauncher.exe.lnk "$user_desktop" "QelLauncher.lnk"                               # R
plant qelclient-in-game.lnk "$user_desktop" "Games/Play.lnk"                              # R QELCLIENT.EXE in a subfolder
plant QelPatcher.exe.lnk "$user_desktop" "Games/More/QelPatcher.lnk"                      # R depth 2
plant QelPatcher.exe.lnk "$user_desktop" "Games/More/Deeper/QelPatcher.lnk"               # - depth 3
plant look-alike.lnk "$user_desktop" "Look-alike.lnk"                                     # - <root>2
plant gone.lnk "$user_desktop" "Gone.lnk"                                                 # - target gone
plant gone.lnk "$user_desktop" "Tessaryn client alpha gone.lnk"                           # - target gone
plant garbage.lnk "$user_desktop" "Garbage.lnk"                                           # - not a shortcut
plant garbage.lnk "$user_desktop" "Tessaryn client alpha garbage.lnk"                     # - not a shortcut
plant client.lnk "$user_desktop" "Tessaryn Client.lnk"                                    # - the new client
plant QelClient.exe.lnk "$common_programs" "Tessaryn/QelClient.lnk"                       # R
plant qel.launcher.exe.lnk "$common_programs" "Tessaryn/Tools/qel.launcher.lnk"           # R
plant Tessaryn.exe.lnk "$common_programs" "Tessaryn/Tools/Old/Tessaryn client alpha.lnk"  # - depth 3
plant qel.launcher.admin.exe.lnk "$user_programs" "Tessaryn/qel.launcher.admin.lnk"       # R
plant qelpatcherux-lower.lnk "$user_programs" "Tessaryn/QELPATCHERUX.LNK"                 # R
plant client.lnk "$user_programs" "Tessaryn client alpha.lnk"                             # D
plant zamp_user_kernel.exe.lnk "$quick_launch" "zamp_user_kernel.lnk"                     # R
plant Tessaryn.exe.lnk "$quick_launch" "User Pinned/TaskBar/Tessaryn.lnk"                 # R
plant Tessaryn.exe.lnk "$quick_launch" "User Pinned/TaskBar/Tessaryn client alpha.lnk"    # D
plant QelLauncher.exe.lnk "$quick_launch" "User Pinned/StartMenu/QelLauncher.lnk"         # R
plant Tessaryn.exe.lnk "$quick_launch" "User Pinned/TaskBar/Deeper/Tessaryn.lnk"          # - depth 3
plant Tessaryn.exe.lnk "$quick_launch" "User Pinned/TaskBar/Deeper/Tessaryn client alpha.lnk"  # - depth 3
# Outside the five folders: never touched.
plant Tessaryn.exe.lnk "$drive_c/users/$user/Documents" "Tessaryn.lnk"
plant Tessaryn.exe.lnk "$drive_c/users/Public/Documents" "Tessaryn client alpha.lnk"
plant Tessaryn.exe.lnk "$roaming/Microsoft/Windows/Start Menu" "Tessaryn.lnk"
plant Tessaryn.exe.lnk "$roaming/Microsoft/Internet Explorer" "Tessaryn client alpha.lnk"
plant Tessaryn.exe.lnk "$root" "Tessaryn.lnk"

# The entry's, in the all-users folders; the preview plans the client's pass,
# which has the player's own besides.
rewritten=("$common_desktop/Tessaryn.lnk" "$common_programs/Tessaryn/QelClient.lnk"
  "$common_programs/Tessaryn/Tools/qel.launcher.lnk")
deleted=("$common_desktop/Tessaryn client alpha (2).lnk")
rewritten_by_client=("$user_desktop/QelLauncher.lnk" "$user_desktop/Games/Play.lnk"
  "$user_desktop/Games/More/QelPatcher.lnk" "$user_programs/Tessaryn/qel.launcher.admin.lnk"
  "$user_programs/Tessaryn/QELPATCHERUX.LNK" "$quick_launch/zamp_user_kernel.lnk"
  "$quick_launch/User Pinned/TaskBar/Tessaryn.lnk" "$quick_launch/User Pinned/StartMenu/QelLauncher.lnk")
deleted_by_client=("$user_programs/Tessaryn client alpha.lnk" "$quick_launch/User Pinned/TaskBar/Tessaryn client alpha.lnk")

snapshot "$work/before.txt"
preview_then_migrate 'C:\Games\Tessaryn' 'Game'
snapshot "$work/after.txt"
expect_code 42
[ "$(planned rewrite)" = "$(for link in "${rewritten[@]}" "${rewritten_by_client[@]}"; do walked "$link"; echo; done |
  LC_ALL=C sort)" ] || fail "the preview's rewrites: $(planned rewrite)"
[ "$(planned unpin-delete)" = "$(for link in "${deleted[@]}" "${deleted_by_client[@]}"; do walked "$link"; echo; done |
  LC_ALL=C sort)" ] || fail "the preview's deletions: $(planned unpin-delete)"
[ -n "$(planned keep)" ] && [ -n "$(planned skip)" ] || fail "the preview kept or skipped nothing"
{
  for link in "${rewritten[@]}"; do echo "changed $(in_snapshot "$link")"; done
  for link in "${deleted[@]}"; do echo "removed $(in_snapshot "$link")"; done
} >"$work/expected.txt"
expect_changes "$work/expected.txt" "$work/before.txt" "$work/after.txt"
for link in "${rewritten[@]}"; do expect_rewritten "$link"; done
expect_pins "$(for link in "${deleted[@]}"; do win "$link"; echo; done)"
[ ! -s "$work/stderr.txt" ] || { fail "error lines logged"; cat "$work/stderr.txt" >&2; }

# --- failures: the first failure decides ---------------------------------------
scenario=failures
reset_shell_folders
plant Tessaryn.exe.lnk "$common_desktop" "Tessaryn client alpha.lnk"
chmod a-w "$common_desktop/Tessaryn client alpha.lnk"  # Wine's read-only attribute
plant Tessaryn.exe.lnk "$common_desktop" "Tessaryn.lnk"
plant QelClient.exe.lnk "$common_programs" "Tessaryn/QelClient.lnk"
read_only="$common_desktop/Tessaryn client alpha.lnk"
mapped="$common_desktop/Tessaryn.lnk"
rm -f "$work/held" "$work/release"
wine "$holder" --share=rwd --map "--ready=$(win "$work/held")" "--release=$(win "$work/release")" "$(win "$mapped")" \
  </dev/null >>"$work/wine-output.txt" 2>&1 &
holder_pid=$!
for _ in $(seq 1 300); do [ -f "$work/held" ] && break; sleep 0.1; done
[ -f "$work/held" ] || fail "file-holder did not take $mapped"
snapshot "$work/before.txt"
migrate 'C:\Games\Tessaryn' 'Game'
snapshot "$work/after.txt"
touch "$work/release"
wait "$holder_pid" || fail "file-holder failed"
expect_code 55
echo "changed $(in_snapshot "$common_programs/Tessaryn/QelClient.lnk")" >"$work/expected.txt"
expect_changes "$work/expected.txt" "$work/before.txt" "$work/after.txt"
expect_rewritten "$common_programs/Tessaryn/QelClient.lnk"
# Read-only: failed before its unpin, so still pinned.
expect_pins ""
expect_log_line "  ERROR| qel-beta-opt-in: Failed to delete link $(walked "$read_only") : Failed to delete $(walked "$read_only")"
grep -qF "  OKAY| qel-beta-opt-in: Left shortcut $(walked "$read_only") unchanged: it is read-only, so it cannot be deleted" \
  "$work/qel-beta-opt-in-elevated.log" || fail "the read-only attribute is not named in the log"
expect_log_line "  ERROR| qel-beta-opt-in: Failed to write link $(walked "$mapped") : Save failed for $(walked "$mapped")"

# --- unpin --------------------------------------------------------------------
scenario=unpin
reset_shell_folders
plant Tessaryn.exe.lnk "$common_desktop" "Tessaryn client alpha.lnk"
plant Tessaryn.exe.lnk "$common_programs" "Tessaryn.lnk"
pinned="$common_desktop/Tessaryn client alpha.lnk"
snapshot "$work/before.txt"
QCP_PIN_SERVER_FAIL='Tessaryn client alpha.lnk' migrate 'C:\Games\Tessaryn' 'Game'
snapshot "$work/after.txt"
expect_code 58
echo "changed $(in_snapshot "$common_programs/Tessaryn.lnk")" >"$work/expected.txt"
expect_changes "$work/expected.txt" "$work/before.txt" "$work/after.txt"
expect_pins "$(win "$pinned")"
expect_log_line "  ERROR| qel-beta-opt-in: Failed to unpin link $(walked "$pinned") : RemoveFromList failed"

# --- folders: a folder that cannot be resolved ends the run before any change --
scenario=folders
reset_shell_folders
plant Tessaryn.exe.lnk "$common_programs" "Tessaryn.lnk"
plant Tessaryn.exe.lnk "$user_desktop" "Tessaryn client alpha.lnk"
snapshot "$work/before.txt"
rmdir "$common_desktop"
migrate 'C:\Games\Tessaryn' 'Game'
mkdir -p "$common_desktop"
expect_code 59
snapshot "$work/after.txt"
: >"$work/expected.txt"
expect_changes "$work/expected.txt" "$work/before.txt" "$work/after.txt"
expect_pins ""
# Application data is the client's pass's (Quick Launch): the entry never asks.
shell_folders_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
quiet_wine reg add "$shell_folders_key" /v AppData /t REG_EXPAND_SZ /d 'C:\Missing\AppData' /f
migrate 'C:\Games\Tessaryn' 'Game'
quiet_wine reg add "$shell_folders_key" /v AppData /t REG_EXPAND_SZ /d '%USERPROFILE%\AppData\Roaming' /f
expect_code 42
expect_rewritten "$common_programs/Tessaryn.lnk"

# --- roots that name no installation ------------------------------------------
scenario=roots
reset_shell_folders
plant targetless.lnk "$common_desktop" "Tessaryn client alpha.lnk"
plant Tessaryn.exe.lnk "$common_desktop" "Tessaryn.lnk"
snapshot "$work/before.txt"
migrate
expect_code 61
migrate 'C:\Games\Missing' 'Game'
expect_code 62
snapshot "$work/after.txt"
: >"$work/expected.txt"
expect_changes "$work/expected.txt" "$work/before.txt" "$work/after.txt"
expect_pins ""

# --- loop: a folder in the desktop that is the desktop again -----------------------
scenario=loop
reset_shell_folders
plant Tessaryn.exe.lnk "$common_desktop" "Tessaryn.lnk"
plant Tessaryn.exe.lnk "$common_desktop" "Sub/Tessaryn client alpha.lnk"
ln -s .. "$common_desktop/Sub/Back"  # Sub/Back is the desktop; Wine shows it as a folder
ln -s . "$common_desktop/Again"      # and so is Again
started=$SECONDS
aliases=1 preview_then_migrate 'C:\Games\Tessaryn' 'Game'
[ "$code" -ne 124 ] || fail "the run did not end within 120 seconds"
expect_code 42
expect_rewritten "$common_desktop/Tessaryn.lnk"
[ ! -e "$common_desktop/Sub/Tessaryn client alpha.lnk" ] || fail "the alpha shortcut behind the loop is still there"
[ -L "$common_desktop/Sub/Back" ] && [ -L "$common_desktop/Again" ] || fail "the loop's links are gone"
echo "loop: the run ended after $((SECONDS - started)) s"

finish "$work" "shortcut migration end to end: main, failures, unpin, folders, roots and loop as expected"
