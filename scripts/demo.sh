#!/usr/bin/env bash
# The main job: pack the sample application into one executable and start it twice
# under Wine. The first start unpacks; the second finds every file unchanged.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$build/wineprefix"
demo="$build/demo"
exe="$demo/sample-app.exe"
target="$demo/.qorvix/runtime-1.17.4-legacy2008"

rm -rf "$demo"
mkdir -p "$demo"
echo "== packing $build/sample-app"
"$build/bin/kovran-onefile" pack "$build/sample-app" --output "$exe" --product-name "Sample App" \
  --target-dir '{PROGRAM_DIR}\.qorvix\runtime-1.17.4-legacy2008'

snapshot() { (cd "$target" 2>/dev/null && find . -type f -printf '%p %T@\n' | sort) || true; }

run() {
  local label=$1
  echo
  echo "== $label start: $(basename "$exe") \"hello world\" --flag"
  local start end status
  start=$(date +%s.%N)
  set +e
  "$root/scripts/wine-run.sh" "$exe" "hello world" --flag
  status=$?
  set -e
  end=$(date +%s.%N)
  printf '== %s start: exit status %d, %.2f s\n' "$label" "$status" "$(echo "$end - $start" | bc)"
}

run first
before=$(snapshot)
sleep 1
run second
after=$(snapshot)
files=$(echo "$after" | grep -c . || true)
if [ "$before" = "$after" ]; then
  echo "== second start kept all $files files in $target untouched"
else
  echo "== second start rewrote files:"
  diff <(echo "$before") <(echo "$after") || true
fi
