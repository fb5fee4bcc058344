#!/usr/bin/env python3
"""Turns the files of one benchmark run into RESULTS.md and prints it.

  report.py RESULTS_DIR OUTPUT.md

Reads hyperfine's JSON exports, the frame headers, the memory peaks, the corpus
summaries, the host profile and facts.txt (machine, versions, command), all written by
bench/run.sh, and judges the goals.
"""
import json
import os
import re
import statistics
import sys

from startup_summary import STAMP_COLD_BAR, STAMP_FLOOR_BAR, round_ratio

MIB = 1 << 20
MEMORY_ALLOWANCE = 8 * MIB  # over the frame's window


class Run:
    def __init__(self, folder):
        self.folder = folder
        self.facts = {}
        for line in self.lines("facts.txt"):
            key, _, value = line.partition("=")
            self.facts[key] = value

    def path(self, name):
        return os.path.join(self.folder, name)

    def has(self, name):
        return os.path.exists(self.path(name))

    def lines(self, name):
        if not self.has(name):
            return []
        with open(self.path(name)) as f:
            return [line.rstrip("\n") for line in f]

    def timing(self, name):
        """hyperfine's result for one figure, or None when it was not measured."""
        if not self.has(name + ".json"):
            return None
        with open(self.path(name + ".json")) as f:
            return json.load(f)["results"][0]

    def median(self, name):
        t = self.timing(name)
        return t["median"] if t else None

    def frame(self, name):
        if not self.has(f"frame-{name}.json"):
            return None
        with open(self.path(f"frame-{name}.json")) as f:
            return json.load(f)

    def memory(self, name):
        lines = self.lines(f"memory-{name}.txt")
        return int(lines[0]) if lines and lines[0].strip() else None

    def size(self, name):
        value = self.facts.get(f"size.{name}")
        return int(value) if value else None


def seconds(value):
    if value is None:
        return "not measured"
    return f"{value * 1000:.0f} ms" if value < 10 else f"{value:.1f} s"


def mib(value):
    return "n/a" if value is None else f"{value / MIB:.1f} MiB"


def megabytes(value):
    return "n/a" if value is None else f"{value / 1e6:.2f} MB"


def table(header, rows):
    cell = lambda c: re.sub(r"(?<!\\)\|", r"\\|", str(c))
    out = ["| " + " | ".join(cell(c) for c in header) + " |", "|" + "---|" * len(header)]
    out += ["| " + " | ".join(cell(c) for c in row) + " |" for row in rows]
    return out


def timing_row(run, name, label):
    t = run.timing(name)
    if not t:
        return [label, "not measured", "", "", ""]
    return [label, seconds(t["median"]), f"{seconds(t['mean'])} ± {seconds(t['stddev'] or 0)}",
            f"{seconds(t['min'])} … {seconds(t['max'])}", len(t["times"])]


def section_header(run):
    f = run.facts
    minutes = int(f.get("run.seconds", "0")) / 60
    out = ["# Benchmark results", "",
           f"Produced by `{f.get('run.command', 'bash bench/run.sh')}` on "
           f"{f.get('run.date', '?')}, in {minutes:.0f} minutes (`make bench` runs "
           f"`bash bench/run.sh BUILD` without options). Every figure is the median of "
           f"the runs shown; start-up figures come from {f.get('run.runs')} runs, slow packing "
           f"figures from {f.get('run.pack_runs')}.", ""]
    rows = [["CPUs (nproc)", f.get("machine.cpus")], ["CPU", f.get("machine.cpu")],
            ["Memory", f.get("machine.memory")], ["Linux kernel", f.get("machine.kernel")],
            ["Wine", f.get("version.wine")], ["zstd", f.get("version.zstd")],
            ["7-Zip", f"{f.get('version.7zip')} ({f.get('version.7zip_package')}, win/x64/7z.exe)"],
            ["tar", f.get("version.tar")], ["hyperfine", f.get("version.hyperfine")],
            ["valgrind", f.get("version.valgrind")], ["kovran-onefile", f.get("version.kovran")]]
    return out + ["## Machine and versions", ""] + table(["", ""], rows) + [""]


def section_corpus(run):
    out = ["## Corpus", "",
           "Made by `bench/corpus/make_corpus.py` (deterministic, seed below): a main program "
           "first (`app.exe`, a console program that returns 0 at once), binaries and text in "
           "folders up to four deep. The ratios are zstd -19 over each kind's files.", ""]
    for variant in ("default", "small", "large"):
        for line in run.lines(f"corpus-{variant}.txt"):
            out.append(f"- {line}")
    return out + [""]


