#!/usr/bin/env python3
"""Converts the Xvfb frame buffer (an XWD file, 24/32 bits per pixel) to a PNG."""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    byte_order = header[7]
    if bits_per_pixel != 32:
        raise SystemExit("only 32 bits per pixel frame buffers are supported")
    offset = header_size + ncolors * 12
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * 4]
        row = bytearray(b"\x00")
        for x in range(width):
            px = line[x * 4: x * 4 + 4]
            b, g, r = (px[0], px[1], px[2]) if byte_order == 0 else (px[3], px[2], px[1])
            row += bytes((r, g, b))
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
