#!/usr/bin/env python3
"""Writes Tessaly's icon: a sheet of paper with line marks and a return
arrow, at 16x16 and 32x32 pixels, in 16 colours with a transparency mask.

Usage: make_icon.py OUTPUT.ico
       make_icon.py --png OUTPUT.png   (the 32x32 picture, for package
                                        managers' listings)

Edit the pictures below and rebuild; each character is one pixel.
"""
import struct
import sys
import zlib

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


def png_file(picture):
    """The picture as an RGBA PNG, transparent where the icon's mask is."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    rows = b"".join(
        b"\0" + b"".join(bytes([0, 0, 0, 0]) if pixel == "." else
                         bytes([*PALETTE[COLOURS[pixel]], 255])
                         for pixel in row)
        for row in picture)
    size = len(picture)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--png":
        data = png_file(PICTURE_32)
    elif len(sys.argv) == 2:
        data = icon_file([PICTURE_16, PICTURE_32])
    else:
        sys.exit(__doc__)
    with open(sys.argv[-1], "wb") as output:
        output.write(data)


if __name__ == "__main__":
    main()
