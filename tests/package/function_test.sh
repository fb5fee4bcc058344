#!/usr/bin/env bash
# kovran_onefile_add() against a stand-in for the tool that records what it is given:
# every option as the tool's own, the folder it packs (program, DLL, FILES, DATA with and
# without a trailing slash, nothing stale), when it runs with a Makefile generator (which
# watches DATA folders with a scan instead of a depfile), and the errors users meet.
source "$(dirname "$0")/lib.sh"
need_packages

# A prefix laid out like the .deb's, its tool replaced by the stand-in.
dpkg-deb -x "$deb" "$tmp/root"
prefix="$tmp/fake"
mkdir -p "$prefix/bin" "$prefix/lib"
cp -r "$tmp/root/usr/lib/cmake" "$prefix/lib/"
cat >"$prefix/bin/kovran-onefile" <<'TOOL'
#!/usr/bin/env bash
here=$(dirname "$0")
args=("$@")
for ((i = 0; i < $#; i++)); do [ "${args[i]}" = --output ] && out=${args[i + 1]}; done
echo call >>"$here/calls"
if [ -e "$here/fail" ]; then echo "kovran-onefile: error: made to fail" >&2; exit 1; fi
mkdir -p "$(dirname "$out")"
printf '%s\n' "$@" >"$out.args"
(cd "$2" && find . -type f | sort) >"$out.files"
echo packed >"$out"
TOOL
chmod +x "$prefix/bin/kovran-onefile"
calls() { wc -l <"$prefix/bin/calls" 2>/dev/null || echo 0; }

src="$tmp/src"
mkdir -p "$src/assets/sub" "$src/more" "$src/extra"
cp "$root"/tests/package/consumer/*.[ch] "$src/"
echo a >"$src/assets/a.txt"
echo b >"$src/assets/sub/b.txt"
echo c >"$src/more/c.txt"
echo readme >"$src/extra/readme.txt"
echo icon >"$src/app.ico"
cat >"$src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.21)
project(hello C)
find_package(KovranOnefile REQUIRED)
add_library(greet SHARED greet.c)
add_executable(hello hello.c)
target_link_libraries(hello PRIVATE greet)
set(EXTRA "" CACHE STRING "")
kovran_onefile_add(TARGET hello OUTPUT ${CMAKE_BINARY_DIR}/out/hello.exe
  DATA assets more/ FILES extra/readme.txt EXCLUDE *.pdb docs/**
  TARGET_DIR [[{CACHE_DIR}\my app]] ICON app.ico SUBSYSTEM gui REUSE stamp LEVEL 19
  APP_VERSION 1.2.3.4 UNPACK_PROGRESS
  ${EXTRA})
include(more.cmake)
CMAKE
echo "kovran_onefile_add(TARGET hello OUTPUT second.exe PRUNE_AFTER never)" >"$src/more.cmake"

bin="$tmp/build"
configure() {
  cmake -S "$src" -B "$bin" -G "Unix Makefiles" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" "$@" 2>&1
}
build() { cmake --build "$bin" 2>&1; }
out="$bin/out/hello.exe"
configure >/dev/null
build >/dev/null
check "the default build packs both outputs" test -f "$out" -a -f "$bin/second.exe"

expected="pack
$bin/hello_onefile/default/app
--output
$out
--quiet
--main
hello.exe
--exclude
*.pdb
--exclude
docs/**
--target-dir
{CACHE_DIR}\\my app
--icon
$src/app.ico
--subsystem
gui
--reuse
stamp
--level
19
--app-version
1.2.3.4
--unpack-progress"
same_args() { diff <(echo "$expected") "$out.args"; }
check "every option reaches the tool as its own" same_args
expected_files="./assets/a.txt
./assets/sub/b.txt
./c.txt
./hello.exe
./libgreet.dll
./readme.txt"
same_files() { diff <(echo "$expected_files") "$out.files"; }
check "it packs the program, its DLL, FILES, DATA folder and DATA/ contents" same_files
check "a second call packs with defaults, a relative OUTPUT in the binary folder" \
  contains "$(cat "$bin/second.exe.args")" "$bin/hello_onefile_2/default/app"
check "PRUNE_AFTER reaches the tool" contains "$(cat "$bin/second.exe.args")" "--prune-after
never"

# When it packs again.
packs_again() {  # the tool ran in the build (twice when both outputs depend on the change)
  local before
  before=$(calls)
  build >/dev/null
  test "$(calls)" -gt "$before"
}
packs_not() {
  local before
  before=$(calls)
  build >/dev/null
  test "$(calls)" -eq "$before"
}
check "a build with no change packs nothing" packs_not
echo "A" >"$src/assets/sub/b.txt"
check "a data file changed, same size: packs again" packs_again
echo new >"$src/assets/sub/new.txt"
check "a data file added below a DATA folder: packs again" packs_again
rm "$src/assets/sub/new.txt"
check "a data file removed: packs again" packs_again
check "then nothing" packs_not
touch "$src/app.ico"
check "the icon changed: packs again" packs_again
touch "$prefix/bin/kovran-onefile"
check "the tool changed: packs again" packs_again
configure -DEXTRA=LEVEL\;3 >/dev/null
check "an option changed: packs again" packs_again
level_is_3() { test "$(grep -A1 -x -- --level "$out.args" | tail -n1)" = 3; }
check "with the new option" level_is_3

# Stale files never reach the package.
sed -i 's| FILES extra/readme.txt||' "$src/CMakeLists.txt"
configure >/dev/null
build >/dev/null
not_packed() { ! grep -q readme "$out.files"; }
check "a file no longer listed is not packed" not_packed

# Errors.
touch "$prefix/bin/fail" "$src/more/c.txt"
failed=$(build)
check "a failing pack fails the build" test $? -ne 0
check "and shows the tool's error" contains "$failed" "kovran-onefile: error: made to fail"
rm "$prefix/bin/fail"
check "the next build packs again" packs_again
cp "$src/extra/readme.txt" "$src/more/HELLO.EXE"
failed=$(build)
check "two files for one name fail the build" contains "$failed" "would both be packed as"
rm "$src/more/HELLO.EXE"
refused() {  # refused MESSAGE ARGUMENTS...: configuring with these arguments fails so
  local message=$1 result
  shift
  echo "kovran_onefile_add($*)" >"$src/more.cmake"
  result=$(configure)
  [ $? -ne 0 ] && contains "$result" "$message"
}
check "SUBSYSTEM is console or gui" refused "SUBSYSTEM is console or gui, not window" \
  TARGET hello OUTPUT x.exe SUBSYSTEM window
check "REUSE is crc or stamp" refused "REUSE is crc or stamp, not size" \
  TARGET hello OUTPUT x.exe REUSE size
check "PRUNE_AFTER is days or never" refused "PRUNE_AFTER is a number of days or never" \
  TARGET hello OUTPUT x.exe PRUNE_AFTER soon
check "an unknown argument is refused" refused "unknown arguments: COLOUR" \
  TARGET hello OUTPUT x.exe COLOUR red
check "a library target is refused" refused "greet is not an executable target" \
  TARGET greet OUTPUT x.exe
check "OUTPUT is required" refused "TARGET and OUTPUT are required" TARGET hello

# Names that CMake lists and depfiles do not hold as they are, under both generators: each
# packed once, exactly, and again when it changes; an OUTPUT that a depfile cannot name too.
names="$tmp/names"
data_names=('a#b.txt' 'c$d.txt' 'e;f.txt' 'x;y/z;w.txt' 'g^h.txt' 'p&q.txt' "it's.txt"
  'semi;;two.txt' ';lead.txt' 'trail;' 'x;y/;' 'open[.txt' 'close].txt' 'br[a/in.txt'
  'pipe|.txt' 'quote".txt' 'tick`.txt')
mkdir -p "$names/data/x;y" "$names/data/br[a" "$names/extra"
cp "$root"/tests/package/consumer/*.[ch] "$names/"
for name in "${data_names[@]}"; do echo "$name" >"$names/data/$name"; done
echo file >"$names/extra/data"
cat >"$names/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.21)
project(names C)
find_package(KovranOnefile REQUIRED)
add_library(greet SHARED greet.c)
add_executable(hello hello.c)
target_link_libraries(hello PRIVATE greet)
set(EXTRA "" CACHE STRING "")
kovran_onefile_add(TARGET hello OUTPUT out/names.exe DATA data ${EXTRA})
kovran_onefile_add(TARGET hello OUTPUT "out/odd&'name.exe" DATA data)
CMAKE
expected_names=$( (printf './hello.exe\n./libgreet.dll\n'
  for name in "${data_names[@]}"; do echo "./data/$name"; done) | LC_ALL=C sort)
for generator in Ninja "Unix Makefiles"; do
  bin="$tmp/names-${generator// /-}"
  out="$bin/out/names.exe"
  configure() {
    cmake -S "$names" -B "$bin" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" "$@" 2>&1
  }
  configure >/dev/null
  built=$(build)
  check "$generator: names with # \$ ; & ' [ ] | \" \` build" test $? -eq 0
  exactly() { diff <(echo "$expected_names") <(LC_ALL=C sort "$1"); }
  check "$generator: and every name is packed, exactly" exactly "$out.files"
  check "$generator: so for an OUTPUT a depfile cannot name" exactly "$bin/out/odd&'name.exe.files"
  check "$generator: a build with no change packs nothing" packs_not
  for name in "${data_names[@]}"; do
    sleep 0.05  # past the last pack's time, which file times may not tell apart
    echo more >>"$names/data/$name"
    check "$generator: $name changed: packs again" packs_again
  done
  check "$generator: then nothing" packs_not
  echo back >"$names/data/back\slash.txt"
  check "$generator: a name with a backslash, which Windows cannot hold, fails the build" \
    contains "$(build)" "a name in it holds a control character or '\'"
  rm "$names/data/back\slash.txt"
  configure -DEXTRA="FILES;extra/data" >/dev/null
  failed=$(build)
  check "$generator: FILES x/data beside DATA data fails the build" \
    contains "$failed" "would both be packed as"
  # What a generator's rules or CMake's lists cannot carry is said at configure time.
  echo pipe >"$names/extra/pi|pe.txt"
  echo colon >"$names/extra/co:lon.txt"
  mkdir -p "$names/da[ta"
  refused_names=("FILES;extra/pi|pe.txt" "'|'" "DATA;da[ta" "'['" "ICON;extra/back\\slash.ico" "'\\'")
  if [ "$generator" = "Unix Makefiles" ]; then refused_names+=("FILES;extra/co:lon.txt" "':'"); fi
  for ((i = 0; i < ${#refused_names[@]}; i += 2)); do
    result=$(configure -DEXTRA="${refused_names[i]}")
    check "$generator: ${refused_names[i]} is refused at configure time" \
      contains "$result" "holds ${refused_names[i + 1]}, which"
  done
  configure -DEXTRA= >/dev/null
done
finish
