#!/usr/bin/env python3
"""The Chocolatey package of a release, made from its own files, for
servers without winget and without internet:

    chocolatey/brevinor.<version>.nupkg   the per-machine MSI inside, byte
                                          for byte as released; install
                                          and uninstall scripts; a
                                          "tessaly" shim; LICENSE.txt and
                                          VERIFICATION.txt

release.py calls this when a release URL is known, as it calls
manifests.py. The archive is what `choco pack` writes, down to the parts
that Chocolatey 1.x reads through System.IO.Packaging ([Content_Types].xml,
_rels/.rels, the core properties), with every entry at the release's time,
so that two builds give the same bytes.
"""
import hashlib
import os
import time
from xml.sax.saxutils import escape

import manifests
import project
from release_support import write_zip, zip_entry

PACKAGE_ID = "brevinor"
NUSPEC_NAMESPACE = "http://schemas.microsoft.com/packaging/2015/06/nuspec.xsd"
AUTHORS = project.PUBLISHER
TAGS = ["notepad", "line-endings", "text", "unix", "lf", "crlf"]
# What Chocolatey's listing adds to the description shared with winget.
INSTALL_NOTE = (
    "\n\nThis package installs Brevinor for every user of the computer, "
    "into Program Files (x86)\\Brevinor (Program Files\\Brevinor on 32-bit "
    "Windows), or into the folder given with --install-arguments "
    "\"INSTALLFOLDER=D:\\Tools\\Brevinor\", which upgrades keep, and adds "
    "a tessaly command: tessaly FILE shows FILE in Notepad. The folder and "
    "Tessaly.exe are made writable only by Administrators and SYSTEM, "
    "since administrators run the Tessaly.exe in it too; as Windows "
    "Installer secures only what it installs, give INSTALLFOLDER a new "
    "folder, under folders that users cannot rename.")
# msiexec's codes for done, done and a restart needed, done and a restart
# started; an uninstall also takes "not installed" (1605) and "unknown
# product" (1614) as done.
INSTALL_EXIT_CODES = [0, 3010, 1641]
UNINSTALL_EXIT_CODES = [0, 3010, 1605, 1614, 1641]


def normalized_version(version: str) -> str:
    """The version as Chocolatey 2 writes it: at least three parts, and a
    fourth part of 0 dropped (1.0.0.0 is 1.0.0)."""
    parts = [str(int(part)) for part in version.split(".")]
    parts += ["0"] * (3 - len(parts))
    if len(parts) == 4 and parts[3] == "0":
        parts.pop()
    return ".".join(parts)


def icon_url(release_url: str) -> dict:
    """The 32-pixel icon, docs/images/icon-32.png in the tag's sources, by
    jsDelivr's GitHub CDN, which serves it with an image's content type;
    only where the release is a GitHub one."""
    github = project.github_release(release_url)
    if not github:
        return {}
    name, tag = github
    return {"iconUrl": f"https://cdn.jsdelivr.net/gh/{name}@{tag}/"
                       "docs/images/icon-32.png"}


def nuspec(version: str, release_url: str, year: int) -> str:
    texts = manifests.TEXTS["en-US"]
    metadata = {
        "id": PACKAGE_ID,
        "version": normalized_version(version),
        "title": project.APP_TITLE,
        "authors": AUTHORS,
        "owners": AUTHORS,
        **project.package_urls(release_url),
        **icon_url(release_url),
        "requireLicenseAcceptance": "false",
        "copyright": f"{year} {AUTHORS}",
        "tags": " ".join(TAGS),
        "summary": texts["ShortDescription"],
        "description": texts["Description"] + INSTALL_NOTE,
    }
    lines = [f"    <{key}>{escape(value)}</{key}>"
             for key, value in metadata.items()]
    return ('<?xml version="1.0" encoding="utf-8"?>\n'
            f'<package xmlns="{NUSPEC_NAMESPACE}">\n  <metadata>\n'
            + "\n".join(lines) + "\n  </metadata>\n</package>\n")


# Both scripts find Brevinor as Windows Installer knows it: the products
# of the per-machine upgrade code, whatever their version, installed for
# every user (AssignmentType 1) and installed, not only advertised
# (ProductState 5), with the folder each was installed into.
# RelatedProducts also lists the current user's own, installed with
# ALLUSERS left empty, and advertised products, which have no folder and
# are not Chocolatey's.
FIND_PRODUCTS = f"""\
$products = @($installer.RelatedProducts('{project.MACHINE_UPGRADE_CODE}') |
  Where-Object {{ $installer.ProductState($_) -eq 5 -and
    $installer.ProductInfo($_, 'AssignmentType') -eq '1' }})
"""


