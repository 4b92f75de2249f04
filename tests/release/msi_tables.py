#!/usr/bin/env python3
"""Checks one rule on the tables of a Windows Installer package, read with
msiinfo: the rules of Windows Installer's validation (ICE) that the
packages are built to keep, since no validation runs on Linux.

    msi_tables.py RULE PACKAGE [ARGUMENT]

Exits 0 when the package keeps the rule; otherwise says how it breaks it.
"""
import re
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


# SDDL's letter codes of rights that write (others are given in hex).
RIGHTS = {"FA": 0x1F01FF, "GA": 0x10000000, "GW": 0x40000000}
# Writing, deleting, or changing the DACL or owner, of a file or folder.
WRITING = 0x000D0156 | 0x50000000
READ_AND_RUN = 0x1200A9


def folder_locked(package: str) -> list:
    """The install folder and Tessaly.exe are writable by Administrators
    and SYSTEM alone, read and run by users, and inherit nothing; their
    owner, who may be a user where the folder was there before, keeps no
    right to change the DACL (an OWNER RIGHTS entry that writes nothing);
    the folder passes that on (MsiLockPermissionsEx)."""
    locks = {(row[1], row[2]): row[3]
             for row in rows(package, "MsiLockPermissionsEx")}
    problems = [] if ["INSTALLFOLDER", "Program"] in rows(
        package, "CreateFolder") else ["the folder is not in CreateFolder"]
    for target in [("INSTALLFOLDER", "CreateFolder"), ("TessalyExe", "File")]:
        sddl = locks.get(target, "")
        aces = re.findall(r"\((A|D);([A-Z]*);(\w+);;;([\w-]+)\)", sddl)
        granted = {}
        for kind, _, mask, sid in aces:
            if kind == "A":
                granted[sid] = granted.get(sid, 0) | (
                    RIGHTS[mask] if mask in RIGHTS else int(mask, 0))
        writers = {sid for sid, mask in granted.items() if mask & WRITING}
        inherits = all("OI" in flags and "CI" in flags for _, flags, _, _ in aces)
        if not sddl.startswith("D:P") or writers != {"BA", "SY"} or \
                "OW" not in granted or \
                granted.get("BU", 0) & READ_AND_RUN != READ_AND_RUN or \
                (target[1] == "CreateFolder" and not inherits):
            problems.append(f"{target[0]} is locked as {sddl or 'nothing'}")
    return problems


RULES = {
    "nothing-per-user": nothing_per_user,
    "profile-components-keyed-by-hkcu": profile_components_keyed_by_hkcu,
    "profile-folders-removed": profile_folders_removed,
    "guids-upper-case": guids_upper_case,
    "exe-versioned": exe_versioned,
    "refuses-allusers": refuses_allusers,
    "folder-locked": folder_locked,
}


def main() -> None:
    rule, package, *argument = sys.argv[1:]
    problems = RULES[rule](package, *argument)
    for problem in problems:
        print(f"{rule}: {problem}")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
