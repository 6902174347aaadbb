#!/usr/bin/env python3
"""Writes Cursor1000.cur, the host's cursor resource (identifier 1000).

One 1x1 cursor image, 32 bits per pixel, hot spot 0,0, its one pixel fully
transparent (B, G, R, A all 0, and set in the AND mask). No code of the host
uses it. The file is kept in the tree; run this again only to change it:
    python3 corvane/package/Assets/make_cursor.py
"""
import os
import struct

WIDTH, HEIGHT = 1, 1
HOT_SPOT = (0, 0)
BITS_PER_PIXEL = 32


def cursor_file():
    pixels = bytes([0, 0, 0, 0]) * WIDTH * HEIGHT          # B, G, R, A: transparent
    mask_row = ((WIDTH + 31) // 32) * 4                     # 1 bit a pixel, rows of 32 bits
    and_mask = b"\x80" + bytes(mask_row - 1)                # the pixel shows what lies below
    info = struct.pack("<IiiHHIIiiII",
                       40,                                  # BITMAPINFOHEADER size
                       WIDTH, HEIGHT * 2,                   # height covers image and mask
                       1, BITS_PER_PIXEL,                   # planes, bits per pixel
                       0,                                   # BI_RGB
                       len(pixels) + len(and_mask),         # image size
                       0, 0, 0, 0)                          # resolution, palette
    image = info + pixels + and_mask
    header = struct.pack("<HHH", 0, 2, 1)                   # reserved, type 2 (cursor), 1 image
    entry = struct.pack("<BBBBHHII", WIDTH, HEIGHT, 0, 0, *HOT_SPOT,
                        len(image), len(header) + 16)      # size and offset of the image
    return header + entry + image


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Cursor1000.cur")
    with open(path, "wb") as out:
        out.write(cursor_file())


if __name__ == "__main__":
    main()
