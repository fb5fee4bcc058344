#!/usr/bin/env bash
# Packs the builds that the build-folder tests start: four builds A to D of one application
# (the probe child as main.exe and a data file that differs), D once more with
# --prune-after never, and another product whose main program has the same name.
set -euo pipefail
tool=$1
bin=$2
out="$bin/builds"
rm -rf "$out"
mkdir -p "$out"
for build in a b c d other; do
  mkdir -p "$out/app-$build"
  cp "$bin/probe_child.exe" "$out/app-$build/main.exe"
  echo "build $build" >"$out/app-$build/data.txt"
  "$tool" pack --quiet --level 3 "$out/app-$build" --output "$out/$build.exe"
done
"$tool" pack --quiet --level 3 "$out/app-d" --output "$out/d-never.exe" --prune-after never
