#!/usr/bin/env python3
"""A packed launcher read back with pefile, which shares no code with our writer."""
import hashlib
import os
import struct
import zlib
import subprocess
import sys
import tempfile

import pefile

tool = sys.argv[1]
windows_tool = sys.argv[3]
PAGE = 0x1000
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def write_main(path, subsystem, body=None):
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
        f.write(bytes(header) + (os.urandom(300000) if body is None else body))


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


def check_static_imports(exe, pe):
    """kernel32 and msvcrt are known DLLs, which the loader takes from System32 whatever lies
    beside the program; any other system DLL is delay-loaded from System32 by our own
    helper. The C runtime's helper, the one user of LoadLibraryA, would load by name from
    the default search order."""
    dlls = {dll.dll.decode().lower() for dll in pe.DIRECTORY_ENTRY_IMPORT}
    check(dlls <= {"kernel32.dll", "msvcrt.dll"}, f"{exe}: imports {sorted(dlls)}")
    imported = {imp.name for dll in pe.DIRECTORY_ENTRY_IMPORT for imp in dll.imports}
    check(b"LoadLibraryA" not in imported, f"{exe}: the C runtime's delay-load helper")


def record_of(pe):
    """The constants record's reuse fields: rule, index RVA and length, stamp."""
    marker = b"KOVRAN-CONST\x7e\x1d\xa3\x59"
    for s in pe.sections:
        data = s.get_data()
        at = data.find(marker)
        if at >= 0:
            layout, = struct.unpack_from("<I", data, at + 20)
            rule, rva, length, reserved, stamp = struct.unpack_from("<IIIIQ", data, at + 2128)
            return {"layout": layout, "rule": rule, "rva": rva, "length": length,
                    "reserved": reserved, "stamp": stamp}
    failures.append("no constants record")
    return {}


def folder_of(name):
    return name[:name.rfind("\\") + 1]


def folded(name):
    return [ord(c) - 32 if "a" <= c <= "z" else ord(c) for c in name]


def check_index(exe):
    """The entry index read from its section as the launcher reads it: names, sizes and
    CRC-32s as list shows them, in archive order; a listing of every entry, each folder's
    together and sorted with ASCII letters folded."""
    pe = pefile.PE(exe)
    names = [s.Name.rstrip(b"\0").decode() for s in pe.sections]
    check(names[-3:] == [".rsrc", ".kvindex", ".payload"], f"stamp launcher sections {names[-3:]}")
    index = pe.sections[-2]
    check(index.Characteristics == 0x40000040, "index section is not read-only data")
    check(index.PointerToRawData % PAGE == 0, "index section is not page-aligned")
    check(pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum(), "stamp launcher checksum")
    record = record_of(pe)
    check(record.get("rule") == 1, "rule is not stamp")
    check((record.get("rva"), record.get("length")) == (index.VirtualAddress, index.Misc_VirtualSize),
          "record does not name the index section")
    stamp = record.get("stamp", 0)
    seconds_1601_to_1981 = 11991628800
    check(stamp % 20000000 == 0 and seconds_1601_to_1981 * 10**7 <= stamp < (seconds_1601_to_1981 + 2**29) * 10**7,
          f"stamp {stamp} is not even seconds from 1981 on")
    data = pe.get_data(index.VirtualAddress, index.Misc_VirtualSize)
    count, units, own, zero = struct.unpack_from("<IIII", data, 0)
    check(zero == 0 and len(data) == 16 + 20 * count + 2 * units, "index counts")
    check(own == (zlib.crc32(data[:8] + bytes(4) + data[12:]) or 1), "index's own checksum")
    pool = data[16 + 20 * count:].decode("utf-16-le")
    entries = []
    for i in range(count):
        size, crc, start = struct.unpack_from("<QII", data, 16 + 16 * i)
        entries.append((pool[start:pool.index("\0", start)], size, crc))
    listed = subprocess.run([tool, "list", exe], check=True, stdout=subprocess.PIPE,
                            text=True).stdout.splitlines()[2:]
    expected = [(line[25:], int(line[9:23]), int(line[:8], 16)) for line in listed]
    check(entries == expected, "index entries are not the payload's")
    listing = struct.unpack_from(f"<{count}I", data, 16 + 16 * count)
    check(sorted(listing) == list(range(count)), "listing is not every entry once")
    groups = [folder_of(entries[i][0]) for i in listing]
    runs = [g for k, g in enumerate(groups) if k == 0 or g != groups[k - 1]]
    check(len(runs) == len(set(runs)), "listing does not keep each folder together")
    for a, b in zip(listing, listing[1:]):
        if folder_of(entries[a][0]) == folder_of(entries[b][0]):
            leaf_a = entries[a][0][len(folder_of(entries[a][0])):]
            leaf_b = entries[b][0][len(folder_of(entries[b][0])):]
            check(folded(leaf_a) <= folded(leaf_b), f"listing order {leaf_a} before {leaf_b}")


