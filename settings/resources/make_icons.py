#!/usr/bin/env python3
"""Draws the settings library's pictures: seven 16x16 check-mark icons (one per
mail mark colour), a closed yellow envelope (unread mark), and the 22x18 account
bitmap (a computer: tower and monitor on white, which the list treats as
transparent). All are 16-colour (4 bits per pixel) with the standard VGA palette.

Run it from anywhere: it writes the files beside itself. Standard library only.
"""
import os
import struct

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

# A check mark: '#' is the colour, 'o' a dark outline, '.' transparent.
CHECK = [
    "................",
    "..............o.",
    ".............o#o",
    "............o##o",
    "...........o##o.",
    "..........o##o..",
    ".o.......o##o...",
    "o#o.....o##o....",
    "o##o...o##o.....",
    ".o##o.o##o......",
    "..o##o##o.......",
    "...o###o........",
    "....o#o.........",
    ".....o..........",
    "................",
    "................",
]

# A closed envelope: 'o' outline, '#' paper, '/' the flap's edges.
ENVELOPE = [
    "................",
    "................",
    "................",
    "oooooooooooooooo",
    "o/############/o",
    "o#/##########/#o",
    "o##/########/##o",
    "o###/######/###o",
    "o####/####/####o",
    "o#####/##/#####o",
    "o######//######o",
    "o##############o",
    "o##############o",
    "oooooooooooooooo",
    "................",
    "................",
]

# The account picture, 22 columns; the list uses the left 20.
COMPUTER = [
    "......................",
    ".oooooooooooo.........",
    ".o##########o..ooooo..",
    ".o#========#o..o###o..",
    ".o#========#o..o#-#o..",
    ".o#========#o..o###o..",
    ".o#========#o..o#-#o..",
    ".o#========#o..o###o..",
    ".o##########o..o###o..",
    ".oooooooooooo..o###o..",
    "......o#o......o#*#o..",
    "....ooooooo....o###o..",
    "...o#######o...o###o..",
    "...ooooooooo...ooooo..",
    "......................",
    "..ooooooooooooooo.....",
    "..ooooooooooooooo.....",
    "......................",
]


def draw(rows, colours):
    return [[colours.get(ch) for ch in row] for row in rows]


def pack_4bpp(row):
    data = bytearray()
    for i in range(0, len(row), 2):
        hi = row[i]
        lo = row[i + 1] if i + 1 < len(row) else 0
        data.append((hi << 4) | lo)
    while len(data) % 4:
        data.append(0)
    return bytes(data)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def write_icon(path, pixels):
    """pixels: 16 rows of 16 palette indices, None for transparent."""
    size = 16
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    xor = b""
    mask = b""
    for row in reversed(pixels):  # bottom-up
        xor += pack_4bpp([0 if p is None else p for p in row])
        bits = 0
        for x, p in enumerate(row):
            if p is None:
                bits |= 1 << (15 - x)
        mask += struct.pack(">H", bits) + b"\0\0"
    image = header + palette_bytes() + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def write_bitmap(path, pixels):
    height = len(pixels)
    width = len(pixels[0])
    rows = b"".join(pack_4bpp([WHITE if p is None else p for p in row]) for row in reversed(pixels))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(rows), 0, 0, 16, 0)
    offset = 14 + len(info) + 64
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(file_header + info + palette_bytes() + rows)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    # Mark k's colour and a darker outline that still reads on a grey button face.
    marks = [
        ("mark1_red.ico", RED, DARK_RED),
        ("mark2_yellow.ico", YELLOW, OLIVE),
        ("mark3_green.ico", GREEN, DARK_GREEN),
        ("mark4_cyan.ico", CYAN, TEAL),
        ("mark5_blue.ico", BLUE, NAVY),
        ("mark6_magenta.ico", MAGENTA, PURPLE),
        ("mark7_grey.ico", GREY, BLACK),
    ]
    for name, colour, outline in marks:
        write_icon(os.path.join(here, name), draw(CHECK, {"#": colour, "o": outline}))
    write_icon(os.path.join(here, "unread.ico"),
               draw(ENVELOPE, {"#": YELLOW, "o": OLIVE, "/": OLIVE}))
    write_bitmap(os.path.join(here, "account.bmp"),
                 draw(COMPUTER, {"o": BLACK, "#": SILVER, "=": TEAL, "-": GREY, "*": GREEN}))


if __name__ == "__main__":
    main()
