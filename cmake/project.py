"""The project's names, codes and addresses, as every release script
takes them: the names from resources/names.h, which the resource script
and the code read too; the Windows Installer codes; and what a release's
URL tells of where the project lives."""
import os
import re
import uuid

_NAMES_H = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                        "resources", "names.h")


def _names() -> dict:
    with open(_NAMES_H, encoding="ascii") as file:
        return dict(re.findall(r'^#define TESSALY_(\w+) "([^"]*)"$',
                               file.read(), re.MULTILINE))


NAMES = _names()
APP_TITLE = NAMES["APP_TITLE"]  # "Brevinor", the product's name.
PUBLISHER = NAMES["COMPANY_NAME"]  # "Brevinor Project"
EXE_FILE = NAMES["FILE_NAME"]  # "Tessaly.exe"
# Where the packages keep what they remember, under HKLM or HKCU.
STATE_KEY = f"Software\\{PUBLISHER}\\{APP_TITLE}"

# The packages' upgrade codes, the same for every version: Windows
# Installer finds the installed product by them, whatever its version and
# however it came.
MACHINE_UPGRADE_CODE = "{859B4F20-90E7-40EF-A2EE-ADAB404A42F7}"
USER_UPGRADE_CODE = "{FF831F11-C12F-4B39-A2D0-FAE546084768}"



def upgrade_code(scope: str) -> str:
    """The upgrade code of the packages of this kind (perMachine, perUser),
    without braces, as wixl is given it."""
    code = MACHINE_UPGRADE_CODE if scope == "perMachine" else USER_UPGRADE_CODE
    return code.strip("{}")


# Product codes are name-based UUIDs in this namespace.
PRODUCT_NAMESPACE = uuid.UUID("cbb40129-980e-4eba-9f76-70a71990b75f")


def product_code(scope: str, msi_version: str) -> str:
    """The product code of a package of this kind (perMachine, perUser)
    and version, without braces, as wixl is given it."""
    return str(uuid.uuid5(PRODUCT_NAMESPACE,
                          f"Tessaly {scope} {msi_version}")).upper()


def github_release(release_url: str):
    """(OWNER/NAME, TAG) of a GitHub release's download folder, or None."""
    github = re.match(r"https://github\.com/([^/]+/[^/]+)/releases/download/"
                      r"([^/]+)$", release_url)
    return github.groups() if github else None


def github_repository(release_url: str):
    """The page of the GitHub repository whose releases `release_url` is
    in (any address under its releases/), or None."""
    github = re.match(r"(https://github\.com/[^/]+/[^/]+)/releases/",
                      release_url)
    return github.group(1) if github else None


def homepage(release_url: str) -> str:
    """The repository's page for a GitHub release, or else the site's."""
    return (github_repository(release_url) or
            re.match(r"[a-z]+://[^/]+/", release_url + "/").group(0))


def package_urls(release_url: str) -> dict:
    """The project's addresses, as far as the release URL tells them: a
    GitHub release names its repository, the tag's sources and files, its
    issues and its notes; elsewhere only the site is known."""
    github = github_release(release_url)
    if not github:
        return {"projectUrl": homepage(release_url)}
    name, tag = github
    repository = f"https://github.com/{name}"
    return {
        "projectUrl": repository,
        "projectSourceUrl": f"{repository}/tree/{tag}",
        # Where the Chocolatey package's nuspec and scripts are made.
        "packageSourceUrl": f"{repository}/blob/{tag}/cmake/chocolatey.py",
        "docsUrl": f"{repository}/blob/{tag}/docs/user-guide.txt",
        "bugTrackerUrl": f"{repository}/issues",
        "licenseUrl": f"{repository}/blob/{tag}/LICENSE",
        "releaseNotes": f"{repository}/releases/tag/{tag}",
    }


def add_remove_links(release_url: str) -> dict:
    """Add/Remove Programs' links, for wixl: the project, its support and
    its releases, each where the release URL tells it."""
    urls = package_urls(release_url)
    links = {"AboutUrl": urls["projectUrl"]}
    if "bugTrackerUrl" in urls:
        links["HelpUrl"] = urls["bugTrackerUrl"]
        links["UpdateUrl"] = urls["projectUrl"] + "/releases"
    return links