def section_startup(run):
    rows = [timing_row(run, "start-wine-baseline", "Wine baseline: the trivial child started directly"),
            timing_row(run, "start-shell32", "A console program that loads shell32 (as the launcher does)"),
            timing_row(run, "start-spawn", "A program that starts the trivial child and waits"),
            timing_row(run, "start-minimal", "kovran, archive of the child alone (fixed cost)"),
            timing_row(run, "start-cold", "kovran, cold start (target folder absent)"),
            timing_row(run, "start-warm", "kovran, warm start (every file unchanged)"),
            timing_row(run, "start-partial", "kovran, partial start (10 % of the files changed)"),
            timing_row(run, "start-warm-L3", "kovran, warm start, launcher packed at level 3"),
            timing_row(run, "start-warm-L22", "kovran, warm start, launcher packed at level 22"),
            timing_row(run, "extract-7z", "7z.exe x, .7z made at -mx=9 (Wine)"),
            timing_row(run, "extract-zip", "7z.exe x, .zip (Wine)"),
            timing_row(run, "extract-tar-zstd", "tar --zstd -xf (native, the floor)")]
    level = run.facts.get("run.level_default", "19")
    out = [f"## Start-up and extraction ({run.facts.get('run.corpus', 'default')} corpus)", "",
           f"The launcher is packed at level {level} (the pack tool's default). Every Windows "
           "figure is started through `scripts/wine-run.sh` with one Wine server kept running "
           "for the whole benchmark, so it includes Wine's process start: see the baseline row.",
           ""]
    return out + table(["Figure", "Median", "Mean ± σ", "Range", "Runs"], rows) + [""]


def section_packing(run):
    tar = run.size("tar_zstd")
    rows = []
    for level in (3, 19, 22):
        frame = run.frame(f"L{level}")
        payload = frame["block_bytes"] if frame else None
        rows.append([f"kovran-onefile pack --level {level}", seconds(run.median(f"pack-L{level}")),
                     megabytes(payload), megabytes(frame["executable_bytes"]) if frame else "n/a",
                     f"{payload / tar:.3f}" if payload and tar else "n/a"])
    rows.append(["tar | zstd -19 --long=27", seconds(run.median("pack-tar-zstd")), megabytes(tar),
                 "", "1.000"])
    z7 = run.size("7z")
    rows.append(["7z.exe a -mx=9 (Wine)", seconds(run.median("pack-7z")), megabytes(z7), "",
                 f"{z7 / tar:.3f}" if z7 and tar else "n/a"])
    rows.append(["7z.exe a -tzip (default level; made once, not timed)", "", megabytes(run.size("zip")),
                 "", f"{run.size('zip') / tar:.3f}" if run.size("zip") and tar else "n/a"])
    threads = run.facts.get("run.threads", "?")
    out = [f"## Packing ({run.facts.get('run.corpus', 'default')} corpus)", "",
           f"Corpus: {megabytes(run.size('corpus'))}. Threads: kovran-onefile `--threads {threads}`, "
           f"zstd `-T{threads}` (with `--long=27` zstd's jobs are four windows long, so it runs "
           "on one thread here), 7-Zip its default. Payload = the attached block (magic, "
           "frame, fill, trailer); the launcher's size adds the stub and resources.", ""]
    return out + table(["Packer", "Median time", "Payload / archive", "Launcher .exe",
                        "Size vs tar|zstd"], rows) + [""]


def image_copy(frame):
    """What Wine copies of the launcher image into private memory: the whole image when
    the payload's section starts at a file offset that is not page-aligned (Wine maps
    such a section only when it is), else nothing worth counting."""
    offset = frame.get("payload_section_file_offset")
    return frame["image_bytes"] if offset is None or offset % 4096 else 0


def adjusted_peak(run, name, frame):
    """The measured peak less the copy of the launcher image that Wine keeps in private
    memory; Windows maps image pages from the file instead."""
    peak = run.memory(name)
    if peak is None or frame is None:
        return peak, None
    return peak, max(0, peak - image_copy(frame))


def section_memory(run):
    level = run.facts.get("run.level_default", "19")
    rows = []
    cases = [("wine-baseline", None, "Wine baseline (the trivial child)"),
             (f"cold-L{level}", f"L{level}", f"kovran cold start, level {level}"),
             (f"warm-L{level}", f"L{level}", f"kovran warm start, level {level}"),
             ("warm-L3", "L3", "kovran warm start, level 3"),
             ("warm-L22", "L22", "kovran warm start, level 22"),
             ("small-cold", "small", "small corpus, cold start"),
             ("small-warm", "small", "small corpus, warm start"),
             ("large-cold", "large", "large corpus, cold start"),
             ("7z-extract", None, "7z.exe x .7z (for comparison)")]
    for name, frame_name, label in cases:
        if run.memory(name) is None:
            continue
        frame = run.frame(frame_name) if frame_name else None
        peak, adjusted = adjusted_peak(run, name, frame)
        window = frame["window_bytes"] if frame else None
        rows.append([label, mib(peak), mib(image_copy(frame)) if frame else "",
                     mib(adjusted) if adjusted is not None else "", mib(window) if window else ""])
    out = ["## Peak private memory", "",
           "Read by `bench/windows/bench_run.exe`, which starts the program with CreateProcessW "
           "and samples GetProcessMemoryInfo (PeakPagefileUsage, PrivateUsage) every millisecond "
           "until it ends; median of 5 runs. Under Wine the value is the process's anonymous "
           "resident memory. Wine copies an image section into such memory when the section "
           "does not start at a page-aligned file offset, where Windows would map it from the "
           "file and not count it as private; for such launchers the adjusted column takes "
           "the image size (SizeOfImage) off.", ""]
    return out + table(["Case", "Measured peak (Wine)", "Image copy", "Adjusted (as Windows counts)",
                        "Frame window"], rows) + [""]


