#!/usr/bin/env python3
"""Draws the window icon and the About-page logo (standard library only).

    scripts/make-images.py [output-dir]     (default: resources/ beside this script)

Shapes are rendered analytically: every pixel takes the coverage of the strokes and
discs near it, so edges come out anti-aliased without a graphics library.
"""

import math
import os
import struct
import sys
import zlib

# --- geometry -------------------------------------------------------------------------


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def angle_in(a, start, sweep):
    """True when angle a (degrees) lies on the arc from start, sweeping counter-clockwise."""
    return (a - start) % 360.0 <= sweep


class Segment:
    def __init__(self, ax, ay, bx, by, width):
        self.a, self.b, self.hw = (ax, ay), (bx, by), width / 2.0
        self.box = (min(ax, bx) - self.hw - 1, min(ay, by) - self.hw - 1,
                    max(ax, bx) + self.hw + 1, max(ay, by) + self.hw + 1)

    def coverage(self, x, y):
        d = seg_dist(x, y, self.a[0], self.a[1], self.b[0], self.b[1])
        return max(0.0, min(1.0, self.hw - d + 0.5))


class Arc:
    """Stroked circular arc; angles in degrees, counter-clockwise with y pointing up."""

    def __init__(self, cx, cy, r, start, sweep, width):
        self.c, self.r, self.start, self.sweep, self.hw = (cx, cy), r, start, sweep, width / 2.0
        ext = r + self.hw + 1
        self.box = (cx - ext, cy - ext, cx + ext, cy + ext)
        self.ends = [self._point(start), self._point(start + sweep)]

    def _point(self, deg):
        rad = math.radians(deg)
        return (self.c[0] + self.r * math.cos(rad), self.c[1] - self.r * math.sin(rad))

    def coverage(self, x, y):
        dx, dy = x - self.c[0], self.c[1] - y
        if self.sweep >= 360 or angle_in(math.degrees(math.atan2(dy, dx)), self.start, self.sweep):
            d = abs(math.hypot(dx, dy) - self.r)
        else:
            d = min(math.hypot(x - ex, y - ey) for ex, ey in self.ends)
        return max(0.0, min(1.0, self.hw - d + 0.5))


class Disc:
    def __init__(self, cx, cy, r):
        self.c, self.r = (cx, cy), r
        self.box = (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1)

    def coverage(self, x, y):
        return max(0.0, min(1.0, self.r - math.hypot(x - self.c[0], y - self.c[1]) + 0.5))


class Wedge:
    """Filled circular sector whose opacity fades from the leading edge backwards."""

    def __init__(self, cx, cy, r, lead, trail_sweep):
        self.c, self.r, self.lead, self.trail = (cx, cy), r, lead, trail_sweep
        self.box = (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1)

    def coverage(self, x, y):
        dx, dy = x - self.c[0], self.c[1] - y
        dist = math.hypot(dx, dy)
        inside = max(0.0, min(1.0, self.r - dist + 0.5))
        behind = (self.lead - math.degrees(math.atan2(dy, dx))) % 360.0
        if inside == 0.0 or behind > self.trail:
            return 0.0
        return inside * (1.0 - behind / self.trail) ** 1.5


# --- raster ---------------------------------------------------------------------------


class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]  # premultiplied

    def draw(self, shape, rgba):
        x0, y0, x1, y1 = shape.box
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)) + 1)):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)) + 1)):
                a = shape.coverage(x + 0.5, y + 0.5) * rgba[3]
                if a <= 0.0:
                    continue
                p = self.px[y * self.w + x]
                keep = 1.0 - a
                p[0] = rgba[0] * a + p[0] * keep
                p[1] = rgba[1] * a + p[1] * keep
                p[2] = rgba[2] * a + p[2] * keep
                p[3] = a + p[3] * keep

    def rgba_bytes(self):
        out = bytearray()
        for y in range(self.h):
            out.append(0)  # PNG filter type: none
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                out += bytes(int(round(max(0.0, min(1.0, v)) * 255)) for v in (r, g, b, a))
        return bytes(out)

    def png(self):
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)  # 8-bit RGBA
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(self.rgba_bytes(), 9)) + chunk(b"IEND", b""))


def rgb(hex_colour, alpha=1.0):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha)


NAVY, PANEL, GREEN, PALE = rgb("#0f2233"), rgb("#16364d"), rgb("#35d07f"), rgb("#b8f5d2")
INK = rgb("#22384c")

# --- icon -----------------------------------------------------------------------------


def radar_scope(size):
    """A round scope: range rings, cross hairs, a fading sweep and one echo."""
    c = Canvas(size, size)
    s = size / 32.0  # drawn on a 32-unit grid, strokes kept at least one pixel wide
    line = max(1.0, 1.1 * s)
    mid, radius = size / 2.0, size / 2.0 - 0.5 * s
    c.draw(Disc(mid, mid, radius), NAVY)
    c.draw(Disc(mid, mid, radius - 1.5 * s), PANEL)
    c.draw(Wedge(mid, mid, radius - 1.5 * s, 50.0, 110.0), rgb("#35d07f", 0.55))
    rings = (1,) if size < 24 else (1, 2, 3)
    for k in rings:
        r = (radius - 1.5 * s) * k / len(rings)
        c.draw(Arc(mid, mid, r - line / 2, 0, 360, line * 0.8), rgb("#35d07f", 0.6))
    if size >= 24:
        inner = radius - 1.5 * s
        c.draw(Segment(mid - inner, mid, mid + inner, mid, line * 0.6), rgb("#35d07f", 0.35))
        c.draw(Segment(mid, mid - inner, mid, mid + inner, line * 0.6), rgb("#35d07f", 0.35))
    lead = math.radians(50.0)
    tip = (radius - 1.5 * s) * 0.98
    c.draw(Segment(mid, mid, mid + tip * math.cos(lead), mid - tip * math.sin(lead), line * 1.2),
           PALE)
    echo = math.radians(15.0)
    c.draw(Disc(mid + 0.62 * tip * math.cos(echo), mid - 0.62 * tip * math.sin(echo),
                max(1.0, 1.5 * s)), PALE)
    c.draw(Disc(mid, mid, max(0.8, 1.4 * s)), PALE)
    return c.png()


