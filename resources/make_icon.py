#!/usr/bin/env python3
"""Draws the application icon (a grey LED lamp above the word LED) and writes
it as a one-image 16x16, 256-colour .ico. Output is byte-for-byte repeatable."""

import struct
import sys
from pathlib import Path

SIZE = 16
TRANSPARENT = None

# 3x5 letters; '#' is ink.
FONT = {
    "L": ["#..", "#..", "#..", "#..", "###"],
    "E": ["###", "#..", "##.", "#..", "###"],
    "D": ["##.", "#.#", "#.#", "#.#", "##."],
}
TEXT = "LED"
TEXT_LEFT, TEXT_TOP = 2, 11
INK = 0  # palette index; the palette is a grey ramp, so index == grey level

# Disc geometry in half-pixel units so every test stays in integers and the
# picture cannot drift between Python versions.
DISC_CX2, DISC_CY2, DISC_R2 = 15, 10, 10     # centre (7.5, 5.0), radius 5
RIM_R2 = 8                                   # beyond this: the dark rim
SHINE_X2, SHINE_Y2 = 11, 6                   # light falls from the upper left


def disc_shade(x, y):
    """Grey level of the lamp at pixel (x, y), or TRANSPARENT outside it."""
    dx, dy = 2 * x + 1 - DISC_CX2, 2 * y + 1 - DISC_CY2
    d2 = dx * dx + dy * dy
    if d2 > DISC_R2 * DISC_R2:
        return TRANSPARENT
    if d2 > RIM_R2 * RIM_R2:
        return 0x50
    sx, sy = 2 * x + 1 - SHINE_X2, 2 * y + 1 - SHINE_Y2
    return max(0x80, 0xE8 - 2 * (sx * sx + sy * sy))


def draw():
    """The picture as rows (top first) of palette indices or TRANSPARENT."""
    pixels = [[disc_shade(x, y) for x in range(SIZE)] for y in range(SIZE)]
    left = TEXT_LEFT
    for letter in TEXT:
        for row, line in enumerate(FONT[letter]):
            for col, mark in enumerate(line):
                if mark == "#":
                    pixels[TEXT_TOP + row][left + col] = INK
        left += len(FONT[letter][0]) + 1
    return pixels


def encode_ico(pixels):
    """One 8 bpp DIB image (XOR bitmap + AND mask) wrapped in an ICO header."""
    palette = b"".join(bytes((g, g, g, 0)) for g in range(256))
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # DIBs run bottom-up
        xor_rows.append(bytes(0 if p is TRANSPARENT else p for p in row))
        mask = 0
        for p in row:
            mask = (mask << 1) | (p is TRANSPARENT)
        and_rows.append(mask.to_bytes(SIZE // 8, "big").ljust(4, b"\0"))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    # Height is doubled: the mask sits on top of the colour bitmap.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 8, 0,
                         len(bits), 0, 0, 0, 0)
    image = header + palette + bits
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image),
                        len(icondir) + 16)
    return icondir + entry + image


def main(argv):
    out = Path(argv[1]) if len(argv) > 1 else Path(__file__).with_name("app.ico")
    out.write_bytes(encode_ico(draw()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
