"""What the shipped Tessaly.exe links in statically from the toolchain's
Debian packages, and what their licences ask of a release: the text of
THIRD-PARTY-NOTICES.txt and the runtime's components in the SBOM. The
licence texts and versions are read from the installed packages, never
kept here (the copyright files with python3-debian); tests/release/notices_check.py holds this list against the
exe's link map, so that a new dependency cannot slip in unannounced.
"""
import subprocess
import urllib.parse
from dataclasses import dataclass

from debian import copyright

GCC_EXCEPTION = "GPL-3.0-or-later WITH GCC-exception-3.1"


@dataclass(frozen=True)
class Library:
    name: str
    package: str
    licence: str  # An SPDX expression.
    description: str


RUNTIME = [
    Library("libstdc++", "g++-mingw-w64-i686-posix",
            f"{GCC_EXCEPTION} AND GPL-2.0-or-later WITH GCC-exception-2.0",
            "The GNU C++ library, with libiberty's demangler"),
    Library("libgcc", "gcc-mingw-w64-i686-posix", GCC_EXCEPTION,
            "GCC's runtime: libgcc, the DWARF-2 unwinder, crtbegin and crtend"),
    Library("mingw-w64 runtime", "mingw-w64-i686-dev", "ZPL-2.1",
            "Start-up code, libmingw32, libmingwex and the import libraries"),
    Library("gdtoa", "mingw-w64-i686-dev", "LicenseRef-Lucent",
            "Number formatting in libmingwex (gdtoa, mingw_pformat)"),
    Library("winpthreads", "mingw-w64-i686-dev", "MIT AND BSD-3-Clause",
            "POSIX threads for Windows, used by libstdc++ and the unwinder"),
]

# The paragraphs of a package's copyright file, by their first Files
# pattern, whose notices a binary must carry.
NOTICES = {
    "mingw-w64-i686-dev": [
        "*",
        "mingw-w64-crt/gdtoa/*",
        "mingw-w64-libraries/winpthreads/*",
        "mingw-w64-libraries/winpthreads/include/pthread.h",
    ],
}


def packages() -> list:
    """The packages of the runtime, each once, in the order listed."""
    return list(dict.fromkeys(library.package for library in RUNTIME))


def package_field(package: str, field: str) -> str:
    return subprocess.run(
        ["dpkg-query", "-W", "-f", "${" + field + "}", package],
        check=True, capture_output=True, text=True).stdout


def purl(package: str) -> str:
    quote = lambda text: urllib.parse.quote(text, safe="")
    return (f"pkg:deb/debian/{quote(package)}@"
            f"{quote(package_field(package, 'Version'))}"
            f"?arch={package_field(package, 'Architecture')}&distro=debian-12")


def copyright_of(package: str) -> copyright.Copyright:
    """The package's machine-readable copyright file (DEP 5)."""
    with open(f"/usr/share/doc/{package}/copyright", encoding="utf-8") as file:
        return copyright.Copyright(file, strict=False)


def notice(document: copyright.Copyright, files: str) -> list:
    """The copyright and licence of the paragraph whose first pattern is
    `files`, verbatim, the licence's text taken from its own paragraph
    where it has one."""
    paragraph = next(p for p in document.all_files_paragraphs()
                     if p.files[0] == files)
    licence = paragraph.license
    text = licence.text
    if not text:
        text = next(p.license.text for p in document.all_license_paragraphs()
                    if p.license.synopsis == licence.synopsis)
    holders = [line.strip() for line in paragraph.copyright.split("\n")]
    return ([f"Files: {' '.join(paragraph.files)}"] +
            [f"Copyright: {holder}" for holder in holders] +
            [f"License: {licence.synopsis}", ""] + text.split("\n"))


def notices_text() -> str:
    """THIRD-PARTY-NOTICES.txt, with LF line ends."""
    lines = [
        "Third-party notices for Tessaly.exe",
        "===================================",
        "",
        "Tessaly.exe is statically linked with runtime code from these",
        "packages of Debian 12's mingw-w64 toolchain:",
        "",
    ]
    for package in packages():
        lines.append(f"  {package} {package_field(package, 'Version')}")
    lines += ["", "What each holds:"]
    for library in RUNTIME:
        lines += ["", f"  {library.name}, from {library.package}",
                  f"      {library.description}.", f"      {library.licence}"]
    lines += [
        "",
        "libstdc++ and libgcc are under the GNU GPL with the GCC Runtime",
        "Library Exception, which asks for no notice in a program compiled",
        "with GCC; neither does the exception of libiberty's demangler.",
        "",
        "The licences of the mingw-w64 runtime ask a binary to carry the",
        "following notices, given here as the packages' copyright files",
        "(/usr/share/doc/PACKAGE/copyright) have them.",
    ]
    for package, wanted in NOTICES.items():
        document = copyright_of(package)
        for files in wanted:
            lines += ["", "", f"{package}: {files}", "-" * 72, ""]
            lines += notice(document, files)
    return "\n".join(lines) + "\n"
