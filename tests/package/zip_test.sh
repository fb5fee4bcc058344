#!/usr/bin/env bash
# The Windows zip: one folder with the tool, README, licences and the CMake package; the
# tool runs under Wine; pointing CMAKE_PREFIX_PATH or KovranOnefile_DIR at the unzipped
# folder finds kovran-onefile.exe in it.
source "$(dirname "$0")/lib.sh"
need_packages

python3 -m zipfile -e "$zip" "$tmp"
top="$tmp/$zip_top"
for file in bin/kovran-onefile.exe README.md LICENSE.txt THIRD-PARTY-NOTICES.txt \
  lib/cmake/KovranOnefile/KovranOnefileConfig.cmake \
  lib/cmake/KovranOnefile/KovranOnefileConfigVersion.cmake; do
  check "the zip holds $zip_top/$file" test -f "$top/$file"
done
one_top_folder() { test "$(ls "$tmp")" = "$zip_top"; }
check "everything is in one folder" one_top_folder
check "LICENSE.txt is the project's licence" cmp "$top/LICENSE.txt" "$root/LICENSE"
notices=$(cat "$top/THIRD-PARTY-NOTICES.txt")
for part in zstd zlib CLI11 mingw-w64 "GCC RUNTIME LIBRARY EXCEPTION"; do
  check "the notices have $part" contains "$notices" "$part"
done

check "kovran-onefile.exe --version runs under Wine" \
  contains "$(wine_run "$top/bin/kovran-onefile.exe" --version 2>&1)" "kovran-onefile $version"

find_project "$tmp/find"
found=$(cmake -S "$tmp/find" -B "$tmp/find/by-prefix" -DCMAKE_PREFIX_PATH="$top" 2>&1)
check "CMAKE_PREFIX_PATH=<unzipped> finds its kovran-onefile.exe" \
  contains "$found" "tool: $top/bin/kovran-onefile.exe"
found=$(cmake -S "$tmp/find" -B "$tmp/find/by-dir" \
  -DKovranOnefile_DIR="$top/lib/cmake/KovranOnefile" 2>&1)
check "KovranOnefile_DIR=<unzipped>/lib/cmake/KovranOnefile finds it too" \
  contains "$found" "tool: $top/bin/kovran-onefile.exe"
found=$(cmake -S "$tmp/find" -B "$tmp/find/rooted" -DKovranOnefile_DIR="$top/lib/cmake/KovranOnefile" \
  -DCMAKE_FIND_ROOT_PATH=/nonexistent -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY 2>&1)
check "and so with packages searched in a cross toolchain's root only" \
  contains "$found" "tool: $top/bin/kovran-onefile.exe"
finish
