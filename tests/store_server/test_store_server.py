"""The store server as the engine's tests meet it: listening once it names
its address, and serving the certificate it names with the pin of its key."""
import base64
import hashlib
import http.client
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import unittest

SERVER = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "store_server", "store_server.py")


def get_secure(port, path):
    """The page's text and the certificate the server showed."""
    context = ssl.create_default_context()
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    connection = http.client.HTTPSConnection("127.0.0.1", port, timeout=10, context=context)
    try:
        connection.request("GET", path)
        return connection.getresponse().read().decode("latin-1"), connection.sock.getpeercert(binary_form=True)
    finally:
        connection.close()


def openssl(arguments, data):
    return subprocess.run(["openssl"] + arguments, input=data, capture_output=True, check=True).stdout


class StoreServerTest(unittest.TestCase):
    def test_it_listens_once_it_names_its_address_and_serves_its_pinned_certificate(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        pin_file = os.path.join(folder.name, "pin")
        server = subprocess.Popen([sys.executable, SERVER, "--pin-file", pin_file], stdout=subprocess.PIPE, text=True)
        # Cleanups run last first: end the server, then close its output.
        self.addCleanup(server.stdout.close)
        self.addCleanup(server.wait, 10)
        self.addCleanup(server.terminate)
        # The address is announced on standard output: a connection at once
        # is not refused.
        port = int(server.stdout.readline().rsplit(":", 1)[1])
        socket.create_connection(("127.0.0.1", port), timeout=5).close()

        text, served = get_secure(port, "/_certificate")
        der = base64.b64decode(text, validate=True)
        self.assertEqual(served, der)
        names = openssl(["x509", "-inform", "DER", "-noout", "-subject", "-ext", "subjectAltName"], der).decode()
        self.assertIn("DNS:secure.orvella.com", names)
        public_key = openssl(["x509", "-inform", "DER", "-noout", "-pubkey"], der)
        spki = openssl(["pkey", "-pubin", "-outform", "DER"], public_key)
        with open(pin_file) as pin:
            self.assertEqual(base64.b64encode(hashlib.sha256(spki).digest()).decode(), pin.read())


if __name__ == "__main__":
    unittest.main()
