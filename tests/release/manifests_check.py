#!/usr/bin/env python3
"""Makes the winget and Scoop manifests and the Chocolatey package of the
release built in BUILD_DIR, for a release URL, and checks them against what
they describe: each file valid against the package manager's own schema
(offline, with the pinned ajv, or xmllint for the nuspec), every hash
against its file, every product and upgrade code, version and scope
against the package's own Property table, and what Chocolatey and its
community repository ask of a package beyond its schema. Then it changes
one field in a copy at a time, and each copy must fail.

    manifests_check.py SOURCE_DIR BUILD_DIR VERSION
"""
import glob
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

import yaml

SOURCE_DIR, BUILD_DIR, VERSION = sys.argv[1:]
sys.path.insert(0, os.path.join(SOURCE_DIR, "cmake"))
import chocolatey  # noqa: E402
import manifests  # noqa: E402

SCHEMAS = os.path.join(SOURCE_DIR, "tools", "manifest-schemas")
VALIDATOR = os.path.join(SOURCE_DIR, "tools", "sbom-validator",
                         "validate-schema.js")
URL = "https://github.com/brevinor/tessaly/releases/download/v" + VERSION


def valid(schema: str, document, work: str) -> bool:
    path = os.path.join(work, "document.json")
    with open(path, "w", encoding="utf-8") as out:
        json.dump(document, out)
    return subprocess.run(["node", VALIDATOR, schema, path]).returncode == 0


def problems(out_dir: str, work: str) -> list:
    found = []
    folder = os.path.join(out_dir, "winget", manifests.IDENTIFIER, VERSION)
    files = sorted(glob.glob(os.path.join(folder, "*.yaml")))
    if len(files) != 4:
        found.append(f"the winget folder holds {files}")
    for path in files:
        with open(path, encoding="utf-8") as file:
            first = file.readline()
            document = yaml.safe_load(first + file.read())
        kind = document["ManifestType"]
        schema = f"{SCHEMAS}/winget-1.12.0/manifest.{kind}.1.12.0.json"
        if first != f"# yaml-language-server: $schema={manifests.SCHEMA_URL.format(kind)}\n":
            found.append(f"{path} begins {first!r}")
        if document["PackageVersion"] != VERSION or not valid(schema, document, work):
            found.append(f"{path} is not a valid {kind} manifest of {VERSION}")
        for entry in document.get("Installers", []):
            msi = os.path.join(BUILD_DIR, os.path.basename(entry["InstallerUrl"]))
            table = manifests.msi_properties(msi)
            apps = entry["AppsAndFeaturesEntries"][0]
            scope = "machine" if table.get("ALLUSERS") == "1" else "user"
            described = [entry["InstallerSha256"].lower(), entry["ProductCode"],
                         apps["ProductCode"], apps["UpgradeCode"],
                         apps["DisplayVersion"], entry["Scope"]]
            actual = [manifests.sha256(msi), table["ProductCode"],
                      table["ProductCode"], table["UpgradeCode"],
                      table["ProductVersion"], scope]
            if described != actual:
                found.append(f"{msi}: described as {described}, is {actual}")
    scopes = sorted(entry["Scope"] for path in files
                    for entry in yaml.safe_load(open(path)).get("Installers", []))
    if scopes != ["machine", "user"]:
        found.append(f"the installers' scopes are {scopes}")
    with open(os.path.join(out_dir, "scoop", "brevinor.json"), encoding="utf-8") as file:
        scoop = json.load(file)
    zip_path = os.path.join(BUILD_DIR, os.path.basename(scoop["url"]))
    if not valid(f"{SCHEMAS}/scoop/schema.json", scoop, work) or \
            scoop["hash"] != manifests.sha256(zip_path) or scoop["version"] != VERSION:
        found.append(f"brevinor.json does not describe {zip_path}")
    return found


