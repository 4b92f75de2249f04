"""What the release scripts share: stopping with a message, running a
tool, a file's SHA-256, the release's one time, and a zip entry that
holds nothing but its name, its time and its bytes."""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry holds.


def fail(message: str) -> None:
    """Stops the script that runs, with its own name in front."""
    sys.exit(f"{os.path.basename(sys.argv[0])}: {message}")


def run(command: list, **kwargs) -> subprocess.CompletedProcess:
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        fail(f"{command[0]} failed ({result.returncode}):\n"
             f"{result.stdout}{result.stderr}")
    return result


def sha256(path: str) -> str:
    with open(path, "rb") as file:
        return hashlib.file_digest(file, "sha256").hexdigest()


def source_epoch(source_dir: str) -> int:
    """SOURCE_DATE_EPOCH, as reproducible-builds.org describes it, or the
    time of the commit the sources come from; never before 1980, which a
    zip entry cannot hold."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return max(int(os.environ["SOURCE_DATE_EPOCH"]), ZIP_EPOCH)
    try:
        out = subprocess.run(
            ["git", "-C", source_dir, "log", "-1", "--format=%ct"],
            check=True, capture_output=True, text=True).stdout
        return max(int(out.strip()), ZIP_EPOCH)
    except (OSError, subprocess.CalledProcessError, ValueError):
        print(f"{os.path.basename(sys.argv[0])}: no commit to take the time "
              "from, and no SOURCE_DATE_EPOCH; the release's files get "
              "1980-01-01", file=sys.stderr)
        return ZIP_EPOCH


def zip_entry(name: str, epoch: int) -> zipfile.ZipInfo:
    """An entry of `name` at the time `epoch`, deflated, with MS-DOS
    attributes as Windows reads them: the archive bit alone."""
    entry = zipfile.ZipInfo(name, time.gmtime(max(epoch, ZIP_EPOCH))[:6])
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.create_system = 0
    entry.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
    return entry


def write_zip(path: str, entries: list) -> None:
    """A zip of (entry, bytes) pairs in the order given, written aside and
    moved into place whole."""
    temporary = path + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        for entry, data in entries:
            archive.writestr(entry, data, compresslevel=9)
    os.replace(temporary, path)
