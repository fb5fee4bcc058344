#!/usr/bin/env python3
"""A packed console program run from an interactive cmd on a terminal, as a user would:
cmd waits for it, its output comes before the next prompt, %ERRORLEVEL% is the child's
exit code, a typed line reaches the child, and the launcher's own message appears there
too. (A ^C typed at Wine's terminal console reaches no program, packed or not;
console_event_test.cpp sends Ctrl-C from a program on the console instead.)"""
import os
import pty
import re
import select
import signal
import sys
import time

wine_run, launcher = sys.argv[1:3]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Cmd:
    """wine cmd on a pseudo-terminal, with the prompt set to a marker."""

    PROMPT = "\nREADY>"

    def __init__(self):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.execv(wine_run, [wine_run, "cmd"])
        self.text = ""
        self.wait_for(">", 60)
        time.sleep(0.5)
        self.run("prompt READY$G")

    def read(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return False
        try:
            chunk = os.read(self.fd, 65536).decode("utf-8", "replace")
        except OSError:
            return False
        # The console writes a space as "erase, cursor right"; other sequences only
        # move the cursor.
        chunk = re.sub(r"\x1b\[(\d*)C", lambda m: " " * int(m.group(1) or 1), chunk)
        self.text += re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07", "", chunk)
        return True

    def wait_for(self, marker, timeout, start=0):
        """Waits until marker appears after start; returns its position, or -1."""
        end = time.monotonic() + timeout
        while marker not in self.text[start:]:
            left = end - time.monotonic()
            if left <= 0 or not self.read(left):
                if marker not in self.text[start:]:
                    return -1
        return self.text.index(marker, start)

    def type(self, line):
        os.write(self.fd, line.encode() + b"\r")

    def run(self, line, timeout=30):
        """Types line and returns what came before the next prompt, and the seconds taken."""
        start = len(self.text)
        began = time.monotonic()
        self.type(line)
        # The echo of the typed line comes first; the prompt after the output.
        at = self.wait_for(self.PROMPT, timeout, start)
        taken = time.monotonic() - began
        if at < 0:
            return None, taken
        return self.text[start:at], taken

    def status(self):
        out, _ = self.run("echo status=%ERRORLEVEL%")
        found = re.search(r"status=(-?\d+)", out or "")
        return found.group(1) if found else None

    def close(self):
        try:
            os.write(self.fd, b"exit\r")
            time.sleep(0.5)
        except OSError:
            pass
        try:
            os.kill(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        os.waitpid(self.pid, 0)


def set_vars(cmd, **values):
    for name, value in values.items():
        cmd.run(f"set {name}={value}")


cmd = Cmd()
try:
    packed = windows_path(launcher)

    # cmd waits, the output comes before the prompt, the exit code is the child's.
    set_vars(cmd, PROBE_EXIT_CODE="7", PROBE_SLEEP_MS="1500")
    out, taken = cmd.run(packed)
    check(out is not None and "slept=1500" in out, f"output before the prompt: {out!r}")
    check(taken >= 1.4, f"cmd did not wait: prompt after {taken:.1f} s")
    check(cmd.status() == "7", "%ERRORLEVEL% is not the child's 7")
    set_vars(cmd, PROBE_EXIT_CODE="", PROBE_SLEEP_MS="")

    # A line typed at the terminal reaches the child's standard input.
    set_vars(cmd, PROBE_READ_LINE="1")
    start = len(cmd.text)
    cmd.type(packed)
    check(cmd.wait_for("pid=", 30, start) >= 0, "the child did not start")
    time.sleep(0.3)
    cmd.type("typed-line-42")
    at = cmd.wait_for(cmd.PROMPT, 20, start)
    check(at >= 0 and "line=typed-line-42" in cmd.text[start:at],
          f"typed line not read: {cmd.text[start:]!r}")
    set_vars(cmd, PROBE_READ_LINE="")

    # The launcher's own message, when its main program cannot run, in the same window.
    broken = windows_path(os.path.join(os.path.dirname(launcher), "not-a-program.exe"))
    out, _ = cmd.run(broken)
    check(out is not None and "Error, couldn't launch child ([Error 193]" in out,
          f"launcher's message not shown: {out!r}")
    check(cmd.status() == "2", "%ERRORLEVEL% after the launcher's failure is not 2")
finally:
    cmd.close()

if failures:
    print("--- terminal text ---")
    print(cmd.text[-4000:])
sys.exit(1 if failures else 0)
