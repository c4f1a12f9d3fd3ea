"""The store server as the engine, the wizard and the tests meet it."""
import base64
import hashlib
import json
import os
import re
import subprocess
import tempfile
import time
import unittest
from html.parser import HTMLParser
from urllib.parse import urlsplit

from store_client import (STORE_HOST, CartStateError, Server, connect_refused, page_cartstate,
                          read_cartstate)

FORM = {"Content-Type": "application/x-www-form-urlencoded", "Host": STORE_HOST}
ENGINE_BYTES = bytes(range(256)) * 40 + b"engine"
server = None
engine_file = None


def setUpModule():
    global server, engine_file
    engine_file = tempfile.NamedTemporaryFile(prefix="ZunServer-", suffix=".so", delete=False)
    engine_file.write(ENGINE_BYTES)
    engine_file.close()
    server = Server("--engine-file", engine_file.name)


def tearDownModule():
    server.stop()
    os.unlink(engine_file.name)


def prefill(body, secure=True):
    status, headers, page = server.request("POST", "/secure/Prefill.aspx", body=body, headers=FORM, secure=secure)
    return status, page.decode("latin-1")


def session_of(page):
    return re.search(r'name="session" value="([0-9a-f]+)"', page).group(1)


def state_of(page):
    return dict(read_cartstate(page_cartstate(page)))


def step(session, page, action="next", **fields):
    """Posts a step's form as the browser does; returns the page it leads to."""
    body = "&".join("%s=%s" % pair for pair in dict(fields, session=session, page=page, action=action).items())
    status, headers, _ = server.request("POST", "/secure/Store.aspx", body=body.encode("latin-1"), headers=FORM)
    if status != 303:
        raise AssertionError("form post answered %d" % status)
    return server.get(headers["Location"])


def engine_reply(query):
    return dict(read_cartstate(server.get("/store/IEEngineHandler.aspx?" + query)))


class Links(HTMLParser):
    """The page's links by id: their attributes and whether an image is inside."""

    def __init__(self, page):
        super().__init__()
        self.links, self.open = {}, None
        self.feed(page)

    def handle_starttag(self, tag, attributes):
        if tag == "a":
            self.open = dict(attributes)
            self.links[self.open.get("id")] = self.open
        elif tag == "img" and self.open is not None:
            self.open["image"] = True

    def handle_endtag(self, tag):
        if tag == "a":
            self.open = None


class CertificateTest(unittest.TestCase):
    def test_names_the_store_host_and_is_the_one_served_with_its_pin(self):
        der = base64.b64decode(server.certificate, validate=True)
        self.assertEqual(server.get("/_certificate"), server.certificate)
        self.assertEqual(server.get("/_pin"), server.pin)
        text = subprocess.run(["openssl", "x509", "-inform", "DER", "-noout", "-subject", "-ext", "subjectAltName"],
                              input=der, capture_output=True, check=True).stdout.decode()
        self.assertIn("CN = %s" % STORE_HOST, text)
        self.assertIn("DNS:%s" % STORE_HOST, text)
        connection = server.connection(secure=True)
        connection.connect()
        self.assertEqual(connection.sock.getpeercert(binary_form=True), der)
        connection.close()
        public_key = subprocess.run(["openssl", "x509", "-inform", "DER", "-noout", "-pubkey"], input=der,
                                    capture_output=True, check=True).stdout
        spki = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "DER"], input=public_key,
                              capture_output=True, check=True).stdout
        self.assertEqual(base64.b64encode(hashlib.sha256(spki).digest()).decode(), server.pin)


class PrefillTest(unittest.TestCase):
    def test_logs_every_byte_with_host_and_content_type(self):
        body = bytes(range(256)) + b"&s=raw"
        status, _ = prefill(body)
        self.assertEqual(status, 200)
        self.assertEqual(server.request("GET", "/_prefill?part=body")[2], body)
        self.assertEqual(server.get("/_prefill?part=host"), STORE_HOST)
        self.assertEqual(server.get("/_prefill?part=content_type"), FORM["Content-Type"])

    def test_fills_the_session_from_the_engines_fields(self):
        _, page = prefill(b"s=5001&pc=P-1&page=&tc=&pt=TRK&affidc=&_cartitem0.skurefnum=ZUN-PRO-1"
                          b"&_cartitem0.quantity=1&_cartitem0.activationid=ACT&_shopper.billingfirstname=Zo\xeb"
                          b"&_shopper.billingcity=Oslo \x02 Co&_shopper.shippingzip=0150")
        state = state_of(page)
        self.assertEqual(state["PAGENAME"], "PRODUCT")
        self.assertEqual(state["_Shopper.BillingFirstName"], "Zo\xeb")
        self.assertEqual(state["_Shopper.BillingCity"], "Oslo & Co")
        self.assertEqual(state["_Shopper.ShippingZip"], "0150")
        self.assertEqual(state["_cartitem0.skurefnum"], "ZUN-PRO-1")
        self.assertEqual(state["_cartitem0.activationid"], "ACT")
        self.assertEqual(state["_vantor.trackingid"], "TRK")
        self.assertNotIn("_vantor.affiliateid", state)
        self.assertIn("<title>Orvella Store: Your product</title>", page)

    def test_shows_hostile_values_as_text(self):
        _, page = prefill(b"s=x&_shopper.billingfirstname=%22%3E%3Cscript%3Ealert(1)%3C/script%3E")
        billing = step(session_of(page), "product")
        self.assertNotIn("<script>alert", billing)
        self.assertIn("&quot;&gt;&lt;script&gt;", billing)
        self.assertEqual(state_of(billing)["_Shopper.BillingFirstName"], '"><script>alert(1)</script>')


