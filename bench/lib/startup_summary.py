#!/usr/bin/env python3
"""The figures of one bench/startup.sh run: medians, per-file costs, the bars' ratios.

Arguments: RESULTS_BASE FILES WINDOW_BYTES VARIANT LABEL [AGAINST]. RESULTS_BASE.json
holds the rounds' times (bench/lib/rounds.py), RESULTS_BASE.peaks the peak private bytes.
Ratios are medians of the rounds' own ratios: each round's figures saw the same machine.
"""
import json
import statistics
import sys

MIB = 1024 * 1024
# Bars of the stamp rule, on the corpus each belongs to.
STAMP_FLOOR_BAR = {"real": 1.3}
STAMP_COLD_BAR = {"many": 0.15}


def verdict(ratio, bar):
    return "pass" if ratio <= bar else "MISS"


def round_ratio(times, a, b):
    """The median of the rounds' own ratios: each round's figures saw the same machine."""
    return statistics.median(x / y for x, y in zip(times[a], times[b]))


def main():
    base, files, window, variant, label = sys.argv[1:6]
    against = sys.argv[6] if len(sys.argv) > 6 else ""
    files, window = int(files), int(window)
    times = json.load(open(f"{base}.json"))
    peaks = {}
    for line in open(f"{base}.peaks"):
        parts = line.split()
        peaks[parts[0] if len(parts) == 3 else ""] = [int(p) for p in parts[-2:]]
    med = lambda name: statistics.median(times[name]) * 1000
    ratio = lambda a, b: round_ratio(times, a, b)
    spread = lambda a, b: sorted(x / y for x, y in zip(times[a], times[b]))
    seven = med("7z")
    print(f"{variant}: {files} files, {len(times['7z'])} rounds, load {min(times['load']):.2f}-"
          f"{max(times['load']):.2f}; 7z x {seven:.0f} ms; the child started directly "
          f"{med('direct'):.0f} ms (medians)")
    rules = [("", f"{label}, crc"), ("-stamp", f"{label}, stamp")]
    if against:
        rules.append(("-against", f"against {against}, crc"))
        rules.append(("-against-stamp", f"against {against}, stamp"))
    for suffix, name in rules:
        fixed, cold, warm = (med(n + suffix) for n in ("fixed", "cold", "warm"))
        print(f"{name}: medians floor {fixed:.0f} ms, cold {cold:.0f} ms, warm {warm:.0f} ms")
        print(f"  per file above the floor: cold {(cold - fixed) / files * 1000:.0f} us, "
              f"warm {(warm - fixed) / files * 1000:.0f} us")
        cold_7z = spread("cold" + suffix, "7z")
        print(f"  warm/cold {ratio('warm' + suffix, 'cold' + suffix):.3f}; cold/7z "
              f"{ratio('cold' + suffix, '7z'):.3f} (bar 0.30: "
              f"{verdict(ratio('cold' + suffix, '7z'), 0.30)}; rounds {cold_7z[0]:.3f}-"
              f"{cold_7z[-1]:.3f}); warm/floor {ratio('warm' + suffix, 'fixed' + suffix):.2f}; "
              f"warm - direct {warm - med('direct'):.0f} ms")
        peak_cold, peak_warm = peaks[suffix]
        print(f"  peak private cold {peak_cold / MIB:.1f} MiB, warm {peak_warm / MIB:.1f} MiB; "
              f"window {window / MIB:.1f} MiB + 8 MiB = {window / MIB + 8:.1f} MiB: "
              f"{verdict(max(peak_cold, peak_warm), window + 8 * MIB)}")
    # The stamp rule's bars: its warm start against the floor of any start (the crc
    # launcher of the child alone) and against its own cold start.
    floor_ratio = ratio("warm-stamp", "fixed")
    cold_ratio = ratio("warm-stamp", "cold-stamp")
    floor_bar = STAMP_FLOOR_BAR.get(variant)
    cold_bar = STAMP_COLD_BAR.get(variant)
    print(f"stamp: warm/floor {floor_ratio:.2f}"
          + (f" (bar {floor_bar}: {verdict(floor_ratio, floor_bar)})" if floor_bar else "")
          + f"; warm/cold {cold_ratio:.3f}"
          + (f" (bar {cold_bar}: {verdict(cold_ratio, cold_bar)})" if cold_bar else ""))
    if against:
        # Both rules no slower than before: this build's figures over the other tool's.
        for rule, suffix in (("crc", ""), ("stamp", "-stamp")):
            for kind in ("cold", "warm"):
                ours, theirs = kind + suffix, kind + "-against" + suffix
                rounds = spread(ours, theirs)
                print(f"{rule} {kind} / against {kind}: {ratio(ours, theirs):.3f} "
                      f"(rounds {rounds[0]:.3f}-{rounds[-1]:.3f})")


if __name__ == "__main__":
    main()
