#!/usr/bin/env python3
"""Packs the release zip so that its bytes depend on nothing but the files
in it: the entries go in the order given, each with the same time (the
commit's, or SOURCE_DATE_EPOCH when set) and the same attributes. Writes
SHA256SUMS, for checking a download, beside it.

    release_zip.py --source-dir DIR --zip OUT FILE...
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry holds.


def source_epoch(source_dir: str) -> int:
    """SOURCE_DATE_EPOCH, as reproducible-builds.org describes it, or the
    time of the commit the sources come from."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(
            ["git", "-C", source_dir, "log", "-1", "--format=%ct"],
            check=True, capture_output=True, text=True).stdout
        return int(out.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        print("release_zip.py: no commit to take the time from, and no "
              "SOURCE_DATE_EPOCH; the zip's entries get 1980-01-01",
              file=sys.stderr)
        return ZIP_EPOCH


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--zip", required=True)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    stamp = time.gmtime(max(source_epoch(args.source_dir), ZIP_EPOCH))[:6]
    temporary = args.zip + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        for path in args.files:
            entry = zipfile.ZipInfo(os.path.basename(path), stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS attributes, as Windows reads them.
            entry.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            with open(path, "rb") as file:
                archive.writestr(entry, file.read(), compresslevel=9)
    os.replace(temporary, args.zip)

    with open(args.zip, "rb") as file:
        digest = hashlib.sha256(file.read()).hexdigest()
    sums = os.path.join(os.path.dirname(os.path.abspath(args.zip)), "SHA256SUMS")
    with open(sums, "w", newline="\n") as file:
        file.write(f"{digest}  {os.path.basename(args.zip)}\n")


if __name__ == "__main__":
    main()
