#!/usr/bin/python3
"""Builds the release in OUT_DIR so that its bytes depend on nothing but its
inputs, and signs it where a certificate is given:

    Tessaly-<v>-win32.zip          Tessaly.exe, README.txt (the user's
                                   guide, with this release's product
                                   codes, place and signature filled
                                   in), LICENSE.txt,
                                   THIRD-PARTY-NOTICES.txt
    Tessaly-<v>-win32.msi          per-machine Windows Installer package
    Tessaly-<v>-win32-peruser.msi  per-user one, which needs no elevation
    Tessaly-<v>-win32.cdx.json     the bill of materials (CycloneDX 1.6)
    SHA256SUMS                     the hashes of the four
    winget/, scoop/                the package managers' manifests
                                   (manifests.py), and
    chocolatey/brevinor.<v>.nupkg  Chocolatey's package, with the
                                   per-machine MSI inside
                                   (chocolatey.py), where a release URL
                                   is given

    release.py --source-dir DIR --out-dir DIR --version 1.0.0
               --exe EXE --readme TXT --license TXT --icon ICO --wxs WXS
               [--release-url URL] [--msi-only]
               [--stage files|packages|rest] [--signed-elsewhere]

A signer elsewhere (a signing service) signs between the stages: files,
then release-files/Tessaly.exe is signed, then packages, then both MSIs
are signed, then rest, which hashes what was signed. The package target
takes them from TESSALY_RELEASE_STAGE and TESSALY_SIGNED_ELSEWHERE=1 in
the environment of the build.

It runs on Debian's own Python (its #! line), whose python3-pefile and
python3-debian pe_file.py and third_party.py read the exe and the
toolchain's copyright files with. Every file carries one time: the
commit's, or SOURCE_DATE_EPOCH when set.
Each job has a module of its own beside this one: user_guide.py (README.txt),
signing.py, msi.py (wixl and msibuild), sbom.py, third_party.py (the
notices), manifests.py and chocolatey.py; project.py holds the names, codes
and addresses they share, release_support.py the rest.
"""
import argparse
import os
import shutil

import chocolatey
import manifests
import msi
import project
import sbom
import third_party
import user_guide
from release_support import fail, sha256, source_epoch, write_zip, zip_entry
from signing import Signer

def pack_zip(zip_path: str, files: list, epoch: int) -> None:
    """The entries go in the order given, each with the same time and the
    same attributes."""
    entries = []
    for path in files:
        with open(path, "rb") as file:
            entries.append((zip_entry(os.path.basename(path), epoch),
                            file.read()))
    write_zip(zip_path, entries)


STAGES = ["files", "packages", "rest"]


def stage_files(args, staging: str, signer, epoch: int) -> None:
    """The files as they ship: the exe, signed where a certificate is
    given, the guide, the licence and the notices, and the icon that the
    packages show."""
    os.makedirs(staging, exist_ok=True)
    exe = os.path.join(staging, "Tessaly.exe")
    shutil.copyfile(args.exe, exe)
    signed = bool(signer and signer.pkcs12) or args.signed_elsewhere
    user_guide.write_guide(args.readme, os.path.join(staging, "README.txt"),
                args.version, args.release_url.rstrip("/"), signed)
    shutil.copyfile(args.license, os.path.join(staging, "LICENSE.txt"))
    # With Windows line ends, like the other texts, for Notepad.
    with open(os.path.join(staging, "THIRD-PARTY-NOTICES.txt"), "w",
              newline="\r\n", encoding="ascii") as out:
        out.write(third_party.notices_text())
    shutil.copyfile(args.icon, os.path.join(staging, "Tessaly.ico"))
    if signer:
        signer.sign(exe)


