#!/usr/bin/env python3
"""Holds THIRD-PARTY-NOTICES.txt against the link map of the shipped
Tessaly.exe: every archive member and object linked in from outside the
build comes from a package that the notices name, with the version that
dpkg reports, and the notices that the mingw-w64 runtime's licences ask
for are there, with Windows line ends.

    notices_check.py LINK_MAP NOTICES
"""
import os
import re
import subprocess
import sys

# A line of each notice that a binary must carry, and of the line on the
# GCC Runtime Library Exception.
REQUIRED = {
    "mingw-w64 runtime (ZPL-2.1)":
        "2. Redistributions in binary form must reproduce the accompanying",
    "its copyright": "Copyright: 2009-2016 the mingw-w64 project",
    "gdtoa (Lucent)": "LUCENT DISCLAIMS ALL WARRANTIES WITH REGARD TO THIS SOFTWARE,",
    "gdtoa's copyright": "Copyright: 1997-2001 Lucent Technologies",
    "winpthreads (MIT)": "The above copyright notice and this permission notice shall be",
    "winpthreads' copyright": "Copyright: 2011-2016 mingw-w64 project",
    "pthread.h (BSD-3-Clause)": "* Neither the name of Lockless Inc. nor the names of its",
    "pthread.h's copyright": "Copyright: 2010 Lockless Inc.",
    "the GCC Runtime Library Exception": "Library Exception, which asks for no notice",
}


def linked_files(link_map: str) -> set:
    """The system's archives that gave members (the map's first part names
    each at the start of a line), and its objects loaded."""
    with open(link_map, encoding="utf-8", errors="replace") as file:
        text = file.read()
    archives = re.findall(r"^(/\S+\.a)\(", text, re.MULTILINE)
    objects = re.findall(r"^LOAD (/\S+\.o)$", text, re.MULTILINE)
    return {os.path.realpath(path) for path in archives + objects}


def owner(path: str) -> str:
    out = subprocess.run(["dpkg", "-S", path], capture_output=True,
                         text=True).stdout
    return out.split(":", 1)[0] if out else f"no package ({path})"


def main() -> None:
    link_map, notices_path = sys.argv[1:]
    with open(notices_path, "rb") as file:
        raw = file.read()
    problems = []
    if raw.count(b"\n") != raw.count(b"\r\n"):
        problems.append("line ends other than CR LF")
    notices = raw.decode("ascii").replace("\r\n", "\n")

    files = linked_files(link_map)
    if not files:
        problems.append(f"{link_map} names nothing linked in")
    for package in sorted({owner(path) for path in files}):
        version = subprocess.run(
            ["dpkg-query", "-W", "-f", "${Version}", package],
            capture_output=True, text=True).stdout
        if not version or f"\n  {package} {version}\n" not in notices:
            linked = sorted(p for p in files if owner(p) == package)
            problems.append(f"{package} {version} is not named, but "
                            f"{', '.join(linked)} is linked in")
    for what, line in REQUIRED.items():
        if line not in notices:
            problems.append(f"no notice for {what}")
    for problem in problems:
        print(f"THIRD-PARTY-NOTICES.txt: {problem}")
    print(f"{len(files)} files linked in from "
          f"{len({owner(p) for p in files})} packages")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