class CheckoutTest(unittest.TestCase):
    def test_a_whole_purchase_carries_what_the_shopper_entered(self):
        _, page = prefill(b"s=5001&_shopper.billingfirstname=Ann&_cartitem0.skurefnum=ZUN-PRO-1")
        session = session_of(page)
        billing = step(session, "product", quantity="3")
        self.assertEqual(state_of(billing)["_Shopper.BillingFirstName"], "Ann")
        shipping = step(session, "billing", BillingLastName="Lee", BillingCity="Oslo", BillingEmail="a%40b.no")
        self.assertEqual(state_of(shipping)["_Shopper.ShippingCity"], "Oslo", "shipping starts as billing")
        review = step(session, "shipping", ShippingCity="Bergen")
        back = step(session, "review", action="back")
        self.assertEqual(state_of(back)["PAGENAME"], "SHIPPING")
        invoice = step(session, "review")
        state = state_of(invoice)
        self.assertEqual(state["PAGENAME"], "INVOICE")
        self.assertEqual(state["_Order.Status"], "2")
        self.assertEqual((state["_Shopper.BillingEmail"], state["_Shopper.ShippingCity"]), ("a@b.no", "Bergen"))
        self.assertEqual((state["_cartitem0.quantity"], state["_Order.Total"]), ("3", "147.00"))
        self.assertEqual(state_of(review)["PAGENAME"], "REVIEW")
        receipt = server.get("/secure/Receipt.aspx?session=" + session)
        self.assertIn(state["_Order.Number"], receipt)

    def test_the_invoice_has_a_link_of_every_kind(self):
        _, page = prefill(b"s=links")
        links = Links(server.get("/secure/Store.aspx?session=%s&page=invoice" % session_of(page))).links
        self.assertTrue(urlsplit(links["receipt"]["href"]).path.endswith("/Receipt.aspx"))
        self.assertNotIn("xwsnewwindow", links["receipt"])
        self.assertEqual(links["help-same-window"]["xwsnewwindow"], "FALSE")
        self.assertEqual(links["terms-same-window"]["xwsnewwindow"], "false")
        self.assertEqual(links["licence"]["xwsnewwindow"], "TRUE")
        self.assertTrue(links["mail-support"]["href"].startswith("mailto:"))
        self.assertTrue(links["mail-sales"]["href"].startswith("MAILTO:"))
        self.assertTrue(links["print-receipt"].get("image"))
        self.assertNotIn("href", links["order-number-link"])
        self.assertEqual(links["empty-link"]["href"], "")
        for same_window in ("help-same-window", "terms-same-window"):
            self.assertIsNone(page_cartstate(server.get(links[same_window]["href"])))

    def test_unknown_sessions_and_odd_numbers_are_refused_or_tamed(self):
        self.assertEqual(server.request("GET", "/secure/Store.aspx?session=nobody&page=billing")[0], 404)
        _, page = prefill(b"s=x")
        self.assertEqual(server.request("GET", "/secure/Store.aspx?session=%s&page=x" % session_of(page))[0], 404)
        for length in ("x", "\u00b2"):
            self.assertEqual(server.request("POST", "/secure/Prefill.aspx", body=b"",
                                            headers={"Content-Length": length})[0], 400)
        self.assertEqual(server.request("GET", "/files/x?size=many")[0], 400)
        for quantity in ("%B2", "0", "100"):
            self.assertEqual(state_of(step(session_of(page), "product", quantity=quantity))["_cartitem0.quantity"],
                             "1")


