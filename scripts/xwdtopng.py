#!/usr/bin/env python3
"""xwdtopng.py IN.xwd OUT.png [X Y W H]: converts a TrueColor X window dump
(as `xwd` writes it) to PNG, optionally cropped to a rectangle. Exits with
status 3, writing nothing, when the picture is one colour (windows not yet
painted)."""
import struct
import sys
import zlib


def main():
    data = open(sys.argv[1], "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    ncolors = fields[19]
    if pixmap_format != 2 or bits_per_pixel not in (24, 32) or depth < 24:
        sys.exit("xwdtopng: only 24-bit TrueColor dumps are supported")
    x, y, w, h = 0, 0, width, height
    if len(sys.argv) == 7:
        x, y, w, h = (int(v) for v in sys.argv[3:7])
        w, h = min(w, width - x), min(h, height - y)
    pixels = data[header_size + ncolors * 12:]
    step = bits_per_pixel // 8
    order = "<" if byte_order == 0 else ">"
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    rows = []
    for row in range(y, y + h):
        line = pixels[row * bytes_per_line:(row + 1) * bytes_per_line]
        out = bytearray(b"\0")
        for col in range(x, x + w):
            chunk = line[col * step:(col + 1) * step]
            v = int.from_bytes(chunk, "little" if order == "<" else "big")
            out += bytes(((v & m) >> s) & 0xFF for m, s in zip(masks, shifts))
        rows.append(bytes(out))

    if len({r[i:i + 3] for r in rows for i in range(1, len(r), 3)}) < 2:
        sys.exit(3)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    open(sys.argv[2], "wb").write(png)


if __name__ == "__main__":
    main()
