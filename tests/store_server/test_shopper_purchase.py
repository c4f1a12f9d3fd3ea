"""The scripted shopper buys in the secure store shown in a real headless
Chromium that reaches the store's host through a host rule and trusts its
certificate by pin. Runs in a network namespace with only loopback."""
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

from store_client import STORE_HOST, Server

CHROMIUM = os.environ.get("ZUN_BROWSER_PATH", "/usr/lib/chromium/chromium")
SHOPPER = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "shopper")
SKIPPED = 77


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def prefill_form_page(fields):
    """A page that posts the pre-fill form at once, as the wizard would."""
    inputs = "".join('<input name="%s" value="%s">' % pair for pair in fields)
    return ('data:text/html,<form method="post" action="https://%s/secure/Prefill.aspx">%s</form>'
            "<script>document.forms[0].submit()</script>" % (STORE_HOST, inputs))


class Browser:
    def __init__(self, server, start_url):
        self.folder = tempfile.TemporaryDirectory()
        self.port = free_port()
        environment = dict(os.environ, XDG_CONFIG_HOME=self.folder.name, XDG_CACHE_HOME=self.folder.name)
        self.process = subprocess.Popen(
            [CHROMIUM, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-features=AutofillServerCommunication,NetworkTimeServiceQuerying",
             "--user-data-dir=" + os.path.join(self.folder.name, "profile"),
             "--remote-debugging-port=%d" % self.port,
             "--host-resolver-rules=MAP %s:443 %s" % (STORE_HOST, server.address),
             "--ignore-certificate-errors-spki-list=" + server.pin, start_url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=environment, start_new_session=True)

    def pages(self):
        with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % self.port, timeout=5) as reply:
            return [target["url"] for target in json.load(reply) if target["type"] == "page"]

    def stop(self):
        os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait(10)
        self.folder.cleanup()


def run_shopper(*arguments):
    return subprocess.run([SHOPPER] + list(arguments), capture_output=True, text=True, timeout=60)


class ShopperTest(unittest.TestCase):
    def test_a_whole_purchase_with_real_input(self):
        self.server = Server()
        self.addCleanup(self.server.stop)
        browser = Browser(self.server, prefill_form_page([("s", "5001"), ("_shopper.billingfirstname", "Bea"),
                                                          ("_cartitem0.skurefnum", "ZUN-PRO-1")]))
        self.addCleanup(browser.stop)
        done = run_shopper("--port", str(browser.port), "--set", "quantity=2", "--set", "ShippingCity=Bergen",
                           "--click", "receipt", "--timeout", "40")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        for line in ("page invoice: Orvella Store: Invoice", "clicked #receipt: the page went to https://secure.orvella.com/secure/Receipt.aspx", "closed the window"):
            self.assertIn(line, done.stdout)
        self.assertEqual(self.server.get("/_prefill?part=host"), STORE_HOST)
        requests = self.server.get("/_requests")
        session = re.search(r"GET /secure/Store.aspx\?session=(\w+)&page=invoice", requests).group(1)
        self.assertIn("GET /secure/Receipt.aspx?session=%s" % session, requests)
        receipt = self.server.get("/secure/Receipt.aspx?session=" + session)
        self.assertIn("Bea Lee", receipt, "the pre-filled name stays, the empty one is typed")
        self.assertRegex(receipt, r"<td>2</td>")
        deadline = time.monotonic() + 10
        while any("/secure/" in url for url in browser.pages()) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertFalse([url for url in browser.pages() if "/secure/" in url])

    def test_gives_up_in_time_without_a_browser(self):
        started = time.monotonic()
        done = run_shopper("--port", str(free_port()), "--timeout", "1")
        self.assertEqual(done.returncode, 1)
        self.assertIn("timed out", done.stderr)
        self.assertLess(time.monotonic() - started, 30)


if __name__ == "__main__":
    if not os.access(CHROMIUM, os.X_OK) or subprocess.run(["/usr/bin/python3", "-c", "import websocket"]).returncode:
        print("needs Chromium and python3-websocket")
        sys.exit(SKIPPED)
    unittest.main()
