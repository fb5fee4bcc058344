#!/usr/bin/env python3
"""A packed launcher read back with pefile, which shares no code with our writer."""
import os
import subprocess
import sys
import tempfile

import pefile

tool = sys.argv[1]
PAGE = 0x1000
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def write_main(path, subsystem):
    """MZ header, PE signature, x86-64, executable, and an optional header that names
    the subsystem: what the tool asks of a main program."""
    header = bytearray(64 + 24 + 240)
    header[0:2] = b"MZ"
    header[0x3C] = 64
    header[64:70] = b"PE\0\0\x64\x86"
    header[84] = 240
    header[86] = 0x22
    header[88:90] = b"\x0b\x02"
    header[88 + 68] = subsystem
    with open(path, "wb") as f:
        f.write(bytes(header) + os.urandom(300000))


def subsystem_of(exe):
    """The launcher's subsystem, after checking that its checksum still matches."""
    pe = pefile.PE(exe, fast_load=True)
    check(pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum(), f"{exe}: checksum")
    return pe.OPTIONAL_HEADER.Subsystem


def check_subsystems(work):
    """The launcher takes the main program's subsystem, from a folder or from a payload
    block's first entry; --subsystem overrides it both ways."""
    GUI, CONSOLE = 2, 3
    cases = []
    for name, own in (("console", CONSOLE), ("gui", GUI)):
        app = os.path.join(work, name)
        os.makedirs(app)
        write_main(os.path.join(app, "main.exe"), own)
        cases += [(f"{name} main", [app], own),
                  (f"{name} main, --subsystem console", [app, "--subsystem", "console"], CONSOLE),
                  (f"{name} main, --subsystem gui", [app, "--subsystem", "gui"], GUI)]
    for what, args, expected in cases:
        out = os.path.join(work, "out.exe")
        subprocess.run([tool, "pack", "-q", "--level", "1", "-o", out] + args, check=True)
        got = subsystem_of(out)
        check(got == expected, f"{what}: subsystem {got}, not {expected}")
    # A launcher's payload section is a block; this one's first entry is a console main.
    out = os.path.join(work, "out.exe")
    subprocess.run([tool, "pack", "-q", "--level", "1", "-o", out, os.path.join(work, "console"),
                    "--subsystem", "gui"], check=True)
    pe = pefile.PE(out, fast_load=True)
    payload = pe.sections[-1]
    block = os.path.join(work, "console.block")
    with open(block, "wb") as f:
        f.write(pe.get_data(payload.VirtualAddress, payload.Misc_VirtualSize))
    for extra, expected in (([], CONSOLE), (["--subsystem", "gui"], GUI)):
        out = os.path.join(work, "from-block.exe")
        subprocess.run([tool, "pack", "-q", "--payload-block", block, "-o", out] + extra,
                       check=True)
        got = subsystem_of(out)
        check(got == expected, f"block of a console main {extra}: subsystem {got}")


with tempfile.TemporaryDirectory() as work:
    app = os.path.join(work, "app")
    os.makedirs(os.path.join(app, "data"))
    write_main(os.path.join(app, "Main.exe"), 2)
    with open(os.path.join(app, "data", "notes.txt"), "w") as f:
        f.write("notes\n" * 1000)
    out = os.path.join(work, "packed.exe")
    subprocess.run([tool, "pack", "-q", app, "-o", out, "--level", "3"], check=True)
    size = os.path.getsize(out)
    pe = pefile.PE(out)

    check(not pe.get_warnings(), f"pefile warnings: {pe.get_warnings()}")
    check(pe.FILE_HEADER.TimeDateStamp == 0, "time stamp is not 0")
    opt = pe.OPTIONAL_HEADER
    check(opt.Magic == 0x20B, "not PE32+")
    check((opt.Subsystem, opt.MajorSubsystemVersion, opt.MinorSubsystemVersion) == (2, 5, 2),
          "subsystem")
    check(opt.DllCharacteristics == 0x160, "DLL characteristics")
    check((opt.SizeOfStackReserve, opt.SizeOfStackCommit, opt.SizeOfHeapReserve)
          == (0x968000, 0x1000, 0x100000), "stack and heap sizes")
    check(opt.FileAlignment == PAGE and opt.SectionAlignment == PAGE, "alignments")
    check(opt.CheckSum == pe.generate_checksum(), "checksum differs from pefile's")
    security = opt.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    check(security.VirtualAddress == 0 and security.Size == 0, "certificate table is set")

    sections = pe.sections
    names = [s.Name.rstrip(b"\0").decode() for s in sections]
    check(names[-2:] == [".rsrc", ".payload"], f"last sections are {names[-2:]}")
    expected_va = sections[0].VirtualAddress
    raw_end = opt.SizeOfHeaders
    for s in sections:
        name = s.Name.rstrip(b"\0").decode()
        check(s.VirtualAddress == expected_va, f"{name} does not follow the previous section")
        expected_va = (s.VirtualAddress + max(s.Misc_VirtualSize, 1) + PAGE - 1) // PAGE * PAGE
        if s.SizeOfRawData:
            check(s.PointerToRawData == raw_end, f"{name} is not right after the previous data")
            check(s.PointerToRawData % PAGE == 0 and s.SizeOfRawData % PAGE == 0,
                  f"{name} is not page-aligned in the file")
            raw_end = s.PointerToRawData + s.SizeOfRawData
    check(opt.SizeOfImage == expected_va, "SizeOfImage")
    check(raw_end == size, "bytes after the last section")
    payload = sections[-1]
    check(payload.Characteristics == 0x40000040, "payload section is not read-only data")
    check(pe.get_data(payload.VirtualAddress, 3) == b"QVJ", "payload does not start with QVJ")
    init = sum(s.SizeOfRawData for s in sections if s.Characteristics & 0x40)
    check(opt.SizeOfInitializedData == init, "SizeOfInitializedData")

    resources = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                resources[(rtype.id, rid.id)] = lang.id
    expected = {(RT_ICON, i) for i in range(1, 7)} | {(RT_GROUP_ICON, 1), (RT_VERSION, 1),
                                                       (RT_MANIFEST, 1)}
    check(set(resources) == expected, f"resources {sorted(resources)}")
    check(set(resources.values()) == {0}, "resource languages")
    strings = {}
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            check(table.LangID == b"000004b0", "string table key")
            strings.update(table.entries)
    check(strings.get(b"OriginalFilename") == b"Main.exe", "OriginalFilename")
    check(strings.get(b"ProductName") == b"Main", "ProductName")
    check(strings.get(b"FileVersion") == b"1.17.4.0", "FileVersion")

    check_subsystems(os.path.join(work, "subsystems"))

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
