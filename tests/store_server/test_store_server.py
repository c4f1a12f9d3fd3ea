"""The store server as the engine's tests meet it: listening once it names
its address, refusing until a delayed listener's time has come, and serving
the certificate it names with the pin of its key."""
import base64
import hashlib
import http.client
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

SERVER = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "store_server", "store_server.py")


def wait_until_listening(port):
    deadline = time.monotonic() + 30
    while connect_refused(port) and time.monotonic() < deadline:
        time.sleep(0.1)


def connect_refused(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=5).close()
        return False
    except ConnectionRefusedError:
        return True


class Server:
    """A store server process on a free port; its address is read from its
    standard output, where it announces it."""

    def __init__(self, *options):
        self.folder = tempfile.TemporaryDirectory()
        self.pin_file = os.path.join(self.folder.name, "pin")
        self.process = subprocess.Popen([sys.executable, SERVER, "--pin-file", self.pin_file] + list(options),
                                        stdout=subprocess.PIPE, text=True)
        self.port = int(self.process.stdout.readline().rsplit(":", 1)[1])

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.process.stdout.close()
        self.folder.cleanup()

    def get(self, path, secure=False):
        if secure:
            context = ssl.create_default_context()
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
            connection = http.client.HTTPSConnection("127.0.0.1", self.port, timeout=10, context=context)
        else:
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("GET", path)
            body = connection.getresponse().read().decode("latin-1")
            return body, connection.sock.getpeercert(binary_form=True) if secure else None
        finally:
            connection.close()


class StoreServerTest(unittest.TestCase):
    def test_it_listens_once_it_names_its_address_and_serves_its_pinned_certificate(self):
        server = Server()
        self.addCleanup(server.stop)
        self.assertFalse(connect_refused(server.port))
        text, served = server.get("/_certificate", secure=True)
        der = base64.b64decode(text, validate=True)
        self.assertEqual(served, der)
        names = subprocess.run(["openssl", "x509", "-inform", "DER", "-noout", "-subject", "-ext", "subjectAltName"],
                               input=der, capture_output=True, check=True).stdout.decode()
        self.assertIn("DNS:secure.orvella.com", names)
        public_key = subprocess.run(["openssl", "x509", "-inform", "DER", "-noout", "-pubkey"], input=der,
                                    capture_output=True, check=True).stdout
        spki = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "DER"], input=public_key,
                              capture_output=True, check=True).stdout
        with open(server.pin_file) as pin:
            self.assertEqual(base64.b64encode(hashlib.sha256(spki).digest()).decode(), pin.read())

        # A further listener refuses until its time has come.
        port = int(server.get("/_listen_later?after=1")[0].split(":")[1])
        self.assertTrue(connect_refused(port))
        wait_until_listening(port)
        self.assertFalse(connect_refused(port))

    def test_a_delayed_server_names_its_address_at_once_and_refuses_until_its_time(self):
        server = Server("--listen-after", "1")
        self.addCleanup(server.stop)
        self.assertTrue(connect_refused(server.port))
        wait_until_listening(server.port)
        self.assertEqual(server.get("/store/ping.aspx")[0], "OK")


if __name__ == "__main__":
    unittest.main()
