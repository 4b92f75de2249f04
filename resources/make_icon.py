#!/usr/bin/env python3
"""Writes Tessaly's icon: a sheet of paper with line marks and a return
arrow, at 16x16 and 32x32 pixels, in 16 colours with a transparency mask.

Usage: make_icon.py OUTPUT.ico

Edit the pictures below and rebuild; each character is one pixel.
"""
import struct
import sys

# The standard 16-colour palette, in its usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00),
    (0x80, 0x80, 0x00), (0x00, 0x00, 0x80), (0x80, 0x00, 0x80),
    (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80),
    (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0xFF),
]

# Picture characters: '.' is transparent, the rest name palette entries.
COLOURS = {"K": 0, "S": 7, "G": 8, "B": 12, "W": 15}

PICTURE_32 = [
    "................................",
    "....KKKKKKKKKKKKKK..............",
    "....KWWWWWWWWWWWWKK.............",
    "....KWWWWWWWWWWWWKSK............",
    "....KWWWWWWWWWWWWKSSK...........",
    "....KWWWWWWWWWWWWKSSSK..........",
    "....KWWWWWWWWWWWWKSSSSK.........",
    "....KWWWWWWWWWWWWKKKKKKK........",
    "....KWWWWWWWWWWWWWWWWWWK........",
    "....KWWGGGGGGGGGGGGGGWWK........",
    "....KWWWWWWWWWWWWWWWWWWK........",
    "....KWWWWWWWWWWWWWWWWWWK........",
    "....KWWGGGGGGGGGGGGWWWWK...BB...",
    "....KWWWWWWWWWWWWWWWWWWK...BB...",
    "....KWWWWWWWWWWWWWWWWWWK...BB...",
    "....KWWGGGGGGGGGGGGGGWWK...BB...",
    "....KWWWWWWWWWWWWWWWWWWK...BB...",
    "....KWWWWWWWWWWWWBWWWWWK...BB...",
    "....KWWGGGGGGGGGBBWWWWWK...BB...",
    "....KWWWWWWWWWWBBBWWWWWK...BB...",
    "....KWWWWWWWWWBBBBWWWWWK...BB...",
    "....KWWGGGGGGBBBBBBBBBBBBBBBB...",
    "....KWWWWWWWWBBBBBBBBBBBBBBBB...",
    "....KWWWWWWWWWBBBBWWWWWK........",
    "....KWWGGGGGGGGBBBWWWWWK........",
    "....KWWWWWWWWWWWBBWWWWWK........",
    "....KWWWWWWWWWWWWBWWWWWK........",
    "....KWWWWWWWWWWWWWWWWWWK........",
    "....KWWWWWWWWWWWWWWWWWWK........",
    "....KWWWWWWWWWWWWWWWWWWK........",
    "....KKKKKKKKKKKKKKKKKKKK........",
    "................................",
]

PICTURE_16 = [
    "..KKKKKKK.......",
    "..KWWWWWKK......",
    "..KWWWWWKWK.....",
    "..KWWWWWKKKK....",
    "..KWWWWWWWWK....",
    "..KWGGGGGGWK....",
    "..KWWWWWWWWK..B.",
    "..KWGGGGGWWK..B.",
    "..KWWWWWWWWK..B.",
    "..KWGGGGGBWK..B.",
    "..KWWWWWBBWK..B.",
    "..KWGGGBBBBBBBB.",
    "..KWWWWWBBWK....",
    "..KWWWWWWBWK....",
    "..KWWWWWWWWK....",
    "..KKKKKKKKKK....",
]


def row_bytes(bits_per_pixel, width):
    """Bytes in one bitmap row, padded to a 32-bit boundary."""
    return (bits_per_pixel * width + 31) // 32 * 4


def icon_image(picture):
    """One icon image: header, palette, 4-bit colour rows, 1-bit mask rows,
    both bottom-up as bitmaps are stored."""
    size = len(picture)
    if any(len(row) != size for row in picture):
        sys.exit(f"the {size}x{size} picture is not square")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(picture):
        indices = [COLOURS.get(pixel, 0) for pixel in row]
        packed = bytearray(row_bytes(4, size))
        for x, index in enumerate(indices):
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
        colour += packed
        bits = bytearray(row_bytes(1, size))
        for x, pixel in enumerate(row):
            if pixel == ".":
                bits[x // 8] |= 0x80 >> (x % 8)
            elif pixel not in COLOURS:
                sys.exit(f"unknown picture character {pixel!r}")
        mask += bits
    return header + palette + bytes(colour) + bytes(mask)


def icon_file(pictures):
    images = [icon_image(picture) for picture in pictures]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for picture, image in zip(pictures, images):
        size = len(picture)
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4,
                                 len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as output:
        output.write(icon_file([PICTURE_16, PICTURE_32]))


if __name__ == "__main__":
    main()
