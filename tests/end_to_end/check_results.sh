# Sourced by the end-to-end checks: failures are counted, not fatal, so one
# run reports every check that failed; finish gives the verdict.

failures=0
# fail TEXT: one failed check, named by the current $scenario when set.
fail() { echo "FAIL${scenario:+ [$scenario]}: $*" >&2; failures=$((failures + 1)); }
# expect FILE TEXT...: each text occurs in FILE as a whole line or a part of one.
expect() {
  local file="$1"; shift
  local text
  for text in "$@"; do grep -qF -- "$text" "$file" || fail "$(basename "$file"): missing $text"; done
}
# line_of FILE TEXT: the number of the first line holding TEXT (empty when none).
line_of() { grep -nF -- "$2" "$1" | head -n1 | cut -d: -f1 || true; }
# in_order FILE TEXT...: each text occurs in FILE, each on a later line than
# the one before.
in_order() {
  local file="$1"; shift
  local previous=0 text at
  for text in "$@"; do
    at="$(line_of "$file" "$text")"
    if [ -z "$at" ] || [ "$at" -le "$previous" ]; then fail "$(basename "$file"): $text out of order"; return; fi
    previous="$at"
  done
}
# finish WORK PASSED: exits 1 with the count when a check failed (WORK keeps
# the outputs), else says PASSED and exits 0.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s); outputs in $1" >&2
    exit 1
  fi
  echo "$2"
  exit 0
}
