#!/usr/bin/env python3
"""Draws the setup program's pictures and writes them as 24-bit BMP files.

    make_pictures.py OUTPUT_FOLDER

The pictures are the product's own artwork, drawn here from shapes so that
anyone can change them: edit the colours or the shapes below and rebuild.
The output is the same on every run (no randomness, no outside input).

- installtheme1.bmp (117 x 290): the theme picture of the wizard's pages, a
  network of monitored hosts over a night-blue gradient with a pulse line;
- status_image1.bmp (32 x 32): the status window's picture, a monitor
  showing the pulse line;
- copy_unzipimage.bmp (48 x 48): the copy window's picture, files coming
  out of an archive box;
- copy_transferbitmap.bmp (48 x 48): the picture the copy window adds while
  a file is downloaded, a globe with an arrow down.
"""
import math
import os
import struct
import sys

NAVY = (11, 37, 69)
DEEP = (19, 49, 92)
TEAL = (27, 153, 139)
CYAN = (160, 230, 240)
WHITE = (255, 255, 255)
PULSE = (120, 255, 140)
AMBER = (255, 196, 70)
GREY = (200, 208, 218)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Canvas:
    """Pixels with anti-aliased shapes, drawn by coverage from distances."""

    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.pixels = [[background(x, y) for x in range(width)] for y in range(height)]

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            self.pixels[y][x] = mix(self.pixels[y][x], colour, alpha)

    def shape(self, distance, colour, box, opacity=1.0):
        """Fills where distance(px, py) < 0, half a pixel of soft edge."""
        left, top, right, bottom = (int(math.floor(box[0])) - 1, int(math.floor(box[1])) - 1,
                                    int(math.ceil(box[2])) + 1, int(math.ceil(box[3])) + 1)
        for y in range(max(top, 0), min(bottom, self.height - 1) + 1):
            for x in range(max(left, 0), min(right, self.width - 1) + 1):
                d = distance(x + 0.5, y + 0.5)
                self.blend(x, y, colour, opacity * max(0.0, min(1.0, 0.5 - d)))

    def disc(self, cx, cy, r, colour, opacity=1.0):
        self.shape(lambda x, y: math.hypot(x - cx, y - cy) - r, colour, (cx - r, cy - r, cx + r, cy + r), opacity)

    def ring(self, cx, cy, r, width, colour, opacity=1.0):
        self.shape(lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2, colour,
                   (cx - r - width, cy - r - width, cx + r + width, cy + r + width), opacity)

    def line(self, x0, y0, x1, y1, width, colour, opacity=1.0):
        def distance(x, y):
            dx, dy = x1 - x0, y1 - y0
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy or 1)))
            return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - width / 2
        self.shape(distance, colour, (min(x0, x1) - width, min(y0, y1) - width, max(x0, x1) + width,
                                      max(y0, y1) + width), opacity)

    def polyline(self, points, width, colour, opacity=1.0):
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            self.line(x0, y0, x1, y1, width, colour, opacity)

    def rect(self, left, top, right, bottom, colour, radius=0.0, opacity=1.0):
        def distance(x, y):
            qx = abs(x - (left + right) / 2) - (right - left) / 2 + radius
            qy = abs(y - (top + bottom) / 2) - (bottom - top) / 2 + radius
            return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - radius
        self.shape(distance, colour, (left, top, right, bottom), opacity)

    def triangle(self, a, b, c, colour):
        def distance(x, y):
            inside = True
            nearest = float("inf")
            for (x0, y0), (x1, y1) in ((a, b), (b, c), (c, a)):
                dx, dy = x1 - x0, y1 - y0
                if (x - x0) * dy - (y - y0) * dx > 0:
                    inside = False
                t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
                nearest = min(nearest, math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)))
            return -nearest if inside else nearest
        xs, ys = (a[0], b[0], c[0]), (a[1], b[1], c[1])
        self.shape(distance, colour, (min(xs), min(ys), max(xs), max(ys)))

    def bmp(self):
        """A bottom-up 24-bit BMP file."""
        stride = (self.width * 3 + 3) // 4 * 4
        rows = b""
        for y in reversed(range(self.height)):
            row = b"".join(bytes((round(b), round(g), round(r))) for r, g, b in self.pixels[y])
            rows += row + b"\0" * (stride - len(row))
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
        return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info)) + info + rows