def main() -> None:
    parser = argparse.ArgumentParser()
    for option in ["--source-dir", "--out-dir", "--version", "--exe",
                   "--readme", "--license", "--icon", "--wxs"]:
        parser.add_argument(option, required=True)
    parser.add_argument("--release-url", default="",
                        help="where the release publishes its files, for "
                             "the winget and Scoop manifests")
    parser.add_argument("--msi-only", action="store_true",
                        help="only the two packages, unsigned, as for tests")
    parser.add_argument("--stage", choices=["all"] + STAGES,
                        default=os.environ.get("TESSALY_RELEASE_STAGE", "all"),
                        help="one step alone, for a signer elsewhere: "
                             "files (release-files/, the exe signed here "
                             "where a certificate is given), packages (the "
                             "MSIs of release-files/), rest (the zip, the "
                             "packages for package managers, the bill of "
                             "materials and SHA256SUMS, from both)")
    parser.add_argument("--signed-elsewhere", action="store_true",
                        default=bool(os.environ.get("TESSALY_SIGNED_ELSEWHERE")),
                        help="the exe and the MSIs are signed between the "
                             "stages by another signer: README.txt says "
                             "that the release is signed")
    args = parser.parse_args()

    stages = STAGES if args.stage == "all" else [args.stage]
    if args.msi_only:
        stages = ["files", "packages"]
    epoch = source_epoch(args.source_dir)
    base = os.path.join(args.out_dir, f"Tessaly-{args.version}-win32")
    signer = Signer(epoch) if not args.msi_only else None
    if signer and "files" in stages:
        print("release.py: signed elsewhere, between the stages"
              if args.signed_elsewhere and not signer.pkcs12
              else signer.describe())

    staging = os.path.join(args.out_dir, "release-files")
    if "files" in stages:
        stage_files(args, staging, signer, epoch)
    shipped = [os.path.join(staging, name)
               for name in ["Tessaly.exe", "README.txt", "LICENSE.txt",
                            "THIRD-PARTY-NOTICES.txt"]]
    icon = os.path.join(staging, "Tessaly.ico")
    # Every stage takes them at the release's time, also after a signer
    # elsewhere has put the signed exe back.
    for path in shipped + [icon]:
        if not os.path.exists(path):
            fail(f"{path} is missing: run the files stage first")
        os.utime(path, (epoch, epoch))

    if "packages" in stages:
        links = (project.add_remove_links(args.release_url.rstrip("/"))
                 if args.release_url else {})
        files = {"ExeFile": shipped[0], "ReadMeFile": shipped[1],
                 "LicenseFile": shipped[2], "NoticesFile": shipped[3],
                 "IconFile": icon}
        for suffix, scope, root in msi.PACKAGE_KINDS:
            package = f"{base}{suffix}.msi"
            msi.build_msi(package, args.wxs, scope, root, args.version, files,
                          os.path.basename(base) + ".msi", epoch, links)
            if signer:
                signer.sign(package)
    if "rest" not in stages:
        return

    pack_zip(base + ".zip", shipped, epoch)
    released = [base + ".zip", base + ".msi", base + "-peruser.msi"]
    url = args.release_url.rstrip("/")
    packages = []
    if url:
        packages.append(chocolatey.write_chocolatey(
            args.out_dir, url, args.version, base + ".msi", shipped[2], epoch,
            shipped[3]))
    sbom.write_sbom(base + ".cdx.json", args.version, shipped, packages, epoch)
    released += [base + ".cdx.json"] + packages
    # By the names the files are published under, side by side.
    sums = os.path.join(args.out_dir, "SHA256SUMS")
    with open(sums, "w", newline="\n") as out:
        for path in released:
            out.write(f"{sha256(path)}  {os.path.basename(path)}\n")
    if not url:
        print("release.py: no winget, Scoop or Chocolatey packages, as no "
              "release URL is known (TESSALY_RELEASE_URL)")
        return
    manifests.write_winget(args.out_dir, url, args.version,
                           [base + ".msi", base + "-peruser.msi"])
    manifests.write_scoop(args.out_dir, url, args.version, base + ".zip")


if __name__ == "__main__":
    main()
