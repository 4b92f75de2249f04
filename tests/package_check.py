#!/usr/bin/env python3
"""Builds the release in BINARY_DIR and checks it as a user meets it: the
zip's entries in their order, the hashes beside it and the packages, the
user's guide as Notepad will show it, the third-party notices against the
link map, and the bill of materials, validated strictly as CycloneDX 1.6.
(The packages themselves are installed under Wine by msi_check.sh.)

    package_check.py CMAKE BINARY_DIR ZIP_NAME
"""
import copy
import glob
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import urllib.parse
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "cmake"))
from manifests import msi_properties  # noqa: E402
VALIDATOR = os.path.join(HERE, "..", "tools", "sbom-validator", "validate.js")

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
        if names != ["Tessaly.exe", "README.txt", "LICENSE.txt",
                     "THIRD-PARTY-NOTICES.txt"]:
            fail(f"the zip holds, in this order: {names}")
        # The one built, signed where the release is signed.
        with open(os.path.join(binary_dir, "release-files", "Tessaly.exe"),
                  "rb") as file:
            if archive.read("Tessaly.exe") != file.read():
                fail("the zip's Tessaly.exe is not the one built")
        guide = archive.read("README.txt")

    sbom_name = zip_name.replace(".zip", ".cdx.json")
    released = [zip_name, zip_name.replace(".zip", ".msi"),
                zip_name.replace(".zip", "-peruser.msi"), sbom_name]
    # Where a release URL was known, the Chocolatey package too, listed as
    # it is published, beside the others.
    packages = glob.glob(os.path.join(binary_dir, "chocolatey", "*.nupkg"))
    expected = ""
    for path in [os.path.join(binary_dir, name) for name in released] + packages:
        with open(path, "rb") as file:
            expected += (f"{hashlib.sha256(file.read()).hexdigest()}  "
                         f"{os.path.basename(path)}\n")
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
    version = zip_name.split("-")[1]
    title = f"Brevinor (Tessaly.exe), version {version}"
    if lines[:2] != [title, "=" * len(title)]:
        fail(f"README.txt begins: {lines[:2]}")
    if f"certutil -hashfile {zip_name} SHA256".encode() not in guide:
        fail(f"README.txt does not say how to check {zip_name}")
    # An administrator uninstalls and detects each package by the codes it
    # really has.
    for msi in released[1:3]:
        codes = msi_properties(os.path.join(binary_dir, msi))
        if f"msiexec /x {codes['ProductCode']} /qn".encode() not in guide or \
                codes["UpgradeCode"].encode() not in guide:
            fail(f"README.txt does not give {msi}'s codes: {codes}")
    check_notices(binary_dir)
    check_sbom(os.path.join(binary_dir, sbom_name),
               os.path.join(binary_dir, "release-files"), packages)
    print(f"{zip_path}: {names}\n{expected}", end="")


def check_notices(binary_dir: str) -> None:
    checked = subprocess.run(
        [sys.executable, os.path.join(HERE, "release", "notices_check.py"),
         os.path.join(binary_dir, "Tessaly.map"),
         os.path.join(binary_dir, "release-files", "THIRD-PARTY-NOTICES.txt")],
        capture_output=True, text=True)
    if checked.returncode != 0:
        fail(f"the notices:\n{checked.stdout}{checked.stderr}")


def check_sbom(sbom: str, release_files: str, packages: list) -> None:
    """Valid CycloneDX 1.6, naming each file shipped and each package that
    carries them by its real hash, and each runtime package by the version
    that dpkg reports."""
    validated = subprocess.run(["node", VALIDATOR, sbom], capture_output=True,
                               text=True)
    if validated.returncode != 0:
        fail(f"the bill of materials:\n{validated.stdout}{validated.stderr}")
    with open(sbom, encoding="utf-8") as file:
        bom = json.load(file)
    components = copy.deepcopy(bom["components"])
    # A validator that takes anything proves nothing: a malformed hash.
    bom["components"][0]["hashes"][0]["content"] = "not-a-sha-256"
    with tempfile.NamedTemporaryFile("w", suffix=".json") as planted:
        json.dump(bom, planted)
        planted.flush()
        if subprocess.run(["node", VALIDATOR, planted.name],
                          capture_output=True).returncode == 0:
            fail("the validator took a bill of materials with a bad hash")
    hashes = {c["name"]: c["hashes"][0]["content"] for c in components
              if c["type"] == "file"}
    shipped = [os.path.join(release_files, name)
               for name in sorted(os.listdir(release_files))
               if not name.endswith(".ico")]
    for path in shipped + packages:
        name = os.path.basename(path)
        with open(path, "rb") as file:
            if hashes.pop(name, None) != hashlib.sha256(file.read()).hexdigest():
                fail(f"the bill of materials has no true hash of {name}")
    if hashes:
        fail(f"the bill of materials names files not shipped: {hashes}")
    for library in (c for c in components if c["type"] == "library"):
        package = urllib.parse.unquote(
            library["purl"].split("/")[2].split("@")[0])
        version = subprocess.run(
            ["dpkg-query", "-W", "-f", "${Version}", package],
            capture_output=True, text=True).stdout
        if library["version"] != version:
            fail(f"the bill of materials gives {library['name']} from "
                 f"{package} {library['version']}, dpkg {version}")


if __name__ == "__main__":
    main()
