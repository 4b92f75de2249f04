#!/usr/bin/env python3
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

THIRD-PARTY-NOTICES.txt and the runtime's part of the bill of materials
come from the installed toolchain packages (third_party.py).

Every file carries one time: the commit's, or SOURCE_DATE_EPOCH when set.
Each package's product code is derived from the version and kind, its
package code from everything that goes into it.

Signing: with TESSALY_SIGN_PKCS12 (a .pfx or .p12 file) and
TESSALY_SIGN_PASSWORD set, Tessaly.exe is signed before it is packed, and
then each package, with osslsigncode and SHA-256. TESSALY_SIGN_TIMESTAMP_URL
adds an RFC 3161 timestamp; without one, the signing time is the release's
time, so a signed release is reproducible too. The password goes to
osslsigncode on its standard input, never on a command line.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import textwrap
import time
import uuid
import zipfile

import chocolatey
import manifests
import third_party

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry holds.
# The bill of materials' serial number is a name-based UUID in this
# namespace, named by the rest of its content.
SBOM_NAMESPACE = uuid.UUID("5b0c0a4e-7d0f-4f5e-9a55-3f8e2a6c1d17")
# Product codes are name-based UUIDs in this namespace.
PRODUCT_NAMESPACE = uuid.UUID("cbb40129-980e-4eba-9f76-70a71990b75f")
# (suffix of the file name, WiX scope, registry root)
PACKAGE_KINDS = [("", "perMachine", "HKLM"), ("-peruser", "perUser", "HKCU")]
# The per-machine package's folder and Tessaly.exe, wherever they are
# installed: full access for Administrators and SYSTEM, read and run for
# Users, as under Program Files. Protected ("P"), so that they take on
# nothing from the folders above, which on a data drive often let every
# user change what they hold; the folder's entries pass on to the files
# made in it. Only well-known aliases, which every Windows the packages
# run on knows. wixl cannot write the MsiLockPermissionsEx table, so
# msibuild adds it (Windows Installer 5.0, which the packages require).
READ_AND_RUN = "0x1200a9"  # FILE_GENERIC_READ | FILE_GENERIC_EXECUTE


def locked_sddl(inherit: str) -> str:
    return (f"D:P(A;{inherit};FA;;;BA)(A;{inherit};FA;;;SY)"
            f"(A;{inherit};{READ_AND_RUN};;;BU)")


LOCKED = [("LockInstallFolder", "INSTALLFOLDER", "CreateFolder",
           locked_sddl("OICI")),
          ("LockTessalyExe", "TessalyExe", "File", locked_sddl(""))]


def fail(message: str) -> None:
    sys.exit(f"release.py: {message}")


def product_code(scope: str, msi_version: str) -> str:
    """The product code of a package of this kind and version, as wixl is
    given it."""
    return str(uuid.uuid5(PRODUCT_NAMESPACE,
                          f"Tessaly {scope} {msi_version}")).upper()


