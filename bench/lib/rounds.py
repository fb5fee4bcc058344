#!/usr/bin/env python3
"""Times several commands in rounds, one run of each per round, and writes the times.

Figures taken in blocks (all cold starts, then all warm starts, then 7-Zip) drift apart
when the machine's speed changes between blocks, which it does on shared machines; in
rounds every figure sees the same conditions, so their ratios hold.

Each step is NAME<TAB>PREPARE<TAB>COMMAND (PREPARE may be empty; it is not timed). The
output is a JSON object: name -> list of seconds, and "load" -> 1-minute loads per round.
"""
import argparse
import json
import subprocess
import sys
import time


def run(command, name):
    result = subprocess.run(command, shell=True, stdout=subprocess.DEVNULL)
    if result.returncode != 0:
        sys.exit(f"rounds: {name}: '{command}' ended with {result.returncode}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("steps", help="file of steps, one per line")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--warmup", type=int, default=1, help="untimed rounds first")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    with open(args.steps) as f:
        steps = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    times = {name: [] for name, _, _ in steps}
    loads = []
    for round_number in range(args.warmup + args.rounds):
        for name, prepare, command in steps:
            if prepare:
                run(prepare, name)
            started = time.perf_counter()
            run(command, name)
            if round_number >= args.warmup:
                times[name].append(time.perf_counter() - started)
        if round_number >= args.warmup:
            with open("/proc/loadavg") as f:
                loads.append(float(f.read().split()[0]))
    times["load"] = loads
    with open(args.out, "w") as f:
        json.dump(times, f, indent=1)


if __name__ == "__main__":
    main()