def judge(ratio, bar):
    return "pass" if ratio <= bar else "miss"


CORPORA = ("default", "real", "many")


def corpora(run):
    """(variant, figures) for each corpus timed in rounds by bench/startup.sh; times in s."""
    out = []
    for variant in CORPORA:
        if not run.has(f"corpora-{variant}.json"):
            continue
        with open(run.path(f"corpora-{variant}.json")) as f:
            times = json.load(f)
        peak_lines = run.lines(f"corpora-{variant}.peaks")
        peaks = [int(p) for p in peak_lines[0].split()[-2:]]
        figures = {name: statistics.median(times[name]) for name in ("fixed", "cold", "warm", "7z")}
        # The stamp rule's figures and the child started directly, when the run had them.
        for name in ("fixed-stamp", "cold-stamp", "warm-stamp", "direct"):
            if name in times:
                figures[name] = statistics.median(times[name])
        stamp_peaks = [line.split()[1:] for line in peak_lines if line.startswith("-stamp ")]
        if stamp_peaks:
            figures["stamp_peaks"] = [int(p) for p in stamp_peaks[0]]
        figures.update(times=times, peak=max(peaks), peaks=peaks,
                       files=int(run.lines(f"corpora-{variant}.files")[0]),
                       window=run.frame(f"corpora-{variant}")["window_bytes"])
        out.append((variant, figures))
    return out


def section_corpora(run):
    found = corpora(run)
    if not found:
        return []
    out = ["## Start-up on three corpora", "",
           f"`bench/startup.sh` for each corpus, {run.facts.get('run.corpus_runs', '?')} rounds: "
           "every round runs the fixed-cost launcher, a cold start, a warm start and 7-Zip's "
           "extraction once, so that their ratios see the same machine. Cold starts and 7-Zip "
           "write into folders never used before (on this machine's disk, files created just "
           "after a large tree was deleted cost several times more, natively too). Medians; per "
           "file = (median − fixed cost) / files. Corpora: default as above; real and many from "
           "`bench/corpus/make_extra_corpora.py`:", ""]
    for variant in ("real", "many"):
        for line in run.lines(f"corpus-{variant}.txt"):
            out.append(f"- {line}")
    rows = []
    for variant, f in found:
        per_file = lambda name: f"{(f[name] - f['fixed']) / f['files'] * 1e6:.0f} µs"
        rows.append([variant, f"{f['files']:,}", f"{f['fixed'] * 1000:.0f}", f"{f['cold'] * 1000:.0f}",
                     f"{f['warm'] * 1000:.0f}", f"{f['7z'] * 1000:.0f}", per_file("cold"),
                     per_file("warm"), f"{f['warm'] / f['cold']:.2f}", f"{f['cold'] / f['7z']:.2f}",
                     f"{mib(f['peaks'][0])} / {mib(f['peaks'][1])} (window {mib(f['window'])})",
                     f"{min(f['times']['load']):.2f}–{max(f['times']['load']):.2f}"])
    out += [""] + table(["Corpus", "Files", "Fixed (ms)", "Cold (ms)", "Warm (ms)",
                         "7z x (ms)", "Cold per file", "Warm per file",
                         "Warm / cold (bar 0.45)", "Cold / 7z (bar 0.30)",
                         "Peak private cold / warm", "Load"], rows) + [""]
    return out + section_stamp_rule(found)


def section_stamp_rule(found):
    stamped = [(variant, f) for variant, f in found if "warm-stamp" in f]
    if not stamped:
        return []
    out = ["Both reuse rules in the same rounds (`--reuse crc`, the default, and `--reuse stamp`); "
           "floor = a launcher of that rule whose archive holds only the child, the fixed cost "
           "of any start; direct = the child started from its unpacked folder. Ratios are "
           "medians of each round's ratio.", ""]
    rows = []
    for variant, f in stamped:
        ms = lambda name: f"{f[name] * 1000:.0f}"
        times = f["times"]
        peaks = f.get("stamp_peaks", [0, 0])
        rows.append([variant, ms("direct"), ms("fixed"), ms("cold"), ms("warm"), ms("fixed-stamp"),
                     ms("cold-stamp"), ms("warm-stamp"),
                     f"{round_ratio(times, 'warm-stamp', 'fixed'):.2f}",
                     f"{round_ratio(times, 'warm-stamp', 'cold-stamp'):.3f}",
                     f"{mib(peaks[0])} / {mib(peaks[1])}"])
    return out + table(["Corpus", "Direct (ms)", "crc floor", "crc cold", "crc warm",
                        "stamp floor", "stamp cold", "stamp warm", "Stamp warm / floor",
                        "Stamp warm / cold", "Stamp peak private cold / warm"], rows) + [""]


