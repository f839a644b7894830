#!/usr/bin/env bash
# Packages the release (scripts/package.sh) and shows what a player's client
# does with it, under Wine, in a throwaway prefix: the archive's client folder
# unpacked into a sample installation with a blank in its path,
# a handful of legacy shortcuts on the desktops, in the Start menu and pinned
# to the taskbar; the core (plugin-host.exe, started with --from-kxu from the
# client's folder) asks whether the migration is due, starts it, and the job
# launches the elevated copy (cmd.exe, rundll32.exe) through "runas", runs the
# local pass and the cleanup, and reports through events, the data store and
# telemetry; then the shortcuts before and after. migration-preview (from the
# archive's tools/) shows the plan before the run, and the run's action log is
# shown beside the table after it. The test tools (lnk-tool, the stand-in pin
# server) come from the windows preset's build folder, or QCP_BUILD_DIR.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

./scripts/setup.sh
mkdir -p "$ROOT/build"
echo "== Packaging the release (scripts/package.sh)"
./scripts/package.sh >"$ROOT/build/package.log" 2>&1 || { cat "$ROOT/build/package.log"; exit 1; }
ARCHIVE="$(ls "$ROOT"/dist/qcp-be-qel-beta-opt-in-*-win32.zip)"
BUILD="$(realpath -m "${QCP_BUILD_DIR:-$ROOT/build/windows}")"
cmake --preset windows -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target lnk-tool qcp_test_pin_server

LNK_TOOL="$BUILD/tests/support/lnk-tool.exe"
PIN_SERVER="$BUILD/tests/support/qcp-test-pin-server.dll"
UNPACKED="$BUILD/wine-demo-client"
rm -rf "$UNPACKED"
python3 -m zipfile -e "$ARCHIVE" "$UNPACKED"
DLL="$UNPACKED/Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll"
echo "== $(basename "$ARCHIVE"), unpacked:"
(cd "$UNPACKED" && find . -type f | LC_ALL=C sort | sed 's|^\./|   |')
echo "== $(file -b "$DLL" 2>/dev/null || echo "PE32 DLL"), $(stat -c %s "$DLL") bytes : $DLL"
i686-w64-mingw32-objdump -p "$DLL" | grep -E "^\s*DLL Name:" | sed 's/^\s*/   depends on /'
echo "   exports:"
i686-w64-mingw32-objdump -p "$DLL" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' |
  sed 's/^\s*\[ *[0-9]*\] /     /'

source "$ROOT/scripts/wine-env.sh"
trap 'wine_prefix_stop' EXIT
WORK="$BUILD/wine-demo"
echo "== Preparing a throwaway Wine prefix in $WORK"
wine_prefix_start "$WORK" "$WORK.log"
C="$WINEPREFIX/drive_c"
USER_DIR="$(wine_prefix_user)"
quiet() { "$@" </dev/null >>"$WORK.log" 2>&1; }

# The sample installation.
ROOT_WIN='C:\Games\Tessaryn Game'
mkdir -p "$C/Games/Tessaryn Game/Launcher"
for exe in Tessaryn.exe TessarynClient.exe Launcher/QelLauncher.exe; do printf 'MZ' >"$C/Games/Tessaryn Game/$exe"; done
# The client: the core beside its Plugins folder, running six folders below
# the installation root.
CLIENT="$C/Games/Tessaryn Game/Client"
RUN_DIR="$CLIENT/Game/Data/Cache/Work/Run"
mkdir -p "$RUN_DIR"
cp -r "$UNPACKED/." "$CLIENT/"
echo "== The client folder is $ROOT_WIN\\Client: $(wine "$CLIENT/plugin-host.exe" --version </dev/null 2>>"$WORK.log" | tr -d '\r')"

# Wine has no Start-menu pin list; a stand-in records what is unpinned.
quiet "$ROOT/tests/support/register_pin_server.sh" register "$PIN_SERVER" "--log=Z:${WORK//\//\\}\\unpinned.txt"

# The player's shortcuts: "folder|file|target|arguments".
SHORTCUTS=(
  'users/Public/Desktop|Tessaryn.lnk|C:\Games\Tessaryn Game\Tessaryn.exe|--from-kxu'
  "users/$USER_DIR/Desktop|Tessaryn client alpha.lnk|C:\\Games\\Tessaryn Game\\Tessaryn.exe|"
  "users/$USER_DIR/Desktop|Tessaryn Client.lnk|C:\\Games\\Tessaryn Game\\TessarynClient.exe|"
  "users/$USER_DIR/Desktop|Notepad.lnk|C:\\windows\\notepad.exe|"
  "users/$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tessaryn|Tessaryn Launcher.lnk|C:\\Games\\Tessaryn Game\\Launcher\\QelLauncher.exe|--no-zamp"
  "users/$USER_DIR/AppData/Roaming/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar|Tessaryn.lnk|C:\\Games\\Tessaryn Game\\Tessaryn.exe|"
)
for entry in "${SHORTCUTS[@]}"; do
  IFS='|' read -r folder file target arguments <<<"$entry"
  mkdir -p "$C/$folder"
  link="C:\\${folder//\//\\}\\$file"
  quiet wine "$LNK_TOOL" write "$link" "--target=$target" "--arguments=$arguments" \
    "--working-directory=${target%\\*}" "--icon=$target" --icon-index=1
