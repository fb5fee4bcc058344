"""Writes the launcher stub's linker script: the linker's own default script with the small
sections folded into their neighbours.

The stub's sections are page-aligned in the file (so that a loader can map the payload
section from the file), so every section costs at least 4 KiB of every packed program. The
runtime's start-up tables (.CRT) and its thread-local template (.tls) hold a few bytes each
and go into .data, the template first; the unwind data (.xdata) goes into .rdata. The loader
finds them through the data directories and the runtime through the symbols the script
defines, wherever they lie. .pdata and .idata stay sections of their own: the linker fills
the exception and import directories from the whole section of that name.

usage: stub_sections.py LINKER OUTPUT
"""
import re
import subprocess
import sys


def default_script(linker):
    out = subprocess.run([linker, "--verbose"], capture_output=True, text=True, check=True).stdout
    parts = re.split(r"^={20,}\s*$", out, flags=re.M)
    if len(parts) < 3:
        sys.exit(f"stub_sections.py: no default script in '{linker} --verbose'")
    return parts[1]


def find_section(script, name):
    """(start, body_start, body_end, end) of an output section statement: the statement spans
    script[start:end], its body (between the braces) script[body_start:body_end]."""
    m = re.search(r"^[ \t]*" + re.escape(name) + r"\s+BLOCK\(__section_alignment__\)[^{]*\{",
                  script, flags=re.M)
    if m is None:
        sys.exit(f"stub_sections.py: the default script has no {name} section")
    depth, i = 1, m.end()
    while depth:
        if i >= len(script):
            sys.exit(f"stub_sections.py: {name} has no end")
        depth += {"{": 1, "}": -1}.get(script[i], 0)
        i += 1
    return m.start(), m.end(), i - 1, i


def fold(script, name, into, first=False):
    """Moves the body of output section `name` into `into`'s body, at its end or first."""
    start, body_start, body_end, end = find_section(script, name)
    body = "\n    /* from " + name + " */" + script[body_start:body_end]
    script = script[:start] + script[end:]
    _, into_start, into_end, _ = find_section(script, into)
    at = into_start if first else into_end
    return script[:at] + body + script[at:]


def main():
    linker, output = sys.argv[1], sys.argv[2]
    script = default_script(linker)
    script = fold(script, ".xdata", ".rdata")
    script = fold(script, ".CRT", ".data")
    # The runtime's other .CRT$ tables (thread-local initialisers) went into .CRT by name.
    _, _, data_end, _ = find_section(script, ".data")
    script = script[:data_end] + "    KEEP (*(SORT(.CRT$*)))\n" + script[data_end:]
    # Thread-local offsets are relative to the start of their section, so the template
    # opens .data.
    script = fold(script, ".tls", ".data", first=True)
    with open(output, "w", encoding="utf-8") as f:
        f.write(script)


main()
