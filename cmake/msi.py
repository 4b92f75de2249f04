"""The two Windows Installer packages of the release, per machine and per
user, made by wixl from resources/tessaly.wxs so that their bytes depend
only on their inputs."""
import hashlib
import os
import time
import uuid

import pe_file
import project
from release_support import fail, run

# Package codes are name-based UUIDs in this namespace, named by the hash
# of everything that goes into the package.
PACKAGE_NAMESPACE = uuid.UUID("fd91be2a-ff53-4bff-b667-9683e07f0650")
# (suffix of the file name, WiX scope, registry root)
PACKAGE_KINDS = [("", "perMachine", "HKLM"), ("-peruser", "perUser", "HKCU")]
# The per-machine package's folder and Tessaly.exe, wherever they are
# installed: full access for Administrators and SYSTEM, read and run for
# Users, as under Program Files. Protected ("P"), so that they take on
# nothing from the folders above, which on a data drive often let every
# user change what they hold; the folder's entries pass on to the files
# made in it. OWNER RIGHTS ("OW") reads and runs only: an owner otherwise
# keeps the right to change the DACL, and a folder that was there before
# may be a user's. The folders above are not Windows Installer's to
# secure. Only well-known aliases, which every Windows the packages run
# on knows (OW from Vista on). wixl cannot write the MsiLockPermissionsEx
# table, so msibuild adds it (Windows Installer 5.0, which the packages
# require).
READ_AND_RUN = "0x1200a9"  # FILE_GENERIC_READ | FILE_GENERIC_EXECUTE


def locked_sddl(inherit: str) -> str:
    return (f"D:P(A;{inherit};FA;;;BA)(A;{inherit};FA;;;SY)"
            f"(A;{inherit};{READ_AND_RUN};;;BU)"
            f"(A;{inherit};{READ_AND_RUN};;;OW)")


LOCKED = [("LockInstallFolder", "INSTALLFOLDER", "CreateFolder",
           locked_sddl("OICI")),
          ("LockTessalyExe", "TessalyExe", "File", locked_sddl(""))]


def build_msi(msi_path: str, wxs: str, scope: str, root: str, version: str,
              files: dict, machine_package: str, epoch: int,
              links: dict) -> None:
    """wixl, run at the release's time so that the package and its cabinet
    hold no other, then msibuild to make the exe a versioned file and to
    set a package code that follows from the inputs instead of wixl's
    random one."""
    defines = {"Scope": scope, "Root": root, "Version": version,
               "ProductName": project.APP_TITLE,
               "Manufacturer": project.PUBLISHER,
               "StateKey": project.STATE_KEY,
               "UpgradeCode": project.upgrade_code(scope),
               "ProductCode": project.product_code(scope, version),
               "MachinePackage": machine_package, **links, **files}
    # By content, never by path: two build folders give one package code.
    inputs = hashlib.sha256()
    for name in sorted(defines):
        value = os.path.basename(defines[name]) if name in files else defines[name]
        inputs.update(f"{name}={value}\n".encode())
    for path in [wxs, *files.values()]:
        with open(path, "rb") as file:
            inputs.update(hashlib.file_digest(file, "sha256").digest())
    package_code = uuid.uuid5(PACKAGE_NAMESPACE, inputs.hexdigest())

    # wixl takes only relative sources, found from the folder it runs in.
    # The clock stands still at the release's time, however long each step
    # takes ("@" would let it run on from there).
    fixed_clock = ["env", "TZ=UTC", "faketime", "-f",
                   time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(epoch))]
    folders = {os.path.dirname(os.path.abspath(path)) for path in files.values()}
    if len(folders) != 1:
        fail(f"the packages' files must share a folder: {sorted(folders)}")
    command = fixed_clock + ["wixl", "-a", "x86", "-o",
                             os.path.abspath(msi_path)]
    for name, value in defines.items():
        value = os.path.basename(value) if name in files else value
        command += ["-D", f"{name}={value}"]
    result = run(command + [os.path.abspath(wxs)], cwd=folders.pop())
    # wixl drops what it does not understand with no more than a warning.
    said = result.stdout + result.stderr
    if "warning" in said.lower() or "critical" in said.lower():
        fail(f"wixl warned about {wxs}:\n{said}")
    # wixl leaves every file unversioned, with a hash. The exe has a
    # version, which is what Windows Installer's file rules should go by,
    # and a versioned file may have no hash.
    exe_version, exe_language = pe_file.file_version(files["ExeFile"])
    run(fixed_clock + ["msibuild", msi_path, "-q",
                       f"UPDATE `File` SET `Version` = '{exe_version}', "
                       f"`Language` = '{exe_language}' "
                       "WHERE `File` = 'TessalyExe'"])
    run(fixed_clock + ["msibuild", msi_path, "-q",
                       "DELETE FROM `MsiFileHash` WHERE `File_` = 'TessalyExe'"])
    if scope == "perMachine":
        run(fixed_clock + ["msibuild", msi_path, "-q",
                           "CREATE TABLE `MsiLockPermissionsEx` "
                           "(`MsiLockPermissionsEx` CHAR(72) NOT NULL, "
                           "`LockObject` CHAR(72) NOT NULL, "
                           "`Table` CHAR(32) NOT NULL, "
                           "`SDDLText` CHAR(0) NOT NULL, "
                           "`Condition` CHAR(255) "
                           "PRIMARY KEY `MsiLockPermissionsEx`)"])
        for row in LOCKED:
            values = ", ".join(f"'{value}'" for value in row)
            run(fixed_clock + ["msibuild", msi_path, "-q",
                               "INSERT INTO `MsiLockPermissionsEx` "
                               "(`MsiLockPermissionsEx`, `LockObject`, "
                               f"`Table`, `SDDLText`) VALUES ({values})"])
    run(fixed_clock + ["msibuild", msi_path, "-s", project.APP_TITLE,
                       project.PUBLISHER, "Intel;1033",
                       "{" + str(package_code).upper() + "}"])
