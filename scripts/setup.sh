#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the benchmarks need on
# a Debian machine, and fetches libyaml's and cpp-httplib's Debian sources for
# the Windows build (the browser test's extras: scripts/setup-browser.sh).
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEPS="$ROOT/.deps"

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  g++-mingw-w64-i686-posix
  wine wine32:i386
  googletest
  rapidjson-dev
  nlohmann-json3-dev
  libmsgpack-cxx-dev
  gcc-multilib g++-multilib libc6-dev-i386
  libyaml-dev:i386
  libclang-rt-14-dev
  liblnk-utils
  util-linux  # setpriv: the read-only shortcut test runs as an unprivileged user
  jq
  libcli11-dev
  dpkg-dev
  curl
  python3
  cmake ninja-build clang
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# libyaml's source is built with the cross compiler; apt needs a deb-src entry for it.
ensure_deb_src() {
  local src=/etc/apt/sources.list.d/qcp-deb-src.sources
  [ -f "$src" ] && return 1
  local tmp; tmp="$(mktemp)"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$tmp"
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' > "$tmp"
    src=/etc/apt/sources.list.d/qcp-deb-src.list
  fi
  "${SUDO[@]}" install -m 0644 "$tmp" "$src"
  rm -f "$tmp"
  return 0
}

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${SUDO[@]}" dpkg --add-architecture i386
  need_update=1
fi
yaml_tarball() { ls "$DEPS"/libyaml/libyaml_*.orig.tar.gz 2>/dev/null | head -n1; }
# cpp-httplib is unpacked with Debian's patches applied (its security fixes
# live there), into a folder the build finds by name.
HTTPLIB_DIR="$DEPS/cpp-httplib/source"
if [ -z "$(yaml_tarball)" ] || [ ! -f "$HTTPLIB_DIR/httplib.h" ]; then
  ensure_deb_src && need_update=1 || true
fi
if [ "${#missing[@]}" -gt 0 ] || [ "$need_update" -eq 1 ]; then
  echo "setup: installing ${missing[*]:-(package lists only)}" >&2
  "${SUDO[@]}" apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ -z "$(yaml_tarball)" ]; then
  mkdir -p "$DEPS/libyaml"
  if ! (cd "$DEPS/libyaml" && apt-get source --download-only -qq libyaml >/dev/null); then
    "${SUDO[@]}" apt-get update -qq
    (cd "$DEPS/libyaml" && apt-get source --download-only -qq libyaml >/dev/null)
  fi
fi
[ -n "$(yaml_tarball)" ] || { echo "setup: libyaml source package not found" >&2; exit 1; }

if [ ! -f "$HTTPLIB_DIR/httplib.h" ]; then
  mkdir -p "$DEPS/cpp-httplib"
  if ! (cd "$DEPS/cpp-httplib" && apt-get source --download-only -qq cpp-httplib >/dev/null); then
    "${SUDO[@]}" apt-get update -qq
    (cd "$DEPS/cpp-httplib" && apt-get source --download-only -qq cpp-httplib >/dev/null)
  fi
  rm -rf "$HTTPLIB_DIR"
  (cd "$DEPS/cpp-httplib" && dpkg-source --no-check -x "$(ls cpp-httplib_*.dsc | head -n1)" "$HTTPLIB_DIR" >/dev/null)
fi
[ -f "$HTTPLIB_DIR/httplib.h" ] || { echo "setup: cpp-httplib source package not found" >&2; exit 1; }
