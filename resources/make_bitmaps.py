#!/usr/bin/env python3
"""Writes the two gauge bitmaps of the module as .bmp files beside this script.

vorn.bmp     resource 256: 10 x 10, 8 bits per pixel, all index 0 (black).
display.bmp  resource 512: 300 x 75, 24 bits per pixel, RGB (2, 2, 2) with
             white at column 149 in rows 0-4 and 71-74 counted from the top.

The resource compiler strips the 14-byte file header, so each resource is
the 40-byte information header and the rows, bottom row first, each filled
out to a multiple of 4 bytes: 1184 and 67540 bytes.
Run:  python3 resources/make_bitmaps.py
"""
import os
import struct

PIXELS_PER_METRE = 7874


def info_header(width, height, bits, colours):
    row = (width * bits // 8 + 3) // 4 * 4
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, row * height,
                       PIXELS_PER_METRE, PIXELS_PER_METRE, colours, 0)


def bitmap_file(dib):
    palette_and_header = 40 + (1024 if dib[14] == 8 else 0)
    return struct.pack('<2sIHHI', b'BM', 14 + len(dib), 0, 0, 14 + palette_and_header) + dib


def vorn():
    palette = b'\0\0\0\0' * 256
    rows = (b'\0' * 10 + b'\0\0') * 10
    return info_header(10, 10, 8, 256) + palette + rows


def display():
    rows = []
    for top_row in range(75):
        row = bytearray(b'\x02' * 900)
        if top_row <= 4 or top_row >= 71:
            row[149 * 3:150 * 3] = b'\xff\xff\xff'
        rows.append(bytes(row))
    return info_header(300, 75, 24, 0) + b''.join(reversed(rows))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, dib, size in (('vorn.bmp', vorn(), 1184), ('display.bmp', display(), 67540)):
        assert len(dib) == size, (name, len(dib))
        with open(os.path.join(here, name), 'wb') as f:
            f.write(bitmap_file(dib))


if __name__ == '__main__':
    main()
