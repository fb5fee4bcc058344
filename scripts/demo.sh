#!/usr/bin/env bash
# The main job: run a launcher under Wine and show what it did.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$build/wineprefix"
exe="$build/bin/kovran-launcher-empty.exe"
echo "demo: starting $(basename "$exe") under Wine"
set +e
"$root/scripts/wine-run.sh" "$exe" first-argument "second argument"
status=$?
set -e
echo "demo: launcher exit status $status"
