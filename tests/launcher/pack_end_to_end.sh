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
# Under the stamp rule, and a copy of it whose frame cannot be decoded: a start of the copy
# that succeeds decoded nothing.
pack "$out/app" --output "$out/stamp.exe" --spec '{PROGRAM_DIR}\stamp-target' --reuse stamp
read -r at _ < <(python3 "$(dirname "$0")/../harness/pe_section.py" "$out/stamp.exe" .payload)
cp "$out/stamp.exe" "$out/stamp-undecodable.exe"
head -c 64 /dev/zero | tr '\0' '\125' |
  dd of="$out/stamp-undecodable.exe" bs=1 seek=$((at + 3)) conv=notrunc status=none

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
for name in bad-magic damaged; do
  "$tool" pack --quiet --unchecked-block --payload-block "$out/$name.block" --subsystem console \
    --output "$out/$name-console.exe" --spec '{PROGRAM_DIR}\broken-target'
done

# Damaged data that decodes: an entry whose bytes differ from its stored CRC-32 in a frame
# without checksum, and intact entries in a frame whose checksum does not match.
python3 - "$bin/probe_child.exe" "$out" <<'PY'
import struct, subprocess, sys, zlib
main = open(sys.argv[1], "rb").read()
out = sys.argv[2]
def archive(entries):
    data = b""
    for name, body, crc in entries:
        data += name.encode("utf-16-le") + b"\0\0" + struct.pack("<QI", len(body), crc) + body
    return data + b"\0\0"
def frame(content, check):
    args = ["zstd", "-q", "-c", "-3", "--check" if check else "--no-check"]
    return subprocess.run(args, input=content, stdout=subprocess.PIPE, check=True).stdout
def write_block(name, frame):
    block = b"QVJ" + frame + b"\0" * 5
    open(f"{out}/{name}", "wb").write(block + struct.pack("<Q", len(block)))
crc = lambda body: zlib.crc32(body) or 1
data = b"payload data\n"
write_block("bad-entry.block", frame(archive(
    [("main.exe", main, crc(main)), ("data\\file.txt", data, crc(data) ^ 1)]), False))
checked = bytearray(frame(archive(
    [("main.exe", main, crc(main)), ("data\\file.txt", data, crc(data))]), True))
checked[-1] ^= 0x20
write_block("bad-frame-checksum.block", bytes(checked))
PY
for name in bad-entry bad-frame-checksum; do
  "$tool" pack --quiet --unchecked-block --payload-block "$out/$name.block" --output "$out/$name.exe" --spec "{PROGRAM_DIR}\\$name-target"
done

# Constants records whose addresses or lengths reach past the image: the payload's address,
# its length, and the index's address under the stamp rule.
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
marker = b"KOVRAN-CONST\x7e\x1d\xa3\x59"
def patch(source, name, offset, fmt, value):
    image = bytearray(open(f"{out}/{source}", "rb").read())
    record = image.index(marker)
    struct.pack_into(fmt, image, record + offset, value)
    open(f"{out}/{name}", "wb").write(image)
patch("launcher.exe", "record-payload-address.exe", 16, "<I", 0x7FFF0000)
patch("launcher.exe", "record-payload-length.exe", 24, "<Q", 1 << 40)
patch("stamp.exe", "record-index-address.exe", 32 + 2 * (1024 + 24) + 4, "<I", 0x7FFF0000)
PY
