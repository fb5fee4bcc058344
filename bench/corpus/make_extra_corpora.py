#!/usr/bin/env python3
"""Writes the two corpora beside the generated one.

real: files this machine already has, a language runtime's standard library and shared
      libraries, taken in sorted order of their paths up to a size cap; the same on the
      same machine, and listed in the summary so that another machine's run can be told
      apart.
many: about 20,000 script-like files of a few KB in package folders (like a
      node_modules tree), from a seed.

Both put the main program (--main-exe) first as --main-name.
"""
import argparse
import hashlib
import os
import random
import shutil

REAL_SOURCES = ["/usr/lib/python3.11", "/usr/lib/x86_64-linux-gnu"]
REAL_CAP = 90 * 1000 * 1000
MANY_FILES = 20000
MANY_PACKAGES = 800
WINDOWS_FORBIDDEN = set('<>:"|?*\\')


def real_files():
    """(source path, relative name) in sorted order, regular files only, names that a
    Windows folder can hold once letter case is folded."""
    taken = set()
    for source in REAL_SOURCES:
        base = os.path.basename(source)
        found = []
        for folder, dirs, files in os.walk(source):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                found.append(path)
        for path in sorted(found):
            relative = os.path.join(base, os.path.relpath(path, source))
            if any(c in WINDOWS_FORBIDDEN or ord(c) < 32 for c in relative):
                continue
            key = relative.lower()
            if key in taken:
                continue
            taken.add(key)
            yield path, relative


def write_real(out):
    total, count = 0, 0
    for path, relative in real_files():
        size = os.path.getsize(path)
        if size == 0 or total + size > REAL_CAP:
            continue
        target = os.path.join(out, relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(path, target)
        total += size
        count += 1
    return count, total


def script_text(rng, words, size):
    lines, length = [], 0
    while length < size:
        indent = "  " * rng.randrange(0, 4)
        kind = rng.randrange(4)
        a, b, c = rng.choice(words), rng.choice(words), rng.choice(words)
        if kind == 0:
            line = f"{indent}const {a}{b.capitalize()} = require('./{c}');"
        elif kind == 1:
            line = f"{indent}function {a}({b}, {c}) {{ return {b}.{a}({c} + {rng.randrange(1000)}); }}"
        elif kind == 2:
            line = f"{indent}// {a} {b} {c} {rng.choice(words)} {rng.choice(words)}"
        else:
            line = f"{indent}module.exports.{a} = {{ {b}: {rng.randrange(100000)}, {c}: '{rng.choice(words)}' }};"
        lines.append(line)
        length += len(line) + 1
    return ("\n".join(lines) + "\n")[:size]


def write_many(out, seed):
    rng = random.Random(f"{seed}:many")
    consonants, vowels = "bcdfghklmnprstvwz", "aeiou"
    words = sorted({"".join(rng.choice(consonants) + rng.choice(vowels)
                            for _ in range(rng.randrange(1, 4))) for _ in range(3000)})
    packages = sorted({"-".join(rng.choice(words) for _ in range(rng.randrange(1, 3)))
                       for _ in range(MANY_PACKAGES * 2)})[:MANY_PACKAGES]
    total = 0
    for i in range(MANY_FILES - 1):
        package = packages[i % len(packages)]
        sub = ["lib", "src", "dist", ""][rng.randrange(4)]
        name = f"{rng.choice(words)}-{i}.{rng.choice(['js', 'js', 'json', 'md', 'ts'])}"
        folder = os.path.join(out, "node_modules", package, sub)
        os.makedirs(folder, exist_ok=True)
        text = script_text(rng, words, int(rng.lognormvariate(8.2, 0.6)) + 200)
        with open(os.path.join(folder, name), "w", newline="\n") as f:
            f.write(text)
        total += len(text)
    return MANY_FILES - 1, total


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--variant", choices=["real", "many"], required=True)
    parser.add_argument("--seed", type=int, default=20260)
    parser.add_argument("--main-exe", required=True)
    parser.add_argument("--main-name", default="app.exe")
    args = parser.parse_args()
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    shutil.copyfile(args.main_exe, os.path.join(args.out, args.main_name))
    if args.variant == "real":
        count, total = write_real(args.out)
        listing = hashlib.sha256()
        for root, dirs, files in sorted(os.walk(args.out)):
            for name in sorted(files):
                listing.update(os.path.relpath(os.path.join(root, name), args.out).encode())
        print(f"corpus real: {count + 1} files, {total / 1e6:.1f} MB from "
              f"{', '.join(REAL_SOURCES)} (sorted, capped at {REAL_CAP / 1e6:.0f} MB); "
              f"list sha256 {listing.hexdigest()[:16]}")
    else:
        count, total = write_many(args.out, args.seed)
        print(f"corpus many seed {args.seed}: {count + 1} files, {total / 1e6:.1f} MB, "
              f"{MANY_PACKAGES} package folders")


if __name__ == "__main__":
    main()
