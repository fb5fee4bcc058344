#!/usr/bin/env bash
# The same sources and installed packages give the same zip: the Windows tool built again,
# alone, in a tree of its own and at another time than `make package`'s, packaged by the
# same script, gives the zip byte for byte (and the .deb with it).
source "$(dirname "$0")/lib.sh"
need_packages

again="$tmp/again"
mkdir -p "$again/bin"
cmake -S "$root" -B "$again/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKOVRAN_OUTPUT_DIR="$again" -DKOVRAN_DEPS_DIR="$build/deps" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" >"$tmp/configure.log" 2>&1 ||
  { cat "$tmp/configure.log"; exit 1; }
# Linked at least a second after the first build's tool, so that a link time would differ.
sleep 1
nice cmake --build "$again/windows" --target kovran-onefile >"$tmp/build.log" 2>&1 ||
  { tail -n 40 "$tmp/build.log"; exit 1; }
# The host tree and tool as they are: package.sh needs both trees.
ln -s "$build/host" "$again/host"
ln -s "$tool" "$again/bin/kovran-onefile"
KOVRAN_PACKAGE_DIR="$tmp/packages" bash "$root/scripts/package.sh" "$again" >/dev/null
check "the Windows tool is the same" cmp "$build/bin/kovran-onefile.exe" "$again/bin/kovran-onefile.exe"
check "the zip is the same" cmp "$zip" "$tmp/packages/$(basename "$zip")"
check "the .deb is the same" cmp "$deb" "$tmp/packages/$(basename "$deb")"
finish
