#!/usr/bin/env bash
# The browser test's extras (tests/end_to_end/http_page_check.sh), apart from
# scripts/setup.sh so that the rest stays light: Debian's Chromium, Node.js
# when none is installed, and the page driver (playwright-core, pinned by
# tests/browser/package-lock.json) in build/windows/browser-driver.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DRIVER="$ROOT/build/windows/browser-driver"

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(chromium chromium-driver)
command -v npm >/dev/null || PACKAGES+=(nodejs npm)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup-browser: installing ${missing[*]}" >&2
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! cmp -s "$ROOT/tests/browser/package-lock.json" "$DRIVER/package-lock.json" ||
   [ ! -d "$DRIVER/node_modules/playwright-core" ]; then
  mkdir -p "$DRIVER"
  cp "$ROOT/tests/browser/package.json" "$ROOT/tests/browser/package-lock.json" "$DRIVER/"
  (cd "$DRIVER" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
fi