def pulse(x0, x1, y, height):
    """The points of a heartbeat trace from x0 to x1 around height y."""
    span = x1 - x0
    shape = [(0.0, 0), (0.30, 0), (0.36, -0.25), (0.42, 0.15), (0.48, -1.0), (0.55, 0.7), (0.61, 0),
             (0.72, -0.18), (0.80, 0), (1.0, 0)]
    return [(x0 + f * span, y + h * height) for f, h in shape]


def theme():
    width, height = 117, 290
    c = Canvas(width, height, lambda x, y: mix(mix(NAVY, DEEP, y / 160), TEAL, (y - 150) / 240))
    # Radar rings behind the network.
    for r in (26, 44, 62):
        c.ring(58, 96, r, 1.2, CYAN, 0.18)
    hosts = [(58, 96), (24, 52), (92, 44), (20, 132), (96, 140), (58, 30), (40, 178), (82, 190)]
    links = [(0, 1), (0, 2), (0, 3), (0, 4), (1, 5), (2, 5), (3, 6), (4, 7), (6, 7), (1, 3), (2, 4)]
    for a, b in links:
        c.line(*hosts[a], *hosts[b], 1.4, CYAN, 0.55)
    for index, (x, y) in enumerate(hosts):
        c.disc(x, y, 7 if index == 0 else 5, NAVY)
        c.ring(x, y, 7 if index == 0 else 5, 1.6, WHITE if index == 0 else CYAN)
        c.disc(x, y, 2.2, AMBER if index == 7 else PULSE)
    # The pulse line across the lower part, and a baseline under it.
    c.line(8, 238, 109, 238, 1, CYAN, 0.25)
    c.polyline(pulse(8, 109, 238, 22), 2.2, PULSE)
    # Three bars as a small trend chart at the bottom.
    for index, bar in enumerate((14, 24, 18, 30)):
        left = 30 + index * 15
        c.rect(left, 282 - bar, left + 9, 282, WHITE, 1.5, 0.75)
    return c


def tile(size):
    return Canvas(size, size, lambda x, y: mix(DEEP, TEAL, (x + y) / (2.6 * size)))


def status_image():
    c = tile(32)
    c.rect(4, 6, 28, 22, GREY, 2)
    c.rect(6, 8, 26, 20, NAVY, 1)
    c.polyline(pulse(7, 25, 15, 5), 1.4, PULSE)
    c.rect(14, 22, 18, 26, GREY)
    c.rect(10, 25, 22, 27, GREY, 1)
    return c


def unzip_image():
    c = tile(48)
    # The archive box, open, with two sheets coming out of it.
    c.rect(20, 8, 34, 26, WHITE, 1.5, 0.95)
    c.rect(13, 12, 27, 30, GREY, 1.5)
    for y in (16, 20, 24):
        c.line(16, y, 24, y, 1.2, DEEP, 0.7)
    c.rect(7, 28, 41, 42, AMBER, 2)
    c.rect(7, 28, 41, 32, mix(AMBER, WHITE, 0.35), 2)
    c.rect(20, 33, 28, 36, NAVY, 1)
    return c


def transfer_bitmap():
    c = tile(48)
    c.disc(22, 21, 14, mix(TEAL, CYAN, 0.3))
    c.ring(22, 21, 14, 1.6, WHITE)
    c.line(8, 21, 36, 21, 1.2, WHITE, 0.8)
    c.shape(lambda x, y: abs(math.hypot((x - 22) * 2.2, y - 21) - 14) - 0.9, WHITE, (8, 7, 36, 35), 0.8)
    c.line(22, 7, 22, 35, 1.2, WHITE, 0.8)
    c.rect(31, 24, 37, 36, PULSE, 1)
    c.triangle((27, 35), (41, 35), (34, 44), PULSE)
    return c


PICTURES = {
    "installtheme1.bmp": theme,
    "status_image1.bmp": status_image,
    "copy_unzipimage.bmp": unzip_image,
    "copy_transferbitmap.bmp": transfer_bitmap,
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, draw in PICTURES.items():
        with open(os.path.join(sys.argv[1], name), "wb") as out:
            out.write(draw().bmp())


if __name__ == "__main__":
    main()
