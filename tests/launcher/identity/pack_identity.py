#!/usr/bin/env python3
"""A GUI program with its own icon and version strings, packed without options: the
launcher carries that icon's images and the program's version resource, read back with
pefile. The same from a payload block, and the options still win over the program."""
import os
import struct
import subprocess
import sys
import tempfile

import pefile

tool, app, main_icon, other_icon = sys.argv[1:5]
RT_ICON, RT_GROUP_ICON = 3, 14
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def icon_images(path):
    """The images of an .ico file, in its order."""
    data = open(path, "rb").read()
    count = struct.unpack_from("<H", data, 4)[0]
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        images.append(data[offset:offset + size])
    return images


def resources(pe):
    found = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                entry = lang.data.struct
                found[(rtype.id, rid.id)] = pe.get_data(entry.OffsetToData, entry.Size)
    return found


def launcher_icons(pe):
    res = resources(pe)
    group = res[(RT_GROUP_ICON, 1)]
    count = struct.unpack_from("<H", group, 4)[0]
    return [res[(RT_ICON, struct.unpack_from("<H", group, 6 + 14 * i + 12)[0])]
            for i in range(count)]


def version_of(pe):
    tables = {}
    translations = []
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            tables[table.LangID] = {k.decode(): v.decode() for k, v in table.entries.items()}
        for var in getattr(info, "Var", []):
            translations.append(var.entry.get(b"Translation"))
    return pe.VS_FIXEDFILEINFO[0], tables, translations


def pack(*args):
    result = subprocess.run([tool, "pack", "--quiet", *args], capture_output=True, text=True)
    check(result.returncode == 0, f"pack {args}: {result.stderr}")
    check(result.stderr == "", f"pack {args} warned: {result.stderr}")
    return result


def rsrc_bytes(pe):
    section = next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".rsrc")
    return section.get_data()


made_by = subprocess.run([tool, "--version"], capture_output=True, text=True).stdout.strip()

with tempfile.TemporaryDirectory() as work:
    plain = os.path.join(work, "plain.exe")
    pack(app, "-o", plain)
    pe = pefile.PE(plain)
    check(not pe.get_warnings(), f"pefile warnings: {pe.get_warnings()}")

    # The named group the system shows, image for image; not the program's other icon.
    check(launcher_icons(pe) == icon_images(main_icon), "icons are not the program's own")
    check(launcher_icons(pe) != icon_images(other_icon), "icons are the program's second group")

    fixed, tables, translations = version_of(pe)
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x40003, 0x20001), "file version")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x40003, 0), "product version")
    check((fixed.FileFlags, fixed.FileOS, fixed.FileType) == (0x20, 0x40004, 1), "fixed fields")
    check(list(tables) == [b"040904b0"], f"string tables {list(tables)}")
    check(translations == ["0x0409 0x04b0"], f"translation {translations}")
    strings = tables.get(b"040904b0", {})
    expected = {
        "Comments": "Shows the tides of a harbour",
        "CompanyName": "Vellmar Instruments Ltd.",
        "FileDescription": "Tide Table Viewer",
        "FileVersion": "4.3.2.1",
        "InternalName": "tidetable",
        "LegalCopyright": "Copyright \u00a9 2024 Vellmar Instruments",
        "LegalTrademarks": "Tide Table is a mark of Vellmar",
        "OriginalFilename": "tidetable.exe",
        "PrivateBuild": "nightly 2024-05-01",
        "ProductName": "Tide Table",
        "ProductVersion": "4.3 (spring)",
        # Which tool made it, beside the program's own comments.
        "PackedBy": made_by,
    }
    check(strings == expected, f"strings {strings}")
    info = subprocess.run([tool, "info", plain], capture_output=True, text=True).stdout
    check("app version:      4.3.2.1" in info, f"info: {info}")
    for line in ("product:          Tide Table", "file version:     4.3.2.1",
                 "product version:  4.3 (spring)", f"made by:          {made_by}"):
        check(f"\n{line}\n" in info, f"info lacks {line!r}: {info}")

    # The same main program in a ready-made block: the same resources.
    payload = next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".payload")
    block = os.path.join(work, "app.block")
    with open(block, "wb") as f:
        f.write(payload.get_data()[:payload.Misc_VirtualSize])
    from_block = os.path.join(work, "block.exe")
    pack("--payload-block", block, "-o", from_block)
    check(rsrc_bytes(pefile.PE(from_block)) == rsrc_bytes(pe), "block gives other resources")

    # The options win, field by field; what they do not name stays the program's.
    given = os.path.join(work, "given.exe")
    pack(app, "-o", given, "--icon", other_icon, "--app-version", "5.6.7.8", "--product-name",
         "Harbour Tides")
    pe = pefile.PE(given)
    check(launcher_icons(pe) == icon_images(other_icon), "--icon is not carried")
    fixed, tables, _ = version_of(pe)
    strings = tables.get(b"040904b0", {})
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x50006, 0x70008), "--app-version")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x50006, 0x70008),
          "--app-version, product")
    check(strings.get("FileVersion") == "5.6.7.8" and strings.get("ProductVersion") == "5.6.7.8",
          f"version strings {strings}")
    check(strings.get("ProductName") == "Harbour Tides", "--product-name")
    check(strings.get("FileDescription") == "Harbour Tides", "--product-name, description")
    check(strings.get("CompanyName") == "Vellmar Instruments Ltd.", "company lost")

for failure in failures:
    print("FAIL:", failure)
print("identity carried" if not failures else "")
sys.exit(1 if failures else 0)
