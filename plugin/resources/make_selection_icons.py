#!/usr/bin/env python3
"""Writes the two state pictures of the message selection list.

Unticked.ico: 16 x 16, 16 colours, every pixel transparent (a message that
stays on the server shows nothing). Ticked.ico: the same with a red tick.
Only the standard library is used; run it from any folder:

    python3 plugin/resources/make_selection_icons.py
"""

import os
import struct

SIZE = 16

# The standard 16-colour palette as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
RED = 9
DARK_RED = 1

# The tick, top row first: R bright red, r dark red (its shaded edge), . transparent.
TICK = [
    "................",
    "................",
    ".............R..",
    "............RR..",
    "...........RRr..",
    "..........RRr...",
    ".R.......RRr....",
    ".RR.....RRr.....",
    ".rRR...RRr......",
    "..rRR.RRr.......",
    "...rRRRr........",
    "....rRr.........",
    ".....r..........",
    "................",
    "................",
    "................",
]


def icon_bytes(rows):
    """One-image .ico of 4-bit pixels; rows are SIZE texts of SIZE characters."""
    assert len(rows) == SIZE and all(len(row) == SIZE for row in rows)
    colour = {".": 0, "R": RED, "r": DARK_RED}
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # a DIB stores its bottom row first
        indexes = [colour[c] for c in row]
        for left, right in zip(indexes[0::2], indexes[1::2]):
            xor.append(left << 4 | right)
        bits = 0
        for c in row:
            bits = bits << 1 | (1 if c == "." else 0)
        mask += struct.pack(">H", bits) + b"\0\0"  # rows are padded to 4 bytes
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "Unticked.ico"), "wb") as f:
        f.write(icon_bytes(["." * SIZE] * SIZE))
    with open(os.path.join(here, "Ticked.ico"), "wb") as f:
        f.write(icon_bytes(TICK))


if __name__ == "__main__":
    main()