def install_script(msi_name: str, product_code: str) -> str:
    return f"""\
# Installs Brevinor for every user from the Windows Installer package
# inside this package (with the --install-arguments given, such as
# INSTALLFOLDER=...), and puts a "tessaly" command on PATH that starts
# Tessaly.exe where Windows Installer put it.
$ErrorActionPreference = 'Stop'
$toolsDir = Split-Path -Parent $MyInvocation.MyCommand.Definition
$msi = Join-Path $toolsDir '{msi_name}'
$log = Join-Path $env:TEMP "brevinor.$env:chocolateyPackageVersion.install.log"
$installer = New-Object -ComObject WindowsInstaller.Installer
# Installed already (choco install --force): msiexec /i alone would change
# nothing, so every file and registry entry is put back.
$again = if ($installer.ProductState('{product_code}') -eq 5) {{
  ' REINSTALL=ALL REINSTALLMODE=amus' }} else {{ '' }}
Install-ChocolateyInstallPackage -PackageName $env:ChocolateyPackageName `
  -FileType 'msi' -File $msi `
  -SilentArgs "/qn /norestart /l*v `"$log`"$again" `
  -ValidExitCodes @({", ".join(map(str, INSTALL_EXIT_CODES))})
Remove-Item $msi -Force -ErrorAction SilentlyContinue

{FIND_PRODUCTS}if ($products.Count -ne 1) {{
  throw "Brevinor should now be installed once for every user, but Windows Installer knows it $($products.Count) times; the tessaly command was not made."
}}
$folder = $installer.ProductInfo($products[0], 'InstallLocation')
$exe = if ($folder) {{ Join-Path $folder 'Tessaly.exe' }} else {{ '' }}
if (-not $exe -or -not (Test-Path -LiteralPath $exe -PathType Leaf)) {{
  throw "Brevinor is installed, but Tessaly.exe is not in its folder ('$folder'); the tessaly command was not made. Install it again with: choco install brevinor --force"
}}
Install-BinFile -Name 'tessaly' -Path $exe -UseStart
"""


def uninstall_script() -> str:
    return f"""\
# Removes Brevinor, however it was installed for every user and whatever
# its version (an upgrade outside Chocolatey changes its product code),
# then the "tessaly" command: only once Brevinor is gone, so that a failed
# removal leaves the program with its command.
$ErrorActionPreference = 'Stop'
$installer = New-Object -ComObject WindowsInstaller.Installer
{FIND_PRODUCTS}foreach ($product in $products) {{
  $log = Join-Path $env:TEMP "brevinor.$env:chocolateyPackageVersion.uninstall.$($product.Trim('{{}}')).log"
  Uninstall-ChocolateyPackage -PackageName $env:ChocolateyPackageName `
    -FileType 'msi' `
    -SilentArgs "$product /qn /norestart /l*v `"$log`"" `
    -ValidExitCodes @({", ".join(map(str, UNINSTALL_EXIT_CODES))})
}}
if ($products.Count -eq 0) {{
  Write-Warning 'Brevinor was not installed any more; only the tessaly command is removed.'
}}
Uninstall-BinFile -Name 'tessaly'
"""


def verification(msi_name: str, digest: str, release_url: str,
                 urls: dict) -> str:
    sources = (f", at\n{urls['projectSourceUrl']}"
               if "projectSourceUrl" in urls else "")
    return f"""\
VERIFICATION
Verification is intended to assist the Chocolatey moderators and community
in verifying that this package's contents are trustworthy.

tools/{msi_name} is the per-machine Windows Installer
package of Brevinor, byte for byte as released at

    {release_url}/{msi_name}

whose SHA-256 is listed in

    {release_url}/SHA256SUMS

To check it, download the package from there and compare its hash with
the one below, in PowerShell:

    Get-FileHash {msi_name} -Algorithm SHA256

or in a command prompt:

    certutil -hashfile {msi_name} SHA256

    SHA256: {digest.upper()}

The release is built reproducibly from its sources{sources}.
tools/LICENSE.txt is its licence, with the notices of the runtime
libraries that Tessaly.exe carries.
"""


