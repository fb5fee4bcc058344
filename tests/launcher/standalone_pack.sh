#!/usr/bin/env bash
# The pack tool copied alone into an empty folder, with an empty environment and no
# PATH (so no compiler or linker can be found), packs the sample application, and the
# launcher runs it under Wine.
set -euo pipefail
tool=$1
sample=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/lone" "$work/out"
cp "$tool" "$work/lone/"
cp -r "$sample" "$work/app"
(cd "$work/lone" && env -i PATH= ./kovran-onefile pack --quiet ../app -o ../out/sample.exe)

output=$("$root/scripts/wine-run.sh" "$work/out/sample.exe" standalone)
grep -q "hello from greeting.dll" <<<"$output" || { echo "unexpected output: $output"; exit 1; }
grep -q "\[1\] standalone" <<<"$output" || { echo "argument not passed: $output"; exit 1; }
echo "packed by a lone copy of the tool and ran under Wine"
