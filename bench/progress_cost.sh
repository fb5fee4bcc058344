#!/usr/bin/env bash
# What --unpack-progress costs a cold start: launchers of one corpus packed with and
# without it, started cold in rounds (bench/lib/rounds.py) in the order without, with,
# with, without, so that a machine that speeds up or slows down within a round weighs on
# both alike; the median of the rounds' ratios. Run it on a terminal (or under `script`) so that a console launcher's
# standard error is a console and its line is drawn when a start lasts past a second.
#
#   bash bench/progress_cost.sh [BUILD_DIR] [--corpus default|small|many | --folder DIR]
#                               [--runs N] [--level N]
#
# --folder  any application folder whose main program (the first .exe at its top) exits
#           with 0, e.g. one of many small files with build/bench/bin/bench_child.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build" variant=default runs=20 level=15 seed=20260 folder=""
while [ $# -gt 0 ]; do
  case $1 in
    --corpus) variant=$2; shift ;;
    --folder) folder=$(cd "$2" && pwd) variant=folder; shift ;;
    --runs) runs=$2; shift ;;
    --level) level=$2; shift ;;
    -*) echo "progress_cost: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
build=$(cd "$build" && pwd)
work="$build/bench/work/progress-$variant"
child="$build/bench/bin/bench_child.exe"
export WINEPREFIX="$build/wineprefix" KOVRAN_WINESERVER_LINGER=3600
"$root/scripts/wine-run.sh"
corpus=${folder:-$build/bench/work/corpus-$variant}
if [ ! -d "$corpus" ]; then
  case $variant in
    many) python3 "$root/bench/corpus/make_extra_corpora.py" --out "$corpus" --variant many \
      --seed "$seed" --main-exe "$child" >/dev/null ;;
    *) python3 "$root/bench/corpus/make_corpus.py" --out "$corpus" --variant "$variant" \
      --seed "$seed" --main-exe "$child" --main-name app.exe >/dev/null ;;
  esac
fi
main=$(cd "$corpus" && ls ./*.exe | head -n1)
rm -rf "$work" && mkdir -p "$work/aside"
for kind in without with with-b without-b; do
  option=()
  case $kind in with*) option=(--unpack-progress) ;; esac
  mkdir -p "$work/$kind"
  "$build/bin/kovran-onefile" pack "$corpus" -o "$work/$kind/app.exe" --main "${main#./}" \
    --target-dir '{PROGRAM_DIR}\target' --level "$level" --quiet --subsystem console \
    "${option[@]}"
  printf '%s\t%s\t%s\n' "$kind" \
    "{ [ ! -e $work/$kind/target ] || mv $work/$kind/target \$(mktemp -d -p $work/aside)/; } && sync" \
    "$root/scripts/wine-run.sh $work/$kind/app.exe"
done >"$work/steps"
python3 "$root/bench/lib/rounds.py" "$work/steps" --rounds "$runs" --out "$work/times.json"
python3 - "$work/times.json" <<'PY'
import json, statistics, sys
t = json.load(open(sys.argv[1]))
with_ = [a + b for a, b in zip(t["with"], t["with-b"])]
without = [a + b for a, b in zip(t["without"], t["without-b"])]
ratios = sorted(w / o for w, o in zip(with_, without))
print(f"cold start, median of {len(ratios)} rounds: without {statistics.median(without) * 500:.0f} ms, "
      f"with {statistics.median(with_) * 500:.0f} ms; with/without {statistics.median(ratios):.3f} "
      f"(rounds {ratios[0]:.3f}-{ratios[-1]:.3f}); load {min(t['load']):.2f}-{max(t['load']):.2f}")
PY
rm -rf "$work/aside"
