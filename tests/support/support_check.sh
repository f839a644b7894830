#!/usr/bin/env bash
# CTest test <label>.support_tools: checks the shortcut test support itself,
# as the end-to-end tests will use it from shell scripts:
# - lnk-tool.exe writes a shortcut with every item and reads it back;
#   `write` over it with fewer items drops the others;
# - register_pin_server.sh registers the pin server under HKCU and HKLM
#   Software\Classes\CLSID with its configuration, and unregisters it.
#
#   support_check.sh EMULATOR LNK_TOOL_EXE PIN_SERVER_DLL WORK_DIR
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: support_check.sh EMULATOR LNK_TOOL_EXE PIN_SERVER_DLL WORK_DIR" >&2; exit 2; }
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
emulator="$1" tool="$2" dll="$3" work="$(realpath -m "$4")"
rm -rf "$work"
mkdir -p "$work/Game Root"
win() { printf 'Z:%s' "${1//\//\\}"; }
: >"$work/Game Root/Tessaryn.exe"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# One "key=value" of lnk-tool's report (Wine's stderr noise filtered out).
value() { grep -a "^$1=" "$work/read.txt" | head -n1 | cut -d= -f2-; }

link="$(win "$work/Legacy Shortcut.lnk")"
target="$(win "$work/Game Root/Tessaryn.exe")"
folder="$(win "$work/Game Root")"
"$emulator" "$tool" write "$link" "--target=$target" "--arguments=--from-kxu -x" "--working-directory=$folder" \
  "--icon=$target" --icon-index=2 --description=Legacy --show-command=7 --hotkey=0x0654
"$emulator" "$tool" read "$link" >"$work/read.txt"
[ "$(value target)" = "$target" ] || fail "target '$(value target)'"
[ "$(value arguments)" = "--from-kxu -x" ] || fail "arguments '$(value arguments)'"
[ "$(value working_directory)" = "$folder" ] || fail "working directory '$(value working_directory)'"
[ "$(value icon)" = "$target" ] || fail "icon '$(value icon)'"
[ "$(value icon_index)" = "2" ] || fail "icon index '$(value icon_index)'"
[ "$(value description)" = "Legacy" ] || fail "description '$(value description)'"
# Wine 8's GetShowCmd answers 1 after a load whatever the file holds, so the
# show command is read from the header (ShowCommand, offset 0x3C).
show_command="$(od -An -tu4 -j60 -N4 "$work/Legacy Shortcut.lnk" | tr -d ' ')"
[ "$show_command" = "7" ] || fail "show command in the header '$show_command'"
[ "$(value hotkey)" = "1620" ] || fail "hot key '$(value hotkey)'"

"$emulator" "$tool" write "$link" "--target=$target"
"$emulator" "$tool" read "$link" >"$work/read.txt"
[ "$(value arguments)" = "" ] || fail "rewritten: arguments '$(value arguments)'"
[ "$(value description)" = "" ] || fail "rewritten: description '$(value description)'"
[ "$(value icon_index)" = "0" ] || fail "rewritten: icon index '$(value icon_index)'"

if "$emulator" "$tool" read "$(win "$work/Missing.lnk")" >"$work/read.txt" 2>&1; then
  fail "reading a missing shortcut succeeded"
fi

# Registration, as the end-to-end tests will do it.
clsid='{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}'
# A key's report; empty when it is missing (Wine's reg prints that error on
# standard output).
query() {
  local report
  report="$(wine reg query "$1" </dev/null 2>/dev/null)" || return 0
  printf '%s\n' "$report" | tr -d '\r'
}
"$here/register_pin_server.sh" register "$dll" '--log=Z:\tmp\pins.log' '--fail=Bad.lnk;Other.lnk'
for root in HKCU HKLM; do
  query "$root\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" >"$work/reg.txt"
  grep -qF "$(win "$(realpath "$dll")")" "$work/reg.txt" || fail "$root: no InprocServer32 for the DLL"
  grep -q "ThreadingModel[[:space:]]*REG_SZ[[:space:]]*Apartment" "$work/reg.txt" || fail "$root: no ThreadingModel"
done
query 'HKCU\Software\QcpTest\PinServer' >"$work/reg.txt"
grep -qF 'Z:\tmp\pins.log' "$work/reg.txt" || fail "no Log configuration"
grep -qF 'Bad.lnk;Other.lnk' "$work/reg.txt" || fail "no Fail configuration"
"$here/register_pin_server.sh" unregister
for key in "HKCU\\Software\\Classes\\CLSID\\$clsid" "HKLM\\Software\\Classes\\CLSID\\$clsid" 'HKCU\Software\QcpTest\PinServer'; do
  [ -z "$(query "$key")" ] || fail "$key is still there"
done

[ "$failures" -eq 0 ] || exit 1
echo "lnk-tool and register_pin_server.sh work"
