"""DOWNLOADSIGNATURE values for the engine files the server offers.

A trusted signature is made with the development key in tools/keys, which
the build tree's engines trust; an untrusted one with a key made at start.
Both are ECDSA P-256 over SHA-256, base64 of the DER that `openssl dgst
-sign` writes (what tools/sign-engine prints).
"""
import atexit
import base64
import os
import subprocess
import tempfile
import threading

DEVELOPMENT_KEY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "keys",
                               "development-update-key.pem")


class Signer:
    def __init__(self):
        self.lock = threading.Lock()
        self.untrusted_key = None
        self.signatures = {}

    def other_key(self):
        if self.untrusted_key is None:
            key = tempfile.NamedTemporaryFile(prefix="untrusted-key-", suffix=".pem", delete=False)
            key.close()
            atexit.register(os.remove, key.name)
            subprocess.run(["openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                            "-out", key.name], check=True, capture_output=True)
            self.untrusted_key = key.name
        return self.untrusted_key

    def sign(self, identity, read, trusted=True):
        """The signature of the bytes read() gives, cached under identity."""
        with self.lock:
            cached = self.signatures.get((identity, trusted))
            if cached is None:
                key = DEVELOPMENT_KEY if trusted else self.other_key()
                der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=read(), check=True,
                                     capture_output=True).stdout
                cached = self.signatures[(identity, trusted)] = base64.b64encode(der).decode("ascii")
            return cached
