#!/usr/bin/env python3
"""Makes the winget and Scoop manifests of the release built in BUILD_DIR,
for a release URL, and checks them against what they describe: each file
valid against the package manager's own schema (offline, with the pinned
ajv), every hash against its file, every product and upgrade code, version
and scope against the package's own Property table. Then it changes one
hash in a copy, and that copy must fail.

    manifests_check.py SOURCE_DIR BUILD_DIR VERSION
"""
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

import yaml

SOURCE_DIR, BUILD_DIR, VERSION = sys.argv[1:]
sys.path.insert(0, os.path.join(SOURCE_DIR, "cmake"))
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


def main() -> None:
    base = os.path.join(BUILD_DIR, f"Tessaly-{'.'.join(VERSION.split('.')[:2])}-win32")
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
    print("manifests_check.py: the winget and Scoop manifests describe the release")


if __name__ == "__main__":
    main()
