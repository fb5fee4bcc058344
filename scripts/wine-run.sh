#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in the project's own Wine prefix
# (build/wineprefix unless WINEPREFIX is set), creating the prefix on first use.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko installers, no display: the programs run here are console-less tools.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  flock -u 9
  exec 9>&-
fi
# Start the server detached from our standard streams: one started by wine itself
# would inherit them and keep a caller that reads them (ctest) waiting. It lingers a
# few seconds after the last program, so a run of many programs shares one server.
# Wine's own background programs start with the first program too and would hold the
# streams just the same, so a fresh server gets them started detached as well.
if wineserver -p"${KOVRAN_WINESERVER_LINGER:-10}" </dev/null >/dev/null 2>&1; then
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
[ $# -gt 0 ] || exit 0
# A test that brings a display of its own (a virtual one) hands it to its programs only.
[ -z "${KOVRAN_WINE_DISPLAY:-}" ] || export DISPLAY=$KOVRAN_WINE_DISPLAY
exec "$wine" "$@"
