"""What the store server's tests share: a server of their own, requests to
it, and a CartState reader that checks what the engine checks."""
import base64
import http.client
import os
import re
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import time

SERVER = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "store_server", "store_server.py")
STORE_HOST = "secure.orvella.com"


class CartStateError(Exception):
    pass


def read_cartstate(text):
    """The (key, value) pairs of a CartState text; raises when the blob is not valid."""
    blob = base64.b64decode(text, validate=True)
    if len(blob) < 12:
        raise CartStateError("short blob")
    total, count, sanity, _, checksum = struct.unpack_from("<IHBBI", blob)
    if total != len(blob) or sanity != 0xAE:
        raise CartStateError("bad header")
    body = blob[12:] + b"\0" * (-(len(blob) - 12) % 4)
    computed = 0
    for (word,) in struct.iter_unpack("<I", body):
        computed ^= word
    if computed != checksum:
        raise CartStateError("bad checksum")
    entries, offset = [], 12
    for _ in range(count):
        pair = []
        for _ in range(2):
            (length,) = struct.unpack_from("<H", blob, offset)
            pair.append(blob[offset + 2:offset + 2 + length].decode("latin-1"))
            offset += 2 + length + (length & 1)
        entries.append(tuple(pair))
    return entries


def page_cartstate(page):
    """The text of a page's first input whose attribute __CARTSTATE is "__CARTSTATE", or None."""
    for tag in re.findall(r"<input\b[^>]*>", page):
        if re.search(r'\s__CARTSTATE="__CARTSTATE"', tag):
            found = re.search(r'\svalue="([^"]*)"', tag)
            return found.group(1) if found else ""
    return None


def read_text(path):
    try:
        with open(path) as given:
            return given.read()
    except FileNotFoundError:
        return ""


class Server:
    """A store server process on a free port, stopped when the test ends."""

    def __init__(self, *options):
        self.folder = tempfile.TemporaryDirectory()
        files = {name: os.path.join(self.folder.name, name) for name in ("address", "certificate", "pin")}
        self.process = subprocess.Popen(
            [sys.executable, SERVER, "--address-file", files["address"], "--certificate-file",
             files["certificate"], "--pin-file", files["pin"]] + list(options),
            stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not read_text(files["address"]).endswith("\n"):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.stop()
                raise RuntimeError("the store server did not start")
            time.sleep(0.05)
        self.address = read_text(files["address"]).strip()
        self.port = int(self.address.split(":")[1])
        self.certificate = read_text(files["certificate"])
        self.pin = read_text(files["pin"])

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.folder.cleanup()

    def connection(self, secure=False, timeout=10):
        if not secure:
            return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        context = ssl.create_default_context()
        context.check_hostname = False
        context.verify_mode = ssl.CERT_NONE
        return http.client.HTTPSConnection("127.0.0.1", self.port, timeout=timeout, context=context)

    def request(self, method, path, body=None, headers=None, secure=False):
        """(status, headers, body bytes) of one request on a fresh connection."""
        connection = self.connection(secure)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            reply = connection.getresponse()
            return reply.status, reply.headers, reply.read()
        finally:
            connection.close()

    def get(self, path):
        return self.request("GET", path)[2].decode("latin-1")


def connect_refused(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=5).close()
        return False
    except ConnectionRefusedError:
        return True
