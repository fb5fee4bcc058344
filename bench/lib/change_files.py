#!/usr/bin/env python3
"""Changes a fixed share of the files in an unpacked folder, for the partial start.

The same files are picked on every call (sorted names, seeded choice), and each gets
its first bytes inverted: same size, different CRC-32, so the launcher must rewrite it.
"""
import argparse
import os
import random
import sys


def all_files(folder):
    found = []
    for parent, _, names in os.walk(folder):
        found += [os.path.relpath(os.path.join(parent, n), folder) for n in names]
    return sorted(found)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--fraction", type=float, default=0.1)
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    files = all_files(args.folder)
    if not files:
        sys.exit(f"change_files: no files in {args.folder}")
    count = max(1, round(len(files) * args.fraction))
    for name in random.Random(args.seed).sample(files, count):
        path = os.path.join(args.folder, name)
        with open(path, "r+b") as f:
            head = f.read(64)
            f.seek(0)
            f.write(bytes(b ^ 0xFF for b in head))


if __name__ == "__main__":
    main()