done

# A short name for each shell folder, for the table.
short_folder() {
  case "$1" in
    users/Public/Desktop) echo "All users' desktop" ;;
    "users/$USER_DIR/Desktop") echo "Desktop" ;;
    */Start\ Menu/Programs/*) echo "Start menu${1##*Start Menu/Programs}" ;;
    */Quick\ Launch/*) echo "Quick Launch${1##*Quick Launch}" ;;
    *) echo "$1" ;;
  esac
}
table() {
  printf '   %-46s %-48s %-32s %s\n' "SHORTCUT" "TARGET" "WORKING DIRECTORY" "ARGUMENTS"
  for entry in "${SHORTCUTS[@]}"; do
    IFS='|' read -r folder file _ _ <<<"$entry"
    local name
    name="$(short_folder "$folder")/$file"
    if [ ! -e "$C/$folder/$file" ]; then
      printf '   %-46s %s\n' "$name" "(deleted)"
      continue
    fi
    wine "$LNK_TOOL" read "C:\\${folder//\//\\}\\$file" </dev/null >"$WORK/read.txt" 2>>"$WORK.log" || true
    value() { grep -a "^$1=" "$WORK/read.txt" | head -n1 | cut -d= -f2- | tr -d '\r'; }
    printf '   %-46s %-48s %-32s %s\n' "$name" "$(value target)" "$(value working_directory)" "$(value arguments)"
  done
}

echo
echo "== Before: the installation is $ROOT_WIN"
table
echo
echo "== The preview: tools\migration-preview.exe --current-dir <the client's current directory> (changes nothing)"
(cd "$RUN_DIR" && wine 'C:\Games\Tessaryn Game\Client\tools\migration-preview.exe' \
  --current-dir 'C:\Games\Tessaryn Game\Client\Game\Data\Cache\Work\Run' </dev/null 2>>"$WORK.log") |
  tr -d '\r' | sed 's/^/   /' || echo "   (the preview failed)"
echo
echo "== The core starts: plugin-host.exe --core-arg --from-kxu, in $ROOT_WIN\\Client\\Game\\Data\\Cache\\Work\\Run"
code=0
# Wine's process trace shows what the job starts; the simulator prints the
# rest: responses, requests to the core, events, telemetry, jobs, log lines.
(cd "$RUN_DIR" && WINEDEBUG=+process wine 'C:\Games\Tessaryn Game\Client\plugin-host.exe' --core-arg --from-kxu \
  GET /qel-beta-opt-in/v1/needs-migration POST /qel-beta-opt-in/v1/do-migration wait \
  GET /qel-beta-opt-in/v1/needs-migration GET /qel-beta-opt-in/v1/migration-error \
  </dev/null >"$WORK/stdout.txt" 2>"$WORK/stderr.txt") || code=$?
cut -c1-220 "$WORK/stdout.txt" | sed 's/^/   /'
echo "   plugin-host exit code $code"
echo
echo "== Started by the job (Wine's process trace)"
grep -a 'trace:process:NtCreateUserProcess' "$WORK/stderr.txt" | grep -aE 'cmd\.exe|rundll32\.exe' | grep -a ' cmdline ' |
  sed -e 's/.* cmdline L"//' -e 's/" parent.*//' -e 's/\\\\/\\/g' -e 's/\\"/"/g' | sed 's/^/   /'
echo
echo "== After"
table
echo
echo "== The action log: the elevated pass's (all users' folders), Client\\qel-beta-opt-in-elevated.log"
echo "   (on Windows the client forwards it, marked \"[elevated] \"; Wine keeps no file owners, so the client"
echo "   cannot tell the elevated pass's file from a planted one and leaves it)"
tr -d '\r' <"$CLIENT/qel-beta-opt-in-elevated.log" 2>/dev/null | cut -c1-220 | sed 's/^/   /' || echo "   (none)"
echo "== The action log: the core's log lines (the client's pass: the player's own folders)"
grep -a '^log ' "$WORK/stdout.txt" | tr -d '\r' | cut -c1-220 | sed 's/^/   /'
echo
echo "== Unpinned before deletion"
sed 's/^/   /' "$WORK/unpinned.txt" 2>/dev/null || echo "   (nothing)"
