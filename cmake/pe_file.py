#!/usr/bin/python3
"""What the release reads of a PE image, and the one thing it writes:
the version and language of its version resource, and the CheckSum field,
which the GNU linker leaves 0, as Windows' CheckSumMappedFile computes it.
Read with pefile (Debian's python3-pefile).

    pe_file.py IMAGE    fills in IMAGE's checksum
"""
import sys

import pefile


def file_version(exe: str) -> tuple:
    """The file version ("1.0.0.0") and language ("1031") of an exe's
    version resource, as Windows Installer's File table holds them."""
    image = pefile.PE(exe, fast_load=True)
    image.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not getattr(image, "VS_FIXEDFILEINFO", None):
        sys.exit(f"pe_file.py: {exe} has no version resource")
    fixed = image.VS_FIXEDFILEINFO[0]
    most, least = fixed.FileVersionMS, fixed.FileVersionLS
    version = f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"
    # VarFileInfo's "Translation": a language, then a code page.
    for info in getattr(image, "FileInfo", [[]])[0]:
        for var in getattr(info, "Var", []):
            translation = var.entry.get(b"Translation")
            if translation:
                return version, str(int(translation.split()[0], 16))
    sys.exit(f"pe_file.py: {exe} names no language in its version resource")


def fill_checksum(path: str) -> None:
    image = pefile.PE(path, fast_load=True)
    checksum = image.generate_checksum()
    offset = image.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    image.close()
    with open(path, "r+b") as file:
        file.seek(offset)
        file.write(checksum.to_bytes(4, "little"))


if __name__ == "__main__":
    fill_checksum(sys.argv[1])
