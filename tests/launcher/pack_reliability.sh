#!/usr/bin/env bash
# Packs the launchers that the reliability tests start: an application of 500 small
# files for concurrent starts, one whose main program cannot run, one whose main
# program is itself a launcher, and specs that use {TEMP} and {RANDOM}.
set -euo pipefail
tool=$1
bin=$2
out="$bin/reliability"
rm -rf "$out"
mkdir -p "$out/app" "$out/small" "$out/not-a-program" "$out/nested"

pack() { "$tool" pack --quiet --level 3 "$@"; }

cp "$bin/probe_child.exe" "$out/app/main.exe"
pack "$out/app" --output "$out/launcher.exe" --target-dir '{PROGRAM_DIR}\.qorvix\runtime-1.17.4-legacy2008'
pack "$out/app" --output "$out/temp-spec.exe" --target-dir '{TEMP}\kv-reliability'
pack "$out/app" --output "$out/random-spec.exe" --target-dir '{PROGRAM_DIR}\random-{RANDOM}'

# 500 files of a few bytes each, most of them in folders.
cp "$bin/probe_child.exe" "$out/small/main.exe"
for i in $(seq 1 499); do
  dir="$out/small/d$((i % 6))/e$((i % 4))"
  [ $((i % 5)) -eq 0 ] && dir="$out/small"
  mkdir -p "$dir"
  printf 'file %d %0*d' "$i" $((i % 61)) 0 >"$dir/f$i.txt"
done
pack "$out/small" --output "$out/small.exe" --target-dir '{PROGRAM_DIR}\small-target'
pack "$out/small" --output "$out/small-stamp.exe" --target-dir '{PROGRAM_DIR}\small-target' --reuse stamp
# A folder of its own for each round of simultaneous starts: the rounds start on an
# empty target without the test deleting the last round's files under Wine.
for count in 8 16; do
  for round in $(seq 0 19); do
    mkdir -p "$out/rounds/$count-$round"
    ln "$out/small.exe" "$out/rounds/$count-$round/small.exe"
  done
done
for round in $(seq 0 4); do
  mkdir -p "$out/rounds/stamp-$round"
  ln "$out/small-stamp.exe" "$out/rounds/stamp-$round/small.exe"
done

# Headers that pass the pack tool's check of the main program, and nothing a loader can run.
python3 - "$out/not-a-program/main.exe" <<'PY'
import struct, sys
head = bytearray(512)
head[0:2] = b"MZ"
struct.pack_into("<I", head, 0x3C, 0x40)
head[0x40:0x44] = b"PE\0\0"
struct.pack_into("<HH", head, 0x44, 0x8664, 0)  # machine x86-64, no sections
struct.pack_into("<HH", head, 0x54, 240, 0x0002)  # optional header; an executable, not a DLL
struct.pack_into("<H", head, 0x58, 0x20B)  # PE32+
struct.pack_into("<H", head, 0x58 + 68, 3)  # console
open(sys.argv[1], "wb").write(head)
PY
pack "$out/not-a-program" --output "$out/not-a-program.exe"

cp "$out/launcher.exe" "$out/nested/main.exe"
pack "$out/nested" --output "$out/nested.exe" --target-dir '{PROGRAM_DIR}\nested-target'
