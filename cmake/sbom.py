"""The release's bill of materials, in CycloneDX 1.6."""
import json
import os
import time
import uuid

import project
import third_party
from release_support import sha256

# The serial number is a name-based UUID in this namespace, named by the
# rest of the content.
SBOM_NAMESPACE = uuid.UUID("5b0c0a4e-7d0f-4f5e-9a55-3f8e2a6c1d17")


def write_sbom(path: str, version: str, shipped: list, packages: list,
               epoch: int) -> None:
    """A CycloneDX 1.6 bill of materials: the files shipped, with their
    hashes, the packages that carry them to a package manager (the
    Chocolatey package), and the runtime libraries linked into
    Tessaly.exe, with their Debian packages. Its serial number follows
    from its content and its time is the release's, so that it is
    reproducible too."""
    exe_ref = f"file:{project.EXE_FILE}"
    files = [{"type": "file", "bom-ref": f"file:{os.path.basename(p)}",
              "name": os.path.basename(p),
              "hashes": [{"alg": "SHA-256", "content": sha256(p)}]}
             for p in shipped + packages]
    libraries = [{"type": "library",
                  "bom-ref": f"{third_party.purl(lib.package)}#{lib.name}",
                  "name": lib.name,
                  "version": third_party.package_field(lib.package, "Version"),
                  "description": lib.description,
                  "licenses": [{"expression": lib.licence}],
                  "purl": third_party.purl(lib.package)}
                 for lib in third_party.RUNTIME]
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ",
                                       time.gmtime(epoch)),
            "component": {"type": "application", "bom-ref": "Tessaly",
                          "supplier": {"name": project.PUBLISHER},
                          "name": "Tessaly", "version": version,
                          "description": f"{project.APP_TITLE}: shows text files with "
                                         "LF line ends in Notepad",
                          "licenses": [{"license": {"id": "MIT"}}]},
        },
        "components": files + libraries,
        "dependencies": [
            {"ref": "Tessaly", "dependsOn": [f["bom-ref"] for f in files]},
            {"ref": exe_ref, "dependsOn": [l["bom-ref"] for l in libraries]},
        ],
    }
    content = json.dumps(bom, sort_keys=True)
    bom = {"$schema": "http://cyclonedx.org/schema/bom-1.6.schema.json",
           "serialNumber": f"urn:uuid:{uuid.uuid5(SBOM_NAMESPACE, content)}",
           **bom}
    with open(path, "w", newline="\n", encoding="utf-8") as out:
        json.dump(bom, out, indent=2)
        out.write("\n")