def core_properties(version: str, description: str) -> str:
    return ('<?xml version="1.0" encoding="utf-8"?>'
            '<coreProperties xmlns:dc="http://purl.org/dc/elements/1.1/" '
            'xmlns:dcterms="http://purl.org/dc/terms/" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
            'xmlns="http://schemas.openxmlformats.org/package/2006/'
            'metadata/core-properties">'
            f'<dc:creator>{AUTHORS}</dc:creator>'
            f'<dc:description>{escape(description)}</dc:description>'
            f'<dc:identifier>{PACKAGE_ID}</dc:identifier>'
            f'<version>{normalized_version(version)}</version>'
            f'<keywords>{" ".join(TAGS)}</keywords>'
            '<lastModifiedBy>release.py</lastModifiedBy>'
            '</coreProperties>')


def content_types(extensions: list) -> str:
    defaults = "".join(
        f'<Default Extension="{extension}" ContentType="application/octet" />'
        for extension in extensions)
    return ('<?xml version="1.0" encoding="utf-8"?>'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/'
            'content-types">'
            '<Default Extension="rels" ContentType="application/'
            'vnd.openxmlformats-package.relationships+xml" />'
            + defaults +
            '<Default Extension="psmdcp" ContentType="application/'
            'vnd.openxmlformats-package.core-properties+xml" />'
            '</Types>')


def relationships(nuspec_name: str, properties_name: str) -> str:
    def relationship(kind: str, target: str) -> str:
        # The same ID for the same target, as a random one would not be.
        identifier = "R" + hashlib.sha256(target.encode()).hexdigest()[:16]
        return (f'<Relationship Type="{kind}" Target="/{target}" '
                f'Id="{identifier.upper()}" />')
    return ('<?xml version="1.0" encoding="utf-8"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/'
            '2006/relationships">'
            + relationship("http://schemas.microsoft.com/packaging/2010/07/"
                           "manifest", nuspec_name)
            + relationship("http://schemas.openxmlformats.org/package/2006/"
                           "relationships/metadata/core-properties",
                           properties_name)
            + '</Relationships>')


def with_bom(text: str) -> bytes:
    """PowerShell 5 reads a script without a byte order mark in the
    system's ANSI code page."""
    return b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8")


def write_chocolatey(out_dir: str, release_url: str, version: str, msi: str,
                     license_path: str, epoch: int,
                     notices_path: str = "") -> str:
    """Writes chocolatey/brevinor.<version>.nupkg, its every entry at the
    time `epoch` (no earlier than 1980), and returns its path. Its
    LICENSE.txt is the licence, then the third-party notices that the
    exe's runtime asks for."""
    msi_name = os.path.basename(msi)
    with open(msi, "rb") as file:
        msi_bytes = file.read()
    if manifests.msi_properties(msi)["UpgradeCode"] != project.MACHINE_UPGRADE_CODE:
        raise ValueError(f"{msi} is not the per-machine package")
    license_bytes = b""
    for path in [license_path, notices_path]:
        if path:
            with open(path, "rb") as file:
                license_bytes += file.read()
            license_bytes += b"\r\n"
    urls = project.package_urls(release_url)
    stamp = time.gmtime(epoch)
    nuspec_name = f"{PACKAGE_ID}.nuspec"
    description = manifests.TEXTS["en-US"]["Description"] + INSTALL_NOTE
    # Named after its content, as choco pack names it after a random GUID.
    properties = core_properties(version, description)
    properties_name = ("package/services/metadata/core-properties/"
                       + hashlib.sha256(properties.encode()).hexdigest()[:32]
                       + ".psmdcp")
    entries = [
        ("_rels/.rels", relationships(nuspec_name, properties_name).encode()),
        (nuspec_name, nuspec(version, release_url, stamp.tm_year).encode()),
        ("tools/chocolateyInstall.ps1",
         with_bom(install_script(
             msi_name, manifests.msi_properties(msi)["ProductCode"]))),
        ("tools/chocolateyUninstall.ps1", with_bom(uninstall_script())),
        (f"tools/{msi_name}", msi_bytes),
        ("tools/LICENSE.txt", license_bytes),
        ("tools/VERIFICATION.txt",
         verification(msi_name, hashlib.sha256(msi_bytes).hexdigest(),
                      release_url, urls).replace("\n", "\r\n").encode()),
        (properties_name, properties.encode()),
        ("[Content_Types].xml",
         content_types(["nuspec", "ps1", "msi", "txt"]).encode()),
    ]
    folder = os.path.join(out_dir, "chocolatey")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder,
                        f"{PACKAGE_ID}.{normalized_version(version)}.nupkg")
    write_zip(path, [(zip_entry(name, epoch), data) for name, data in entries])
    return path
