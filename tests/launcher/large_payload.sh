#!/usr/bin/env bash
# A payload above 2 GiB packs, and the launcher unpacks it under Wine byte for byte.
# Needs about 7 GiB of disk and a few minutes, so it runs only with KOVRAN_LARGE_TESTS=1.
# KOVRAN_LARGE_TEST_MIB sets the random file's size (default 2300; up to about 4090).
set -euo pipefail
tool=$1
sample=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ "${KOVRAN_LARGE_TESTS:-0}" != 1 ]; then
  echo "skipped: set KOVRAN_LARGE_TESTS=1 to run"
  exit 77
fi
work=$(mktemp -d "${KOVRAN_LARGE_TEST_DIR:-${TMPDIR:-/tmp}}/kovran-large.XXXXXX")
trap 'rm -rf "$work"' EXIT

cp -r "$sample" "$work/app"
# Random bytes do not compress, so the payload stays above 2 GiB.
head -c $((${KOVRAN_LARGE_TEST_MIB:-2300} * 1024 * 1024)) /dev/urandom >"$work/app/data/large.bin"
start=$(date +%s.%N)
"$tool" pack --quiet --level 1 "$work/app" -o "$work/large.exe" --spec '{PROGRAM_DIR}\large-target'
packed=$(date +%s.%N)
size=$(stat -c %s "$work/large.exe")
[ "$size" -gt $((2 * 1024 * 1024 * 1024)) ] || { echo "launcher of $size bytes is not above 2 GiB"; exit 1; }

output=$("$root/scripts/wine-run.sh" "$work/large.exe" large)
ran=$(date +%s.%N)
grep -q "hello from greeting.dll" <<<"$output" || { echo "unexpected output: $output"; exit 1; }
cmp "$work/app/data/large.bin" "$work/large-target/data/large.bin"
printf 'launcher %d bytes; packed in %.1f s, unpacked and ran under Wine in %.1f s\n' "$size" \
  "$(echo "$packed - $start" | bc)" "$(echo "$ran - $packed" | bc)"
