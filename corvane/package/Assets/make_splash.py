#!/usr/bin/env python3
"""Writes the package's images: the splash image and the logos.

Each is the splash background colour of AppxManifest.xml (#1E3A5F) with a
light "C" mark in the middle. Only the standard library is used. The images
are kept in the tree; run this again only to change them:
    python3 corvane/package/Assets/make_splash.py
"""
import math
import os
import struct
import zlib

BACKGROUND = (0x1E, 0x3A, 0x5F)
MARK = (0xE8, 0xEE, 0xF5)
SAMPLES = 4  # per axis, for smooth edges


def inside_mark(x, y, cx, cy, radius):
    """A ring with a wedge cut out on the right: the letter C."""
    dx, dy = x - cx, y - cy
    distance = math.hypot(dx, dy)
    if not (0.62 * radius <= distance <= radius):
        return False
    return abs(math.degrees(math.atan2(dy, dx))) > 40


def pixel(x, y, cx, cy, radius):
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            px = x + (sx + 0.5) / SAMPLES
            py = y + (sy + 0.5) / SAMPLES
            hits += inside_mark(px, py, cx, cy, radius)
    share = hits / (SAMPLES * SAMPLES)
    return bytes(round(b + (m - b) * share) for b, m in zip(BACKGROUND, MARK))


def image_rows(width, height):
    cx, cy = width / 2, height / 2
    radius = 0.35 * min(width, height)
    plain = bytes(BACKGROUND)
    for y in range(height):
        row = bytearray(b"\x00")  # filter type: none
        for x in range(width):
            near = abs(x + 0.5 - cx) <= radius + 1 and abs(y + 0.5 - cy) <= radius + 1
            row += pixel(x, y, cx, cy, radius) if near else plain
        yield bytes(row)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, width, height):
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    data = zlib.compress(b"".join(image_rows(width, height)), 9)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header) + chunk(b"IDAT", data) + chunk(b"IEND", b""))


IMAGES = {
    "SplashScreen.png": (620, 300),
    "StoreLogo.png": (50, 50),
    "Square44x44Logo.png": (44, 44),
    "Square150x150Logo.png": (150, 150),
    "Wide310x150Logo.png": (310, 150),
}

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, (width, height) in IMAGES.items():
        write_png(os.path.join(here, name), width, height)
