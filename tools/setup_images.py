#!/usr/bin/env python3
"""Draws the setup application's small images into resources/: the two
icon-style previews (sunny-classic.tif, sunny-sky.tiff) and the three
toolbar images (setup-general.png, setup-locations.png, setup-sources.png).
Standard library only; run from the repository root."""

import math
import struct
import zlib

SIZE = 32


def canvas():
    return [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]


def disc(img, cx, cy, r, color):
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if d <= r:
                img[y][x] = color


def rect(img, x0, y0, x1, y1, color):
    for y in range(y0, y1):
        for x in range(x0, x1):
            img[y][x] = color


def rays(img, cx, cy, r0, r1, color):
    for k in range(8):
        a = k * math.pi / 4
        for t in range(int(r0 * 4), int(r1 * 4)):
            x, y = cx + math.cos(a) * t / 4, cy + math.sin(a) * t / 4
            for dx in (0, 1):
                xi, yi = int(x) + dx, int(y)
                if 0 <= xi < SIZE and 0 <= yi < SIZE:
                    img[yi][xi] = color


def png(path, img):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in img)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw)))
        f.write(chunk(b"IEND", b""))


def tiff(path, img):
    pixels = bytes(c for row in img for px in row for c in px)
    entries = [
        (256, 3, 1, SIZE), (257, 3, 1, SIZE), (258, 3, 4, None), (259, 3, 1, 1), (262, 3, 1, 2),
        (273, 4, 1, None), (277, 3, 1, 4), (278, 3, 1, SIZE), (279, 4, 1, len(pixels)), (284, 3, 1, 1),
        (338, 3, 1, 2),
    ]
    ifd_offset = 8
    ifd_size = 2 + 12 * len(entries) + 4
    bits_offset = ifd_offset + ifd_size
    data_offset = bits_offset + 8
    out = bytearray(b"II*\0" + struct.pack("<I", ifd_offset))
    out += struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if tag == 258:
            value = bits_offset
        if tag == 273:
            value = data_offset
        if kind == 3 and count == 1:
            out += struct.pack("<HHIHH", tag, kind, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, kind, count, value)
    out += struct.pack("<I", 0)
    out += struct.pack("<HHHH", 8, 8, 8, 8)
    out += pixels
    with open(path, "wb") as f:
        f.write(out)


def sunny(sky):
    img = canvas()
    if sky:
        disc(img, 16, 16, 15, (120, 180, 240, 255))
    rays(img, 16, 16, 9, 14, (250, 170, 20, 255))
    disc(img, 16, 16, 8, (255, 210, 40, 255))
    return img


def general():
    img = canvas()
    rays(img, 16, 16, 8, 14, (110, 110, 120, 255))
    disc(img, 16, 16, 10, (130, 130, 140, 255))
    disc(img, 16, 16, 4, (0, 0, 0, 0))
    return img


def locations():
    img = canvas()
    disc(img, 16, 12, 9, (210, 50, 50, 255))
    for y in range(18, 30):
        half = max(0, (30 - y) // 2)
        rect(img, 16 - half, y, 16 + half + 1, y + 1, (210, 50, 50, 255))
    disc(img, 16, 12, 3, (255, 255, 255, 255))
    return img


def sources():
    img = canvas()
    for i, h in enumerate((24, 17, 10)):
        rect(img, 4 + i * 9, 28 - h, 11 + i * 9, 28, (40, 140, 70, 255))
    return img


if __name__ == "__main__":
    tiff("resources/sunny-classic.tif", sunny(False))
    tiff("resources/sunny-sky.tiff", sunny(True))
    png("resources/setup-general.png", general())
    png("resources/setup-locations.png", locations())
    png("resources/setup-sources.png", sources())
