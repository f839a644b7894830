#!/usr/bin/env bash
# lifecycle_check.sh EMULATOR PROGRAM DLL MODE HELPER_DLL: runs
# plugin-lifecycle.exe in one mode and checks how the process ended.
#   unload        exit 0 and "unloaded"
#   exit-logging  exit 0 (the process ends while another thread logs)
#   held-prompt   exit 0 and "prompt thread let go"
#   exit-stop     exit 0 and "stop returned at exit" (a stop that waited for
#                 the ended job's thread would never return: CTest's
#                 timeout fails it)
#   refuse        a failed end with "ALE-EECF0606" and the compatibility
#                 message in the output, the loader never returning
set -u
emulator="$1" program="$2" dll="$3" mode="$4" helper="$5"
extra=()
[ "$mode" = exit-stop ] && extra=("Z:$helper")
output="$("$emulator" "$program" "$mode" "Z:$dll" "${extra[@]}" 2>&1)"
rc=$?
printf '%s\n' "$output"
fail() { echo "lifecycle_check: $mode: $*" >&2; exit 1; }
case "$mode" in
  unload)
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    grep -q '^unloaded' <<<"$output" || fail "no 'unloaded' line" ;;
  exit-logging)
    [ "$rc" -eq 0 ] || fail "exit code $rc" ;;
  held-prompt)
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    grep -q '^prompt thread let go' <<<"$output" || fail "no 'prompt thread let go' line" ;;
  exit-stop)
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    grep -q 'stop returned at exit' <<<"$output" || fail "no 'stop returned at exit' line" ;;
  refuse)
    # A fail-fast end: Wine reports 0xC0000602, of which the shell sees 2.
    [ "$rc" -ne 0 ] || fail "exit code 0"
    grep -q 'ALE-EECF0606' <<<"$output" || fail "no ALE-EECF0606 in the output"
    grep -q "qel-beta-opt-in which supports plugin API 18.0.0 is not compatible with core's plugin API 19.0.0" \
      <<<"$output" || fail "no compatibility message"
    if grep -q 'the loader returned' <<<"$output"; then fail "the loader returned"; fi ;;
  *) fail "unknown mode" ;;
esac
echo "lifecycle_check: $mode: ok"
