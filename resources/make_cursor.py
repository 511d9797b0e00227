#!/usr/bin/env python3
"""Draws the hand pointer of the About window's links (a hand with the index
finger up, hot spot on the fingertip) and writes it as a 32x32 two-colour .cur.
Output is byte-for-byte repeatable."""

import struct
import sys
from pathlib import Path

SIZE = 32
HOT_SPOT = (13, 9)
CLEAR, BLACK, WHITE = " ", "#", "o"

# Each part of the hand is a rectangle (x0, y0, x1, y1 inclusive) whose top
# corners are cut so fingers come out rounded. The index finger's top row is
# y 9 and its middle column x 13: the hot spot is its tip.
FINGERS = [(11, 9, 15, 22), (15, 14, 19, 22), (19, 15, 23, 22), (23, 17, 26, 22)]
PALM = (8, 22, 26, 27)
WRIST = (10, 28, 25, 30)
# The thumb leans out to the upper left of the palm: (y, x0, x1) row by row.
THUMB_ROWS = [(17, 6, 8), (18, 5, 9), (19, 5, 10), (20, 6, 11), (21, 7, 11)]


def draw():
    """The picture as rows (top first) of CLEAR, BLACK or WHITE."""
    inside = set()

    def fill(x0, y0, x1, y1, cut_top=True, cut_bottom=False):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                corner_x = x in (x0, x1)
                if corner_x and ((cut_top and y == y0) or (cut_bottom and y == y1)):
                    continue
                inside.add((x, y))

    for finger in FINGERS:
        fill(*finger)
    fill(*PALM, cut_top=False)
    fill(*WRIST, cut_top=False, cut_bottom=True)
    for y, x0, x1 in THUMB_ROWS:
        fill(x0, y, x1, y, cut_top=False)

    def edge(x, y):
        return any((x + dx, y + dy) not in inside
                   for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))

    # The outline of the whole hand, plus the creases between fingers, between
    # the folded fingers and the palm, and along the thumb.
    creases = {(15, y) for y in range(14, 22)} | {(19, y) for y in range(15, 22)}
    creases |= {(23, y) for y in range(17, 22)} | {(x, 22) for x in range(16, 26)}
    creases |= {(11, y) for y in range(19, 24)}
    rows = []
    for y in range(SIZE):
        row = ""
        for x in range(SIZE):
            if (x, y) not in inside:
                row += CLEAR
            elif edge(x, y) or (x, y) in creases:
                row += BLACK
            else:
                row += WHITE
        rows.append(row)
    return rows


def encode_cur(rows):
    """One 1 bpp DIB (XOR bitmap + AND mask) wrapped in a cursor header."""
    xor_rows, and_rows = [], []
    for row in reversed(rows):  # DIBs run bottom-up
        xor_bits = and_bits = 0
        for mark in row:
            xor_bits = (xor_bits << 1) | (mark == WHITE)
            and_bits = (and_bits << 1) | (mark == CLEAR)
        xor_rows.append(xor_bits.to_bytes(SIZE // 8, "big"))
        and_rows.append(and_bits.to_bytes(SIZE // 8, "big"))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))  # index 0 black, 1 white
    # Height is doubled: the mask sits on top of the colour bitmap.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 1, 0,
                         len(bits), 0, 0, 0, 0)
    image = header + palette + bits
    cursor_dir = struct.pack("<HHH", 0, 2, 1)
    # In a cursor entry, the planes and bit-count fields hold the hot spot.
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, *HOT_SPOT, len(image),
                        len(cursor_dir) + 16)
    return cursor_dir + entry + image


def main(argv):
    out = Path(argv[1]) if len(argv) > 1 else Path(__file__).with_name("hand.cur")
    out.write_bytes(encode_cur(draw()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
