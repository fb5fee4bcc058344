#!/usr/bin/env python3
"""The launcher's Unix process under Wine killed with SIGKILL, as an out-of-memory killer
or a CI time-out would: its child ends within 3 s, the grandchild that the child
started keeps running."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

wine_run, packed, work_root = sys.argv[1:4]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def command_lines():
    """Unix process ID -> its command line, as Wine shows a Windows process's."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                found[int(entry)] = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except OSError:
            pass
    return found


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


os.makedirs(work_root, exist_ok=True)
work = tempfile.mkdtemp(dir=work_root)
launcher = os.path.join(work, "killed.exe")
shutil.copy(packed, launcher)
env = dict(os.environ, PROBE_SLEEP_MS="60000", PROBE_GRANDCHILD_SLEEP_MS="60000")
started = subprocess.Popen([wine_run, launcher], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
grandchild = None
try:
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        line = started.stdout.readline().decode(errors="replace")
        if not line or line.startswith("grandchild="):
            break
    # The child's command line starts with the launcher's own path; the grandchild's
    # names the unpacked program and "grandchild".
    lines = command_lines()
    children = [p for p, c in lines.items() if c.startswith(windows_path(launcher)) and
                p != started.pid]
    grandchildren = [p for p, c in lines.items() if c.endswith("main.exe grandchild") and
                     windows_path(work) in c]
    if len(children) != 1 or len(grandchildren) != 1:
        print(f"FAIL: child {children}, grandchild {grandchildren} among {lines}")
        sys.exit(1)
    child, grandchild = children[0], grandchildren[0]
    os.kill(started.pid, signal.SIGKILL)
    killed = time.monotonic()
    while alive(child) and time.monotonic() - killed < 3:
        time.sleep(0.05)
    failures = []
    if alive(child):
        failures.append("the child outlived its killed launcher by 3 s")
    if not alive(grandchild):
        failures.append("the grandchild was ended with the child")
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print(f"child gone {time.monotonic() - killed:.2f} s after the launcher was killed")
    sys.exit(1 if failures else 0)
finally:
    if started.poll() is None:
        started.kill()
    started.wait()
    if grandchild is not None and alive(grandchild):
        os.kill(grandchild, signal.SIGKILL)
    shutil.rmtree(work, ignore_errors=True)
