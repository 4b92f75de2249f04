#!/usr/bin/env python3
"""Checks one rule on the tables of a Windows Installer package, read with
msiinfo: the rules of Windows Installer's validation (ICE) that the
packages are built to keep, since no validation runs on Linux.

    msi_tables.py RULE PACKAGE [ARGUMENT]

Exits 0 when the package keeps the rule; otherwise says how it breaks it.
"""
import subprocess
import sys

# Folders in a user's profile whatever ALLUSERS says (ICE91's list).
PROFILE_FOLDERS = {
    "AppDataFolder", "FavoritesFolder", "LocalAppDataFolder",
    "MyPicturesFolder", "NetHoodFolder", "PersonalFolder", "PrintHoodFolder",
    "RecentFolder", "SendToFolder", "TemplateFolder",
}
HKCU = "1"
REGISTRY_KEY_PATH = 4  # Component attribute msidbComponentAttributesRegistryKeyPath


def rows(package: str, table: str) -> list:
    """The rows of a table as lists of columns; none where it is absent."""
    result = subprocess.run(["msiinfo", "export", package, table],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return []
    lines = result.stdout.replace("\r", "").split("\n")[3:]
    return [line.split("\t") for line in lines if line]


def profile_directories(package: str) -> set:
    """The directories of the package that lie in a user's profile."""
    parents = {row[0]: row[1] for row in rows(package, "Directory")}
    inside = set()
    for directory in parents:
        at = directory
        while at and at not in PROFILE_FOLDERS:
            at = parents.get(at, "")
        if at:
            inside.add(directory)
    return inside


def nothing_per_user(package: str) -> list:
    """A per-machine package names no profile folder and no HKCU value
    (ICE91, ICE57)."""
    problems = [f"directory {d}" for d in sorted(profile_directories(package))]
    problems += [f"HKCU value {row[2]}\\{row[3]}"
                 for row in rows(package, "Registry") if row[1] == HKCU]
    return problems


def profile_components_keyed_by_hkcu(package: str) -> list:
    """Each component installed into the profile is kept by an HKCU value
    of its own (ICE38, ICE43)."""
    in_profile = profile_directories(package)
    registry = {row[0]: row for row in rows(package, "Registry")}
    problems = []
    for component, _, directory, attributes, _, key_path in \
            rows(package, "Component"):
        if directory not in in_profile:
            continue
        value = registry.get(key_path)
        if not int(attributes) & REGISTRY_KEY_PATH or value is None or \
                value[1] != HKCU or value[5] != component:
            problems.append(f"{component} is kept by {key_path or 'nothing'}")
    return problems


def profile_folders_removed(package: str) -> list:
    """Each folder that the package makes in the profile is removed with it
    (ICE64)."""
    made = {row[0] for row in rows(package, "Directory")
            if row[2] not in (".", "")} & profile_directories(package)
    removed = {row[3] for row in rows(package, "RemoveFile") if not row[2]}
    return [f"{folder} is never removed" for folder in sorted(made - removed)]


def guids_upper_case(package: str) -> list:
    """Every GUID is upper case."""
    guids = [row[1] for row in rows(package, "Component")]
    guids += [row[1] for row in rows(package, "Property")
              if row[0] in ("ProductCode", "UpgradeCode")]
    guids += [row[0] for row in rows(package, "Upgrade")]
    summary = subprocess.run(["msiinfo", "suminfo", package],
                             capture_output=True, text=True).stdout
    guids += [line.split(": ", 1)[1] for line in summary.splitlines()
              if line.startswith("Revision number")]
    return [guid for guid in guids if guid != guid.upper()]


def exe_versioned(package: str, version: str) -> list:
    """Tessaly.exe is a versioned file, with no hash; the text files are
    unversioned, with one."""
    files = {row[0]: row for row in rows(package, "File")}
    hashed = {row[0] for row in rows(package, "MsiFileHash")}
    problems = []
    if files.get("TessalyExe", [""] * 5)[4] != version:
        problems.append(f"Tessaly.exe's version is not {version}")
    if "TessalyExe" in hashed:
        problems.append("Tessaly.exe has a hash")
    for text in ("ReadMe", "License", "Notices"):
        if text not in files or files[text][4] or text not in hashed:
            problems.append(f"{text} is not unversioned and hashed")
    return problems


def refuses_allusers(package: str) -> list:
    """The package will not install with ALLUSERS set."""
    conditions = [row[0] for row in rows(package, "LaunchCondition")]
    return [] if "NOT ALLUSERS" in conditions else ["no NOT ALLUSERS condition"]


RULES = {
    "nothing-per-user": nothing_per_user,
    "profile-components-keyed-by-hkcu": profile_components_keyed_by_hkcu,
    "profile-folders-removed": profile_folders_removed,
    "guids-upper-case": guids_upper_case,
    "exe-versioned": exe_versioned,
    "refuses-allusers": refuses_allusers,
}


def main() -> None:
    rule, package, *argument = sys.argv[1:]
    problems = RULES[rule](package, *argument)
    for problem in problems:
        print(f"{rule}: {problem}")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
