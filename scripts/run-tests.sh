#!/usr/bin/env bash
# Runs both trees' tests: the host tests natively, the Windows tests under Wine.
set -uo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$build/wineprefix"

"$root/scripts/wine-run.sh"  # creates the prefix once, before tests run in parallel
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

status=0
if [ -f "$build/host/CTestTestfile.cmake" ]; then
  ctest --test-dir "$build/host" --output-on-failure -j "$(nproc)" || status=1
fi
ctest --test-dir "$build/windows" --output-on-failure -j "$(nproc)" || status=1
exit $status