def goals(run):
    """Each goal: (name, measured text, bar text, ratio, bar, note)."""
    level = run.facts.get("run.level_default", "19")
    cold, warm = run.median("start-cold"), run.median("start-warm")
    z7, tar = run.median("extract-7z"), run.median("extract-tar-zstd")
    out = []
    if cold and z7:
        out.append(("Cold start ≤ 0.4 × 7z.exe extracting the .7z", f"{seconds(cold)} vs {seconds(z7)}",
                    "0.4", cold / z7, 0.4, "cold-7z"))
    if cold and tar:
        out.append(("Cold start ≤ 3 × native tar --zstd -xf", f"{seconds(cold)} vs {seconds(tar)}",
                    "3", cold / tar, 3.0, "cold-tar"))
    if cold and warm:
        out.append(("Warm start ≤ 0.6 × cold start", f"{seconds(warm)} vs {seconds(cold)}", "0.6",
                    warm / cold, 0.6, "warm-cold"))
    frame, tar_size = run.frame(f"L{level}"), run.size("tar_zstd")
    if frame and tar_size:
        out.append((f"Payload (level {level}) within 3 % of tar | zstd -19 --long=27",
                    f"{megabytes(frame['block_bytes'])} vs {megabytes(tar_size)}", "1.03",
                    frame["block_bytes"] / tar_size, 1.03, "size"))
    peak, adjusted = adjusted_peak(run, f"cold-L{level}", frame)
    if adjusted is not None:
        # The start-up issue's bar (window + 8 MiB) replaced the first one (+ 4 MiB) when the
        # decoder and worker threads came.
        bar = frame["window_bytes"] + MEMORY_ALLOWANCE
        out.append(("Peak private memory ≤ frame window + 8 MiB" +
                    (" (adjusted)" if peak != adjusted else ""),
                    f"{mib(adjusted)} vs window {mib(frame['window_bytes'])}", mib(bar),
                    adjusted / bar, 1.0, "memory"))
        if peak != adjusted:
            out.append(("… the same, as measured under Wine (image copy included)",
                        f"{mib(peak)}", mib(bar), peak / bar, 1.0, "memory-raw"))
    for variant, figures in corpora(run):
        cold_c, warm_c, seven = figures["cold"], figures["warm"], figures["7z"]
        out.append((f"{variant.capitalize()} corpus: warm start ≤ 0.45 × cold start",
                    f"{seconds(warm_c)} vs {seconds(cold_c)}", "0.45", warm_c / cold_c, 0.45,
                    f"corpora-warm-{variant}"))
        out.append((f"{variant.capitalize()} corpus: cold start ≤ 0.30 × 7z.exe extracting it",
                    f"{seconds(cold_c)} vs {seconds(seven)}", "0.30", cold_c / seven, 0.30,
                    f"corpora-cold-{variant}"))
        times = figures["times"]
        floor_bar, cold_bar = STAMP_FLOOR_BAR.get(variant), STAMP_COLD_BAR.get(variant)
        if floor_bar and "warm-stamp" in figures:
            out.append((f"{variant.capitalize()} corpus: warm start with --reuse stamp ≤ "
                        f"{floor_bar} × the floor",
                        f"{seconds(figures['warm-stamp'])} vs {seconds(figures['fixed'])}",
                        str(floor_bar), round_ratio(times, "warm-stamp", "fixed"), floor_bar,
                        "stamp-floor"))
        if cold_bar and "warm-stamp" in figures:
            out.append((f"{variant.capitalize()} corpus: warm start with --reuse stamp ≤ "
                        f"{cold_bar} × its cold start",
                        f"{seconds(figures['warm-stamp'])} vs {seconds(figures['cold-stamp'])}",
                        str(cold_bar), round_ratio(times, "warm-stamp", "cold-stamp"), cold_bar,
                        "stamp-cold"))
        bar = figures["window"] + MEMORY_ALLOWANCE
        out.append((f"{variant.capitalize()} corpus: peak private memory ≤ frame window + 8 MiB",
                    f"{mib(figures['peak'])} vs window {mib(figures['window'])}", mib(bar),
                    figures["peak"] / bar, 1.0, f"corpora-memory-{variant}"))
    small = run.frame("small")
    peak_small, adjusted_small = adjusted_peak(run, "small-cold", small)
    if adjusted_small is not None:
        out.append(("Small corpus: peak private memory ≤ 16 MiB" +
                    (" (adjusted)" if peak_small != adjusted_small else ""), mib(adjusted_small),
                    "16 MiB", adjusted_small / (16 * MIB), 1.0, "memory-small"))
        if peak_small != adjusted_small:
            out.append(("… the same, as measured under Wine", mib(peak_small), "16 MiB",
                        peak_small / (16 * MIB), 1.0, "memory-small-raw"))
    return out


def section_goals(run):
    rows = []
    for name, measured, bar_text, ratio, bar, _ in goals(run):
        verdict = judge(ratio, bar)
        change = (ratio / bar - 1) * 100
        margin = f"{abs(change):.1f} % {'under' if change <= 0 else 'over'} the bar"
        rows.append([name, measured, bar_text, f"{ratio:.3f}", f"**{verdict}**", margin])
    return ["## Goals", ""] + table(["Goal", "Measured", "Bar", "Ratio", "Result", "Margin"],
                                    rows) + [""]


