#!/usr/bin/env python3
"""Checks the bytes of the package's cursor resource.

usage: cursor_resource_test.py CURSOR_FILE

A Windows cursor file with one 1x1 image: 32 bits per pixel, hot spot 0,0,
its pixel fully transparent."""
import struct
import sys


def fail(message):
    sys.exit(f"{sys.argv[1]}: {message}")


def main():
    with open(sys.argv[1], "rb") as file:
        data = file.read()
    if len(data) != 70:
        fail(f"expected 70 bytes, found {len(data)}")

    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind, count) != (0, 2, 1):
        fail(f"header {reserved, kind, count}: expected a cursor (type 2) with one image")

    width, height, colors, _, hot_x, hot_y, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    if (width, height, colors, hot_x, hot_y) != (1, 1, 0, 0, 0):
        fail(f"directory entry {width}x{height}, {colors} colours, hot spot {hot_x},{hot_y}")
    if (offset, size) != (22, 48) or offset + size != len(data):
        fail(f"image at {offset} of {size} bytes: expected 48 bytes at 22, up to the end")

    (header_size, bitmap_width, bitmap_height, planes, bits, compression,
     image_size) = struct.unpack_from("<IiiHHII", data, offset)
    if (header_size, bitmap_width, bitmap_height) != (40, 1, 2):
        fail(f"BITMAPINFOHEADER of {header_size} bytes, {bitmap_width}x{bitmap_height}: "
             "expected 40 bytes, 1 wide and 2 high (image and mask)")
    if (planes, bits, compression) != (1, 32, 0):
        fail(f"{planes} planes, {bits} bits per pixel, compression {compression}")
    if image_size not in (0, 8):
        fail(f"image size {image_size}")

    pixel = data[offset + 40:offset + 44]
    if pixel != bytes(4):
        fail(f"pixel {pixel.hex()}: expected B, G, R and alpha 0 (fully transparent)")
    mask = data[offset + 44:offset + 48]
    if mask != b"\x80\x00\x00\x00":
        fail(f"AND mask {mask.hex()}: expected the pixel's bit set, the row padded to 32 bits")


if __name__ == "__main__":
    main()
