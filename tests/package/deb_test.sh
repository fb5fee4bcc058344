#!/usr/bin/env bash
# The Debian package: its control fields, its files, unpacked with dpkg-deb -x into an
# empty folder and run from there; and the same bytes from a second `make package`.
source "$(dirname "$0")/lib.sh"
need_packages

field() { dpkg-deb -f "$deb" "$1"; }
check "Package is kovran-onefile" test "$(field Package)" = kovran-onefile
check "Version is the tool's ($version)" test "$(field Version)" = "$version"
check "Architecture is amd64" test "$(field Architecture)" = amd64
check "a Maintainer and a Description" test -n "$(field Maintainer)" -a -n "$(field Description)"
no_dependencies() { ! dpkg-deb -I "$deb" control | grep -qE '^(Pre-)?Depends:|^Recommends:'; }
check "depends on nothing" no_dependencies

unpacked="$tmp/root"
dpkg-deb -x "$deb" "$unpacked"
installed="$unpacked/usr/bin/kovran-onefile"
check "usr/bin/kovran-onefile --version runs from the unpacked root" \
  test "$("$installed" --version)" = "kovran-onefile $version"
check "the installed tool is static" contains "$(ldd "$installed" 2>&1)" "not a dynamic executable"
packs_sample() {
  "$installed" pack "$build/sample-app" -o "$tmp/sample.exe" -q && "$installed" verify "$tmp/sample.exe" >/dev/null
}
check "the installed tool packs and verifies the sample" packs_sample
cmake_dir="$unpacked/usr/lib/cmake/KovranOnefile"
check "usr/lib/cmake/KovranOnefile holds the config and version files" \
  test -f "$cmake_dir/KovranOnefileConfig.cmake" -a -f "$cmake_dir/KovranOnefileConfigVersion.cmake"
manual=$(zcat "$unpacked/usr/share/man/man1/kovran-onefile.1.gz")
check "the man page has the commands' own help" contains "$manual" "--target-dir TEMPLATE"
copyright=$(cat "$unpacked/usr/share/doc/kovran-onefile/copyright")
check "copyright: the project's licence" contains "$copyright" "Copyright (c) 2026 the kovran-onefile developers"
for part in zstd zlib CLI11 "GNU C Library" "GCC RUNTIME LIBRARY EXCEPTION"; do
  check "copyright: the notice of $part" contains "$copyright" "$part"
done

# The CMake package finds the tool beside it: /usr/lib/cmake/... -> /usr/bin.
find_project "$tmp/find"
found=$(cmake -S "$tmp/find" -B "$tmp/find/build" -DCMAKE_PREFIX_PATH="$unpacked/usr" 2>&1)
check "find_package finds usr/bin/kovran-onefile $version" \
  contains "$found" "tool: $unpacked/usr/bin/kovran-onefile version: $version"
sed -i 's/find_package(KovranOnefile REQUIRED)/find_package(KovranOnefile 99 REQUIRED)/' "$tmp/find/CMakeLists.txt"
refuses_99() { ! cmake -S "$tmp/find" -B "$tmp/find/build3" -DCMAKE_PREFIX_PATH="$unpacked/usr" >/dev/null 2>&1; }
check "find_package refuses a request for version 99" refuses_99

# Reproducible: a second run of the packaging gives the same bytes.
KOVRAN_PACKAGE_DIR="$tmp/again" bash "$root/scripts/package.sh" "$build" >/dev/null
check "a second make package writes the same .deb" cmp "$deb" "$tmp/again/$(basename "$deb")"
check "and the same zip" cmp "$zip" "$tmp/again/$(basename "$zip")"
finish