def section_misses(run):
    level = run.facts.get("run.level_default", "19")
    cold, warm = run.median("start-cold"), run.median("start-warm")
    z7, tar = run.median("extract-7z"), run.median("extract-tar-zstd")
    minimal = run.median("start-minimal") or 0
    decode = warm_path(run).get("decode_ms", 0) / 1000
    files = checksums(run)
    out = ["## Where goals are missed or nearly missed", ""]
    # A payload smaller than tar's is no close call, however near 3 % the bar is.
    close = [g for g in goals(run) if 0.95 < g[3] / g[4] <= 1.0 and
             not (g[5] == "size" and g[3] <= 1.0)]
    missed = [g for g in goals(run) if judge(g[3], g[4]) == "miss"]
    if not missed:
        out += ["No goal is missed in this run.", ""]
    if close:
        out += ["Close calls pass by less than 5 % here and may miss in another run (see the "
                "ranges in the tables); they are explained like misses.", ""]
    for name, _, _, ratio, bar, key in missed + close:
        change = (ratio / bar - 1) * 100
        out.append(f"**{name}**: ratio {ratio:.3f} against {bar:g}, "
                   f"{abs(change):.1f} % {'over' if change > 0 else 'under'} the bar"
                   f"{'' if change > 0 else ' (close call)'}.")
        out.append("")
        unpack = (cold or 0) - minimal  # the cold start less the launch of a one-file archive
        if key in ("cold-tar", "cold-7z") and cold:
            other = tar if key == "cold-tar" else z7
            out.append(
                f"Why: of the cold start's {seconds(cold)}, {seconds(minimal)} is the fixed cost "
                f"of any launch under Wine (the one-file launcher row: two process starts, the "
                f"launcher's DLLs and image) and {seconds(unpack)} the unpacking itself; decoding "
                f"(about {seconds(decode)}, host figure) runs on its own thread, hidden behind "
                f"creating and writing the files, which two worker threads do through Wine at "
                f"about three trips to the Wine server per file. The comparison takes "
                f"{seconds(other)}"
                + (", natively, without any of those trips; the bar compares Wine's file "
                   "creation with Linux's, and nothing in the launcher closes that gap."
                   if key == "cold-tar" else "."))
        elif key == "warm-cold" and cold and warm:
            crc = files.get("crc32_of_file_ms", 0) / 1000
            out.append(
                f"Why: a warm start writes nothing but still pays the fixed cost "
                f"({seconds(minimal)}), the decode of the whole archive ({seconds(decode)}, on "
                f"its own thread), since the stream cannot skip, and a check of every file "
                f"(`crc32_of_file` alone on one thread: {seconds(crc)} under Wine); under Wine "
                f"a check costs nearly what a write does (see the three corpora's figures). Under "
                f"`--reuse stamp` the launcher carries an index of the entries beside the "
                f"payload and trusts the size and the stamp it gave a file: a warm start then "
                f"decodes nothing (see the three corpora's rows).")
        elif key.startswith("corpora-warm-"):
            out.append(
                "Why: a warm start decodes the whole archive and opens, reads and closes every "
                "file; a cold start decodes it and creates, writes and closes every file. Under "
                "Wine both cost about three trips to the Wine server per file (open or create, "
                "the file's descriptor, close), and both are spread over the same worker threads, "
                "so a warm start saves less than on Windows, where creating a file costs far more "
                "than opening one. `bench_file_calls.exe` measures the two per file and thread "
                "count. Under `--reuse stamp` a warm start opens no file and decodes nothing (see "
                "the rows of both rules).")
        elif key.startswith("stamp-"):
            out.append(
                "Why: a warm start under the stamp rule lists each folder once and opens no "
                "file; what is left over the floor is the listing of every folder under Wine "
                "and the reading of the entry index.")
        elif key.startswith("corpora-cold-"):
            out.append(
                "Why: the cold start is file creation through Wine (see the per-file column); "
                "what would close it is more files in flight at once, bounded by the memory bar "
                "(about 1 MiB per thread under Wine).")
        elif key.startswith("corpora-memory-"):
            out.append(
                "Why: the decoder's buffer is the frame's window; on top come the decoder's "
                "windows, the worker slots and read buffers, and about 1 MiB per thread under "
                "Wine. What would close it: fewer worker threads.")
        elif key == "size":
            out.append(
                "Why: the pack tool's multi-threaded jobs only see the overlap between jobs as "
                "history, while zstd --long=27 matches across the whole 128 MiB window. What "
                "would close it: level 22 (see the packing table) or long-distance matching in "
                "the pack tool (ZSTD_c_enableLongDistanceMatching).")
        elif key in ("memory", "memory-small") or (
                key.endswith("raw") and not image_copy(run.frame(f"L{level}") or {"image_bytes": 0,
                                                                  "payload_section_file_offset": 0})):
            out.append(
                "Why: the decoder's buffer is as large as the frame's window; the pack tool "
                "asks for a window of at least the archive's size, so zstd writes a "
                "single-segment frame whose window is the content size. What would close it: "
                "a window cap at pack time (costs ratio only on archives with repeats further "
                "apart than the cap).")
        elif key in ("memory-raw", "memory-small-raw"):
            frame = run.frame(f"L{level}") or {}
            offset = frame.get("payload_section_file_offset")
            where = f" at file offset {offset:#x}" if offset is not None else ""
            out.append(
                f"Why: Wine maps a PE section from the file only when the section starts at a "
                f"page-aligned file offset, and copies it into private memory otherwise. The "
                f"launcher is linked with the default file alignment of 512, so its data section "
                f"with the payload{where} is copied, and the payload counts twice: once in the "
                f"image, once decoded. Windows maps image sections from the file at any "
                f"alignment, which the adjusted row models. What would close it under Wine: "
                f"linking the launcher with `-Wl,--file-alignment=0x1000` (a few KiB of "
                f"padding; checked by hand outside this benchmark: a test program with a 20 MB "
                f"constant array at an unaligned offset had 20.5 MiB of private memory under Wine, "
                f"1.4 MiB when linked with that flag).")
        out.append("")
    return out


