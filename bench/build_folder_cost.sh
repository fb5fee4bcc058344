#!/usr/bin/env bash
# What the default layout's build folders cost a warm start: one small app packed twice, with
# the default target directory (the in-use marker written, the pruning thread, one listing
# of the parent folder) and with another one (none of that), started in alternating rounds
# under a moved cache folder. Prints the medians and the median of the per-round ratios.
#   bash bench/build_folder_cost.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-20}
tool="$build/bin/kovran-onefile"
corpus="$build/bench/work/corpus-small"
[ -d "$corpus" ] || { echo "build_folder_cost: run bench/startup.sh --corpus small first" >&2; exit 2; }
work=$(mktemp -d -p /tmp kovran-build-folders.XXXXXX)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$build/wineprefix" KOVRAN_WINESERVER_LINGER=3600 WINEDEBUG=-all
export KOVRAN_ONEFILE_CACHE_DIR="Z:${work//\//\\}\\cache"
wine_run="$root/scripts/wine-run.sh"
mkdir -p "$work/default" "$work/other"
"$tool" pack -q "$corpus" --main app.exe -o "$work/default/app.exe" --level 3
"$tool" pack -q "$corpus" --main app.exe -o "$work/other/app.exe" --level 3 \
  --target-dir '{CACHE_DIR}\other-layout\app'
"$wine_run" "$work/default/app.exe" >/dev/null
"$wine_run" "$work/other/app.exe" >/dev/null
printf 'default\t\t%s\n' "$wine_run $work/default/app.exe" >"$work/steps"
printf 'other\t\t%s\n' "$wine_run $work/other/app.exe" >>"$work/steps"
python3 "$root/bench/lib/rounds.py" "$work/steps" --rounds "$rounds" --out "$work/times.json"
python3 - "$work/times.json" <<'PY'
import json, statistics, sys
t = json.load(open(sys.argv[1]))
r = sorted(a / b for a, b in zip(t["default"], t["other"]))
print(f"warm start: default layout {statistics.median(t['default']) * 1000:.0f} ms, other "
      f"target {statistics.median(t['other']) * 1000:.0f} ms; default/other, median of "
      f"{len(r)} rounds {statistics.median(r):.3f} (rounds {r[0]:.3f}-{r[-1]:.3f}); load "
      f"{min(t['load']):.2f}-{max(t['load']):.2f}")
PY
