#!/usr/bin/env bash
# Packs the launchers that the end-to-end tests start: the probe child as the main
# program, under several target directory specs, and a folder of 1,000 files.
set -euo pipefail
tool=$1
bin=$2
out="$bin/e2e"
rm -rf "$out"
mkdir -p "$out/app/data/nested" "$out/many"

cp "$bin/probe_child.exe" "$out/app/main.exe"
echo "payload data" >"$out/app/data/nested/file.txt"

pack() { "$tool" pack --quiet --level 3 "$@"; }
pack "$out/app" --output "$out/launcher.exe" --target-dir '{PROGRAM_DIR}\.qorvix\runtime-1.17.4-legacy2008'
pack "$out/app" --output "$out/temp-spec.exe" --spec '{TEMP}\kv-{PID}-{RANDOM}-{TIME}-{time_us}'
pack "$out/app" --output "$out/app.EXE" --spec '{PROGRAM_BASE}.d'

# 1,000 files in folders up to four deep, of varied sizes and contents.
cp "$bin/probe_child.exe" "$out/many/main.exe"
for i in $(seq 1 999); do
  dir="$out/many/d$((i % 7))/e$((i % 5))/f$((i % 3))"
  [ $((i % 4)) -eq 0 ] && dir="$out/many/top$((i % 3))"
  mkdir -p "$dir"
  head -c $(( (i * 7919) % 20000 )) /dev/urandom >"$dir/file$i.bin"
done
pack "$out/many" --output "$out/many.exe" --spec '{PROGRAM_DIR}\many-target'

# Blocks that are broken on purpose, past the tool's own check of a block.
printf 'QVX' >"$out/bad-magic.block"
head -c 64 /dev/zero >>"$out/bad-magic.block"
"$tool" pack --quiet --unchecked-block --payload-block "$out/bad-magic.block" --output "$out/bad-magic.exe" --spec '{PROGRAM_DIR}\broken-target'
printf 'QVJ' >"$out/damaged.block"
head -c 200 /dev/urandom >>"$out/damaged.block"
"$tool" pack --quiet --unchecked-block --payload-block "$out/damaged.block" --output "$out/damaged.exe" --spec '{PROGRAM_DIR}\broken-target'