def warm_path(run):
    """Medians of the host hot path's fields (checksum_ms, decode_ms, total_ms, ...)."""
    values = {}
    for line in run.lines("warm-path.txt"):
        for key, value in re.findall(r"(\w+)=([\d.]+)", line):
            values.setdefault(key, []).append(float(value))
    return {k: statistics.median(v) for k, v in values.items()}


def function_name(where):
    name = where.split(":", 1)[1] if ":" in where else where
    return re.sub(r"\(.*", "", name)


def callgrind_top(run, count):
    """Self cost by function, summed over the source files that callgrind lists apart
    (inlined code is charged to the file it came from)."""
    by_function, total, listing = {}, None, False
    for line in run.lines("callgrind.txt"):
        if "file:function" in line:
            listing = True  # the function list follows; source listings come after it
        if not listing and "PROGRAM TOTALS" not in line:
            continue
        m = re.match(r"^\s*([\d,]+)\s+\(\s*([\d.]+)%\)\s+(.*)$", line)
        if not m:
            continue
        cost = int(m.group(1).replace(",", ""))
        if "PROGRAM TOTALS" in m.group(3):
            total = cost
            continue
        name = function_name(re.sub(r"\s+\[.*\]$", "", m.group(3)))
        by_function[name] = by_function.get(name, 0) + cost
    if not total:
        return [], None
    top = sorted(by_function.items(), key=lambda item: -item[1])[:count]
    return [(100.0 * cost / total, cost, name) for name, cost in top], total


def checksums(run):
    """Medians of bench_checksums' fields under Wine (files, open_close_ms, ...)."""
    values = {}
    for line in run.lines("checksums.txt"):
        for key, value in re.findall(r"(\w+)=([\d.]+)", line):
            values.setdefault(key, []).append(float(value))
    return {k: statistics.median(v) for k, v in values.items()}


def warm_breakdown(run):
    """Parts of the warm start as (key, label, seconds), or None when a part is missing."""
    warm, base = run.median("start-warm"), run.median("start-wine-baseline")
    minimal = run.median("start-minimal")
    shell, spawn = run.median("start-shell32"), run.median("start-spawn")
    path, files = warm_path(run), checksums(run)
    if not (warm and base and minimal and path and files):
        return None
    parts = [("baseline", "Wine starting the launcher through wine-run.sh (the baseline)", base)]
    fixed = minimal - base
    if shell and spawn:
        parts += [("shell32", "Loading shell32 and what it pulls in (shell32 program less the "
                   "baseline)", shell - base),
                  ("child", "Starting the child and waiting for it (spawning program less the "
                   "baseline)", spawn - base)]
        fixed -= (shell - base) + (spawn - base)
        label = ("The rest of a launch with an archive of the child alone: the launcher's "
                 "set-up, paths and environment")
    else:
        label = ("The launcher's fixed cost beyond the baseline (archive of the child alone "
                 "less the baseline)")
    parts.append(("fixed", label, fixed))
    parts += [("checksums", f"crc32_of_file over the {files.get('files', 0):.0f} files under Wine "
               "(bench_checksums.exe: open, size, map, CRC-32, unmap, close)",
               files["crc32_of_file_ms"] / 1000),
              ("decode", "Decoding the whole archive and handing it out in 32 KiB pieces (host, "
               "same code and flags: bench_warm_path)", path["decode_ms"] / 1000)]
    rest = warm - sum(t for _, _, t in parts)
    parts.append(("rest", "Remainder, what the parts measured apart leave out: loading the "
                  "launcher image, first touches of the decoder's buffer, the decoder "
                  "running as Windows code under Wine, noise", rest))
    return warm, parts


def explain_part(run, key):
    path, files = warm_path(run), checksums(run)
    if key == "checksums":
        crc = files.get("crc32_of_file_ms", 0)
        return (f"each file costs CreateFileW, GetFileSizeEx, CreateFileMappingW, MapViewOfFile, "
                f"UnmapViewOfFile and two CloseHandle, most of them a trip to the Wine server "
                f"and a host mmap; of these {crc:.0f} ms the CRC arithmetic takes "
                f"{path.get('checksum_ms', 0):.0f} ms (host figure). Done: measured the alternative, open, ReadFile "
                f"in 32 KiB pieces and close, at {files.get('read_ms', 0):.0f} ms for all files "
                f"under Wine, and opening and closing alone at "
                f"{files.get('open_close_ms', 0):.0f} ms. The mapping is the launcher's chosen "
                f"design (no copy, cheap on Windows) and was left as is; reading through the "
                f"copy buffer is the change to make if Wine start-up matters.")
    if key == "decode":
        return ("the whole archive is decoded although every file is kept, since the stream "
                "cannot skip; zstd's sequence decoding dominates it (callgrind below). Done: "
                "nothing in the launcher, the decoder is the library's. A payload format with an "
                "index of names, sizes and checksums ahead of the data would let a warm start "
                "decode nothing.")
    if key == "child":
        return ("a second Wine process start for the child, inherent in the design (the "
                "launcher waits for its child). Nothing to do in the launcher.")
    if key == "shell32":
        return ("shell32 pulls in user32, gdi32 and more under Wine; the launcher needs it for "
                "CommandLineToArgvW and SHGetFolderPathW. Loading it on demand (delay-load) for "
                "the spec placeholders, with a small argument splitter of our own, would save "
                "this; not done.")
    if key == "fixed":
        return "the launcher's own set-up; small next to the others."
    return ""


