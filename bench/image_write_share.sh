#!/usr/bin/env bash
# How much of a pack comes after compression (the launcher image: stub, resources,
# headers, checksum), on the bench corpus at the default level, and the stub's size.
# The part after compression is timed as `pack --payload-block` of the very block the
# full pack made: that does all of it and also reads and copies the block, so the
# figure is an upper bound.
#
#   bash bench/image_write_share.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-3}
tool="$build/bin/kovran-onefile"
work="$build/bench/image-share"
corpus="$build/bench/work/corpus-default"
mkdir -p "$work"
if [ ! -d "$corpus" ]; then
  python3 "$root/bench/corpus/make_corpus.py" --out "$corpus" --variant default --seed 20260 \
    --main-exe "$build/bench/bin/bench_child.exe" --main-name app.exe >/dev/null
fi

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); echo "$e - $s" | bc; }
best() { sort -n | head -n1; }

full=$(for _ in $(seq "$runs"); do seconds "$tool" pack -q "$corpus" -o "$work/full.exe"; done | best)
# The block, taken out of the launcher the full pack wrote: the payload section.
/usr/bin/python3 - "$work/full.exe" "$work/block.bin" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
section = pe.sections[-1]
with open(sys.argv[2], "wb") as out:
    out.write(section.get_data()[: section.Misc_VirtualSize])
PY
image=$(for _ in $(seq "$runs"); do
  seconds "$tool" pack -q --payload-block "$work/block.bin" -o "$work/image.exe"
done | best)

# An empty archive: "QVJ", a zstd frame of the terminator alone, zero fill, trailer 24.
printf 'QVJ\x28\xb5\x2f\xfd\x20\x02\x11\x00\x00\x00\x00\0\0\0\0\0\0\0\0\0\0\0\0\0\x18\0\0\0\0\0\0\0' \
  >"$work/empty.block"
"$tool" pack -q --payload-block "$work/empty.block" -o "$work/stub.exe"
printf 'corpus: %s bytes in %s files; launcher %s bytes\n' \
  "$(du -sb "$corpus" | cut -f1)" "$(find "$corpus" -type f | wc -l)" "$(stat -c %s "$work/full.exe")"
printf 'whole pack (level 19, %s threads): %.2f s; after compression (upper bound): %.3f s = %.2f %%\n' \
  "$(nproc)" "$full" "$image" "$(echo "100 * $image / $full" | bc -l)"
printf 'stub with an empty block and the default icons: %s bytes (%.1f KiB)\n' \
  "$(stat -c %s "$work/stub.exe")" "$(echo "$(stat -c %s "$work/stub.exe") / 1024" | bc -l)"
