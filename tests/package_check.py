#!/usr/bin/env python3
"""Builds the release in BINARY_DIR and checks it as a user meets it: the
zip's entries in their order, the hashes beside it and the packages, and
the user's guide as Notepad will show it. (The packages themselves are
installed under Wine by msi_check.sh.)

    package_check.py CMAKE BINARY_DIR ZIP_NAME
"""
import hashlib
import os
import subprocess
import sys
import zipfile

GUIDE_WIDTH = 72  # Columns; Notepad's default window shows more.


def fail(message: str) -> None:
    sys.exit(f"package_check.py: {message}")


def main() -> None:
    cmake, binary_dir, zip_name = sys.argv[1:]
    built = subprocess.run([cmake, "--build", binary_dir, "--target", "package"],
                           capture_output=True, text=True)
    if built.returncode != 0:
        fail(f"packaging failed:\n{built.stdout}{built.stderr}")
    zip_path = os.path.join(binary_dir, zip_name)
    with open(zip_path, "rb") as file:
        zip_bytes = file.read()

    with zipfile.ZipFile(zip_path) as archive:
        names = archive.namelist()
        if names != ["Tessaly.exe", "README.txt", "LICENSE.txt"]:
            fail(f"the zip holds, in this order: {names}")
        # The one built, signed where the release is signed.
        with open(os.path.join(binary_dir, "release-files", "Tessaly.exe"),
                  "rb") as file:
            if archive.read("Tessaly.exe") != file.read():
                fail("the zip's Tessaly.exe is not the one built")
        guide = archive.read("README.txt")

    released = [zip_name, zip_name.replace(".zip", ".msi"),
                zip_name.replace(".zip", "-peruser.msi")]
    expected = ""
    for name in released:
        with open(os.path.join(binary_dir, name), "rb") as file:
            expected += f"{hashlib.sha256(file.read()).hexdigest()}  {name}\n"
    with open(os.path.join(binary_dir, "SHA256SUMS"), "rb") as file:
        sums = file.read()
    if sums != expected.encode():
        fail(f"SHA256SUMS is not\n{expected}but\n{sums.decode()}")

    # ASCII, CR LF throughout, lines that fit, the title a user reads first.
    if not guide.isascii():
        fail("README.txt is not ASCII")
    if guide.count(b"\n") != guide.count(b"\r\n") or \
            guide.count(b"\r") != guide.count(b"\r\n"):
        fail("README.txt has line ends other than CR LF")
    lines = guide.decode("ascii").split("\r\n")
    for line in lines:
        if len(line) > GUIDE_WIDTH:
            fail(f"README.txt line longer than {GUIDE_WIDTH}: {line}")
    if lines[:2] != ["Tessaly - show Unix text files in Notepad", "=" * 41]:
        fail(f"README.txt begins: {lines[:2]}")
    if f"certutil -hashfile {zip_name} SHA256".encode() not in guide:
        fail(f"README.txt does not say how to check {zip_name}")
    print(f"{zip_path}: {names}\n{expected}", end="")


if __name__ == "__main__":
    main()
