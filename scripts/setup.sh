#!/usr/bin/env bash
# Installs everything the build needs on a fresh Debian 12 machine, as root.
# Idempotent: on a ready machine it only checks and returns within seconds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="${KOVRAN_DEPS_DIR:-$root/build/deps}"

packages=(
  cmake ninja-build make pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64
  libzstd-dev libcli11-dev googletest zlib1g-dev zstd
  hyperfine clang-format bc
  python3 python3-pefile valgrind
  osslsigncode openssl libz-mingw-w64-dev
  help2man file
  xvfb imagemagick xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# zstd sources for the Windows build come from Debian's source package. A private
# sources list and state folder keep the machine's own apt configuration untouched.
zstd_version=$(dpkg-query -W -f='${source:Version}' libzstd-dev)
zstd_stamp="$deps/zstd.version"
if [ ! -f "$zstd_stamp" ] || [ "$(cat "$zstd_stamp")" != "$zstd_version" ]; then
  aptdir="$deps/apt"
  rm -rf "$aptdir" "$deps/zstd"
  mkdir -p "$aptdir/lists/partial" "$aptdir/cache/archives/partial" "$deps/zstd"
  # Source entries mirror the binary entries the machine already trusts, keyrings included.
  mkdir -p "$aptdir/parts"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$aptdir/parts/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^deb \(.*\)/deb-src \1/p' "$f" >>"$aptdir/parts/machine.list"
  done
  aptopts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$aptdir/parts"
           -o "Dir::State::Lists=$aptdir/lists" -o "Dir::Cache=$aptdir/cache")
  aptopts+=(-o "APT::Sandbox::User=root")
  echo "setup: fetching zstd sources"
  apt-get "${aptopts[@]}" update -qq
  # The installed version first; a mirror may lack it, so fall back to the others listed.
  versions=$(apt-cache "${aptopts[@]}" showsrc libzstd | awk '/^Version:/ {print $2}')
  fetched=""
  for v in "$zstd_version" $versions; do
    if (cd "$deps/zstd" && apt-get "${aptopts[@]}" source -qq "libzstd=$v" >/dev/null 2>&1); then
      fetched=$v; break
    fi
  done
  [ -n "$fetched" ] || { echo "setup: could not fetch the zstd source package" >&2; exit 1; }
  src=$(find "$deps/zstd" -mindepth 1 -maxdepth 1 -type d -name 'libzstd-*' | head -n1)
  [ -f "$src/lib/zstd.h" ] || { echo "setup: zstd sources incomplete" >&2; exit 1; }
  ln -sfn "$src" "$deps/zstd/src"
  echo "$zstd_version" >"$zstd_stamp"
fi
