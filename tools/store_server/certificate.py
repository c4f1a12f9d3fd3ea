"""The store's certificate, made fresh at every start.

Its subject names the secure store's host under the vendor domain, which is
where the engine sends the browser, and localhost, where a machine that
trusts it reaches the server by name. Browsers trust it through the pin of its
public key (Chromium's --ignore-certificate-errors-spki-list); the engine
receives it as base64 DER text.
"""
import base64
import hashlib
import os
import shutil
import ssl
import subprocess
import tempfile

STORE_HOST = "secure.orvella.com"


class Certificate:
    def __init__(self, der, spki_der, context):
        self.text = base64.b64encode(der).decode("ascii")
        self.pin = base64.b64encode(hashlib.sha256(spki_der).digest()).decode("ascii")
        self.tls_context = context


def make_certificate():
    """A self-signed certificate for STORE_HOST with its TLS context, or None
    when the openssl program is missing."""
    openssl = shutil.which("openssl")
    if openssl is None:
        return None
    with tempfile.TemporaryDirectory() as directory:
        key = os.path.join(directory, "key.pem")
        pem = os.path.join(directory, "certificate.pem")
        made = subprocess.run(
            [openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
             "-subj", "/O=Orvella Software/CN=%s" % STORE_HOST,
             "-addext", "subjectAltName=DNS:%s,DNS:localhost" % STORE_HOST, "-keyout", key, "-out", pem],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if made.returncode != 0:
            return None
        with open(pem) as given:
            der = ssl.PEM_cert_to_DER_cert(given.read())
        spki = subprocess.run([openssl, "pkey", "-in", key, "-pubout", "-outform", "DER"],
                              capture_output=True)
        if spki.returncode != 0 or not spki.stdout:
            return None
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(pem, key)
        return Certificate(der, spki.stdout, context)