class StoreFaultTest(unittest.TestCase):
    def walk(self, fields):
        """The pages of a whole purchase in a session opened with these pre-fill fields."""
        _, page = prefill(fields)
        session = session_of(page)
        pages = {"product": page}
        for current, following in zip(("product", "billing", "shipping", "review"),
                                      ("billing", "shipping", "review", "invoice")):
            pages[following] = step(session, current)
        return pages

    def test_faults_apply_to_the_named_step_or_to_all(self):
        pages = self.walk(b"s=5001-nocartstate:billing-badblob:invoice")
        self.assertIsNone(page_cartstate(pages["billing"]))
        self.assertEqual(state_of(pages["shipping"])["PAGENAME"], "SHIPPING")
        with self.assertRaisesRegex(CartStateError, "checksum"):
            state_of(pages["invoice"])
        pages = self.walk(b"s=5001&fault=nocartstate")
        self.assertEqual([name for name, page in pages.items() if page_cartstate(page) is not None], [])

    def test_lower_case_invoice(self):
        self.assertEqual(state_of(self.walk(b"s=lowerinvoice")["invoice"])["PAGENAME"], "invoice")

    def test_a_frame_that_loads_after_the_page(self):
        _, page = prefill(b"s=x&fault=frame:product")
        frame = json.loads(re.search(r"frame.src = (\"[^\"]+\");", page).group(1))
        self.assertIn("addEventListener('load'", page)
        self.assertEqual(state_of(server.get(frame))["PAGENAME"], "FRAME")

    def test_a_slow_page_by_query(self):
        _, page = prefill(b"s=x")
        started = time.monotonic()
        slow = server.get("/secure/Store.aspx?session=%s&page=review&fault=slow0.5" % session_of(page))
        self.assertGreaterEqual(time.monotonic() - started, 0.5)
        self.assertEqual(state_of(slow)["PAGENAME"], "REVIEW")


class EngineQueryTest(unittest.TestCase):
    UPDATE = "call=CHECKFORIEENGINEUPDATE&cmd=CHECKFORIEENGINEUPDATE&vnidc=%s&pubidc=&pc=&actidc=&vers=1.0.0.0"
    LAYOUT = "call=layoutSize&cmd=layoutSize&s=%s&tc="

    def download(self, url):
        status, headers, body = server.request("GET", urlsplit(url)._replace(scheme="", netloc="").geturl())
        return headers, body

    def test_update_offers_the_engine_file_whole_or_broken(self):
        self.assertEqual(engine_reply(self.UPDATE % "5001"), {"DOWNLOADURL": ""})
        self.assertNotIn("DOWNLOADURL", engine_reply(self.UPDATE % "nodownloadurl"))
        headers, body = self.download(engine_reply(self.UPDATE % "update")["DOWNLOADURL"])
        self.assertEqual(body, ENGINE_BYTES)
        self.assertEqual(headers["Content-Length"], str(len(ENGINE_BYTES)))
        headers, body = self.download(engine_reply(self.UPDATE % "update-nolength")["DOWNLOADURL"])
        self.assertEqual((headers["Content-Length"], body), (None, ENGINE_BYTES))
        url = engine_reply(self.UPDATE % "update-dropdownload")["DOWNLOADURL"]
        connection = server.connection()
        connection.request("GET", urlsplit(url)._replace(scheme="", netloc="").geturl())
        reply = connection.getresponse()
        self.assertEqual(reply.headers["Content-Length"], str(len(ENGINE_BYTES)))
        with self.assertRaises(Exception):
            reply.read()
        connection.close()

    def test_a_stalled_download_brings_the_same_bytes(self):
        whole = server.request("GET", "/files/next.bin?size=100001")[2]
        self.assertEqual(len(whole), 100001)
        self.assertEqual(server.request("GET", "/files/next.bin?size=100001&stall=0.2")[2], whole)
        self.assertEqual(server.request("GET", "/files/next.bin?size=100001&length=none")[2], whole)

    def test_layout_and_its_faults(self):
        layout = engine_reply(self.LAYOUT % "5001")
        self.assertEqual([layout[key] for key in ("HEIGHT", "WIDTH", "I_WIDTH", "I_HEIGHT")],
                         ["600", "800", "640", "480"])
        self.assertEqual(layout["PUBLISHERID"], "orvella-publisher")
        self.assertEqual(layout["CERTIFICATEBLOB"], server.certificate)
        self.assertEqual(engine_reply(self.LAYOUT % "x-emptypublisher")["PUBLISHERID"], "")
        faulty = engine_reply(self.LAYOUT % "nopublisher-nocertificate-hugesizes")
        self.assertNotIn("PUBLISHERID", faulty)
        self.assertNotIn("CERTIFICATEBLOB", faulty)
        self.assertGreater(len(faulty["HEIGHT"]), 7)
        self.assertFalse(engine_reply(self.LAYOUT % "textsizes")["WIDTH"].isdigit())


class ListenLaterTest(unittest.TestCase):
    def test_the_port_refuses_until_the_time_has_come(self):
        later = Server("--listen-after", "1.5")
        try:
            self.assertTrue(connect_refused(later.port))
            time.sleep(2)
            self.assertEqual(later.get("/store/ping.aspx"), "OK")
        finally:
            later.stop()

    def test_a_further_listener_of_the_running_server(self):
        address = server.get("/_listen_later?after=1")
        port = int(address.split(":")[1])
        self.assertTrue(connect_refused(port))
        time.sleep(1.5)
        self.assertFalse(connect_refused(port))


if __name__ == "__main__":
    unittest.main()