def ico(images):
    """ICO container with PNG payloads (sizes up to 256; 256 is written as 0)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return header + entries + blobs


# --- logo -----------------------------------------------------------------------------


def wordmark(x, baseline, xh, width):
    """Strokes of "Tessavon" in a geometric lower case; returns (shapes, right edge)."""
    shapes = []
    r = xh / 2.0
    cap = xh * 1.45
    gap = width * 1.35

    def advance(w):
        nonlocal x
        x += w + gap

    cy = baseline - r  # centre of the x-height bowls
    # T
    shapes += [Segment(x, baseline - cap, x + cap * 0.78, baseline - cap, width),
               Segment(x + cap * 0.39, baseline - cap, x + cap * 0.39, baseline, width)]
    advance(cap * 0.78 - gap * 0.35)
    # e: closed bowl on top, open towards the lower right
    shapes += [Arc(x + r, cy, r - width / 2, 0, 320, width),
               Segment(x + width / 2, cy, x + 2 * r - width / 2, cy, width)]
    advance(2 * r)
    # s (twice)
    for _ in range(2):
        q = (xh - width) / 4.0
        top, bot = baseline - xh + width / 2 + q, baseline - width / 2 - q
        sx = x + q * 1.15
        shapes += [Arc(sx, top, q, 20, 250, width), Arc(sx, bot, q, 200, 250, width)]
        advance(q * 2.3)
    # a: bowl and a stem on the right
    shapes += [Arc(x + r, cy, r - width / 2, 0, 360, width),
               Segment(x + 2 * r - width / 2, baseline - xh, x + 2 * r - width / 2, baseline,
                       width)]
    advance(2 * r)
    # v
    shapes += [Segment(x, baseline - xh, x + r * 0.95, baseline, width),
               Segment(x + r * 0.95, baseline, x + 1.9 * r, baseline - xh, width)]
    advance(1.9 * r)
    # o
    shapes.append(Arc(x + r, cy, r - width / 2, 0, 360, width))
    advance(2 * r)
    # n: stem, arch and second stem
    ar = r * 0.9 - width / 2
    shapes += [Segment(x + width / 2, baseline - xh, x + width / 2, baseline, width),
               Arc(x + width / 2 + ar, baseline - xh + width / 2 + ar, ar, 0, 180, width),
               Segment(x + width / 2 + 2 * ar, baseline - xh + width / 2 + ar,
                       x + width / 2 + 2 * ar, baseline, width)]
    return shapes, x + width + 2 * ar


def logo():
    width, height = 600, 200
    c = Canvas(width, height)
    # Radar motif: a dish foot and echo arcs spreading to the upper right.
    ox, oy = 52.0, 122.0
    c.draw(Disc(ox, oy, 9.0), GREEN)
    c.draw(Segment(ox, oy, ox - 16, oy + 34, 7.0), INK)
    c.draw(Segment(ox, oy, ox + 16, oy + 34, 7.0), INK)
    c.draw(Segment(ox - 26, oy + 34, ox + 26, oy + 34, 7.0), INK)
    c.draw(Wedge(ox, oy, 100.0, 80.0, 70.0), rgb("#35d07f", 0.35))
    for k, r in enumerate((32.0, 56.0, 80.0)):
        c.draw(Arc(ox, oy, r, 8, 74, 7.0), rgb("#1f9e5c", 1.0 - 0.22 * k))
    c.draw(Disc(ox + 62, oy - 78, 6.5), GREEN)

    stroke, xh, baseline = 10.0, 46.0, 128.0
    shapes, right = wordmark(0.0, baseline, xh, stroke)
    left = 172.0
    shift = left + (width - left - 14.0 - right) / 2.0
    for shape in shapes:
        move(shape, shift)
        c.draw(shape, INK)
    c.draw(Segment(shift, baseline + 24, shift + right, baseline + 24, 4.0),
           rgb("#35d07f", 0.9))
    return c.png()


def move(shape, dx):
    x0, y0, x1, y1 = shape.box
    shape.box = (x0 + dx, y0, x1 + dx, y1)
    if isinstance(shape, Segment):
        shape.a, shape.b = (shape.a[0] + dx, shape.a[1]), (shape.b[0] + dx, shape.b[1])
    else:
        shape.c = (shape.c[0] + dx, shape.c[1])
        if isinstance(shape, Arc):
            shape.ends = [(ex + dx, ey) for ex, ey in shape.ends]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, os.pardir, "resources")
    with open(os.path.join(out, "vorn_gui.ico"), "wb") as f:
        f.write(ico([(s, radar_scope(s)) for s in (16, 32, 48, 256)]))
    with open(os.path.join(out, "tessavon_logo.png"), "wb") as f:
        f.write(logo())
    # The desktop menu's icon, for the hicolor theme.
    for size in (48, 256):
        with open(os.path.join(out, "vorn-gui-%d.png" % size), "wb") as f:
            f.write(radar_scope(size))


if __name__ == "__main__":
    main()
