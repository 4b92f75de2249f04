"""The user's guide as the release ships it: README.txt, with Windows
line ends and what only the release knows filled in."""
import re
import textwrap

import project
from release_support import fail


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
        urls = project.package_urls(release_url)
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
        "MACHINE_PRODUCT_CODE": "{" + project.product_code("perMachine",
                                                   msi_version) + "}",
        "USER_PRODUCT_CODE": "{" + project.product_code("perUser", msi_version) + "}",
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
