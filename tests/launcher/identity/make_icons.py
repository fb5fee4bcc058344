#!/usr/bin/env python3
"""Writes the test program's two icon files: each a 16-pixel bitmap, a 48-pixel and a
256-pixel PNG, drawn in colours of their own so that a test can tell them apart from
each other and from the pack tool's default icons."""
import struct
import sys
import zlib


def png(size, rgba):
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            raw += bytes(rgba(x, y, size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def bitmap(size, rgba):
    # BITMAPINFOHEADER with twice the height (colour rows, then the AND mask), bottom up.
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = rgba(x, y, size)
            pixels += bytes((b, g, r, a))
    mask = bytes(((size + 31) // 32 * 4) * size)
    return header + bytes(pixels) + mask


def icon_file(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def disc(colour):
    def rgba(x, y, size):
        centre = (size - 1) / 2
        inside = (x - centre) ** 2 + (y - centre) ** 2 <= (size / 2) ** 2
        return colour + (255,) if inside else (0, 0, 0, 0)
    return rgba


for path, colour in ((sys.argv[1], (20, 160, 90)), (sys.argv[2], (200, 40, 120))):
    draw = disc(colour)
    with open(path, "wb") as f:
        f.write(icon_file([(16, 32, bitmap(16, draw)), (48, 32, png(48, draw)),
                           (256, 32, png(256, draw))]))
