#!/usr/bin/env bash
# The GUI half of first-start-progress: a virtual display (Xvfb), a Wine desktop of its own
# on it (the project's Wine server may have started without a display, and its default
# desktop then shows no window), the test program in that desktop, and screenshots with
# ImageMagick's import and keys pressed with xdotool whenever the program asks. A Wine
# desktop does not hand on exit statuses, so the program's output decides.
set -uo pipefail
wine_run=$1
driver=$2
bin=$3
artifacts=$4
command -v Xvfb >/dev/null && command -v import >/dev/null && command -v xdotool >/dev/null ||
  { echo "Xvfb, ImageMagick's import or xdotool is missing: run scripts/setup.sh"; exit 77; }
mkdir -p "$artifacts"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(cat "$work/display")"
[ "$display" != ":" ] || { echo "Xvfb did not start"; exit 1; }

"$wine_run"  # the prefix and a server
KOVRAN_WINE_DISPLAY=$display "$wine_run" explorer "/desktop=kovran-progress-$$,1024x768" \
  "$driver" --gtest_brief=1 >"$work/log" 2>&1 &
driver_pid=$!
while kill -0 "$driver_pid" 2>/dev/null; do
  for request in "$bin"/progress/*.request; do
    [ -e "$request" ] || continue
    import -display "$display" -window root "$artifacts/$(basename "$request" .request).png"
    mv "$request" "${request%.request}.done"
  done
  # Keys pressed on the display's keyboard, for the window that has the focus.
  for request in "$bin"/progress/*.keys; do
    [ -e "$request" ] || continue
    DISPLAY=$display xdotool key --delay 50 "$(cat "$request")"
    mv "$request" "${request%.keys}.sent"
  done
  sleep 0.05
done
cat "$work/log"

status=0
grep -q '^\[  PASSED  \]' "$work/log" && ! grep -q '^\[  FAILED  \]' "$work/log" || status=1
# The whole content of every file, natively: the repaired tree and the one shown.
for run in shown cancelled; do
  diff -r -q "$bin/progress/gui-app" "$bin/progress/$run/target" >/dev/null ||
    { echo "FAIL: $run/target differs from the packed folder"; status=1; }
done
[ $status -eq 0 ] && echo "screenshots: $artifacts"
exit $status
