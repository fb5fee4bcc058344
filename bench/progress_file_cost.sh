#!/usr/bin/env bash
# What creating a file costs a cold start, in bytes written: the weight of a file in the
# progress figures (progress/progress_text.h). Launchers of one 256 MiB file of random bytes
# and of 20,006 files of 9 to 105 bytes (and the program) are started cold in rounds
# (bench/lib/rounds.py); a file's time over the byte rate of the big one, median of the rounds.
#
#   bash bench/progress_file_cost.sh [BUILD_DIR] [--runs N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build" runs=7
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift ;;
    -*) echo "progress_file_cost: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
build=$(cd "$build" && pwd)
work="$build/bench/work/progress-file-cost"
child="$build/bench/bin/bench_child.exe"
export WINEPREFIX="$build/wineprefix" KOVRAN_WINESERVER_LINGER=3600
"$root/scripts/wine-run.sh"
rm -rf "$work" && mkdir -p "$work/big" "$work/many" "$work/aside"
cp "$child" "$work/big/app.exe" && cp "$child" "$work/many/app.exe"
head -c $((256 << 20)) /dev/urandom >"$work/big/blob.bin"
python3 - "$work/many" <<'PY'
import os, sys
for i in range(1, 20007):
    folder = os.path.join(sys.argv[1], f"d{i % 20}", f"e{i % 7}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, f"f{i}.txt"), "w") as f:
        f.write(f"file {i} " + "x" * (i % 97))
PY
for kind in big many; do
  "$build/bin/kovran-onefile" pack "$work/$kind" -o "$work/$kind.exe" --main app.exe \
    --target-dir "{PROGRAM_DIR}\\$kind-target" --level 1 --quiet --subsystem console
  printf '%s\t%s\t%s\n' "$kind" \
    "{ [ ! -e $work/$kind-target ] || mv $work/$kind-target \$(mktemp -d -p $work/aside)/; } && sync" \
    "$root/scripts/wine-run.sh $work/$kind.exe"
done >"$work/steps"
python3 "$root/bench/lib/rounds.py" "$work/steps" --rounds "$runs" --out "$work/times.json"
python3 - "$work/times.json" <<'PY'
import json, statistics, sys
t = json.load(open(sys.argv[1]))
rate = [(256 << 20) / b for b in t["big"]]
per_file = [m / 20007 for m in t["many"]]
weights = sorted(r * f for r, f in zip(rate, per_file))
print(f"cold, median of {len(weights)} rounds: 256 MiB in {statistics.median(t['big']) * 1000:.0f} ms "
      f"({statistics.median(rate) / 1e6:.0f} MB/s), 20,007 files in {statistics.median(t['many']) * 1000:.0f} ms "
      f"({statistics.median(per_file) * 1e6:.0f} us a file); a file weighs {statistics.median(weights) / 1024:.0f} KiB "
      f"(rounds {weights[0] / 1024:.0f}-{weights[-1] / 1024:.0f}); load {min(t['load']):.2f}-{max(t['load']):.2f}")
PY
rm -rf "$work/aside"
