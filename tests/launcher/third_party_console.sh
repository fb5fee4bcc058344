#!/usr/bin/env bash
# Opt-in (KOVRAN_NPM_TESTS=1): a real third-party console program, 7-Zip's 7za.exe from
# the npm package 7zip-bin, fetched with npm into the build folder at test time. Packed,
# it becomes a console launcher (subsystem 3) and answers as it does run directly, an
# empty argument included, under both reuse rules (the stamp rule's later starts decode
# nothing). Skipped (77) when not asked for or when npm cannot fetch it.
set -euo pipefail
tool=$1
work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
package=7zip-bin@5.2.0

[ "${KOVRAN_NPM_TESTS:-0}" = 1 ] || { echo "skipped: set KOVRAN_NPM_TESTS=1 to run"; exit 77; }
command -v npm >/dev/null || { echo "skipped: no npm"; exit 77; }
mkdir -p "$work"
cd "$work"
if [ ! -f app/7za.exe ]; then
  rm -rf fetched app
  mkdir fetched app
  if ! timeout 300 npm pack "$package" --pack-destination fetched >/dev/null 2>&1; then
    echo "skipped: npm could not fetch $package"
    exit 77
  fi
  tar -xzf fetched/*.tgz -C fetched package/win/x64/7za.exe
  cp fetched/package/win/x64/7za.exe app/7za.exe
fi

summary=$("$tool" pack app -o packed/7za.exe --level 3)
"$tool" pack app -o packed/7za-stamp.exe --level 3 --reuse stamp --quiet
grep -q "subsystem: console, as the main executable" <<<"$summary" || {
  echo "FAIL: summary: $summary"
  exit 1
}
/usr/bin/python3 - packed/7za.exe <<'PY'
import sys
import pefile
subsystem = pefile.PE(sys.argv[1], fast_load=True).OPTIONAL_HEADER.Subsystem
sys.exit(0 if subsystem == 3 else f"FAIL: subsystem {subsystem}")
PY

# The same answer, packed and direct: the listing of switches, an archive made of one
# file, and the refusal of an empty archive name.
echo '{"a": 1}' >x.json
status=0
run() {
  local exe=$1
  shift
  set +e
  "$root/scripts/wine-run.sh" "$exe" "$@" 2>&1 | tr -d '\r' | grep -v -e '^Scanning' -e '^$'
  echo "exit=${PIPESTATUS[0]}"
  set -e
}
for args in "i" "a,out-DIR.7z,x.json" "a,,x.json"; do
  IFS=, read -r -a argv <<<"$args"
  direct=$(run app/7za.exe "${argv[@]//DIR/direct}")
  for launcher in 7za 7za-stamp; do
    packed=$(run "packed/$launcher.exe" "${argv[@]//DIR/packed}")
    packed=${packed//out-packed/out-direct}
    rm -f out-packed.7z
    if [ "$direct" != "$packed" ]; then
      echo "FAIL: $launcher ${argv[*]} differs:"
      diff <(echo "$direct") <(echo "$packed") || true
      status=1
    fi
  done
done
rm -f out-direct.7z
[ "$status" -eq 0 ] && echo "7za packed: subsystem 3, same output and exit status as run directly, under both rules"
exit "$status"
