#!/usr/bin/env bash
# A project that uses the CMake package from the unpacked .deb: `hello` linking its own
# DLL, with a data folder, cross-built with mingw-w64 (Ninja) and packed by
# kovran_onefile_add(). The packed program runs under Wine on its own, and the build packs
# again exactly when something changed.
source "$(dirname "$0")/lib.sh"
need_packages

prefix="$tmp/root/usr"
dpkg-deb -x "$deb" "$tmp/root"
src="$tmp/src"
cp -r "$root/tests/package/consumer" "$src"
bin="$tmp/build"
packed="$bin/hello-onefile.exe"
installed="$prefix/bin/kovran-onefile"

# SUBSYSTEM reaches the tool as --subsystem, once the tool has that option.
options=""
if "$installed" pack --help | grep -q -- --subsystem; then
  options="SUBSYSTEM;console"
else
  echo "note: this kovran-onefile has no --subsystem; SUBSYSTEM is not tried"
fi

# The README's toolchain file, as a user copies it from there.
toolchain="$tmp/mingw-w64.cmake"
sed -n '/^    # mingw-w64.cmake/,/^$/s/^    //p' "$root/README.md" >"$toolchain"
check "the README shows a toolchain file" grep -q CMAKE_SYSTEM_NAME "$toolchain"

configured=$(cmake -S "$src" -B "$bin" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$prefix" "-DHELLO_ONEFILE_OPTIONS=$options" 2>&1)
check "the project configures with find_package(KovranOnefile 0.3 REQUIRED)" test $? -eq 0 ||
  { echo "$configured"; finish; }

build() { cmake --build "$bin" 2>&1; }
output=$(build)
check "the default build packs hello" contains "$output" "Packing hello into $packed"
check "into hello-onefile.exe" test -f "$packed"

# Run alone in a folder of its own, so that only the packed DLL can be found.
run_packed() {
  rm -rf "$tmp/run"
  mkdir -p "$tmp/run"
  cp "$packed" "$tmp/run/"
  run_output=$(cd "$tmp/run" && wine_run ./hello-onefile.exe 2>&1)
  run_status=$?
}
run_packed
check "the packed program exits with its own code, 42 (got $run_status)" test "$run_status" -eq 42
check "it found its DLL" contains "$run_output" "hello: greetings from greet.dll"
check "and its data" contains "$run_output" 'data\message.txt: a message from the data folder'
check "and its nested data" contains "$run_output" 'data\nested\level.txt: level one'
if [ -n "$options" ]; then
  subsystem=$(/usr/bin/python3 -c 'import pefile, sys; print(pefile.PE(sys.argv[1], fast_load=True).OPTIONAL_HEADER.Subsystem)' "$packed")
  check "SUBSYSTEM console gives a console launcher (subsystem $subsystem)" test "$subsystem" = 3
fi

before=$(stamp_of "$packed")
output=$(build)
no_pack() { ! grep -q "Packing hello" <<<"$output" && test "$(stamp_of "$packed")" = "$before"; }
check "a second build with no change does not pack again" no_pack

sed -i 's/printf("hello: %s\\n"/printf("hello again: %s\\n"/' "$src/hello.c"
output=$(build)
check "a changed source builds and packs again" contains "$output" "Packing hello"
run_packed
check "the new program is what runs" contains "$run_output" "hello again: greetings from greet.dll"

listing() { "$installed" list "$packed"; }
echo extra >"$src/data/nested/extra.txt"
output=$(build)
check "a file added to a data folder packs again" contains "$output" "Packing hello"
check "and is packed" contains "$(listing)" 'data\nested\extra.txt'
rm "$src/data/nested/extra.txt"
output=$(build)
check "a file removed from a data folder packs again" contains "$output" "Packing hello"
gone() { ! listing | grep -qF 'extra.txt'; }
check "and is gone from the package" gone
before=$(stamp_of "$packed")
output=$(build)
check "then a build packs nothing" no_pack
finish
