#!/usr/bin/env bash
# kovran-onefile.exe under Wine and kovran-onefile on Linux make the same bytes from the
# same input, with any number of threads; the Windows tool refuses bad input in one
# line, leaving no file behind; and its verify and extract work on Windows' file system.
set -euo pipefail
host_tool=$1
windows_tool=$2
sample=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wine_tool() { "$root/scripts/wine-run.sh" "$windows_tool" "$@"; }

"$host_tool" pack --quiet "$sample" -o "$work/linux.exe" --product-name "Sample App"
for threads in 1 3; do
  wine_tool pack --quiet "$sample" -o "$work/windows-$threads.exe" --product-name "Sample App" \
    --threads "$threads"
  cmp "$work/linux.exe" "$work/windows-$threads.exe"
done
# The sample is a console program; its GUI launcher is the same on both as well.
"$host_tool" pack --quiet "$sample" -o "$work/linux-gui.exe" --subsystem gui
wine_tool pack --quiet "$sample" -o "$work/windows-gui.exe" --subsystem gui
cmp "$work/linux-gui.exe" "$work/windows-gui.exe"
# Under the stamp rule: the entry index from a folder, and from a payload block's one decode.
"$host_tool" pack --quiet "$sample" -o "$work/linux-stamp.exe" --reuse stamp
wine_tool pack --quiet "$sample" -o "$work/windows-stamp.exe" --reuse stamp --threads 3
cmp "$work/linux-stamp.exe" "$work/windows-stamp.exe"
read -r at size < <(python3 "$root/tests/harness/pe_section.py" "$work/linux-stamp.exe" .payload)
tail -c +$((at + 1)) "$work/linux-stamp.exe" | head -c "$size" >"$work/block"
"$host_tool" pack --quiet --payload-block "$work/block" -o "$work/linux-block.exe" --reuse stamp
wine_tool pack --quiet --payload-block "$work/block" -o "$work/windows-block.exe" --reuse stamp
cmp "$work/linux-block.exe" "$work/windows-block.exe"

mkdir "$work/out"
set +e
message=$(wine_tool pack "$sample" -o "$work/out/x.exe" --spec '{NOPE}' 2>&1)
status=$?
set -e
[ "$status" -ne 0 ] || { echo "bad spec accepted"; exit 1; }
[ "$(printf '%s\n' "$message" | wc -l)" -eq 1 ] || { echo "not one line: $message"; exit 1; }
grep -q "unknown placeholder {NOPE}" <<<"$message" || { echo "unexpected: $message"; exit 1; }
[ -z "$(ls -A "$work/out")" ] || { echo "files left behind"; exit 1; }
wine_tool verify "$work/linux.exe" | grep -q "PE checksum as packed" || { echo "verify failed"; exit 1; }
# Into a new folder (moved in whole) and into an empty one (moved in name by name).
mkdir "$work/empty"
for into in "$work/new/folder" "$work/empty"; do
  wine_tool extract "$work/linux.exe" "$into" >/dev/null
  diff -r "$sample" "$into" || { echo "extract into $into differs"; exit 1; }
done
# A folder that is not empty is refused, and nothing is left beside or in it.
mkdir "$work/busy" && echo mine >"$work/busy/keep.txt"
if wine_tool extract "$work/linux.exe" "$work/busy" 2>/dev/null; then echo "busy accepted"; exit 1; fi
[ "$(ls -A "$work/busy")" = keep.txt ] || { echo "busy folder changed"; exit 1; }
[ -z "$(find "$work" -name '*.kovran-extract*')" ] || { echo "staging left behind"; exit 1; }
# Nodes that are not files, as Wine shows Unix ones: refused as the output in one line
# that says what they are, and left as they were.
mkdir "$work/nodes"
mkfifo "$work/nodes/fifo"
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$work/nodes/socket"
rows=("fifo:a pipe" "socket:a special file" "link-to-fifo:a pipe")
if mknod "$work/nodes/device" c 1 7 2>/dev/null; then
  rows+=("device:a character device" "link-to-device:a character device")
  ln -s device "$work/nodes/link-to-device"
fi
ln -s fifo "$work/nodes/link-to-fifo"
node_state() { stat -c '%F %i %t:%T' "$1"; readlink "$1" || true; }
for row in "${rows[@]}" "NUL:a character device"; do
  name=${row%%:*}
  path="Z:${work//\//\\}\\nodes\\$name"
  [ "$name" != NUL ] || path=NUL
  before=$(node_state "$work/nodes/$name" 2>/dev/null || true)
  set +e
  message=$(cd "$work/nodes" && wine_tool pack -q "$sample" -o "$path" 2>&1)
  status=$?
  set -e
  message=${message//$'\r'/}
  [ "$status" -eq 1 ] || { echo "$name: status $status"; exit 1; }
  [ "$message" = "kovran-onefile: error: '$path' is ${row#*:}, not a file" ] ||
    { echo "$name: $message"; exit 1; }
  [ "$(node_state "$work/nodes/$name" 2>/dev/null || true)" = "$before" ] || { echo "$name changed"; exit 1; }
done
[ -z "$(find "$work/nodes" -name '*.kovran-tmp')" ] || { echo "temporary file left behind"; exit 1; }
echo "identical on Linux and Windows (both rules); bad input refused in one line; verify and extract run; nodes refused"
