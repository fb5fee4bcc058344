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

# Two builds of an application updated in place, under each reuse rule: the second with a
# file changed in size, one changed at the same size, files added and removed, in nested
# folders; the second once more with --prune-after never.
update_tree() {
  local dir=$1 version=$2
  mkdir -p "$dir/lib/sub"
  cp "$bin/probe_child.exe" "$dir/main.exe"
  echo "in both builds" >"$dir/lib/same.txt"
  for i in $(seq 1 60); do echo "file $i of many" >"$dir/lib/sub/f$i.txt"; done
  if [ "$version" = 1 ]; then
    echo "version one" >"$dir/data.txt"
    echo "AAAA" >"$dir/lib/sub/fixed.bin"
    echo "only in one" >"$dir/lib/old-only.txt"
    mkdir -p "$dir/gone/deep" && echo "x" >"$dir/gone/deep/x.txt"
  else
    echo "version two, longer" >"$dir/data.txt"
    echo "BBBB" >"$dir/lib/sub/fixed.bin"
    mkdir -p "$dir/added/deep" && echo "new" >"$dir/added/deep/new.txt"
  fi
}
for rule in stamp crc; do
  for version in 1 2; do
    update_tree "$out/app-u$version-$rule" $version
    "$tool" pack --quiet --level 3 --reuse $rule "$out/app-u$version-$rule" \
      --output "$out/u$version-$rule.exe"
  done
done
"$tool" pack --quiet --level 3 --reuse stamp "$out/app-u2-stamp" --output "$out/u2-never.exe" \
  --prune-after never
# An update where a file of the first build is a folder in the second.
for build in k1 k2; do
  mkdir -p "$out/app-$build"
  cp "$bin/probe_child.exe" "$out/app-$build/main.exe"
done
echo "a file" >"$out/app-k1/conf"
mkdir -p "$out/app-k2/conf" && echo "in a folder" >"$out/app-k2/conf/settings.ini"
for build in k1 k2; do
  "$tool" pack --quiet --level 3 "$out/app-$build" --output "$out/$build.exe"
done
