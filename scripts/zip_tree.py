#!/usr/bin/env python3
"""Zips a folder reproducibly: entries sorted by name, every time SOURCE_DATE_EPOCH,
fixed permissions (0755 for programs and folders, 0644 otherwise), one compression level.

usage: zip_tree.py FOLDER OUT.zip   (the zip holds FOLDER's name as its top folder)
"""
import os
import sys
import time
import zipfile


def main():
    folder, out = sys.argv[1], sys.argv[2]
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    stamp = time.gmtime(epoch)[:6]  # zip times start in 1980
    top = os.path.basename(os.path.normpath(folder))
    paths = []
    for dirpath, dirnames, filenames in os.walk(folder):
        for name in dirnames + filenames:
            paths.append(os.path.join(dirpath, name))
    temp = out + ".part"
    with zipfile.ZipFile(temp, "w") as archive:
        for path in sorted(paths, key=lambda p: os.path.relpath(p, folder)):
            name = top + "/" + os.path.relpath(path, folder).replace(os.sep, "/")
            is_dir = os.path.isdir(path)
            info = zipfile.ZipInfo(name + ("/" if is_dir else ""), date_time=stamp)
            executable = is_dir or os.access(path, os.X_OK)
            info.external_attr = ((0o40755 if is_dir else 0o100755 if executable else 0o100644)
                                  << 16) | (0x10 if is_dir else 0)
            info.create_system = 3  # Unix, so that the permissions above are read
            if is_dir:
                archive.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as source:
                    archive.writestr(info, source.read(), compresslevel=9)
    os.replace(temp, out)


if __name__ == "__main__":
    main()
