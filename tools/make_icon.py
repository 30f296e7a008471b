#!/usr/bin/env python3
"""Turns the program's icon, drawn as text, into a Windows .ico file.

Usage: make_icon.py drawing.txt out.ico

The drawing holds 32 lines of 32 characters (lines starting with "#" are
comments): a hex digit is a colour of the standard 16-colour palette, "."
a transparent pixel. The .ico holds exactly one 32 x 32 image with 4 bits
per pixel, so the classic look of the program needs no other format.
"""
import struct
import sys

SIZE = 32

# The standard 16-colour palette (blue, green, red, reserved per entry).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
TRANSPARENT = "."


def read_drawing(path):
    with open(path, encoding="ascii") as source:
        rows = [line.rstrip("\r\n") for line in source if not line.startswith("#")]
    rows = [row for row in rows if row.strip()]
    if len(rows) != SIZE:
        raise SystemExit(f"{path}: {len(rows)} rows, expected {SIZE}")
    for number, row in enumerate(rows, 1):
        if len(row) != SIZE:
            raise SystemExit(f"{path}: row {number} has {len(row)} pixels, expected {SIZE}")
        for char in row:
            if char != TRANSPARENT and char.upper() not in "0123456789ABCDEF":
                raise SystemExit(f"{path}: row {number}: unknown pixel {char!r}")
    return rows


def colour_index(char):
    return 0 if char == TRANSPARENT else int(char, 16)


def image_bytes(rows):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", blue, green, red, 0)
                       for red, green, blue in PALETTE)
    colours = bytearray()
    mask = bytearray()
    # Bitmaps are stored bottom-up; 32 pixels make 16 colour bytes and 4 mask
    # bytes per row, both already a multiple of four.
    for row in reversed(rows):
        for left, right in zip(row[0::2], row[1::2]):
            colours.append(colour_index(left) << 4 | colour_index(right))
        bits = 0
        for char in row:
            bits = bits << 1 | (1 if char == TRANSPARENT else 0)
        mask += bits.to_bytes(4, "big")
    return header + palette + bytes(colours) + bytes(mask)


def icon_file(rows):
    image = image_bytes(rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 3:
        raise SystemExit(__doc__)
    rows = read_drawing(argv[1])
    with open(argv[2], "wb") as out:
        out.write(icon_file(rows))


if __name__ == "__main__":
    main(sys.argv)
