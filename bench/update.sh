#!/usr/bin/env bash
# What an update costs under the default layout: an application packed twice, the second
# build with files changed (half at the same size), added and removed (many: 200, 50 and 50
# of 20,000) or one shared library changed (real). In alternating rounds, under both reuse
# rules: the second build's first start into an empty cache (cold), the update (the first
# build started, untimed; the second copied over its launcher and started), and the second
# build's later start (warm). Prints medians, update/cold and update/warm (medians of the
# per-round ratios), and what one traced update kept, wrote and removed; checks that the
# folder is the second build's exactly. With --against, another pack tool's launchers (an
# earlier release's, say) are timed in the same rounds, the same three starts each.
#
#   bash bench/update.sh [BUILD_DIR] [--corpus many|real] [--runs N] [--against FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build" variant=many runs=5 seed=20260 against=""
while [ $# -gt 0 ]; do
  case $1 in
    --corpus) variant=$2; shift ;;
    --runs) runs=$2; shift ;;
    --against) against=$2; shift ;;
    -*) echo "update: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
build=$(cd "$build" && pwd)
tool="$build/bin/kovran-onefile"
child="$build/bench/bin/bench_child.exe"
work="$build/bench/work"
out="$work/update-$variant"
mkdir -p "$work" "$out"
export WINEPREFIX="$build/wineprefix" KOVRAN_WINESERVER_LINGER=3600 WINEDEBUG=-all
wine_run="$root/scripts/wine-run.sh"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
"$wine_run"

# The corpus as bench/startup.sh makes it, and its second build.
corpus="$work/corpus-$variant"
generator="$root/bench/corpus/make_extra_corpora.py"
stamp=$(cat "$generator" "$child" | sha256sum | cut -c1-16)-$seed
if [ "$(cat "$corpus.stamp" 2>/dev/null)" != "$stamp" ]; then
  python3 "$generator" --out "$corpus" --variant "$variant" --seed "$seed" \
    --main-exe "$child" >"$corpus.summary"
  echo "$stamp" >"$corpus.stamp"
fi
second="$out/corpus-2"
if [ "$variant" = real ]; then
  python3 "$root/bench/lib/make_update.py" "$corpus" "$second" --one-library
else
  python3 "$root/bench/lib/make_update.py" "$corpus" "$second"
fi
files=$(find "$corpus" -type f | wc -l)

steps="$out/steps"
aside="$out/aside"
: >"$steps"
add_steps() {  # name, pack tool, reuse rule
  local name=$1 pack_tool=$2 rule=$3
  local dir="$out/$name"
  mkdir -p "$dir/bin"
  "$pack_tool" pack -q "$corpus" --main app.exe -o "$dir/1.exe" --level 3 --reuse "$rule"
  "$pack_tool" pack -q "$second" --main app.exe -o "$dir/2.exe" --level 3 --reuse "$rule"
  local cache="$dir/cache"
  local env="KOVRAN_ONEFILE_CACHE_DIR='$(winpath "$cache")'"
  local aside_cache="{ [ ! -e $cache ] || mv $cache \$(mktemp -d -p $aside)/; } && sync"
  local first="cp $dir/1.exe $dir/bin/app.exe && $env $wine_run $dir/bin/app.exe >/dev/null"
  printf 'cold-%s\t%s\t%s\n' "$name" "$aside_cache && cp $dir/2.exe $dir/bin/app.exe" \
    "$env $wine_run $dir/bin/app.exe" >>"$steps"
  printf 'update-%s\t%s\t%s\n' "$name" \
    "$aside_cache && $first && cp $dir/2.exe $dir/bin/app.exe" \
    "$env $wine_run $dir/bin/app.exe" >>"$steps"
  printf 'warm-%s\tsync\t%s\n' "$name" "$env $wine_run $dir/bin/app.exe" >>"$steps"
}
names=()
for rule in stamp crc; do
  add_steps $rule "$tool" $rule
  names+=($rule)
  if [ -n "$against" ]; then
    add_steps $rule-against "$against" $rule
    names+=($rule-against)
  fi
done
mkdir -p "$aside"
python3 "$root/bench/lib/rounds.py" "$steps" --rounds "$runs" --out "$out/times.json"
rm -rf "$aside"

# One traced update per rule: what it kept, wrote and removed, and the folder it left.
for rule in stamp crc; do
  dir="$out/$rule"
  rm -rf "$dir/cache"
  cp "$dir/1.exe" "$dir/bin/app.exe"
  KOVRAN_ONEFILE_CACHE_DIR="$(winpath "$dir/cache")" "$wine_run" "$dir/bin/app.exe" >/dev/null
  cp "$dir/2.exe" "$dir/bin/app.exe"
  rm -f "$dir/trace.txt"
  KOVRAN_ONEFILE_CACHE_DIR="$(winpath "$dir/cache")" KOVRAN_ONEFILE_TRACE="$(winpath "$dir/trace.txt")" \
    "$wine_run" "$dir/bin/app.exe" >/dev/null
  folders=("$dir"/cache/kovran-onefile/app-*/)
  [ ${#folders[@]} = 1 ] || { echo "update: $rule: ${#folders[@]} build folders" >&2; exit 1; }
  diff -r -q "${folders[0]}" "$second" >/dev/null || { echo "update: $rule: folder differs" >&2; exit 1; }
  echo "$rule: $(tr -d '\r' <"$dir/trace.txt" | grep -oE 'took over build [^ ]+|files: .*|takeover: .*|listing: .*' | paste -sd ';' -)"
done

python3 - "$out/times.json" "$variant" "$files" "${names[@]}" <<'PY'
import json, statistics, sys
t = json.load(open(sys.argv[1]))
names = sys.argv[4:]
ms = lambda name: statistics.median(t[name]) * 1000
ratio = lambda a, b: statistics.median(x / y for x, y in zip(t[a], t[b]))
print(f"update figure, corpus {sys.argv[2]} ({sys.argv[3]} files), {len(t['load'])} rounds, "
      f"load {min(t['load']):.2f}-{max(t['load']):.2f}")
for name in names:
    print(f"  {name}: cold {ms('cold-' + name):.0f} ms, update {ms('update-' + name):.0f} ms, "
          f"warm {ms('warm-' + name):.0f} ms; update/cold {ratio('update-' + name, 'cold-' + name):.2f}, "
          f"update/warm {ratio('update-' + name, 'warm-' + name):.2f}")
    if name.endswith("-against"):
        own = name[: -len("-against")]
        print(f"    {own} against it: cold {ratio('cold-' + own, 'cold-' + name):.3f}, "
              f"warm {ratio('warm-' + own, 'warm-' + name):.3f} (medians of per-round ratios)")
PY