def check_digests(exe, pe):
    """The headers end in a tag and two SHA-256 digests: of the file up to the payload's
    section, with the checksum, the certificate entry and the digests as zeros, and of that
    section."""
    data = bytearray(open(exe, "rb").read())
    end = pe.OPTIONAL_HEADER.SizeOfHeaders
    check(data[end - 72:end - 64] == b"SHA-256\0", "no digest record at the headers' end")
    recorded = bytes(data[end - 64:end])
    optional = pe.OPTIONAL_HEADER.get_file_offset()
    for at, size in ((optional + 64, 4), (optional + 112 + 4 * 8, 8), (end - 64, 64)):
        data[at:at + size] = bytes(size)
    payload = pe.sections[-1]
    start, stop = payload.PointerToRawData, payload.PointerToRawData + payload.SizeOfRawData
    check(recorded == hashlib.sha256(data[:start]).digest() +
          hashlib.sha256(data[start:stop]).digest(), "digests differ from hashlib's")


# A launcher under the CRC-32 rule is what the tool made before the stamp rule, but for
# the launcher code: the same payload, the same resources, the same folder, no index.
# Figures from that tool for this input.
CRC_RULE_PAYLOAD = "2d5f85e80e4d131a91db82e36ae745793b582a1c24ff0a74118f4d35631759d7"
CRC_RULE_RESOURCES = "af99f5014b0ebd3db6b7b4b63043e3ff5015ba7ab86a7d77f847e47dacfdb7da"
CRC_RULE_SPEC = "{CACHE_DIR}\\kovran-onefile\\Main-f9d5158159bb"


def check_crc_rule_unchanged(work):
    app = os.path.join(work, "fixed")
    os.makedirs(os.path.join(app, "data", "sub"))
    write_main(os.path.join(app, "Main.exe"), 2, bytes(range(256)) * 400)
    with open(os.path.join(app, "data", "notes.txt"), "w") as f:
        f.write("notes\n" * 1000)
    with open(os.path.join(app, "data", "sub", "x.bin"), "wb") as f:
        f.write(bytes(range(256)) * 3)
    out = os.path.join(work, "fixed.exe")
    subprocess.run([tool, "pack", "-q", app, "-o", out, "--level", "3", "--threads", "2"],
                   check=True)
    pe = pefile.PE(out)
    names = [s.Name.rstrip(b"\0").decode() for s in pe.sections]
    check(names[-2:] == [".rsrc", ".payload"] and ".kvindex" not in names, f"crc sections {names}")
    payload = pe.sections[-1]
    digest = hashlib.sha256(pe.get_data(payload.VirtualAddress, payload.Misc_VirtualSize))
    check(digest.hexdigest() == CRC_RULE_PAYLOAD, "crc rule: the payload differs")
    resources = hashlib.sha256()
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                resources.update(f"{rtype.id},{rid.id},{lang.id},{len(data)};".encode() + data)
    check(resources.hexdigest() == CRC_RULE_RESOURCES, "crc rule: the resources differ")
    record = record_of(pe)
    check((record.get("rule"), record.get("rva"), record.get("length"), record.get("stamp")) ==
          (0, 0, 0, 0), f"crc rule: record {record}")
    info = subprocess.run([tool, "info", out], check=True, stdout=subprocess.PIPE, text=True).stdout
    check(f"target directory: {CRC_RULE_SPEC}\n" in info, "crc rule: another default folder")


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
    check_digests(out, pe)
    security = opt.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    check(security.VirtualAddress == 0 and security.Size == 0, "certificate table is set")
    # The launcher runs on the systems its subsystem version names: calls that came later
    # are looked up, not imported, or the loader would refuse the program.
    imported = {imp.name.decode() for dll in pe.DIRECTORY_ENTRY_IMPORT for imp in dll.imports
                if imp.name}
    later = {"SetFileInformationByHandle", "GetFileInformationByHandleEx",
             "GetFinalPathNameByHandleW", "CreateSymbolicLinkW"}
    check(not imported & later, f"imports calls newer than the subsystem: {imported & later}")
    check_static_imports(out, pe)
    check_static_imports(windows_tool, pefile.PE(windows_tool))

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

    for name in ("b.txt", "Readme.txt", "lib/Zeta.dll", "lib/alpha.dll", "lib.d/x.txt",
                 "lib/sub/y.txt", "data/Notes2.txt"):
        os.makedirs(os.path.dirname(os.path.join(app, name)), exist_ok=True)
        with open(os.path.join(app, name), "w") as f:
            f.write(name * 3)
    stamped = os.path.join(work, "stamped.exe")
    subprocess.run([tool, "pack", "-q", app, "-o", stamped, "--level", "3", "--reuse", "stamp"],
                   check=True)
    check_index(stamped)
    check_crc_rule_unchanged(work)

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
