#!/usr/bin/env python3
"""The package managers' manifests of a release, made from its files:

    winget/BrevinorProject.Brevinor/<version>/   winget's, schema 1.12.0: the
                                                 version file, the installers
                                                 (both MSIs), the en-US
                                                 default locale and de-DE
    scoop/brevinor.json                          Scoop's, for the zip

    manifests.py --out-dir DIR --release-url URL --version 1.0.0
                 --msi MSI --per-user-msi MSI --zip ZIP

URL is the base address under which the release publishes its files, such
as https://github.com/OWNER/REPO/releases/download/v1.0.0. Everything about
a package, its codes and version and scope, is read from the package's own
Property table (msiinfo), so nothing is typed twice. release.py calls this
when a release URL is known.
"""
import argparse
import json
import os
import re
import subprocess

import project
from release_support import fail, sha256

IDENTIFIER = "BrevinorProject.Brevinor"
MANIFEST_VERSION = "1.12.0"
SCHEMA_URL = "https://aka.ms/winget-manifest.{}.1.12.0.schema.json"
LICENSE = "MIT"
TAGS = ["notepad", "line-endings", "text"]
TEXTS = {
    "en-US": {
        "ShortDescription": "Shows text files with LF line ends in "
                            "Notepad, lines intact.",
        "Description": "Brevinor (Tessaly.exe) shows a text file whose lines "
                       "end in a line feed alone, as files from Unix tools, "
                       "logs and source code do, in Windows Notepad with its "
                       "lines intact. It converts a copy in your temp folder "
                       "and never changes the file itself. The packages add "
                       "\"Show in Notepad with Brevinor\" to Explorer.",
    },
    "de-DE": {
        "ShortDescription": "Zeigt Textdateien mit LF-Zeilenenden im "
                            "Editor, Zeile für Zeile.",
        "Description": "Brevinor (Tessaly.exe) zeigt eine Textdatei, deren "
                       "Zeilen nur mit einem Zeilenvorschub enden, wie Dateien "
                       "aus Unix-Werkzeugen, Protokolle und Quelltexte, im "
                       "Windows-Editor mit allen Zeilen. Es wandelt eine Kopie "
                       "im temporären Ordner um und ändert die Datei selbst "
                       "nie. Die Pakete fügen dem Explorer \"Show in Notepad "
                       "with Brevinor\" hinzu.",
    },
}


def msi_properties(msi: str) -> dict:
    """The Property table of a package, as msiinfo exports it: a header of
    three lines, then a tab-separated row per property."""
    result = subprocess.run(["msiinfo", "export", msi, "Property"],
                            capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"msiinfo could not read {msi}: {result.stderr}")
    rows = result.stdout.replace("\r", "").split("\n")[3:]
    return dict(row.split("\t", 1) for row in rows if "\t" in row)


def yaml_text(entries, indent: str = "") -> str:
    """Block-style YAML of dicts, lists and strings, every string quoted, so
    that no value is ever read as a number or a boolean."""
    def quoted(text: str) -> str:
        return "'" + text.replace("'", "''") + "'"

    lines = []
    for key, value in entries.items():
        if isinstance(value, str):
            lines.append(f"{indent}{key}: {quoted(value)}")
        elif value and all(isinstance(item, str) for item in value):
            lines.append(f"{indent}{key}:")
            lines += [f"{indent}- {quoted(item)}" for item in value]
        else:
            lines.append(f"{indent}{key}:")
            for item in value:
                body = yaml_text(item, indent + "  ")
                lines.append(f"{indent}- {body[len(indent) + 2:]}")
    return "\n".join(lines)


def write_yaml(path: str, kind: str, entries: dict) -> None:
    entries = {**entries, "ManifestType": kind,
               "ManifestVersion": MANIFEST_VERSION}
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(f"# yaml-language-server: $schema={SCHEMA_URL.format(kind)}\n")
        out.write(yaml_text(entries) + "\n")


