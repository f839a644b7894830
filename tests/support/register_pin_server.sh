#!/usr/bin/env bash
# Registers or unregisters the test Start-menu pin server
# (qcp-test-pin-server.dll, tests/support/pin_server.cpp) in the Wine prefix
# named by WINEPREFIX (set by scripts/wine-env.sh's wine_prefix_start, or by
# scripts/test.sh for every test). One `wine reg import` per call.
#
#   register_pin_server.sh register DLL [--log=WINPATH] [--fail=NAMES]
#   register_pin_server.sh unregister
#
# DLL is a Unix path (turned into Z:\...) or a Windows path. The class goes
# under HKCU\Software\Classes\CLSID\{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}
# (where Windows looks) and HKLM\Software\Classes\CLSID\{...} (where Wine 8
# looks: it does not merge HKCU's classes into HKEY_CLASSES_ROOT), with
# InprocServer32 = DLL and ThreadingModel = Apartment.
#
# --log and --fail write the server's registry configuration
# (HKCU\Software\QcpTest\PinServer, values "Log" and "Fail"), used by server
# processes whose environment has no QCP_PIN_SERVER_LOG / QCP_PIN_SERVER_FAIL
# (the environment wins when set). WINPATH is a Windows path (Z:\... for a
# Unix one); NAMES are file names separated by ";" ("*" fails every unpin).
# Without them no registry configuration is left. `unregister` removes the
# class and the configuration.
#
# A CTest test calling this takes the RESOURCE_LOCK QCP_PIN_SERVER_LOCK
# (tests/support/CMakeLists.txt): the registration is shared by the prefix.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/wine-env.sh"
if [ -z "${WINEPREFIX:-}" ]; then
  echo "register_pin_server.sh: WINEPREFIX is not set" >&2
  exit 2
fi

usage() {
  echo "usage: register_pin_server.sh register DLL [--log=WINPATH] [--fail=NAMES]" >&2
  echo "       register_pin_server.sh unregister" >&2
  exit 2
}

clsid='{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}'
user_key="HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\$clsid"
machine_key="HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid"
config_key="HKEY_CURRENT_USER\\Software\\QcpTest\\PinServer"

# A Windows path; a Unix path (absolute, or relative to the current folder
# when it names an existing file) goes through Wine's Z: drive.
windows_path() {
  local path="$1"
  case "$path" in
    [A-Za-z]:*|\\*) printf '%s' "$path"; return ;;
  esac
  if [ "${path#/}" = "$path" ] && [ -e "$path" ]; then path="$(realpath "$path")"; fi
  case "$path" in
    /*) printf 'Z:%s' "${path//\//\\}" ;;
    *) printf '%s' "$path" ;;
  esac
}

# A value as a .reg string: "\" and '"' escaped.
reg_string() {
  local text="${1//\\/\\\\}"
  printf '"%s"' "${text//\"/\\\"}"
}

[ $# -ge 1 ] || usage
action="$1"
shift
reg_file="$(mktemp --suffix=.reg)"
trap 'rm -f "$reg_file"' EXIT

case "$action" in
  register)
    [ $# -ge 1 ] || usage
    dll="$(windows_path "$1")"
    shift
    log="" fail="" config=0
    for option in "$@"; do
      case "$option" in
        --log=*) log="${option#--log=}"; config=1 ;;
        --fail=*) fail="${option#--fail=}"; config=1 ;;
        *) usage ;;
      esac
    done
    {
      echo "REGEDIT4"
      for key in "$user_key" "$machine_key"; do
        echo
        echo "[$key\\InprocServer32]"
        echo "@=$(reg_string "$dll")"
        echo "\"ThreadingModel\"=\"Apartment\""
      done
      # A configuration of an earlier registration never lingers.
      echo
      echo "[-$config_key]"
      if [ "$config" -eq 1 ]; then
        echo
        echo "[$config_key]"
        echo "\"Log\"=$(reg_string "$log")"
        echo "\"Fail\"=$(reg_string "$fail")"
      fi
    } >"$reg_file"
    ;;
  unregister)
    [ $# -eq 0 ] || usage
    {
      echo "REGEDIT4"
      echo
      echo "[-$user_key]"
      echo
      echo "[-$machine_key]"
      echo
      echo "[-$config_key]"
    } >"$reg_file"
    ;;
  *) usage ;;
esac

# Wine's output (and that of background processes it starts) never reaches
# the caller's pipe.
out="$(mktemp)"
if ! wine reg import "$(windows_path "$reg_file")" </dev/null >"$out" 2>&1; then
  cat "$out" >&2
  rm -f "$out"
  exit 1
fi
rm -f "$out"
