#!/usr/bin/env python3
"""Draws the setup application's small pictures into resources/: the two
icon-style previews (sunny-classic.tif, sunny-sky.tiff) and the three
toolbar images (setup-general.png, setup-locations.png, setup-sources.png).
Uses the shapes, canvas and file writers of make_icons.py beside it.

Usage: tools/setup_images.py [RESOURCES_DIR]   (default: resources/ beside tools/)
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_icons as mi  # noqa: E402

SIZE = 32


def sunny(sky):
    c = mi.Canvas(SIZE, SIZE)
    if sky:
        c.fill(mi.disc(16, 16, 15.5), (120, 180, 240))
    rays = [mi.segment(16 + 10 * math.cos(a), 16 + 10 * math.sin(a), 16 + 14 * math.cos(a),
                       16 + 14 * math.sin(a), 2.2) for a in (i * math.pi / 4 for i in range(8))]
    c.fill(mi.union(*rays), mi.SUN_EDGE)
    c.fill(mi.disc(16, 16, 8), mi.SUN)
    return c


def general():
    c = mi.Canvas(SIZE, SIZE)
    teeth = [mi.segment(16 + 9 * math.cos(a), 16 + 9 * math.sin(a), 16 + 14 * math.cos(a),
                        16 + 14 * math.sin(a), 4) for a in (i * math.pi / 4 for i in range(8))]
    c.fill(mi.minus(mi.union(mi.disc(16, 16, 10.5), *teeth), mi.disc(16, 16, 4.5)), (110, 112, 122))
    return c


def locations():
    c = mi.Canvas(SIZE, SIZE)
    pin = mi.union(mi.disc(16, 12, 9), mi.polygon([(8.5, 15), (23.5, 15), (16, 30)]))
    c.fill(mi.minus(pin, mi.disc(16, 12, 3.5)), (210, 50, 50))
    return c


def sources():
    c = mi.Canvas(SIZE, SIZE)
    for i, height in enumerate((24, 17, 10)):
        c.fill(mi.box(4 + i * 9, 28 - height, 11 + i * 9, 28, 1.5), (40, 140, 70))
    return c


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    mi.write_tiff(os.path.join(out, "sunny-classic.tif"), sunny(False))
    mi.write_tiff(os.path.join(out, "sunny-sky.tiff"), sunny(True))
    mi.write_png(os.path.join(out, "setup-general.png"), general())
    mi.write_png(os.path.join(out, "setup-locations.png"), locations())
    mi.write_png(os.path.join(out, "setup-sources.png"), sources())


if __name__ == "__main__":
    main()
