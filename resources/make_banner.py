#!/usr/bin/env python3
"""Draws the About window's banner: a keyboard's three lock-key LEDs (Scroll
Lock lit) beside "Norvane" and "Pellumin" in large rounded lettering, and
writes it as a 466x118, 24-bit, bottom-up BMP. Standard library only; output
is byte-for-byte repeatable."""

import math
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 466, 118

BACK_TOP, BACK_BOTTOM = (26, 38, 56), (12, 20, 32)
PANEL, PANEL_EDGE = (34, 48, 66), (70, 90, 114)
LED_OFF, LED_ON, LED_GLOW = (30, 58, 40), (120, 255, 150), (60, 220, 110)
CAPTION = (150, 166, 186)
MAKER = (140, 170, 205)
PRODUCT_TOP, PRODUCT_BOTTOM = (255, 255, 255), (196, 214, 236)

# Tiny 3x5 capitals for the captions under the LEDs, as on a keyboard.
SMALL = {
    "N": ["##.", "#.#", "#.#", "#.#", "#.#"], "U": ["#.#", "#.#", "#.#", "#.#", "###"],
    "M": ["#.#", "###", "#.#", "#.#", "#.#"], "C": ["###", "#..", "#..", "#..", "###"],
    "A": [".#.", "#.#", "###", "#.#", "#.#"], "P": ["##.", "#.#", "##.", "#..", "#.."],
    "S": ["###", "#..", "###", "..#", "###"], "R": ["##.", "#.#", "##.", "#.#", "#.#"],
    "O": ["###", "#.#", "#.#", "#.#", "###"], "L": ["#..", "#..", "#..", "#..", "###"],
}

LEDS = [("NUM", 40, False), ("CAPS", 84, False), ("SCROLL", 128, True)]
LED_Y, LED_R = 52, 9
PANEL_BOX = (14, 24, 154, 94)  # left, top, right, bottom
WORDS_LEFT = 192  # centres "Pellumin" in the room right of the panel


# --- a rounded stroke alphabet: x-height 1, capitals 1.4, y up from baseline --

def arc(cx, cy, r, start_deg, end_deg, steps=24):
    """Points along a circle arc, counter-clockwise from start to end."""
    return [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
            for a in (start_deg + (end_deg - start_deg) * i / steps for i in range(steps + 1))]


# Each glyph: (advance width, [polylines]).
GLYPHS = {
    "N": (0.95, [[(0, 0), (0, 1.4), (0.95, 0), (0.95, 1.4)]]),
    "P": (0.8, [[(0, 0), (0, 1.4), (0.42, 1.4)] + arc(0.42, 1.05, 0.35, 90, -90) + [(0, 0.7)]]),
    "o": (1.0, [arc(0.5, 0.5, 0.5, 0, 360, 40)]),
    "r": (0.6, [[(0, 0), (0, 1)], arc(0.55, 0.45, 0.55, 180, 80)]),
    "v": (0.9, [[(0, 1), (0.45, 0), (0.9, 1)]]),
    "a": (1.0, [arc(0.5, 0.5, 0.5, 0, 360, 40), [(1.0, 1), (1.0, 0)]]),
    "n": (0.9, [[(0, 0), (0, 1)], arc(0.45, 0.55, 0.45, 180, 0) + [(0.9, 0)]]),
    "e": (1.0, [[(0, 0.5), (1, 0.5)] + arc(0.5, 0.5, 0.5, 0, 315, 36)]),
    "l": (0.0, [[(0, 0), (0, 1.45)]]),
    "u": (0.9, [[(0, 1)] + arc(0.45, 0.45, 0.45, 180, 360), [(0.9, 1), (0.9, 0)]]),
    "m": (1.4, [[(0, 0), (0, 1)], arc(0.35, 0.62, 0.35, 180, 0) + [(0.7, 0)],
                arc(1.05, 0.62, 0.35, 180, 0) + [(1.4, 0)]]),
    "i": (0.0, [[(0, 0), (0, 1)]]),
}


def layout(text, left, baseline, x_height, stroke, spacing):
    """Pixel-space segments of a word and where each 'i' wants its dot."""
    segments, dots, x = [], [], left
    for letter in text:
        advance, lines = GLYPHS[letter]
        for line in lines:
            points = [(x + px * x_height, baseline - py * x_height) for px, py in line]
            segments += list(zip(points, points[1:]))
        if letter == "i":
            dots.append((x, baseline - 1.42 * x_height))
        x += advance * x_height + spacing + stroke
    return segments, dots