def section_profile(run):
    path = warm_path(run)
    top, total = callgrind_top(run, 8)
    out = ["## Warm-start profile", "",
           "`bench_warm_path` (bench/profile) runs the warm start's hot path natively on the "
           "host: the launcher's own `payload_read` and `crc32_buffer` (payload/stream.cpp and "
           "payload/crc32.cpp with the launcher's flags) and the zstd decoder built from the "
           "same sources and definitions as the launcher's, over the same launcher and the "
           "unchanged files. It times checksums and decoding apart, then runs once under "
           "callgrind. `bench_checksums.exe` times the launcher's `crc32_of_file` over the "
           "unpacked files under Wine, where each file costs several system calls.", ""]
    if path:
        out.append(f"Native hot path (median of 5): checksums {path.get('checksum_ms', 0):.0f} ms, "
                   f"decoding {path.get('decode_ms', 0):.0f} ms, total {path.get('total_ms', 0):.0f} "
                   f"ms for {path.get('entries', 0):.0f} entries and "
                   f"{path.get('archive_bytes', 0) / 1e6:.1f} MB.")
        files = checksums(run)
        if files:
            out.append(f"Under Wine, opening and closing every file takes "
                       f"{files.get('open_close_ms', 0):.0f} ms and `crc32_of_file` over all of "
                       f"them {files.get('crc32_of_file_ms', 0):.0f} ms (median of 5).")
        out.append("")
    breakdown = warm_breakdown(run)
    if breakdown:
        warm, parts = breakdown
        out.append(f"Where the warm start's {seconds(warm)} go:")
        out.append("")
        out += table(["Part", "Time", "Share"],
                     [[label, seconds(t), f"{100 * t / warm:.0f} %"] for _, label, t in parts])
        out.append("")
        named = sorted([p for p in parts if p[0] not in ("baseline", "rest")], key=lambda p: -p[2])
        out.append("The three largest costs of the warm start, and what was done about them:")
        out.append("")
        for i, (key, label, t) in enumerate(named[:3], 1):
            out.append(f"{i}. {label.split(' (')[0]} ({seconds(t)}, {100 * t / warm:.0f} %): "
                       f"{explain_part(run, key)}")
        out.append("")
    if top:
        out.append(f"Callgrind of the host hot path, instructions by function (self cost, "
                   f"inlined code included), total {total:,}:")
        out.append("")
        out += table(["Share", "Instructions", "Function"],
                     [[f"{p:.1f} %", f"{n:,}", f"`{name}`"] for p, n, name in top])
        out.append("")
        out.append("Within the CPU work, the three largest costs (functions grouped by what "
                   "they do):")
        out.append("")
        groups = {}
        for share, _, name in callgrind_top(run, 40)[0]:
            label = cost_group(name)
            total_share, names = groups.get(label, (0.0, []))
            groups[label] = (total_share + share, names + [name])
        ranked = sorted(groups.items(), key=lambda item: -item[1][0])
        for i, (label, (share, names)) in enumerate(ranked[:3], 1):
            listed = ", ".join(f"`{n}`" for n in names[:3])
            out.append(f"{i}. {label} ({share:.1f} %: {listed}): {explain(names[0])}")
        out.append("")
    return out


def cost_group(name):
    if "crc32" in name:
        return "CRC-32 of the kept files"
    if "XXH64" in name:
        return "zstd's content checksum"
    if name.startswith("HUF_"):
        return "zstd's Huffman decoding"
    if name.startswith(("ZSTD_", "FSE_")):
        return "zstd's sequence decoding"
    if "memcpy" in name or "memmove" in name:
        return "copying decoded bytes"
    if name == "payload_read":
        return "payload_read's bookkeeping"
    return name


