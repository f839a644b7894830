#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the benchmarks need on
# a Debian machine, and fetches libyaml's and cpp-httplib's Debian source
# packages for the Windows build, again whenever apt's lists offer a newer
# version (the browser test's extras: scripts/setup-browser.sh).
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
  valgrind  # callgrind: instruction counts for the speed work (docs/benchmarks.md)
  libcli11-dev
  dpkg-dev
  curl
  python3
  cmake ninja-build clang
)

# Debian source packages the Windows build compiles (below): libyaml, and
# cpp-httplib, plugin-host's HTTP front.
SOURCE_PACKAGES=(libyaml cpp-httplib)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# libyaml's and cpp-httplib's sources are Debian's source packages; apt needs
# a deb-src entry for them.
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
# A source package not unpacked yet needs the deb-src lists: one update for all.
for package in "${SOURCE_PACKAGES[@]}"; do
  if [ ! -f "$DEPS/$package/unpacked" ]; then
    ensure_deb_src && need_update=1 || true
  fi
done
if [ "${#missing[@]}" -gt 0 ] || [ "$need_update" -eq 1 ]; then
  echo "setup: installing ${missing[*]:-(package lists only)}" >&2
  "${SUDO[@]}" apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# offered_sources: "NAME VERSION" of every version of our source packages that
# apt's package lists offer (several suites may offer one), read once.
offered_sources() {
  apt-cache showsrc --only-source "${SOURCE_PACKAGES[@]}" 2>/dev/null |
    awk '/^Package: / { name = $2 } /^Version: / { print name, $2 }'
}
OFFERED="$(offered_sources)"

# newest_source_version NAME: the newest of those versions of NAME, or nothing.
newest_source_version() {
  local newest="" version
  for version in $(awk -v name="$1" '$1 == name { print $2 }' <<<"$OFFERED"); do
    if [ -z "$newest" ] || dpkg --compare-versions "$version" gt "$newest"; then newest="$version"; fi
  done
  echo "$newest"
}

# source_package NAME: .deps/NAME/source is NAME's newest Debian source
# package, unpacked by dpkg-source -x with Debian's patches applied (its
# security fixes live there), and .deps/NAME/unpacked names the .dsc it came
# from (written last, so an interrupted unpack is done again). A package is
# fetched again when the lists offer a newer version than the one unpacked:
# a machine that fetched it before a security update does not keep building
# the old one. Quick when nothing changed: one look at the lists.
source_package() {
  local name="$1" dir="$DEPS/$1"
  local offered have=""
  if [ -f "$dir/unpacked" ] && [ -f "$dir/source/debian/changelog" ]; then
    have="$(sed -n 's/^Version: //p' "$dir/$(cat "$dir/unpacked")" 2>/dev/null || true)"
  fi
  offered="$(newest_source_version "$name")"
  if [ -z "$offered" ] && [ -z "$have" ]; then
    ensure_deb_src || true
    "${SUDO[@]}" apt-get update -qq
    OFFERED="$(offered_sources)"
    offered="$(newest_source_version "$name")"
  fi
  if [ -n "$have" ] && { [ -z "$offered" ] || dpkg --compare-versions "$have" ge "$offered"; }; then
    return 0
  fi
  [ -n "$offered" ] || { echo "setup: the source package $name is not offered by apt's lists" >&2; exit 1; }
  echo "setup: fetching the source package $name $offered${have:+ (unpacked: $have)}" >&2
  mkdir -p "$dir"
  rm -f "$dir/unpacked"
  (cd "$dir" && apt-get source --download-only -qq "$name=$offered" >/dev/null)
  local dsc="${name}_${offered#*:}.dsc"
  # Only the files of the version fetched stay.
  local keep file
  keep="$(sed -n '/^Files:/,/^[^ ]/ s/^ [0-9a-f]* [0-9]* //p' "$dir/$dsc")"
  for file in "$dir"/*; do
    case "$(basename "$file")" in
      "$dsc" | source) ;;
      *) grep -qxF "$(basename "$file")" <<<"$keep" || rm -rf "$file" ;;
    esac
  done
  rm -rf "$dir/source"
  (cd "$dir" && dpkg-source --no-check -x "$dsc" source >/dev/null)
  echo "$dsc" >"$dir/unpacked"
}

for package in "${SOURCE_PACKAGES[@]}"; do
  source_package "$package"
done
