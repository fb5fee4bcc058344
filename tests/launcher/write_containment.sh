#!/usr/bin/env bash
# A start writes only below its build folder and only through what it made there itself.
# Links planted inside the folder (made from the Linux side, as under Wine a link can only
# be made) never carry a write elsewhere, under either reuse rule; a removal's leftover
# holding links goes; a cache folder variable that names no folder is refused.
set -euo pipefail
host_tool=$1
sample=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="${WINEPREFIX:-$(dirname "$(dirname "$host_tool")")/wineprefix}"
wine_run() { "$root/scripts/wine-run.sh" "$@"; }
fail() { echo "FAIL: $*"; exit 1; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# Everything outside as it is: names, kinds, sizes, times and contents (a hard link's other
# name going is no change to the file).
snapshot() {
  (cd "$work/outside" && find . -printf '%p %y %s %T@\n' | sort &&
    find . -type f -exec md5sum {} + | sort)
}

# The build's tree is the application's: no link, no file with a second name.
expect_exact_tree() {
  local build=$1 what=$2
  [ -z "$(find "$build" -type l)" ] || fail "$what: a link is left in the build"
  [ -z "$(find "$build" -type f -links +1)" ] || fail "$what: a file shares its data"
  diff -r "$sample" "$build" >/dev/null || fail "$what: the build's files differ"
}

pack() {  # rule
  rm -rf "$work/cache" "$work/outside"
  mkdir -p "$work/cache" "$work/outside/folder"
  echo "outside file" >"$work/outside/victim.txt"
  echo "outside, in a folder" >"$work/outside/folder/hello.txt"
  echo "outside, hard" >"$work/outside/hard.txt"
  "$host_tool" pack -q "$sample" -o "$work/app.exe" --reuse "$1"
  leaf=$("$host_tool" info "$work/app.exe" |
    sed -n 's/^target directory: {CACHE_DIR}\\kovran-onefile\\//p' | tr -d '\r')
  parent="$work/cache/kovran-onefile"
  build="$parent/$leaf"
}

start() { KOVRAN_ONEFILE_CACHE_DIR=$(winpath "$work/cache") wine_run "$work/app.exe" "$@"; }

# Each case plants something in a started build; what the next start must leave.
plant() {
  case $1 in
    file-link) rm "$build/VERSION.txt"; ln -s "$work/outside/victim.txt" "$build/VERSION.txt" ;;
    dangling-link) rm "$build/VERSION.txt"; ln -s "$work/outside/none.txt" "$build/VERSION.txt" ;;
    hard-link) rm "$build/VERSION.txt"; ln "$work/outside/hard.txt" "$build/VERSION.txt" ;;
    deep-file-link)
      rm "$build/data/messages/hello.txt"
      ln -s "$work/outside/victim.txt" "$build/data/messages/hello.txt" ;;
    marker-link) rm "$parent/$leaf.used"; ln -s "$work/outside/victim.txt" "$parent/$leaf.used" ;;
    marker-hard-link) rm "$parent/$leaf.used"; ln "$work/outside/hard.txt" "$parent/$leaf.used" ;;
  esac
}

for rule in crc stamp; do
  for case in file-link dangling-link hard-link deep-file-link marker-link marker-hard-link; do
    pack "$rule"
    start >/dev/null || fail "$rule $case: first start"
    plant "$case"
    before=$(snapshot)
    start >/dev/null || fail "$rule $case: the start after the link failed"
    [ "$before" = "$(snapshot)" ] || fail "$rule $case: a file outside changed"
    [ ! -e "$work/outside/none.txt" ] || fail "$rule $case: a file made where a link points"
    expect_exact_tree "$build" "$rule $case"
    [ -f "$parent/$leaf.used" ] && [ ! -L "$parent/$leaf.used" ] &&
      [ "$(stat -c %h "$parent/$leaf.used")" = 1 ] || fail "$rule $case: the marker is no file"
  done

  # A link in a folder's place is removed as a link where the system lets it be (Windows);
  # Wine opens only what it points at, so the start refuses it, with that folder's reason,
  # and writes nothing through it.
  pack "$rule"
  start >/dev/null || fail "$rule folder-link: first start"
  echo "changed" >"$build/data/messages/hello.txt"
  rm -r "$build/data/messages"
  ln -s "$work/outside/folder" "$build/data/messages"
  before=$(snapshot)
  status=0
  err=$(start 2>&1 >/dev/null) || status=$?
  [ "$before" = "$(snapshot)" ] || fail "$rule folder-link: a file outside changed"
  if [ -L "$build/data/messages" ]; then
    [ "$status" = 2 ] && [[ "$err" == *"hello.txt' for writing. ([Error 1920] "* ]] ||
      fail "$rule folder-link: not refused with the folder's reason: $status $err"
  else
    [ "$status" = 0 ] || fail "$rule folder-link: $err"
    expect_exact_tree "$build" "$rule folder-link"
  fi
done

# A removal's leftover holding links: gone within two starts, and nothing outside touched.
pack crc
start >/dev/null || fail "leftover: first start"
leftover="$parent/$leaf.removing-77-1"
mkdir -p "$leftover/sub"
echo "left" >"$leftover/sub/plain.txt"
ln -s "$work/outside/victim.txt" "$leftover/file-link.txt"
ln -s "$work/outside/victim.txt" "$leftover/sub/file-link.txt"
ln "$work/outside/hard.txt" "$leftover/hard.txt"
before=$(snapshot)
for i in 1 2; do [ ! -e "$leftover" ] || start >/dev/null || fail "leftover: start $i"; done
[ "$before" = "$(snapshot)" ] || fail "leftover: a file outside changed"
[ ! -e "$leftover" ] && [ ! -L "$leftover" ] || fail "leftover: still there: $(ls -laR "$leftover")"
# A folder link that Wine will not let go of stays, and so does what it points at; so does a
# link that leads nowhere, which Wine does not even list.
mkdir -p "$leftover"
ln -s "$work/outside/folder" "$leftover/folder-link"
ln -s "$work/outside/none.txt" "$leftover/dangling.txt"
before=$(snapshot)
start >/dev/null || fail "leftover with a folder link: start"
[ "$before" = "$(snapshot)" ] && [ ! -e "$work/outside/none.txt" ] ||
  fail "leftover with a folder link: a file outside changed"

# Values that name no folder are refused before anything is made.
for value in '\\' '\\\' '\\?\' '\\.\' '\\?\Z:' '\\.\pipe\x' "$(winpath "$work/made") " \
  "$(winpath "$work/made")." "$(winpath "$work")\\NUL" "$(winpath "$work")\\COM1.txt\\x"; do
  status=0
  err=$(KOVRAN_ONEFILE_CACHE_DIR=$value wine_run "$work/app.exe" 2>&1 >/dev/null) || status=$?
  err=${err%$'\r'}
  [ "$status" = 2 ] || fail "cache folder '$value': status $status"
  [ "$err" = "Error, KOVRAN_ONEFILE_CACHE_DIR must be an absolute path, not '$value'." ] ||
    fail "cache folder '$value': $err"
done
[ ! -e "$work/made" ] && [ ! -e /kovran-onefile ] && [ ! -e "$work/NUL" ] ||
  fail "a refused cache folder made something"
echo "links inside a build folder carry no write outside; bad cache folders refused"