def explain(name):
    if "crc32" in name:
        return ("the CRC-32 of every kept file, five interleaved table lanes of 20 bytes. "
                "crc32.cpp is built at -O2 instead of the library's -Os, which had made the "
                "table steps out-of-line calls and halved its speed. A carry-less-multiply CRC "
                "(PCLMULQDQ folding) would be several times faster; not done, as it needs a "
                "CPU check and a second code path in the stub.")
    if name.startswith("HUF_"):
        return ("zstd's Huffman decoding of literals, the library's code. The launcher's zstd "
                "is built without the library's x86-64 assembly loops (ZSTD_DISABLE_ASM; "
                "mingw does not assemble them), so the C loops run. Left as is.")
    if "XXH64" in name:
        return ("zstd verifying the frame's content checksum, which the pack tool writes by "
                "default so that a damaged payload is detected. Kept: `pack --no-checksum` "
                "saves this share at the cost of that check.")
    if name.startswith("ZSTD_") or name.startswith("FSE_"):
        return ("zstd's sequence decoding (matches and literals copied into the window), the "
                "library's code at -O2. It is the whole-archive decode that a warm start still "
                "needs because the stream cannot skip; only a payload format with an index or "
                "separate frames would avoid it.")
    if "memcpy" in name or "memmove" in name:
        return ("zstd's streaming decoder copies from its own buffer into the 128 KiB output "
                "window, and payload_read copies out of that window into the 32 KiB copy "
                "buffer, also for kept files whose bytes are then dropped. Dropping kept bytes "
                "straight from the window would save the second copy; not done, since it would "
                "give the reader a second way to consume bytes for a few per cent.")
    if name == "payload_read":
        return ("the reader's bookkeeping around each copy and decoder call, including the "
                "many 2-byte reads of entry names. Left as is.")
    return "see results/callgrind.txt."


def section_large(run):
    if not run.timing("large-cold"):
        return ["## Large corpus", "",
                "Not run (`bash bench/run.sh BUILD --large` adds it: about 5 more minutes here).",
                ""]
    rows = [timing_row(run, "large-pack", "kovran-onefile pack (one run)"),
            timing_row(run, "large-cold", "cold start"),
            timing_row(run, "large-warm", "warm start"),
            timing_row(run, "large-partial", "partial start (10 %)"),
            timing_row(run, "large-extract-tar-zstd", "tar --zstd -xf (archive made at -3)")]
    frame = run.frame("large")
    extra = []
    if frame:
        peak, adjusted = adjusted_peak(run, "large-cold", frame)
        bar = frame["window_bytes"] + MEMORY_ALLOWANCE
        verdict = judge(adjusted / bar, 1.0) if adjusted is not None else "n/a"
        extra = [f"Payload {megabytes(frame['block_bytes'])}, frame window "
                 f"{mib(frame['window_bytes'])}, peak private {mib(peak)} measured, "
                 f"{mib(adjusted)} adjusted: {verdict} against window + 8 MiB = {mib(bar)}.", ""]
    return ["## Large corpus", ""] + table(["Figure", "Median", "Mean ± σ", "Range", "Runs"],
                                           rows) + [""] + extra


def section_notes(run):
    load = run.lines("load.txt")
    out = ["## Notes on method", "",
           "- Windows figures run under Wine with `WINEDEBUG=-all` and the project's prefix "
           "(`scripts/wine-run.sh`); the Wine baseline is the cost of starting a process there "
           "and is part of every Windows figure. The launcher starts its child as well, so a "
           "launcher start contains two process starts.",
           "- Cold start moves the previous run's target folder aside before each run "
           "(hyperfine --prepare) and runs `sync`, so that no run pays for writing back the "
           "previous run's files; what was moved aside is deleted after the last figure "
           "(deleting a large tree makes files created soon after several times slower on "
           "this machine's disk); partial start inverts the first 64 bytes of the same 10 % of "
           "the files before each run (`bench/lib/change_files.py`); 7-Zip and tar extract into "
           "a folder never used before, also after a `sync`; "
           "every unpacked folder is compared with the corpus byte for byte.",
           "- Peak memory under Wine: Wine reports another process's PagefileUsage as its "
           "current anonymous resident memory and keeps no peak, so the driver samples every "
           "millisecond; pages that were committed but never touched do not count there.",
           "- The machine is shared with other work; the load average after each figure is "
           "in the run's results folder (`<build>/bench/results/load.txt`)."]
    if load:
        worst = max(load, key=lambda line: float(line.split()[1]))
        out.append(f"- Highest 1-minute load average seen after a figure: {worst}.")
    if run.has("bench-payload.txt"):
        out += ["", "Host throughput (bench_payload):", "", "```"] + run.lines("bench-payload.txt") + ["```"]
    return out + [""]


def sections_by_heading(text):
    """The '## ' sections of a document, heading -> lines (heading included)."""
    found, current = {}, None
    for line in text.splitlines():
        if line.startswith("## "):
            current = line
            found[current] = []
        if current is not None:
            found[current].append(line)
    return found


def kept_by_hand(path, generated):
    """Sections of the previous file that no generator makes: written by hand, kept."""
    if not os.path.exists(path):
        return []
    with open(path) as f:
        previous = sections_by_heading(f.read())
    made = {line for line in generated if line.startswith("## ")}
    out = []
    for heading, lines in previous.items():
        if heading not in made:
            while lines and not lines[-1].strip():
                lines.pop()
            out += [""] + lines
    return out


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: report.py RESULTS_DIR OUTPUT.md")
    run = Run(sys.argv[1])
    text = []
    for section in (section_header, section_corpus, section_goals, section_startup,
                    section_corpora, section_packing, section_memory, section_misses,
                    section_profile, section_large, section_notes):
        text += section(run)
    text += kept_by_hand(sys.argv[2], text)
    document = "\n".join(text).rstrip() + "\n"
    with open(sys.argv[2], "w") as f:
        f.write(document)
    print(document)


if __name__ == "__main__":
    main()
