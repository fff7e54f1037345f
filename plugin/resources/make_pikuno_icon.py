#!/usr/bin/env python3
"""Writes Pikuno.ico: one 32 x 32 image in 16 colours (4 bits per pixel).

The picture: a white envelope with a dark outline, a blue flap, and a green tick
in the lower right corner (a mail chosen for receiving). Standard library only;
run it again after changing the drawing and commit both files.
"""
import os
import struct

SIZE = 32

# The standard 16-colour palette of Windows, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREEN, GREY, GREEN, BLUE, WHITE = 0, 2, 8, 10, 12, 15


def draw():
    """Returns rows (top first) of palette indices, None where transparent."""
    img = [[None] * SIZE for _ in range(SIZE)]

    def put(x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            img[y][x] = c

    # Envelope body.
    left, top, right, bottom = 1, 6, 28, 25
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            put(x, y, GREY if edge else WHITE)
    # Flap: a filled triangle from the top corners to the middle.
    mid = (left + right) // 2
    for x in range(left + 1, right):
        depth = min(x - left, right - x) * 10 // (mid - left)
        for y in range(top + 1, top + 1 + depth):
            put(x, y, BLUE)
        put(x, top + 1 + depth, GREY)
    # Tick on a green disc at the lower right.
    cx, cy, r = 24, 24, 7
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            dd = (x - cx) ** 2 + (y - cy) ** 2
            if dd <= r * r:
                put(x, y, DARK_GREEN if dd > (r - 1) ** 2 else GREEN)
    for x, y in [(20, 24), (21, 25), (22, 26), (23, 25), (24, 24), (25, 23), (26, 22), (27, 21)]:
        put(x, y, WHITE)
        put(x, y + 1, WHITE)
    return img


def ico_bytes(img):
    xor_rows = []
    and_rows = []
    for row in reversed(img):  # bottom-up, as a DIB
        packed = bytearray()
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            packed.append((hi << 4) | lo)
        xor_rows.append(bytes(packed))
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        and_rows.append(struct.pack('>I', bits))  # 32 pixels: already a 4-byte row
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(b''.join(xor_rows)) + len(b''.join(and_rows)), 0, 0, 16, 0)
    image = header + palette + b''.join(xor_rows) + b''.join(and_rows)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, 'Pikuno.ico'), 'wb') as f:
        f.write(ico_bytes(draw()))


if __name__ == '__main__':
    main()
