#!/usr/bin/env bash
# Launchers packed with the default target directory unpack each app build into a
# folder of its own in the user's local application data: two builds side by side do
# not share files, and the same input packed again uses the same folder. The Windows
# tool lists, verifies and extracts the launcher it did not make.
set -euo pipefail
host_tool=$1
windows_tool=$2
sample=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="${WINEPREFIX:-$(dirname "$(dirname "$windows_tool")")/wineprefix}"
wine_run() { "$root/scripts/wine-run.sh" "$@"; }
fail() { echo "$*"; exit 1; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

cp -r "$sample" "$work/one"
cp -r "$sample" "$work/two"
echo "build two, $RANDOM$RANDOM" >"$work/two/VERSION.txt"
"$host_tool" pack -q "$work/one" -o "$work/one.exe"
"$host_tool" pack -q "$work/two" -o "$work/two.exe"
"$host_tool" pack -q "$work/one" -o "$work/again.exe" --level 3

folder() { "$host_tool" info "$1" | sed -n 's/^target directory: {CACHE_DIR}\\kovran-onefile\\//p'; }
one=$(folder "$work/one.exe")
[[ "$one" =~ ^sample-app-[0-9a-f]{12}$ ]] || fail "unexpected default folder: $one"
[ "$one" = "$(folder "$work/again.exe")" ] || fail "same input, another folder"
[ "$one" != "$(folder "$work/two.exe")" ] || fail "another build, same folder"
# Files kept by their CRC-32 never get the stamp: a stamp build shares no folder with them.
"$host_tool" pack -q "$work/one" -o "$work/one-stamp.exe" --reuse stamp
one_stamp=$(folder "$work/one-stamp.exe")
[[ "$one_stamp" =~ ^sample-app-[0-9a-f]{12}$ ]] || fail "unexpected default folder: $one_stamp"
[ "$one" != "$one_stamp" ] || fail "a stamp build in the CRC-32 build's folder"

wine_run "$work/one.exe" >/dev/null
wine_run "$work/two.exe" >/dev/null
wine_run "$work/one-stamp.exe" >/dev/null
local_data=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -path "*/AppData/Local" | head -n1)
cmp "$sample/VERSION.txt" "$local_data/kovran-onefile/$one/VERSION.txt" ||
  fail "build one's folder does not hold its files"
cmp "$work/two/VERSION.txt" "$local_data/kovran-onefile/$(folder "$work/two.exe")/VERSION.txt" ||
  fail "build two's folder does not hold its files"
cmp "$sample/VERSION.txt" "$local_data/kovran-onefile/$one_stamp/VERSION.txt" ||
  fail "the stamp build's folder does not hold its files"

wine_run "$windows_tool" verify "$(winpath "$work/one.exe")" | grep -q "OK, " || fail "verify failed"
listed=$(wine_run "$windows_tool" list "$(winpath "$work/one.exe")" | tr -d '\r' | wc -l)
# The launcher's line and the rule's, then a line per file.
[ "$listed" -eq "$(($(find "$sample" -type f | wc -l) + 2))" ] || fail "list shows $listed lines"
wine_run "$windows_tool" extract "$(winpath "$work/one.exe")" "$(winpath "$work/extracted")" >/dev/null
diff -r "$sample" "$work/extracted" || fail "extracted files differ"
rm -rf "$local_data/kovran-onefile/$one" "$local_data/kovran-onefile/$(folder "$work/two.exe")" \
  "$local_data/kovran-onefile/$one_stamp"
echo "a folder per app build; list, verify and extract under Windows"