def installer(msi: str, release_url: str) -> dict:
    """One installer entry, from the package's own tables."""
    properties = msi_properties(msi)
    return {
        "Architecture": "x86",
        "InstallerType": "msi",
        "Scope": "machine" if properties.get("ALLUSERS") == "1" else "user",
        "InstallerUrl": f"{release_url}/{os.path.basename(msi)}",
        "InstallerSha256": sha256(msi).upper(),
        "ProductCode": properties["ProductCode"],
        "AppsAndFeaturesEntries": [{
            "DisplayName": properties["ProductName"],
            "Publisher": properties["Manufacturer"],
            "DisplayVersion": properties["ProductVersion"],
            "ProductCode": properties["ProductCode"],
            "UpgradeCode": properties["UpgradeCode"],
        }],
    }


def write_winget(out_dir: str, release_url: str, version: str,
                 msis: list) -> str:
    folder = os.path.join(out_dir, "winget", IDENTIFIER, version)
    os.makedirs(folder, exist_ok=True)
    base = os.path.join(folder, IDENTIFIER)
    package = {"PackageIdentifier": IDENTIFIER, "PackageVersion": version}
    write_yaml(base + ".yaml", "version",
               {**package, "DefaultLocale": "en-US"})
    installers = [installer(msi, release_url) for msi in msis]
    write_yaml(base + ".installer.yaml", "installer",
               {**package, "UpgradeBehavior": "install",
                "Installers": installers})
    entry = installers[0]["AppsAndFeaturesEntries"][0]
    for locale, kind in [("en-US", "defaultLocale"), ("de-DE", "locale")]:
        write_yaml(f"{base}.locale.{locale}.yaml", kind, {
            **package, "PackageLocale": locale,
            "Publisher": entry["Publisher"],
            "PackageName": entry["DisplayName"],
            "PackageUrl": project.homepage(release_url),
            "License": LICENSE, **TEXTS[locale], "Tags": TAGS})
    return folder


def write_scoop(out_dir: str, release_url: str, version: str,
                zip_path: str) -> str:
    """The portable zip for Scoop. No shortcut: started without a file,
    Tessaly only says that it needs one. Updates are found the way the
    release URL names its version."""
    manifest = {
        "version": version,
        "description": TEXTS["en-US"]["ShortDescription"],
        "homepage": project.homepage(release_url),
        "license": LICENSE,
        "url": f"{release_url}/{os.path.basename(zip_path)}",
        "hash": sha256(zip_path),
        "bin": "Tessaly.exe",
        "notes": [
            "Start it on a file: Tessaly \"C:\\logs\\server.log\"",
            "For \"Show in Notepad with Brevinor\" in Explorer, install one "
            "of the MSI packages instead (winget install " + IDENTIFIER + ").",
        ],
    }
    github = project.github_repository(release_url)
    segment = next((part for part in release_url.split("/") if version in part),
                   None)
    if github:
        manifest["checkver"] = {"github": github}
    elif segment:
        listing = release_url[:release_url.index("/" + segment)] + "/"
        manifest["checkver"] = {
            "url": listing,
            "regex": re.escape(segment).replace(re.escape(version),
                                                r"([\d.]+)") + "/"}
    if segment:
        manifest["autoupdate"] = {
            "url": manifest["url"].replace(version, "$version"),
            "hash": {"url": "$baseurl/SHA256SUMS"},
        }
    folder = os.path.join(out_dir, "scoop")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "brevinor.json")
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        json.dump(manifest, out, indent=2, ensure_ascii=False)
        out.write("\n")
    return path


def main() -> None:
    parser = argparse.ArgumentParser()
    for option in ["--out-dir", "--release-url", "--version", "--msi",
                   "--per-user-msi", "--zip"]:
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    url = args.release_url.rstrip("/")
    write_winget(args.out_dir, url, args.version, [args.msi, args.per_user_msi])
    write_scoop(args.out_dir, url, args.version, args.zip)


if __name__ == "__main__":
    main()
