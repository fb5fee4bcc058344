#!/usr/bin/env bash
# Pack time and payload size per compression level on the default bench corpus (1,000
# files, 90 MB), long-distance matching on, 2 threads: the figures behind the pack
# tool's default level. One run per level; prints a Markdown table.
#
#   bash bench/levels.sh [BUILD_DIR] [LEVEL...]     (default levels: 3 6 9 12 15 19)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
levels=${*:-3 6 9 12 15 19}
tool="$build/bin/kovran-onefile"
work="$build/bench/levels"
corpus="$work/corpus-default"
mkdir -p "$work"
if [ ! -d "$corpus" ]; then
  python3 "$root/bench/corpus/make_corpus.py" --out "$corpus" --variant default --seed 20260 \
    --main-exe "$build/sample-app/sample-app.exe" --main-name app.exe >"$work/corpus.summary"
fi
declare -A seconds bytes
for level in $levels; do
  start=$(date +%s.%N)
  "$tool" pack -q "$corpus" -o "$work/L$level.exe" --main app.exe --target-dir '{PROGRAM_DIR}\t' \
    --level "$level" --threads 2
  end=$(date +%s.%N)
  seconds[$level]=$(echo "$end - $start" | bc)
  bytes[$level]=$(python3 "$root/bench/lib/frame_info.py" "$work/L$level.exe" |
    python3 -c 'import json,sys; print(json.load(sys.stdin)["block_bytes"])')
done
top=${levels##* }
echo "| level | pack time | payload bytes | ratio to level $top |"
echo "|---|---|---|---|"
for level in $levels; do
  ratio=$(echo "scale=3; ${bytes[$level]} / ${bytes[$top]}" | bc)
  printf '| %s | %.2f s | %s | %s |\n' "$level" "${seconds[$level]}" "${bytes[$level]}" "$ratio"
done
