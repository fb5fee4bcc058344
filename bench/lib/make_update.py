#!/usr/bin/env python3
"""Makes the second build of an application for the update figure: a copy of a corpus with
some files changed (half at the same size, half grown), some added and some removed, or
with its largest shared library changed. The same files are picked on every call."""
import argparse
import os
import random
import shutil


def all_files(folder):
    found = []
    for parent, _, names in os.walk(folder):
        found += [os.path.relpath(os.path.join(parent, n), folder) for n in names]
    return sorted(found)


def change(path, grow):
    with open(path, "r+b") as f:
        data = bytearray(f.read())
        data[:16] = bytes(b ^ 0xFF for b in data[:16])
        if grow:
            data += b"\n# changed\n"
        f.seek(0)
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("out")
    parser.add_argument("--changed", type=int, default=200)
    parser.add_argument("--added", type=int, default=50)
    parser.add_argument("--removed", type=int, default=50)
    parser.add_argument("--one-library", action="store_true",
                        help="change only the largest shared library, at its size")
    args = parser.parse_args()
    shutil.rmtree(args.out, ignore_errors=True)
    shutil.copytree(args.corpus, args.out)
    files = [f for f in all_files(args.out) if f != "app.exe"]
    if args.one_library:
        libraries = [f for f in files if f.endswith((".dll", ".so")) or ".so." in f]
        largest = max(libraries, key=lambda f: os.path.getsize(os.path.join(args.out, f)))
        change(os.path.join(args.out, largest), False)
        print(f"changed {largest}")
        return
    picked = random.Random(37).sample(files, args.changed + args.removed)
    for i, name in enumerate(picked[: args.changed]):
        change(os.path.join(args.out, name), i % 2 == 1)
    for name in picked[args.changed:]:
        os.remove(os.path.join(args.out, name))
    for i in range(args.added):
        folder = os.path.dirname(files[i * 97 % len(files)])
        with open(os.path.join(args.out, folder, f"added-{i}.txt"), "w") as f:
            f.write(f"added in the second build, {i}\n" * 20)
    print(f"changed {args.changed}, added {args.added}, removed {args.removed}")


if __name__ == "__main__":
    main()
