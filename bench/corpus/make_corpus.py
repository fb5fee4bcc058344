#!/usr/bin/env python3
"""Writes a deterministic benchmark corpus shaped like a packaged application.

The same seed and variant always give byte-identical files. The corpus holds a main
program at the top (copied from --main-exe), binaries that compress about 2:1 (code-like
instruction-like byte groups, already-compressed blocks, padding, repeats, and a runtime
block that many binaries share) and text that compresses about 5:1 (Zipf-distributed phrases of a made-up
vocabulary in source-, markup- and log-like lines), in folders up to four deep.
"""
import argparse
import itertools
import os
import random
import shutil
import subprocess
import sys

VARIANTS = {
    # files, total bytes
    "small": (50, 5 * 1000 * 1000),
    "default": (1000, 90 * 1000 * 1000),
    "large": (5000, 500 * 1000 * 1000),
}
BINARY_SHARE_OF_FILES = 0.35
BINARY_SHARE_OF_BYTES = 0.55
BINARY_EXTENSIONS = [".dll", ".pyd", ".bin", ".dat", ".pak", ".so", ".res"]
TEXT_EXTENSIONS = [".py", ".txt", ".json", ".xml", ".html", ".js", ".css", ".ini", ".md"]
TOP_FOLDERS = ["lib", "data", "resources", "plugins", "share", "locales", "assets", "docs"]
# Where a file lands: 0 = top level, n = n folders deep (at most 4).
DEPTH_WEIGHTS = [0.06, 0.2, 0.3, 0.26, 0.18]


def word_list(rng, count):
    """A made-up vocabulary of pronounceable words, most frequent first."""
    consonants, vowels = "bcdfghklmnprstvwz", "aeiou"
    words = set()
    while len(words) < count:
        syllables = rng.choice([1, 1, 2, 2, 2, 3, 3, 4])
        words.add("".join(rng.choice(consonants) + rng.choice(vowels) for _ in range(syllables)))
    return sorted(words, key=lambda w: (len(w), w))


class Shared:
    """State derived from the seed alone: vocabulary, folder names, the shared runtime."""

    def __init__(self, seed):
        rng = random.Random(f"{seed}:shared")
        self.vocabulary = word_list(rng, 4000)
        weights = [1.0 / (rank + 1) ** 1.07 for rank in range(len(self.vocabulary))]
        total = sum(weights)
        running, self.cumulative = 0.0, []
        for w in weights:
            running += w / total
            self.cumulative.append(running)
        self.folder_words = word_list(rng, 300)[40:]
        rng.shuffle(self.folder_words)
        # Text is built from phrases, as real text repeats word groups, not single words.
        self.phrases = [" ".join(rng.choices(self.vocabulary, cum_weights=self.cumulative,
                                             k=rng.randrange(2, 6))) for _ in range(20000)]
        self.phrase_cumulative = list(itertools.accumulate((r + 1) ** -0.87 for r in range(20000)))
        # Machine code is built from instruction-like byte groups of uneven frequency.
        self.tokens = [rng.randbytes(rng.randrange(2, 9)) for _ in range(4000)]
        self.token_cumulative = list(itertools.accumulate(1.0 / (r + 1) for r in range(4000)))
        # A statically linked runtime: the same 96 KiB near the start of many binaries.
        self.runtime = code_bytes(rng, self, 96 * 1024)


def code_bytes(rng, shared, n):
    out = bytearray()
    while len(out) < n:
        out += b"".join(rng.choices(shared.tokens, cum_weights=shared.token_cumulative, k=512))
    return bytes(out[:n])