def segment_distance(px, py, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    ex, ey = px - (ax + t * dx), py - (ay + t * dy)
    return math.sqrt(ex * ex + ey * ey)


# --- the canvas ---------------------------------------------------------------

class Canvas:
    def __init__(self):
        self.rows = [[self.background(y)] * WIDTH for y in range(HEIGHT)]

    @staticmethod
    def background(y):
        return mix(BACK_TOP, BACK_BOTTOM, y / (HEIGHT - 1))

    def blend(self, x, y, colour, alpha):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT and alpha > 0:
            self.rows[y][x] = mix(self.rows[y][x], colour, min(alpha, 1.0))

    def strokes(self, segments, radius, colour_at):
        """Round-capped strokes, anti-aliased by distance to the nearest segment."""
        xs = [p[0] for s in segments for p in s]
        ys = [p[1] for s in segments for p in s]
        for y in range(int(min(ys) - radius - 1), int(max(ys) + radius + 2)):
            for x in range(int(min(xs) - radius - 1), int(max(xs) + radius + 2)):
                d = min(segment_distance(x + 0.5, y + 0.5, a, b) for a, b in segments)
                self.blend(x, y, colour_at(y), radius + 0.5 - d)

    def disc(self, cx, cy, r, colour_at):
        """A filled disc, colour_at(distance from centre, dx, dy) per pixel."""
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                d = math.hypot(dx, dy)
                self.blend(x, y, colour_at(d, dx, dy), r + 0.5 - d)

    def glow(self, cx, cy, r, reach, colour):
        for y in range(int(cy - reach), int(cy + reach + 1)):
            for x in range(int(cx - reach), int(cx + reach + 1)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r < d < reach:
                    self.blend(x, y, colour, 0.55 * (1 - (d - r) / (reach - r)) ** 2)

    def small_text(self, text, cx, top, colour):
        width = 4 * len(text) - 1
        left = cx - width // 2
        for i, letter in enumerate(text):
            for row, line in enumerate(SMALL[letter]):
                for col, mark in enumerate(line):
                    if mark == "#":
                        self.blend(left + 4 * i + col, top + row, colour, 1.0)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


# --- the picture --------------------------------------------------------------

def draw_panel(c):
    left, top, right, bottom = PANEL_BOX
    radius = 8
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            # Distance outside the rounded rectangle's inner box decides the edge.
            qx = max(left + radius - x - 0.5, 0, x + 0.5 - (right - radius))
            qy = max(top + radius - y - 0.5, 0, y + 0.5 - (bottom - radius))
            d = math.hypot(qx, qy) - radius
            if d < 0.5:
                edge = d > -1.5
                c.blend(x, y, PANEL_EDGE if edge else PANEL, min(1.0, 0.5 - d))
    for caption, cx, lit in LEDS:
        draw_led(c, cx, LED_Y, lit)
        c.small_text(caption, cx, LED_Y + LED_R + 12, CAPTION)


def draw_led(c, cx, cy, lit):
    body = LED_ON if lit else LED_OFF
    if lit:
        c.glow(cx, cy, LED_R, LED_R + 16, LED_GLOW)
    rim = mix(body, (0, 0, 0), 0.45)

    def shade(d, dx, dy):
        if d > LED_R - 1.5:
            return rim
        # Light from the upper left: a soft highlight off centre.
        h = max(0.0, 1 - math.hypot(dx + 3, dy + 3) / (LED_R * 0.8))
        return mix(body, (255, 255, 255), 0.7 * h * h)

    c.disc(cx, cy, LED_R, shade)


def gradient(top, bottom, y0, y1):
    return lambda y: mix(top, bottom, max(0.0, min(1.0, (y - y0) / max(1, y1 - y0))))


def draw_words(c):
    segments, _ = layout("Norvane", WORDS_LEFT, 44, 16, 3.2, 4.5)
    c.strokes(segments, 1.6, lambda y: MAKER)
    segments, dots = layout("Pellumin", WORDS_LEFT, 100, 30, 7, 4)
    c.strokes(segments, 3.5, gradient(PRODUCT_TOP, PRODUCT_BOTTOM, 58, 100))
    # The dot of the i is a lit LED, like the one in the panel.
    for x, y in dots:
        c.glow(x, y, 4.5, 16, LED_GLOW)
        c.disc(x, y, 4.5, lambda d, dx, dy: mix(LED_ON, (255, 255, 255), max(0.0, 0.6 - d / 6)))


def draw():
    c = Canvas()
    draw_panel(c)
    draw_words(c)
    return c.rows


def encode_bmp(rows):
    stride = (3 * WIDTH + 3) & ~3
    pixels = b"".join(
        b"".join(bytes((b, g, r)) for r, g, b in row).ljust(stride, b"\0")
        for row in reversed(rows))  # bottom-up
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + pixels


def main(argv):
    out = Path(argv[1]) if len(argv) > 1 else Path(__file__).with_name("banner.bmp")
    out.write_bytes(encode_bmp(draw()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