def write_guide(source: str, target: str, msi_version: str, release_url: str,
                signed: bool) -> None:
    """The user's guide as README.txt, with Windows line ends, and what
    only the release knows filled in: its version, the packages' product
    codes, where the release is published, where to report a problem and
    whether it is signed."""
    with open(source, encoding="ascii", newline="") as file:
        text = file.read().replace("\r\n", "\n")
    if release_url:
        published = ("This release's files, SHA256SUMS among them, are "
                     "published at\n\n    " + release_url + "/")
    else:
        published = textwrap.fill(
            "Take SHA256SUMS from the same place as the zip and the "
            "packages.", 72)
    if signed:
        signature = ("This release is signed: Tessaly.exe and both packages "
                     "carry a digital signature (Properties, Digital "
                     "Signatures). Where Windows does not know its "
                     "publisher yet, it may still ask:")
    else:
        signature = ("This release is not signed. An unsigned program may "
                     "meet Windows' own checks:")
    report = "Report an internal error, or anything else that goes wrong, "
    if release_url:
        urls = chocolatey.package_urls(release_url)
        report += (f"at {urls.get('bugTrackerUrl', urls['projectUrl'])}, "
                   "with your Windows version, how Brevinor was installed, "
                   "the message and the exit status.")
        if "bugTrackerUrl" in urls:
            report += (" A security problem is reported privately "
                       f"instead: see {urls['projectUrl']}/security/policy.")
    else:
        report += "to whoever gave you Brevinor."
    values = {
        "VERSION": msi_version,
        "REPORT_AT": textwrap.fill(report, 72, break_long_words=False,
                                   break_on_hyphens=False),
        "MACHINE_PRODUCT_CODE": "{" + product_code("perMachine",
                                                   msi_version) + "}",
        "USER_PRODUCT_CODE": "{" + product_code("perUser", msi_version) + "}",
        "PUBLISHED_AT": published,
        "SIGNATURE": textwrap.fill(signature, 72),
    }
    text = re.sub(r"@([A-Z_]+)@", lambda m: values.get(m[1], m[0]), text)
    if re.search(r"@[A-Z_]+@", text):
        fail(f"{source} holds a placeholder that release.py does not fill")
    # The title's rule, as long as the title with its version.
    title, rule, rest = text.split("\n", 2)
    if set(rule) == {"="}:
        text = "\n".join([title, "=" * len(title), rest])
    with open(target, "w", encoding="ascii", newline="\r\n") as out:
        out.write(text)


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
        print("release.py: no commit to take the time from, and no "
              "SOURCE_DATE_EPOCH; the release's files get 1980-01-01",
              file=sys.stderr)
        return ZIP_EPOCH


def run(command: list, **kwargs) -> subprocess.CompletedProcess:
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        fail(f"{command[0]} failed ({result.returncode}):\n"
             f"{result.stdout}{result.stderr}")
    return result


class Signer:
    """Signs files with osslsigncode, or does nothing where no certificate
    is given."""

    def __init__(self, epoch: int):
        self.pkcs12 = os.environ.get("TESSALY_SIGN_PKCS12", "")
        self.password = os.environ.get("TESSALY_SIGN_PASSWORD", "")
        self.timestamp_url = os.environ.get("TESSALY_SIGN_TIMESTAMP_URL", "")
        self.epoch = epoch
        if self.pkcs12 and not self.password:
            fail("TESSALY_SIGN_PKCS12 is set but TESSALY_SIGN_PASSWORD is not")
        if self.password and not self.pkcs12:
            fail("TESSALY_SIGN_PASSWORD is set but TESSALY_SIGN_PKCS12 is not")

    def describe(self) -> str:
        if not self.pkcs12:
            return ("release.py: unsigned (set TESSALY_SIGN_PKCS12 and "
                    "TESSALY_SIGN_PASSWORD to sign)")
        when = (f"timestamped by {self.timestamp_url}" if self.timestamp_url
                else "signing time fixed at the release's time")
        return f"release.py: signing with {self.pkcs12}, SHA-256, {when}"

    def sign(self, path: str) -> None:
        if not self.pkcs12:
            return
        signed = path + ".signed"
        # "-readpass -" means standard input only from osslsigncode 2.9 on;
        # /dev/stdin is the same pipe to 2.5, which Debian 12 has.
        command = ["osslsigncode", "sign", "-pkcs12", self.pkcs12,
                   "-readpass", "/dev/stdin", "-h", "sha256",
                   "-n", "Brevinor", "-in", path, "-out", signed]
        if self.timestamp_url:
            command += ["-ts", self.timestamp_url]
        else:
            command += ["-time", str(self.epoch)]
        if os.path.exists(signed):
            os.remove(signed)
        run(command, input=self.password)
        os.replace(signed, path)


def file_version(exe: str) -> tuple:
    """The file version ("1.0.0.0") and language ("1031") of an exe's
    version resource, as Windows Installer's File table holds them."""
    with open(exe, "rb") as file:
        data = file.read()
    # VS_FIXEDFILEINFO starts with its signature; the file version follows
    # the structure's version.
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        fail(f"{exe} has no version resource")
    most, least = struct.unpack_from("<II", data, fixed + 8)
    version = f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"
    # VarFileInfo's "Translation": language, then code page, each a WORD, at
    # the next 32-bit boundary after the key.
    key = "Translation\0".encode("utf-16-le")
    at = data.find(key, fixed)
    if at < 0:
        fail(f"{exe} names no language in its version resource")
    language = struct.unpack_from("<H", data, (at + len(key) + 3) & ~3)[0]
    return version, str(language)