def binary_content(rng, shared, size):
    out = bytearray()
    if size > 64 * 1024 and rng.random() < 0.7:
        start = rng.randrange(0, 16 * 1024)
        out += shared.runtime[start:start + min(len(shared.runtime) - start, size // 3)]
    while len(out) < size:
        n = min(size - len(out), int(rng.expovariate(1 / 3000)) + 64)
        kind = rng.random()
        if kind < 0.41:  # compressed resources: incompressible
            out += rng.randbytes(n)
        elif kind < 0.75:  # machine code and tables
            out += code_bytes(rng, shared, n)
        elif kind < 0.84 or len(out) < 4096:  # padding and zeroed data
            out += bytes(n)
        else:  # structures repeated from earlier in the file
            start = len(out) - rng.randrange(n, max(n, min(len(out), 1 << 20)) + 1)
            out += out[max(0, start):max(0, start) + n]
    return bytes(out[:size])


def text_content(rng, shared, size, extension):
    lines, length = [], 0
    while length < size:
        indent = " " * (4 * rng.randrange(0, 4))
        parts = rng.choices(shared.phrases, cum_weights=shared.phrase_cumulative,
                            k=rng.randrange(1, 4))
        word = rng.choices(shared.vocabulary, cum_weights=shared.cumulative)[0]
        body = " ".join(parts)
        if extension in (".json", ".ini"):
            line = f'{indent}"{word}": "{body}",'
        elif extension in (".xml", ".html"):
            line = f"{indent}<{word}>{body}</{word}>"
        elif extension in (".py", ".js", ".css"):
            line = f"{indent}{word}({body})"
        else:
            line = f"{indent}{body} {word}."
        lines.append(line)
        length += len(line) + 1
    return ("\n".join(lines) + "\n").encode()[:size]


def folder_path(rng, shared, depth):
    parts = [rng.choice(TOP_FOLDERS)] if depth > 0 else []
    # A small pool per level keeps folders shared between files, as in real installs.
    for level in range(1, depth):
        pool = shared.folder_words[level * 60:level * 60 + 6 + 6 * level]
        parts.append(rng.choice(pool))
    return parts


def plan(seed, files, total):
    """Names, kinds and sizes of every file after the main program."""
    rng = random.Random(f"{seed}:plan")
    shared_rng = random.Random(f"{seed}:names")
    shared = Shared(seed)
    entries, names = [], set()
    for index in range(files - 1):
        binary = rng.random() < BINARY_SHARE_OF_FILES
        mu = 11.0 if binary else 9.0  # log of a typical size: ~60 KB binary, ~8 KB text
        weight = rng.lognormvariate(mu, 1.6)
        depth = rng.choices(range(5), weights=DEPTH_WEIGHTS)[0]
        extension = rng.choice(BINARY_EXTENSIONS if binary else TEXT_EXTENSIONS)
        while True:
            stem = "_".join(shared_rng.choice(shared.vocabulary[:1500]) for _ in range(2))
            name = "/".join(folder_path(rng, shared, depth) + [f"{stem}{extension}"])
            if name not in names:
                break
        names.add(name)
        entries.append({"name": name, "binary": binary, "weight": weight, "index": index})
    for binary, share in ((True, BINARY_SHARE_OF_BYTES), (False, 1 - BINARY_SHARE_OF_BYTES)):
        group = [e for e in entries if e["binary"] == binary]
        target, cap = share * total, total // 12  # no single file dominates
        capped = []
        while True:  # scale the uncapped files until the group's total is met
            free = [e for e in group if e not in capped]
            scale = (target - cap * len(capped)) / sum(e["weight"] for e in free)
            over = [e for e in free if e["weight"] * scale > cap]
            if not over:
                break
            capped += over
        for e in group:
            e["size"] = cap if e in capped else max(1, int(e["weight"] * scale))
    return shared, entries


def write_corpus(out, seed, variant, main_exe, main_name):
    files, total = VARIANTS[variant]
    if os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(out)
    shutil.copyfile(main_exe, os.path.join(out, main_name))
    shared, entries = plan(seed, files, total - os.path.getsize(main_exe))
    stats = {"binary": [0, 0], "text": [0, 0]}
    for e in entries:
        rng = random.Random(f"{seed}:file:{e['index']}")
        ext = os.path.splitext(e["name"])[1]
        data = (binary_content(rng, shared, e["size"]) if e["binary"] else
                text_content(rng, shared, e["size"], ext))
        path = os.path.join(out, *e["name"].split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        kind = stats["binary" if e["binary"] else "text"]
        kind[0] += 1
        kind[1] += len(data)
    return entries, stats


def read_file(out, name):
    with open(os.path.join(out, *name.split("/")), "rb") as f:
        return f.read()


def zstd_ratio(out, entries, binary, threads):
    """Ratio of one kind of file at zstd -19 over its files in a row; of a large corpus
    every fourth file is enough, since each kind is made the same way throughout."""
    kind = [e for e in entries if e["binary"] == binary]
    sample = kind[::4] if len(kind) > 200 else kind
    data = b"".join(read_file(out, e["name"]) for e in sample)
    compressed = subprocess.run(["zstd", "-19", f"-T{threads}", "-q", "-c"], input=data,
                                stdout=subprocess.PIPE, check=True).stdout
    return len(data) / max(1, len(compressed))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="corpus folder (replaced)")
    parser.add_argument("--variant", choices=sorted(VARIANTS), default="default")
    parser.add_argument("--seed", type=int, default=20260)
    parser.add_argument("--main-exe", required=True, help="program copied in as the main file")
    parser.add_argument("--main-name", default="app.exe")
    parser.add_argument("--check-ratios", action="store_true",
                        help="measure each kind's zstd -19 ratio and print it")
    parser.add_argument("--threads", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()
    if not os.path.isfile(args.main_exe):
        sys.exit(f"make_corpus: no such main program: {args.main_exe}")

    entries, stats = write_corpus(args.out, args.seed, args.variant, args.main_exe, args.main_name)
    depth = max(e["name"].count("/") for e in entries)
    total = sum(s[1] for s in stats.values()) + os.path.getsize(args.main_exe)
    print(f"corpus {args.variant} seed {args.seed}: {len(entries) + 1} files, "
          f"{total / 1e6:.1f} MB, folders up to {depth} deep; "
          f"binaries {stats['binary'][0]} files {stats['binary'][1] / 1e6:.1f} MB, "
          f"text {stats['text'][0]} files {stats['text'][1] / 1e6:.1f} MB")
    if args.check_ratios:
        b = zstd_ratio(args.out, entries, True, args.threads)
        t = zstd_ratio(args.out, entries, False, args.threads)
        print(f"zstd -19 ratios: binaries {b:.2f}:1, text {t:.2f}:1")


if __name__ == "__main__":
    main()
