#!/usr/bin/env bash
# dll-planting: launchers and kovran-onefile.exe started in a folder that also holds a DLL
# that records its loading, under 47 names of DLLs that Windows or Wine load into such
# programs, the folder being their current directory as a double-click makes it. None of
# those DLLs may load, and every start ends as it should. The packed programs still load
# their own DLLs: at start, and by name at run time.
set -euo pipefail
host_tool=$1
windows_tool=$2
sample=$(cd "$3" && pwd)
bin=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
wine_run="$root/scripts/wine-run.sh"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

names=(shcore propsys uxtheme dwmapi version cryptbase profapi userenv comctl32 windows.storage
  kernelbase ucrtbase sechost advapi32 user32 gdi32 gdi32full win32u shell32 shlwapi
  imm32 rpcrt4 combase ole32 oleaut32 msctf msvcp_win bcrypt bcryptprimitives cfgmgr32
  powrprof umpdc kernel.appcore wldp ntmarta textinputframework coremessaging
  coreuicomponents wintypes sspicli clbcatq apphelp winmm dbghelp ws2_32 msimg32 zlib1)
[ ${#names[@]} -eq 47 ] || { echo "the list holds ${#names[@]} names"; exit 1; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# A folder with the DLLs planted in it.
planted() {
  mkdir -p "$1"
  for name in "${names[@]}"; do cp "$bin/planted_recorder.dll" "$1/$name.dll"; done
}
# Runs a Windows program with its folder as the current directory: sets out and status.
run_in() {
  local folder=$1
  shift
  set +e
  out=$(cd "$folder" && "$wine_run" "$@" 2>&1)
  status=$?
  set -e
}
# What: a start in folder loaded none of the planted DLLs and ended with status, its output
# holding text.
expect() {
  local what=$1 folder=$2 want_status=$3 text=$4
  if [ -s "$folder/planted-loads.txt" ]; then
    fail "$what loaded $(tr '\n' ' ' <"$folder/planted-loads.txt")"
    rm "$folder/planted-loads.txt"
  fi
  [ "$status" -eq "$want_status" ] || fail "$what: status $status, not $want_status: $out"
  grep -qF -- "$text" <<<"$out" || fail "$what: no '$text' in: $out"
}
pack() { "$host_tool" pack --quiet --level 3 --target-dir '{PROGRAM_DIR}\target' "$@"; }

# Console, cold and warm: the sample program, whose own DLL it imports.
planted "$work/console"
pack "$sample" -o "$work/console/app.exe"
run_in "$work/console" app.exe
expect "console start, cold" "$work/console" 0 "hello from greeting.dll"
run_in "$work/console" app.exe
expect "console start, warm" "$work/console" 0 "hello from greeting.dll"

# A program that loads a DLL of its folder by name at run time (the recorder again, which
# then records itself in the build folder).
mkdir -p "$work/plugin-app"
cp "$bin/plugin_child.exe" "$work/plugin-app/main.exe"
cp "$bin/planted_recorder.dll" "$work/plugin-app/plugin.dll"
planted "$work/plugin"
pack "$work/plugin-app" -o "$work/plugin/app.exe"
run_in "$work/plugin" app.exe
expect "plugin start" "$work/plugin" 0 'plugin loaded from Z:'"${work//\//\\}"'\plugin\target\plugin.dll'
grep -qx plugin.dll "$work/plugin/target/planted-loads.txt" 2>/dev/null ||
  fail "the plugin did not run in the build folder"

# GUI: a GUI program that marks its start beside its build folder.
mkdir -p "$work/gui-app"
cp "$bin/progress_child.exe" "$work/gui-app/main.exe"
planted "$work/gui"
pack "$work/gui-app" -o "$work/gui/app.exe"
run_in "$work/gui" app.exe
expect "GUI start" "$work/gui" 0 ""
[ -e "$work/gui/child-started" ] || fail "GUI start: the program did not start"

# A damaged payload: the message, status 2, nothing started.
planted "$work/damaged"
cp "$work/console/app.exe" "$work/damaged/app.exe"
read -r at size < <(python3 "$root/tests/harness/pe_section.py" "$work/damaged/app.exe" .payload)
python3 - "$work/damaged/app.exe" $((at + size / 2)) <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(int(sys.argv[2]))
    byte = f.read(1)
    f.seek(int(sys.argv[2]))
    f.write(bytes([byte[0] ^ 0xFF]))
PY
run_in "$work/damaged" app.exe
expect "damaged start" "$work/damaged" 2 "couldn't decode attached data"

# The Windows tool: --version, and a pack into its own folder.
planted "$work/tool"
cp "$windows_tool" "$work/tool/kovran-onefile.exe"
run_in "$work/tool" kovran-onefile.exe --version
expect "Windows tool --version" "$work/tool" 0 "kovran-onefile"
run_in "$work/tool" kovran-onefile.exe pack --quiet --level 1 "Z:${sample//\//\\}" -o packed.exe
expect "Windows tool pack" "$work/tool" 0 ""
[ -s "$work/tool/packed.exe" ] || fail "Windows tool pack: no output"

# The progress window, on a virtual display in a Wine desktop of its own (as
# first_start_window.sh has it): a GUI launcher whose first start of 8,000 files outlasts
# the second after which the window opens.
if command -v Xvfb >/dev/null; then
  python3 - "$work/gui-app" <<'PY'
import os, sys
for i in range(8000):
    folder = os.path.join(sys.argv[1], f"d{i % 16}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, f"f{i}.txt"), "w") as f:
        f.write(f"file {i} " + "x" * (i % 89))
PY
  planted "$work/window"
  pack "$work/gui-app" -o "$work/window/app.exe" --unpack-progress --product-name 'Planted check'
  Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  "$wine_run"
  started=$(date +%s)
  KOVRAN_WINE_DISPLAY=":$(cat "$work/display")" run_in "$work/window" \
    explorer "/desktop=kovran-planted-$$,800x600" app.exe
  # A Wine desktop hands on no exit status: the program's mark tells that it ran.
  status=0
  expect "progress window start ($(($(date +%s) - started)) s)" "$work/window" 0 ""
  [ -e "$work/window/child-started" ] || fail "progress window start: the program did not start"
else
  echo "no Xvfb: the progress window start is left out"
fi

[ "$failures" -eq 0 ] || exit 1
echo "no planted DLL loaded: console cold and warm, plugin, GUI, damaged, Windows tool --version and pack, progress window"