def pack_zip(zip_path: str, files: list, epoch: int) -> None:
    """The entries go in the order given, each with the same time and the
    same attributes."""
    stamp = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    temporary = zip_path + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(os.path.basename(path), stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS attributes, as Windows reads them.
            entry.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            with open(path, "rb") as file:
                archive.writestr(entry, file.read(), compresslevel=9)
    os.replace(temporary, zip_path)


def build_msi(msi_path: str, wxs: str, scope: str, root: str, version: str,
              files: dict, machine_package: str, epoch: int,
              links: dict) -> None:
    """wixl, run at the release's time so that the package and its cabinet
    hold no other, then msibuild to make the exe a versioned file and to
    set a package code that follows from the inputs instead of wixl's
    random one."""
    defines = {"Scope": scope, "Root": root, "Version": version,
               "ProductCode": product_code(scope, version),
               "MachinePackage": machine_package, **links, **files}
    # By content, never by path: two build folders give one package code.
    inputs = hashlib.sha256()
    for name in sorted(defines):
        value = os.path.basename(defines[name]) if name in files else defines[name]
        inputs.update(f"{name}={value}\n".encode())
    for path in [wxs, *files.values()]:
        with open(path, "rb") as file:
            inputs.update(hashlib.sha256(file.read()).digest())
    package_code = uuid.UUID(bytes=inputs.digest()[:16], version=4)

    # wixl takes only relative sources, found from the folder it runs in.
    # The clock stands still at the release's time, however long each step
    # takes ("@" would let it run on from there).
    fixed_clock = ["env", "TZ=UTC", "faketime", "-f",
                   time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(epoch))]
    folders = {os.path.dirname(os.path.abspath(path)) for path in files.values()}
    if len(folders) != 1:
        fail(f"the packages' files must share a folder: {sorted(folders)}")
    command = fixed_clock + ["wixl", "-a", "x86", "-o",
                             os.path.abspath(msi_path)]
    for name, value in defines.items():
        value = os.path.basename(value) if name in files else value
        command += ["-D", f"{name}={value}"]
    result = run(command + [os.path.abspath(wxs)], cwd=folders.pop())
    # wixl drops what it does not understand with no more than a warning.
    said = result.stdout + result.stderr
    if "warning" in said.lower() or "critical" in said.lower():
        fail(f"wixl warned about {wxs}:\n{said}")
    # wixl leaves every file unversioned, with a hash. The exe has a
    # version, which is what Windows Installer's file rules should go by,
    # and a versioned file may have no hash.
    exe_version, exe_language = file_version(files["ExeFile"])
    run(fixed_clock + ["msibuild", msi_path, "-q",
                       f"UPDATE `File` SET `Version` = '{exe_version}', "
                       f"`Language` = '{exe_language}' "
                       "WHERE `File` = 'TessalyExe'"])
    run(fixed_clock + ["msibuild", msi_path, "-q",
                       "DELETE FROM `MsiFileHash` WHERE `File_` = 'TessalyExe'"])
    if scope == "perMachine":
        run(fixed_clock + ["msibuild", msi_path, "-q",
                           "CREATE TABLE `MsiLockPermissionsEx` "
                           "(`MsiLockPermissionsEx` CHAR(72) NOT NULL, "
                           "`LockObject` CHAR(72) NOT NULL, "
                           "`Table` CHAR(32) NOT NULL, "
                           "`SDDLText` CHAR(0) NOT NULL, "
                           "`Condition` CHAR(255) "
                           "PRIMARY KEY `MsiLockPermissionsEx`)"])
        for row in LOCKED:
            values = ", ".join(f"'{value}'" for value in row)
            run(fixed_clock + ["msibuild", msi_path, "-q",
                               "INSERT INTO `MsiLockPermissionsEx` "
                               "(`MsiLockPermissionsEx`, `LockObject`, "
                               f"`Table`, `SDDLText`) VALUES ({values})"])
    run(fixed_clock + ["msibuild", msi_path, "-s", "Brevinor",
                       "Brevinor Project", "Intel;1033",
                       "{" + str(package_code).upper() + "}"])


