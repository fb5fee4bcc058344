#!/usr/bin/env python3
"""Finds the payload block in a packed launcher and reads its zstd frame header.

Prints JSON: the block's offset, the frame's size, window size, content size and
checksum flag. The window is what the decoder must be able to hold; the launcher's
memory is judged against it.
"""
import json
import struct
import sys

SIGNATURE = b"QVJ\x28\xb5\x2f\xfd"


def frame_header(data, start):
    """Window size, content size (or None), checksum flag and header length."""
    descriptor = data[start + 4]
    fcs_flag, single_segment = descriptor >> 6, (descriptor >> 5) & 1
    checksum, dict_flag = (descriptor >> 2) & 1, descriptor & 3
    pos = start + 5
    window = None
    if not single_segment:
        wd = data[pos]
        pos += 1
        base = 1 << (10 + (wd >> 3))
        window = base + (base // 8) * (wd & 7)
    pos += [0, 1, 2, 4][dict_flag]
    fcs_size = [1 if single_segment else 0, 2, 4, 8][fcs_flag]
    content = None
    if fcs_size:
        content = int.from_bytes(data[pos:pos + fcs_size], "little")
        if fcs_size == 2:
            content += 256
    pos += fcs_size
    if window is None:
        window = content
    return window, content, checksum, pos


def frame_end(data, pos, checksum):
    """Walks the blocks to the frame's end."""
    while True:
        header = int.from_bytes(data[pos:pos + 3], "little")
        last, kind, size = header & 1, (header >> 1) & 3, header >> 3
        pos += 3 + (1 if kind == 1 else size)  # an RLE block stores one byte
        if last:
            return pos + (4 if checksum else 0)


def image_size(data):
    """SizeOfImage of the PE header: the memory the image takes once loaded."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, pe + 24 + 56)[0]


def payload_section_offset(data, block):
    """File offset of the PE section that holds the block. Wine maps a section from the
    file only when that offset is a multiple of the page size, and copies it otherwise."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    table = pe + 24 + optional_size
    for i in range(sections):
        raw_size, raw_offset = struct.unpack_from("<II", data, table + 40 * i + 16)
        if raw_offset <= block < raw_offset + raw_size:
            return raw_offset
    return None


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: frame_info.py LAUNCHER.exe")
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    block = data.find(SIGNATURE)
    if block < 0:
        sys.exit(f"frame_info: no payload block in {sys.argv[1]}")
    frame = block + 3
    window, content, checksum, body = frame_header(data, frame)
    end = frame_end(data, body, checksum)
    block_bytes = None
    for fill in range(64):  # the zero fill, then the trailer holding the bytes before it
        at = end + fill
        if data[at - 1:at] not in (b"", b"\0") and fill:
            break
        if struct.unpack_from("<Q", data, at)[0] == at - block:
            block_bytes = at + 8 - block
            break
    print(json.dumps({
        "block_offset": block,
        "frame_bytes": end - frame,
        "block_bytes": block_bytes,
        "window_bytes": window,
        "content_bytes": content,
        "checksum": bool(checksum),
        "executable_bytes": len(data),
        "image_bytes": image_size(data),
        "payload_section_file_offset": payload_section_offset(data, block),
    }))


if __name__ == "__main__":
    main()
