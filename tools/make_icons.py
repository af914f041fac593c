#!/usr/bin/env python3
"""Draws the program's icon pictures into resources/gfx/ (and the radar frame
into resources/): weather conditions for the classic and the neo icon style,
the neo style's time-of-day blocks, warning badges, the scraping animation of
the menu bar and the marks of the locations submenu.

Every picture is made of a few simple shapes (discs, rounded bars, thick
lines, polygons) rasterised with 4 x 4 supersampling, so edges are smooth.
PNG files are written with zlib; ".tif" files as uncompressed RGBA TIFF with
straight alpha. Standard library only.

Sizes follow the drawing code: condition pictures and blocks fill the 28 x 19
work picture of the menu-bar icon; the classic pictures sit 2 points higher
because the classic style draws them 2 points lower; the moon discs are
centred where the styles draw the moon's shadow (classic (11.5, 9) + 2 up,
neo (14, 9), counted from the bottom-left).

Usage: tools/make_icons.py [RESOURCES_DIR]   (default: resources/ beside tools/)
"""

import math
import os
import struct
import sys
import zlib

SS = 4  # subsamples per pixel and axis


# ---------------------------------------------------------------- shapes
# A shape answers whether a point (x right, y down, in pixels) is inside.

def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    return lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def box(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + radius - x, 0, x - (x1 - radius))
        dy = max(y0 + radius - y, 0, y - (y1 - radius))
        return dx * dx + dy * dy <= radius * radius
    return inside