def sha256(path: str) -> str:
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def write_sbom(path: str, version: str, shipped: list, packages: list,
               epoch: int) -> None:
    """A CycloneDX 1.6 bill of materials: the files shipped, with their
    hashes, the packages that carry them to a package manager (the
    Chocolatey package), and the runtime libraries linked into
    Tessaly.exe, with their Debian packages. Its serial number follows
    from its content and its time is the release's, so that it is
    reproducible too."""
    exe_ref = "file:Tessaly.exe"
    files = [{"type": "file", "bom-ref": f"file:{os.path.basename(p)}",
              "name": os.path.basename(p),
              "hashes": [{"alg": "SHA-256", "content": sha256(p)}]}
             for p in shipped + packages]
    libraries = [{"type": "library",
                  "bom-ref": f"{third_party.purl(lib.package)}#{lib.name}",
                  "name": lib.name,
                  "version": third_party.package_field(lib.package, "Version"),
                  "description": lib.description,
                  "licenses": [{"expression": lib.licence}],
                  "purl": third_party.purl(lib.package)}
                 for lib in third_party.RUNTIME]
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ",
                                       time.gmtime(epoch)),
            "component": {"type": "application", "bom-ref": "Tessaly",
                          "supplier": {"name": "Brevinor Project"},
                          "name": "Tessaly", "version": version,
                          "description": "Brevinor: shows text files with "
                                         "LF line ends in Notepad",
                          "licenses": [{"license": {"id": "MIT"}}]},
        },
        "components": files + libraries,
        "dependencies": [
            {"ref": "Tessaly", "dependsOn": [f["bom-ref"] for f in files]},
            {"ref": exe_ref, "dependsOn": [l["bom-ref"] for l in libraries]},
        ],
    }
    content = json.dumps(bom, sort_keys=True)
    bom = {"$schema": "http://cyclonedx.org/schema/bom-1.6.schema.json",
           "serialNumber": f"urn:uuid:{uuid.uuid5(SBOM_NAMESPACE, content)}",
           **bom}
    with open(path, "w", newline="\n", encoding="utf-8") as out:
        json.dump(bom, out, indent=2)
        out.write("\n")


STAGES = ["files", "packages", "rest"]


def stage_files(args, staging: str, signer, epoch: int) -> None:
    """The files as they ship: the exe, signed where a certificate is
    given, the guide, the licence and the notices, and the icon that the
    packages show."""
    os.makedirs(staging, exist_ok=True)
    exe = os.path.join(staging, "Tessaly.exe")
    shutil.copyfile(args.exe, exe)
    signed = bool(signer and signer.pkcs12) or args.signed_elsewhere
    write_guide(args.readme, os.path.join(staging, "README.txt"),
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

    if not re.fullmatch(r"(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)",
                        args.version):
        fail(f"the version {args.version} is not MAJOR.MINOR.PATCH")
    stages = STAGES if args.stage == "all" else [args.stage]
    if args.msi_only:
        stages = ["files", "packages"]
    epoch = max(source_epoch(args.source_dir), ZIP_EPOCH)
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
        links = (chocolatey.add_remove_links(args.release_url.rstrip("/"))
                 if args.release_url else {})
        files = {"ExeFile": shipped[0], "ReadMeFile": shipped[1],
                 "LicenseFile": shipped[2], "NoticesFile": shipped[3],
                 "IconFile": icon}
        for suffix, scope, root in PACKAGE_KINDS:
            msi = f"{base}{suffix}.msi"
            build_msi(msi, args.wxs, scope, root, args.version, files,
                      os.path.basename(base) + ".msi", epoch, links)
            if signer:
                signer.sign(msi)
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
    write_sbom(base + ".cdx.json", args.version, shipped, packages, epoch)
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
