#!/usr/bin/env python3
"""Prints where a section's data lies in a PE file: "OFFSET SIZE" (its virtual size, the
bytes that were written into it). Reads the headers itself, so that a test needs nothing
but Python's standard library.

  pe_section.py FILE NAME
"""
import struct
import sys


def main():
    path, wanted = sys.argv[1], sys.argv[2].encode()
    exe = open(path, "rb").read()
    pe, = struct.unpack_from("<I", exe, 0x3C)
    count, = struct.unpack_from("<H", exe, pe + 6)
    table = pe + 24 + struct.unpack_from("<H", exe, pe + 20)[0]
    for i in range(count):
        name, vsize, _, _, raw = struct.unpack_from("<8sIIII", exe, table + 40 * i)
        if name.rstrip(b"\0") == wanted:
            print(raw, vsize)
            return
    sys.exit(f"pe_section: {path} has no section {sys.argv[2]}")


if __name__ == "__main__":
    main()