def nupkg_problems(nupkg: str, msi: str, work: str) -> list:
    """What Chocolatey, its community repository's rules or an
    administrator checking the package would find wrong with it."""
    found = []
    with zipfile.ZipFile(nupkg) as archive:
        entries = {info.filename: info for info in archive.infolist()}
        read = {name: archive.read(name) for name in entries}
    nuspec_path = os.path.join(work, "brevinor.nuspec")
    with open(nuspec_path, "wb") as out:
        out.write(read.get("brevinor.nuspec", b""))
    if subprocess.run(["xmllint", "--noout", "--schema",
                       f"{SCHEMAS}/nuspec/nuspec.xsd", nuspec_path]).returncode:
        found.append("the nuspec is not valid against nuspec.xsd")
    meta = dict(re.findall(r"<(\w+)>([^<]*)</\1>", read["brevinor.nuspec"].decode()))
    msi_name = os.path.basename(msi)
    properties = [n for n in entries if n.startswith("package/services/metadata/"
                                                     "core-properties/")]
    expected = {"[Content_Types].xml", "_rels/.rels", "brevinor.nuspec",
                "tools/chocolateyInstall.ps1", "tools/chocolateyUninstall.ps1",
                f"tools/{msi_name}", "tools/LICENSE.txt",
                "tools/VERIFICATION.txt", *properties[:1]}
    if set(entries) != expected or len(properties) != 1 or \
            not all(n.isascii() and "\\" not in n for n in entries) or \
            len({info.date_time for info in entries.values()}) != 1:
        found.append(f"the package holds {sorted(entries)}")
    rels = read.get("_rels/.rels", b"").decode()
    types = read.get("[Content_Types].xml", b"").decode()
    if 'Target="/brevinor.nuspec"' not in rels or \
            f'Target="/{properties[0] if properties else "?"}"' not in rels or \
            not all(f'Extension="{x}"' in types for x in
                    ["rels", "psmdcp", "nuspec", "ps1", "msi", "txt"]):
        found.append("the package's OPC parts do not describe it")
    tags = meta.get("tags", "")
    if meta.get("id") != "brevinor" or \
            not 30 <= len(meta.get("description", "")) <= 4000 or \
            "," in tags or "chocolatey" in tags.lower() or \
            meta.get("projectSourceUrl") == meta.get("projectUrl") or \
            os.path.basename(nupkg) != f"brevinor.{meta.get('version')}.nupkg":
        found.append(f"the metadata breaks the community's rules: {meta}")
    embedded = read.get(f"tools/{msi_name}", b"")
    digest = hashlib.sha256(embedded).hexdigest()
    with open(msi, "rb") as file, open(os.path.join(BUILD_DIR, "SHA256SUMS")) as sums:
        if embedded != file.read() or f"{digest}  {msi_name}\n" not in sums.read() or \
                digest.upper() not in read["tools/VERIFICATION.txt"].decode():
            found.append(f"tools/{msi_name} is not the released package")
    code = manifests.msi_properties(msi)["UpgradeCode"]
    scripts = [read[f"tools/chocolatey{kind}.ps1"].decode("utf-8-sig")
               for kind in ["Install", "Uninstall"]]
    if not all(read[f"tools/chocolatey{kind}.ps1"].startswith(b"\xef\xbb\xbf")
               for kind in ["Install", "Uninstall"]) or \
            not all(f"RelatedProducts('{code}')" in script for script in scripts) or \
            not 0 < scripts[1].find("Uninstall-ChocolateyPackage") < \
            scripts[1].find("Uninstall-BinFile"):
        found.append(f"the scripts lack a byte order mark, do not find {code}, "
                     "or remove the command before the program")
    notices = os.path.join(BUILD_DIR, "release-files", "THIRD-PARTY-NOTICES.txt")
    with open(notices, "rb") as file:
        if file.read() not in read.get("tools/LICENSE.txt", b""):
            found.append("tools/LICENSE.txt lacks the third-party notices")
    if meta.get("iconUrl") != (URL.replace("https://github.com/", "https://cdn.jsdelivr.net/gh/")
                               .replace("/releases/download/", "@") + "/docs/images/icon-32.png"):
        found.append(f"the icon is {meta.get('iconUrl')}")
    drawn = os.path.join(work, "icon-32.png")
    subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "resources", "make_icon.py"),
                    "--png", drawn], check=True)
    with open(drawn, "rb") as new, open(os.path.join(SOURCE_DIR, "docs", "images",
                                                     "icon-32.png"), "rb") as kept:
        if new.read() != kept.read():
            found.append("docs/images/icon-32.png is not the icon drawn now")
    return found


def changed_nupkg(nupkg: str, out: str, name: str = "", **fields) -> str:
    """A copy of the package with the nuspec's `fields` changed, under
    another file name where `name` is given."""
    path = os.path.join(out, name or os.path.basename(nupkg))
    with zipfile.ZipFile(nupkg) as source, zipfile.ZipFile(path, "w") as copy:
        for info in source.infolist():
            data = source.read(info)
            for field, value in fields.items():
                data = re.sub(rf"<{field}>[^<]*</{field}>".encode(),
                              f"<{field}>{value}</{field}>".encode(), data)
            copy.writestr(info, data)
    return path


def main() -> None:
    base = os.path.join(BUILD_DIR, f"Tessaly-{VERSION}-win32")
    with tempfile.TemporaryDirectory() as work:
        made = os.path.join(work, "made")
        manifests.write_winget(made, URL, VERSION, [base + ".msi", base + "-peruser.msi"])
        manifests.write_scoop(made, URL, VERSION, base + ".zip")
        found = problems(made, work)
        if found:
            sys.exit("manifests_check.py:\n" + "\n".join(found))
        # One hash changed in a copy: the check must see it.
        changed = os.path.join(work, "changed")
        shutil.copytree(made, changed)
        installer, = glob.glob(f"{changed}/winget/*/*/*.installer.yaml")
        with open(installer, encoding="utf-8") as file:
            text = file.read()
        digest = manifests.sha256(base + ".msi").upper()
        with open(installer, "w", encoding="utf-8") as out:
            out.write(text.replace(digest, digest[:-1] + ("0" if digest[-1] != "0" else "1")))
        if not problems(changed, work):
            sys.exit("manifests_check.py: a changed hash went unnoticed")

        nupkg = chocolatey.write_chocolatey(
            made, URL, VERSION, base + ".msi",
            os.path.join(BUILD_DIR, "release-files", "LICENSE.txt"), 315532800,
            os.path.join(BUILD_DIR, "release-files", "THIRD-PARTY-NOTICES.txt"))
        found = nupkg_problems(nupkg, base + ".msi", work)
        if found:
            sys.exit("manifests_check.py:\n" + "\n".join(found))
        for change in [{"tags": "notepad, text"}, {"description": "Too short."},
                       {"name": "brevinor.1.0.0.0.nupkg"}]:
            if not nupkg_problems(changed_nupkg(nupkg, changed, **change),
                                  base + ".msi", work):
                sys.exit(f"manifests_check.py: {change} went unnoticed")
    print("manifests_check.py: the winget and Scoop manifests and the "
          "Chocolatey package describe the release")


if __name__ == "__main__":
    main()
