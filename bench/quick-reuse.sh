#!/usr/bin/env bash
# The stamp rule in one run: its bars in rounds (a warm start on the real-file corpus
# against the floor of any start, on 20,000 small files against its own cold start; with
# --against, the crc rule's cold and warm starts against another tool's), then its repair
# cases on the real-file corpus's unpacked folder, each printed with pass or FAIL. Exits 1
# when a repair case fails; the ratios are figures to read, not a verdict on the run.
#
#   bash bench/quick-reuse.sh [BUILD_DIR] [--runs N] [--against FILE] [--repairs-only]
#
# --repairs-only  the repair cases alone, on the launchers of an earlier run
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build" runs=5 against=() figures=1
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift ;;
    --against) against=(--against "$2"); shift ;;
    --repairs-only) figures=0 ;;
    -*) echo "quick-reuse: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
build=$(cd "$build" && pwd)
if [ "$figures" = 1 ]; then
  for variant in real many; do
    bash "$root/bench/startup.sh" "$build" --corpus "$variant" --runs "$runs" --label reuse \
      "${against[@]}"
    echo
  done
fi

export WINEPREFIX="$build/wineprefix"
wine_run="$root/scripts/wine-run.sh"
work="$build/bench/work"
corpus="$work/corpus-real"
launcher="$work/startup-real-reuse-stamp/app.exe"
target="$work/startup-real-reuse-stamp/target"
crc_target="$work/startup-real-reuse/target"
failed=0

start() { "$wine_run" "$launcher" >/dev/null; }
# Every file's name, size, last-write and change time (a write or a new time changes the
# latter, a read does not).
snapshot() { (cd "$target" && find . -type f -printf '%P %s %T@ %C@\n' | sort); }
times_of() { (cd "$target" && find . -type f -printf '%T@\n' | sort -u); }
same_as_corpus() { diff -r -q "$target" "$corpus" >/dev/null; }
check() {  # case, command...
  local name=$1
  shift
  if "$@"; then echo "repair: $name: pass"; else echo "repair: $name: FAIL"; failed=1; fi
}

rm -rf "$target"
start
stamp=$(times_of)
check "a first start gives every file one stamp" test "$(echo "$stamp" | wc -l)" = 1

# A folder to remove, and files to damage outside it, away from the main program.
folder=$(cd "$corpus" && find . -mindepth 2 -type f -printf '%h\n' | sort | sed -n '600{s|^\./||;p}')
mapfile -t files < <(cd "$corpus" && find . -mindepth 2 -type f -size +1k -printf '%P\n' |
  grep -v "^$folder/" | sort)
changed=${files[0]} cut=${files[100]} deleted=${files[200]} other_time=${files[300]}
grown=${files[400]} trusted=${files[500]} in_folder=$(cd "$corpus/$folder" && ls | head -n1)
flip_first_byte() { python3 -c 'import sys
p = sys.argv[1]; d = bytearray(open(p, "rb").read()); d[0] ^= 0xFF; open(p, "r+b").write(d)' "$1"; }
flip_first_byte "$target/$changed"
truncate -s 100 "$target/$cut"
rm "$target/$deleted"
rm -rf "${target:?}/$folder"
touch -d '2001-02-03 04:05:06' "$target/$other_time"
printf 'x' >>"$target/$grown" && touch -d "@$stamp" "$target/$grown"
# The trade of the rule: changed on purpose at the same size and given the stamp again.
flip_first_byte "$target/$trusted" && touch -d "@$stamp" "$target/$trusted"
start
time_of() { stat -c %Y "$target/$1" 2>/dev/null; }
for name in "$changed" "$cut" "$deleted" "$grown" "$folder/$in_folder"; do
  check "rewritten with the stamp: $name" \
    bash -c '[ "$(stat -c %Y "$1")" = "${2%.*}" ] && cmp -s "$1" "$3"' _ "$target/$name" \
    "$stamp" "$corpus/$name"
done
check "right size, another time, same data: kept by its CRC-32, time untouched" \
  test "$(time_of "$other_time")" = "$(date -d '2001-02-03 04:05:06' +%s)"
check "same size and the stamp, changed on purpose: kept (the rule's trade)" \
  bash -c '! cmp -s "$1" "$2"' _ "$target/$trusted" "$corpus/$trusted"
cp "$corpus/$trusted" "$target/$trusted"

snapshot >"$work/reuse-before"
start
snapshot >"$work/reuse-after"
check "a second start writes nothing and changes no time" cmp -s "$work/reuse-before" "$work/reuse-after"

rm -rf "$target"
(timeout -s KILL 0.5 "$wine_run" "$launcher" >/dev/null 2>&1) 2>/dev/null || true
same_as_corpus && echo "repair: (the start to kill had ended before 0.5 s)"
start
check "a start killed while unpacking is repaired by the next" same_as_corpus

flip_first_byte "$target/$changed"
rm "$target/$deleted"
"$wine_run" "$launcher" >/dev/null & first=$!
"$wine_run" "$launcher" >/dev/null & second=$!
concurrent=0
wait "$first" || concurrent=1
wait "$second" || concurrent=1
check "two starts at once repair the folder, both run the child" \
  bash -c '[ "$1" = 0 ] && diff -r -q "$2" "$3" >/dev/null' _ "$concurrent" "$target" "$corpus"

# A folder unpacked under the crc rule has no stamps: every file is checked and kept.
rm -rf "$target"
cp -r "$crc_target" "$target"
snapshot >"$work/reuse-before"
start
snapshot >"$work/reuse-after"
check "a folder unpacked under the crc rule: checked, kept, untouched" \
  cmp -s "$work/reuse-before" "$work/reuse-after"
rm -f "$work/reuse-before" "$work/reuse-after"
exit "$failed"
