#!/usr/bin/env python3
"""kovran-onefile.exe read back with pefile: the launchers' default icon images (those of a
launcher the Linux tool packs from a program without icon) and manifest, and a version
resource that names the tool and its version."""
import os
import struct
import subprocess
import sys
import tempfile

import pefile

windows_tool, host_tool = sys.argv[1:3]
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def resources(pe):
    found = {}
    for rtype in getattr(getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None), "entries", []):
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                entry = lang.data.struct
                found[(rtype.id, rid.id)] = pe.get_data(entry.OffsetToData, entry.Size)
                check(lang.id == 0, f"resource {rtype.id} {rid.id} of language {lang.id}")
    return found


def icons(res):
    group = res[(RT_GROUP_ICON, 1)]
    count = struct.unpack_from("<H", group, 4)[0]
    return [res[(RT_ICON, struct.unpack_from("<H", group, 6 + 14 * i + 12)[0])]
            for i in range(count)]


with tempfile.TemporaryDirectory() as work:
    app = os.path.join(work, "app")
    os.makedirs(app)
    main = bytearray(64 + 24 + 240)
    main[0:2], main[0x3C] = b"MZ", 64
    main[64:70], main[84], main[86] = b"PE\0\0\x64\x86", 240, 0x22
    main[88:90], main[88 + 68] = b"\x0b\x02", 3
    open(os.path.join(app, "main.exe"), "wb").write(bytes(main))
    launcher = os.path.join(work, "launcher.exe")
    subprocess.run([host_tool, "pack", "-q", app, "-o", launcher], check=True)
    expected = resources(pefile.PE(launcher))

tool = pefile.PE(windows_tool)
got = resources(tool)
check((RT_GROUP_ICON, 1) in got and icons(got) == icons(expected),
      "not the launchers' default icon")
check(got.get((RT_MANIFEST, 1)) == expected[(RT_MANIFEST, 1)], "not the launchers' manifest")
version = subprocess.run([host_tool, "--version"], check=True, stdout=subprocess.PIPE,
                         text=True).stdout.split()[1]
strings = {}
for info in getattr(tool, "FileInfo", [[]])[0]:
    for table in getattr(info, "StringTable", []):
        check(table.LangID == b"000004b0", "string table key")
        strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
check((RT_VERSION, 1) in got, "no version resource")
for key, value in (("ProductName", "kovran-onefile"), ("OriginalFilename", "kovran-onefile.exe"),
                   ("FileVersion", version), ("ProductVersion", version)):
    check(strings.get(key) == value, f"{key} is {strings.get(key)!r}")
if hasattr(tool, "VS_FIXEDFILEINFO"):
    fixed = tool.VS_FIXEDFILEINFO[0]
    numbers = [int(n) for n in version.split(".")] + [0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) ==
          (numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]), "fixed file version")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
