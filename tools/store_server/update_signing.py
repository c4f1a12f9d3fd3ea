"""DOWNLOADSIGNATURE values for the engine files the server offers.

A trusted signature is made with the development key in tools/keys, which
the build tree's engines trust; an untrusted one with a key made at start
and kept in memory. Both are ECDSA P-256 over SHA-256, base64 of the DER
that `openssl dgst -sign` writes (what tools/sign-engine prints). Both
keys stay in memory and reach openssl through a pipe.
"""
import base64
import os
import subprocess

DEVELOPMENT_KEY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "keys",
                               "development-update-key.pem")


def openssl(arguments, data=b"", key=None):
    """Runs openssl; "KEY" in the arguments reads the PEM bytes `key` from a pipe."""
    read_end, write_end = os.pipe()
    try:
        try:
            os.write(write_end, key or b"")
        finally:
            os.close(write_end)
        arguments = ["/dev/fd/%d" % read_end if argument == "KEY" else argument for argument in arguments]
        return subprocess.run(["openssl"] + arguments, input=data, check=True, capture_output=True,
                              pass_fds=(read_end,)).stdout
    finally:
        os.close(read_end)


class Signer:
    def __init__(self):
        with open(DEVELOPMENT_KEY, "rb") as pem:
            self.keys = {True: pem.read()}
        self.signatures = {}

    def sign(self, identity, read, trusted=True):
        """The signature of the bytes read() gives, cached under identity."""
        if trusted not in self.keys:
            self.keys[trusted] = openssl(["genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256"])
        if (identity, trusted) not in self.signatures:
            der = openssl(["dgst", "-sha256", "-sign", "KEY"], read(), self.keys[trusted])
            self.signatures[(identity, trusted)] = base64.b64encode(der).decode("ascii")
        return self.signatures[(identity, trusted)]
