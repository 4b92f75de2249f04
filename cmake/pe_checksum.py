#!/usr/bin/env python3
"""Fills in the CheckSum field of a PE image, as Windows' CheckSumMappedFile
computes it: the 16-bit one's-complement sum of the file, with the field
itself taken as zero, plus the file's length. The GNU linker leaves it 0.

    pe_checksum.py IMAGE
"""
import array
import struct
import sys


def checksum_offset(image: bytes) -> int:
    (pe_offset,) = struct.unpack_from("<I", image, 0x3C)
    if image[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    # Signature, file header, then the field at 64 into the optional
    # header: the same place in PE32 and PE32+.
    return pe_offset + 4 + 20 + 64


def pe_checksum(image: bytes, offset: int) -> int:
    padded = image + b"\0" * (len(image) % 2)
    words = array.array("H", padded)
    if sys.byteorder != "little":
        words.byteswap()
    words[offset // 2] = 0
    words[offset // 2 + 1] = 0
    total = sum(words)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def main() -> None:
    path = sys.argv[1]
    with open(path, "rb") as file:
        image = file.read()
    offset = checksum_offset(image)
    with open(path, "r+b") as file:
        file.seek(offset)
        file.write(struct.pack("<I", pe_checksum(image, offset)))


if __name__ == "__main__":
    main()
