"""Signing the release's files with osslsigncode, where a certificate is
given: TESSALY_SIGN_PKCS12 (a .pfx or .p12 file) and TESSALY_SIGN_PASSWORD,
and TESSALY_SIGN_TIMESTAMP_URL for an RFC 3161 timestamp. Without a
timestamp the signing time is the release's, so that a signed release is
reproducible too. The password reaches osslsigncode on its standard input,
never on a command line."""
import os

from release_support import fail, run


class Signer:
    """Signs files with osslsigncode, or does nothing where no certificate
    is given."""

    def __init__(self, epoch: int):
        self.pkcs12 = os.environ.get("TESSALY_SIGN_PKCS12", "")
        self.password = os.environ.get("TESSALY_SIGN_PASSWORD", "")
        self.timestamp_url = os.environ.get("TESSALY_SIGN_TIMESTAMP_URL", "")
        self.epoch = epoch
        if self.pkcs12 and not self.password:
            fail("TESSALY_SIGN_PKCS12 is set but TESSALY_SIGN_PASSWORD is not")
        if self.password and not self.pkcs12:
            fail("TESSALY_SIGN_PASSWORD is set but TESSALY_SIGN_PKCS12 is not")

    def describe(self) -> str:
        if not self.pkcs12:
            return ("release.py: unsigned (set TESSALY_SIGN_PKCS12 and "
                    "TESSALY_SIGN_PASSWORD to sign)")
        when = (f"timestamped by {self.timestamp_url}" if self.timestamp_url
                else "signing time fixed at the release's time")
        return f"release.py: signing with {self.pkcs12}, SHA-256, {when}"

    def sign(self, path: str) -> None:
        if not self.pkcs12:
            return
        signed = path + ".signed"
        # "-readpass -" means standard input only from osslsigncode 2.9 on;
        # /dev/stdin is the same pipe to 2.5, which Debian 12 has.
        command = ["osslsigncode", "sign", "-pkcs12", self.pkcs12,
                   "-readpass", "/dev/stdin", "-h", "sha256",
                   "-n", "Brevinor", "-in", path, "-out", signed]
        if self.timestamp_url:
            command += ["-ts", self.timestamp_url]
        else:
            command += ["-time", str(self.epoch)]
        if os.path.exists(signed):
            os.remove(signed)
        run(command, input=self.password)
        os.replace(signed, path)
