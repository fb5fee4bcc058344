#!/usr/bin/env bash
# kovran-onefile.exe reads and writes a share, and the verbatim forms of a share and a
# drive, as the places they name: the same launcher as the Linux tool makes, extracted
# in whole. The device namespace, and output names that Windows would change (a trailing
# dot or space) or read as a stream, are refused in one line with nothing written.
# Wine serves \\SERVER\share from the prefix's dosdevices/unc/SERVER/share.
set -euo pipefail
host_tool=$1
windows_tool=$(realpath "$2")
sample=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
WINEPREFIX=$(realpath -m "${WINEPREFIX:-$root/build/wineprefix}")
export WINEPREFIX
"$root/scripts/wine-run.sh"

server=kovran-paths-$$
work=$(mktemp -d)
# The tool runs from a folder on drive C:, so that a path misread as one on the current
# drive lands in drive_c (a share, in that folder), where it is looked for.
drive_c=$WINEPREFIX/drive_c
cwd=$drive_c/$server
mkdir -p "$work/share" "$cwd" "$WINEPREFIX/dosdevices/unc"
ln -s "$work" "$WINEPREFIX/dosdevices/unc/$server"
trap 'rm -rf "$work" "$cwd"; rm -f "$WINEPREFIX/dosdevices/unc/$server"' EXIT
wine_tool() { (cd "$cwd" && "$root/scripts/wine-run.sh" "$windows_tool" "$@"); }
fail() { echo "$*"; exit 1; }

share="\\\\$server\\share"
verbatim_share="\\\\?\\UNC\\$server\\share"
verbatim_drive="\\\\?\\Z:${work//\//\\}\\share"

"$host_tool" pack --quiet "$sample" -o "$work/reference.exe"
cp -r "$sample" "$work/share/app"
outputs=("$share\\out.exe:out.exe" "$verbatim_share\\new\\verbatim.exe:new/verbatim.exe"
  "$verbatim_drive\\drive.exe:drive.exe")
for row in "${outputs[@]}"; do
  wine_tool pack --quiet "$share\\app" -o "${row%:*}" || fail "pack -o ${row%:*} failed"
  cmp "$work/reference.exe" "$work/share/${row##*:}" || fail "pack -o ${row%:*} differs"
done
wine_tool verify "$verbatim_share\\out.exe" >/dev/null || fail "verify on the share failed"
wine_tool list "$share\\out.exe" | grep -q 'sample-app.exe' || fail "list on the share failed"
for row in "$share\\x:x" "$verbatim_share\\y:y" "$verbatim_drive\\deep\\z:deep/z"; do
  wine_tool extract "$share\\out.exe" "${row%:*}" >/dev/null || fail "extract ${row%:*} failed"
  diff -r "$sample" "$work/share/${row##*:}" || fail "extract into ${row%:*} differs"
done
[ -z "$(ls -A "$cwd")" ] || fail "written beside the tool: $(ls -A "$cwd")"

shared=$(cd "$work/share" && find . | sort)
refused() {
  local expected=$1
  shift
  set +e
  message=$(wine_tool "$@" 2>&1 >/dev/null)
  status=$?
  set -e
  message=${message//$'\r'/}
  [ "$status" -eq 1 ] || fail "$*: status $status"
  [ "$(printf '%s\n' "$message" | wc -l)" -eq 1 ] || fail "$*: not one line: $message"
  grep -qF "$expected" <<<"$message" || fail "$*: $message"
}
for device in '\\.\pipe\x' '\\.\mailslot\m' '\\.\globalroot\x' '\\?\GLOBALROOT\x'; do
  refused "a device path" extract "$work/reference.exe" "$device"
  refused "a device path" pack -q "$sample" -o "$device.exe"
  refused "a device path" list "$device"
  refused "a device path" pack -q "$sample" --icon "$device" -o "$share\\icon.exe"
done
for name in 'x.' 'x ' 'dir.\x.exe' 'dir \x.exe'; do
  refused "ends in a dot or a space" extract "$work/reference.exe" "$share\\$name"
  refused "ends in a dot or a space" pack -q "$sample" -o "$share\\$name"
  refused "ends in a dot or a space" pack -q "$sample" -o "$name"
done
refused "names a stream" pack -q "$sample" -o "$share\\out.exe:s"
refused "names a stream" pack -q "$sample" -o "out.exe:s"
refused "reserved device name" pack -q "$sample" -o "$verbatim_share\\CON"
refused "ends with a dot or a space" extract "$work/reference.exe" "$verbatim_drive\\x."
[ "$(cd "$work/share" && find . | sort)" = "$shared" ] || fail "the share changed"
[ -z "$(ls -A "$cwd")" ] || fail "written beside the tool: $(ls -A "$cwd")"
for misread in pipe mailslot globalroot GLOBALROOT; do
  [ ! -e "$drive_c/$misread" ] || fail "written to C:\\$misread"
done
cmp "$work/reference.exe" "$work/share/out.exe" || fail "out.exe changed"
echo "shares and verbatim paths read and written; device paths and changed names refused"