def segment(x0, y0, x1, y1, width):
    half = width / 2.0
    vx, vy = x1 - x0, y1 - y0
    length2 = vx * vx + vy * vy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / length2))
        px, py = x0 + t * vx - x, y0 + t * vy - y
        return px * px + py * py <= half * half
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def shifted(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


# ---------------------------------------------------------------- canvas

class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]  # premultiplied floats

    def fill(self, shape, color, alpha=1.0):
        """Paints shape in color (r, g, b 0..255), source-over."""
        r, g, b = (c / 255.0 for c in color)
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if shape(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            hits += 1
                if not hits:
                    continue
                a = alpha * hits / (SS * SS)
                pr, pg, pb, pa = self.px[y][x]
                self.px[y][x] = (r * a + pr * (1 - a), g * a + pg * (1 - a),
                                 b * a + pb * (1 - a), a + pa * (1 - a))

    def gradient(self, shape, top, bottom, alpha_top=1.0, alpha_bottom=1.0):
        """Paints shape with a vertical gradient from top to bottom."""
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            color = tuple(top[i] + (bottom[i] - top[i]) * t for i in range(3))
            alpha = alpha_top + (alpha_bottom - alpha_top) * t
            row = shape
            self.fill(lambda x, yy, y=y, row=row: y <= yy < y + 1 and row(x, yy), color, alpha)

    def rgba_rows(self):
        rows = []
        for line in self.px:
            out = bytearray()
            for r, g, b, a in line:
                if a <= 0:
                    out += b"\0\0\0\0"
                    continue
                out += bytes((round(min(1, r / a) * 255), round(min(1, g / a) * 255),
                              round(min(1, b / a) * 255), round(a * 255)))
            rows.append(bytes(out))
        return rows


def write_png(path, canvas):
    raw = b"".join(b"\0" + row for row in canvas.rgba_rows())

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_tiff(path, canvas):
    pixels = b"".join(canvas.rgba_rows())
    entries = [  # tag, type (3 short, 4 long), count, value or offset
        (256, 4, 1, canvas.w), (257, 4, 1, canvas.h), (258, 3, 4, None), (259, 3, 1, 1),
        (262, 3, 1, 2), (273, 4, 1, None), (277, 3, 1, 4), (278, 4, 1, canvas.h),
        (279, 4, 1, len(pixels)), (284, 3, 1, 1), (338, 3, 1, 2),
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
        elif tag == 273:
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


def save(canvas, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    (write_tiff if path.endswith(".tif") else write_png)(path, canvas)


# ---------------------------------------------------------------- pictures

W, H = 28, 19
SUN = (255, 200, 40)
SUN_EDGE = (230, 130, 20)
MOON = (238, 236, 214)
CLOUD = (244, 246, 250)
CLOUD_DARK = (150, 156, 170)
STORM_CLOUD = (110, 114, 128)
OUTLINE = (60, 64, 76)
RAIN = (40, 120, 230)
SNOW = (255, 255, 255)
SNOW_EDGE = (120, 150, 200)
BOLT = (255, 220, 0)
FOG = (200, 204, 212)
WIND = (90, 150, 200)


def sun(c, cx, cy, outline):
    rays = [segment(cx + 6.0 * math.cos(a), cy + 6.0 * math.sin(a),
                    cx + 8.6 * math.cos(a), cy + 8.6 * math.sin(a), 1.5)
            for a in (i * math.pi / 4 for i in range(8))]
    c.fill(union(*rays), SUN_EDGE)
    if outline:
        c.fill(disc(cx, cy, 5.2), SUN_EDGE)
        c.fill(disc(cx, cy, 4.3), SUN)
    else:
        c.fill(disc(cx, cy, 4.8), SUN)


def moon(c, cx, cy, r, outline):
    if outline:
        c.fill(disc(cx, cy, r), OUTLINE)
        c.fill(disc(cx, cy, r - 0.9), MOON)
    else:
        c.fill(disc(cx, cy, r), MOON)
    for dx, dy, cr in ((-2.5, -2.0, 1.6), (2.6, 1.5, 1.2), (-0.8, 3.4, 0.9)):
        c.fill(disc(cx + dx * r / 8, cy + dy * r / 8, cr * r / 8), (214, 210, 186))


def cloud_shape(x, y, scale=1.0):
    s = scale
    return union(disc(x + 5 * s, y + 5 * s, 3.4 * s), disc(x + 10 * s, y + 3.4 * s, 4.6 * s),
                 disc(x + 15 * s, y + 5.4 * s, 3.2 * s), box(x + 2 * s, y + 5 * s, x + 18 * s, y + 8.6 * s, 2.4 * s))


def cloud(c, x, y, color, outline, scale=1.0):
    shape = cloud_shape(x, y, scale)
    if outline:
        c.fill(shape, OUTLINE)
        c.fill(lambda px, py: shape(px, py) and all(
            shape(px + dx, py + dy) for dx, dy in ((0.8, 0), (-0.8, 0), (0, 0.8), (0, -0.8))), color)
    else:
        c.fill(shifted(shape, 0.6, 0.8), (0, 0, 0), 0.18)
        c.fill(shape, color)


def drops(c, x, y, count=3):
    c.fill(union(*[segment(x + 4 * i + 2, y, x + 4 * i, y + 4, 1.4) for i in range(count)]), RAIN)


def flakes(c, x, y, count=3):
    for i in range(count):
        fx, fy = x + 4 * i + 1.5, y + 2 + (i % 2) * 1.5
        c.fill(disc(fx, fy, 1.9), SNOW_EDGE)
        c.fill(disc(fx, fy, 1.2), SNOW)


def bolt(c, x, y):
    c.fill(polygon([(x + 3, y), (x + 6.5, y), (x + 4.5, y + 3), (x + 7, y + 3),
                    (x + 1.5, y + 8.5), (x + 3, y + 4.2), (x + 1, y + 4.2)]), BOLT)


class Style:
    """Where a style puts its pictures inside the 28 x 19 picture (y down)."""

    def __init__(self, name, ext, dy, moon_center, moon_r, outline):
        self.name, self.ext, self.dy = name, ext, dy
        self.moon_center, self.moon_r, self.outline = moon_center, moon_r, outline

    def file(self, base):
        suffix = "" if self.name == "classic" else "-neo"
        return base + suffix + self.ext


CLASSIC = Style("classic", ".tif", -2, (11.5, H - 11.0), 8.2, True)
NEO = Style("neo", ".png", 0, (14.0, H - 9.0), 7.8, False)


def condition_pictures(style):
    """Every condition picture of the style: file name -> canvas."""
    d, o = style.dy, style.outline
    pics = {}

    def new():
        return Canvas(W, H)

    c = new(); sun(c, 12, 9.5 + d, o); pics["sun"] = c
    c = new(); moon(c, *style.moon_center, style.moon_r, o); pics["moon"] = c
    c = new(); cloud(c, 6, 7 + d, CLOUD, o); pics["cloud-part"] = c
    c = new(); cloud(c, 4, 5.5 + d, CLOUD_DARK, o, 0.9); cloud(c, 7, 7 + d, CLOUD, o); pics["cloud-heavy"] = c
    c = new(); cloud(c, 1, 3 + d, CLOUD_DARK, o, 0.9); cloud(c, 6, 6 + d, CLOUD, o); pics["cloud"] = c
    c = new(); cloud(c, 4, 1 + d, CLOUD, o); drops(c, 7, 12 + d, 3); pics["rain"] = c
    c = new(); cloud(c, 4, 1 + d, CLOUD, o); flakes(c, 7, 11 + d, 3); pics["snow"] = c
    c = new(); cloud(c, 4, 1 + d, CLOUD, o); drops(c, 7, 12 + d, 1); flakes(c, 14, 11 + d, 2); pics["sleet"] = c
    c = new(); cloud(c, 4, 1 + d, STORM_CLOUD if o else CLOUD_DARK, o); bolt(c, 10, 9 + d); drops(c, 17, 12 + d, 1); pics["storm"] = c
    c = new()
    c.fill(union(box(4, 5 + d, 24, 6.8 + d, 0.9), box(2, 9 + d, 22, 10.8 + d, 0.9),
                 box(6, 13 + d, 26, 14.8 + d, 0.9)), OUTLINE if o else FOG)
    pics["fog"] = c
    c = new()
    c.fill(union(segment(3, 6 + d, 20, 6 + d, 1.6), segment(6, 10 + d, 25, 10 + d, 1.6),
                 segment(3, 14 + d, 17, 14 + d, 1.6), ring(20, 3.6 + d, 2.4, 1.6)), WIND)
    pics["wind"] = c
    c = new()
    c.fill(box(12.5, 2 + d, 15.5, 13 + d, 1.5), OUTLINE)
    c.fill(disc(14, 14.5 + d, 3.2), (220, 40, 30))
    c.fill(box(13.3, 4 + d, 14.7, 13 + d, 0.7), (220, 40, 30))
    pics["hot"] = c
    return {style.file(name): pic for name, pic in pics.items()}


def block(top, bottom):
    c = Canvas(W, H)
    c.gradient(box(0, 0, W, H, 3.5), top, bottom)
    return c


def block_pictures():
    blocks = {
        "daytime_block.png": block((80, 160, 240), (150, 205, 250)),
        "nighttime_block.png": block((10, 20, 60), (40, 55, 110)),
        "presunrise_block.png": block((40, 40, 100), (170, 90, 120)),
        "postsunrise_block.png": block((120, 150, 220), (250, 180, 120)),
        "presunset_block.png": block((110, 140, 210), (250, 150, 80)),
        "postsunset_block.png": block((50, 40, 100), (200, 90, 70)),
        "storm_block.png": block((40, 40, 50), (90, 90, 100)),
        "overcast_block.png": block((140, 145, 155), (190, 195, 205)),
    }
    sheen = Canvas(W, H)
    sheen.gradient(box(0.5, 0.5, W - 0.5, H / 2.0, 3.0), (255, 255, 255), (255, 255, 255), 0.45, 0.08)
    blocks["sheen_block.png"] = sheen
    return blocks


def badge(size, color, mark, width, height):
    """A triangle (warning) or a disc (watch) with an exclamation mark."""
    c = Canvas(width, height)
    s = size
    if mark == "triangle":
        c.fill(polygon([(s / 2, 0.3), (s - 0.2, s - 0.4), (0.2, s - 0.4)]), (90, 20, 10))
        c.fill(polygon([(s / 2, 1.6), (s - 1.3, s - 1.1), (1.3, s - 1.1)]), color)
    else:
        c.fill(disc(s / 2, s / 2, s / 2), (90, 60, 0))
        c.fill(disc(s / 2, s / 2, s / 2 - 0.8), color)
    c.fill(box(s / 2 - s * 0.07, s * 0.28, s / 2 + s * 0.07, s * 0.62, 0.3), (30, 20, 10))
    c.fill(disc(s / 2, s * 0.74, s * 0.08), (30, 20, 10))
    return c


def warning_pictures():
    return {
        # Badges laid over the weather icon, in its bottom-left corner.
        "watch-tiny.png": badge(10, (255, 205, 40), "disc", 10, 10),
        "warning-tiny.png": badge(11, (235, 60, 40), "triangle", 11, 11),
        # The pictures of the warning line, drawn into a 28 x 19 picture.
        "watch.png": badge(18, (255, 205, 40), "disc", W, 18),
        "warning.png": badge(19, (235, 60, 40), "triangle", W, H),
    }


def status_pictures():
    """The scraping animation kv2-1 .. kv2-4 (a growing arc of dots) and the
    failure picture kv2-x."""
    pics = {}
    for frame in range(1, 5):
        c = Canvas(W, H)
        for i in range(4):
            a = -math.pi / 2 + i * math.pi / 2
            lit = i < frame
            c.fill(disc(14 + 5.5 * math.cos(a), 9.5 + 5.5 * math.sin(a), 2.2),
                   (40, 120, 230) if lit else (170, 175, 185))
        pics["kv2-%d.png" % frame] = c
    c = Canvas(W, H)
    cloud(c, 5, 3, CLOUD_DARK, True)
    c.fill(union(segment(16, 9, 23, 16, 2.2), segment(23, 9, 16, 16, 2.2)), (210, 40, 30))
    pics["kv2-x.png"] = c
    return pics


def submenu_marks():
    check = Canvas(12, 12)
    check.fill(union(segment(2, 6.5, 5, 9.5, 2.0), segment(5, 9.5, 10.5, 2.5, 2.0)), (20, 20, 20))
    fav = Canvas(12, 12)
    star = [(6 + (5.5 if i % 2 == 0 else 2.3) * math.cos(-math.pi / 2 + i * math.pi / 5),
             6.3 + (5.5 if i % 2 == 0 else 2.3) * math.sin(-math.pi / 2 + i * math.pi / 5)) for i in range(10)]
    fav.fill(polygon(star), (240, 170, 20))
    return {"check.tif": check, "fav.png": fav}


def radar_overlay():
    """A frame for the radar line: a 160 x 120 radar picture shows through
    at (2, 9) from the bottom-left; a dark strip carries a north mark."""
    w, h = 164, 131
    c = Canvas(w, h)
    frame = minus(box(0, 0, w, h, 3), box(2, 2, w - 2, h - 9))
    c.fill(frame, (60, 64, 76))
    c.fill(polygon([(w - 12, h - 2), (w - 9, h - 7.5), (w - 6, h - 2)]), (240, 240, 240))
    return c


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    gfx = os.path.join(root, "gfx")
    for style in (CLASSIC, NEO):
        for name, pic in condition_pictures(style).items():
            save(pic, os.path.join(gfx, "conditions", name))
    for name, pic in block_pictures().items():
        save(pic, os.path.join(gfx, "blocks", name))
    for name, pic in warning_pictures().items():
        save(pic, os.path.join(gfx, "warnings", name))
    for name, pic in status_pictures().items():
        save(pic, os.path.join(gfx, "status", name))
    for name, pic in submenu_marks().items():
        save(pic, os.path.join(gfx, name))
    save(radar_overlay(), os.path.join(root, "radar_overlay.png"))


if __name__ == "__main__":
    main()
