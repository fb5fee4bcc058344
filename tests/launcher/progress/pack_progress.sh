#!/usr/bin/env bash
# Packs the launchers of the progress tests around an application of 20,000 small files,
# whose first start takes seconds: a GUI one with --unpack-progress and one without, and a
# console one with it. Each start of the tests gets a folder of its own (the launcher hard
# linked, its target beside it), so that every cold start finds nothing, without the tests
# deleting 20,000 files under Wine.
set -euo pipefail
tool=$1
bin=$2
out="$bin/progress"
rm -rf "$out"
mkdir -p "$out/gui-app" "$out/console-app"

python3 - "$out/gui-app" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(1, 20000):
    folder = os.path.join(root, f"d{i % 20}", f"e{i % 7}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, f"f{i}.txt"), "w") as f:
        f.write(f"file {i} " + "x" * (i % 97))
PY
cp -r "$out/gui-app/." "$out/console-app/"
# The same small files behind three large ones, which the archive holds first (top level).
mkdir -p "$out/mixed-app"
cp -r "$out/gui-app/." "$out/mixed-app/"
for big in 1 2 3; do head -c $((12 << 20)) /dev/urandom >"$out/mixed-app/big-$big.bin"; done
cp "$bin/progress_child.exe" "$out/gui-app/main.exe"
cp "$bin/probe_child.exe" "$out/console-app/main.exe"
cp "$bin/probe_child.exe" "$out/mixed-app/main.exe"

pack() { "$tool" pack --quiet --level 3 --target-dir '{PROGRAM_DIR}\target' "$@"; }
# A name too long for two lines of the window's heading.
pack "$out/gui-app" -o "$out/gui-progress.exe" --unpack-progress \
  --product-name 'Progress check, a product whose name runs on for long enough that two lines of the window cannot hold all of it'
pack "$out/gui-app" -o "$out/gui-plain.exe" --product-name 'Progress check'
pack "$out/console-app" -o "$out/console-progress.exe" --unpack-progress \
  --product-name 'Progress check'
pack "$out/mixed-app" -o "$out/console-mixed.exe" --unpack-progress --product-name 'Progress check'
# Traced starts of the console launcher, short and naming every file.
for run in trace-short trace-files; do
  mkdir -p "$out/$run" && ln "$out/console-progress.exe" "$out/$run/launcher.exe"
done
mkdir -p "$out/console-mixed" && ln "$out/console-mixed.exe" "$out/console-mixed/launcher.exe"
# A GUI launcher whose payload cannot be decoded, for the failure window.
printf 'QVJ' >"$out/damaged.block"
head -c 200 /dev/urandom >>"$out/damaged.block"
"$tool" pack --quiet --unchecked-block --payload-block "$out/damaged.block" \
  -o "$out/gui-damaged.exe" --target-dir '{PROGRAM_DIR}\target' --subsystem gui \
  --product-name 'Failure check'
# The archive's last entry, which the failure test holds open.
"$tool" list "$out/gui-progress.exe" | tail -n1 | awk '{print $3}' >"$out/last-entry.txt"

for run in shown cancelled failed; do
  mkdir -p "$out/$run" && ln "$out/gui-progress.exe" "$out/$run/launcher.exe"
done
mkdir -p "$out/plain" && ln "$out/gui-plain.exe" "$out/plain/launcher.exe"
mkdir -p "$out/damaged" && ln "$out/gui-damaged.exe" "$out/damaged/launcher.exe"
for run in console-shown console-redirected console-failed console-interrupted; do
  mkdir -p "$out/$run" && ln "$out/console-progress.exe" "$out/$run/launcher.exe"
done
