"""The secure store: the pre-fill page and the checkout the wizard shows.

"/secure/Prefill.aspx" takes the engine's form POST, logs it byte for byte
and opens a shopping session pre-filled from its fields; the answer is the
product page. Every page then posts its form to "/secure/Store.aspx", which
keeps what the shopper entered and redirects to the next or previous step:
product, billing, shipping, review, invoice. Each step carries the hidden
field "__CARTSTATE" with PAGENAME, the shopper's entries under the
"_Shopper.*" keys, the cart under "_cartitem0.*", and on the invoice
"_Order.Status" "2", "_Order.Number" and "_Order.Total". The invoice's
link "/_elsewhere" leads to another site (this server at 127.0.0.1), whose
page carries a forged "__CARTSTATE" of a paid invoice.

Faults are words, separated by "-", in the POST's field "s" (the caller's
vantorID) or "fault", for the whole session, or in the query parameter
"fault" of one "/secure/Store.aspx" page. A word alone applies to every
step, "WORD:PAGE" to one step (product, billing, shipping, review, invoice):
    nocartstate   no "__CARTSTATE" field
    lowerinvoice  the invoice's PAGENAME is "invoice"
"""
import base64
import itertools
import json
import secrets
import threading
from urllib.parse import parse_qsl, quote

import store_pages
from cartstate import cartstate_text
from store_pages import BILLING_FIELDS, PAGE_FIELDS, SHIPPING_FIELDS, STEPS

SHOPPER_PREFIX = "_Shopper."
CART_PREFIX = "_cartitem0."
SHOPPER_NAMES = [name for name, _, _ in BILLING_FIELDS + SHIPPING_FIELDS]
# The order the engine reads the shopper's data in.
SHOPPER_ORDER = [
    "BillingFirstName", "BillingLastName", "BillingAddress1", "BillingAddress2", "BillingCity", "BillingState",
    "BillingZip", "BillingCountry", "BillingEmail", "BillingPhone", "BillingCompany", "ShippingFirstName",
    "ShippingLastName", "ShippingAddress1", "ShippingAddress2", "ShippingCity", "ShippingState", "ShippingZip",
    "ShippingCountry", "ShippingCompany",
]
CATALOG = {
    "ZUN-PRO-1": ("Orvella Software Pro", "The full suite for one workstation, with a year of updates.", 4900),
    "ZUN-STD-1": ("Orvella Software Standard", "The essentials for one workstation.", 2900),
}
DEFAULT_PRODUCT = ("Orvella Software", "A licence for one workstation, with a year of updates.", 3900)
VALUE_LIMIT = 1000
BODY_LIMIT = 1 << 20


def quantity_of(text):
    """A quantity of 1 to 99 from a text; 1 for anything else."""
    if text.isascii() and text.isdigit() and 1 <= int(text) <= 99:
        return int(text)
    return 1


class Cart:
    """The one item of a session's cart, priced from the catalog."""

    def __init__(self, items):
        self.sku = items.get(CART_PREFIX + "skurefnum") or "ORV-STD"
        self.name, self.description, cents = CATALOG.get(self.sku, DEFAULT_PRODUCT)
        self.quantity = quantity_of(items.get(CART_PREFIX + "quantity", "1"))
        self.unit_price = "%d.%02d" % divmod(cents, 100)
        self.total = "%d.%02d" % divmod(cents * self.quantity, 100)


def parse_faults(text):
    """(name, page or None) of each fault word in text."""
    return [(name, page or None) for name, _, page in (word.partition(":") for word in text.split("-") if word)]


def has_fault(faults, name, page):
    return (name, None) in faults or (name, page) in faults


def form_fields(body):
    """The fields of a url-encoded form, as latin-1 texts; None when it is not one."""
    try:
        return parse_qsl(body.decode("latin-1"), keep_blank_values=True, encoding="latin-1",
                         max_num_fields=500)
    except ValueError:
        return None


class Session:
    def __init__(self, session_id, faults):
        self.id = session_id
        self.faults = faults
        self.values = {name: "" for name in SHOPPER_NAMES}
        self.cart = {CART_PREFIX + "quantity": "1"}
        self.vantor = []
        self.order_number = ""
        self.shipping_shown = False


class SecureStore:
    def __init__(self):
        self.lock = threading.Lock()
        self.sessions = {}
        self.prefill_log = []
        self.order_numbers = itertools.count(100001)

    # Requests -------------------------------------------------------------

    def handle(self, handler, method, path, query, body):
        """Answers a request of the store; False when the path is not one of its pages."""
        route = {
            "/secure/Prefill.aspx": self.prefill,
            "/secure/Store.aspx": self.store,
            "/secure/Receipt.aspx": self.receipt,
            "/secure/Help.aspx": self.help,
            "/secure/Terms.aspx": self.terms,
            "/_prefill": self.prefill_record,
            "/_elsewhere": self.elsewhere,
            "/_forged": self.forged,
        }.get(path)
        if route is None:
            return False
        route(handler, method, query, body)
        return True

    def prefill(self, handler, method, query, body):
        with self.lock:
            self.prefill_log.append({
                "method": method, "path": handler.path, "host": handler.headers.get("Host", ""),
                "content_type": handler.headers.get("Content-Type", ""),
                "body": base64.b64encode(body).decode("ascii"),
            })
        fields = form_fields(body) if method == "POST" else list(query.items())
        if fields is None:
            return send_page(handler, 400, store_pages.info_page("Bad request", ["The order form was unreadable."]))
        # The engine sends "&" inside a value as the byte 0x02.
        fields = [(key, value.replace("\x02", "&")[:VALUE_LIMIT]) for key, value in fields]
        named = dict(fields)
        session = Session(secrets.token_hex(8),
                          parse_faults(named.get("s", "")) + parse_faults(named.get("fault", "")))
        by_lower_key = {(SHOPPER_PREFIX + name).lower(): name for name in SHOPPER_NAMES}
        for key, value in fields:
            lowered = key.lower()
            if lowered in by_lower_key:
                session.values[by_lower_key[lowered]] = value
            elif lowered.startswith(CART_PREFIX):
                session.cart[lowered] = value
        for key, cart_key in (("pt", "_vantor.trackingid"), ("affidc", "_vantor.affiliateid")):
            if named.get(key):
                session.vantor.append((cart_key, named[key]))
        with self.lock:
            self.sessions[session.id] = session
        self.show(handler, session, "product", [])

    def store(self, handler, method, query, body):
        fields = query if method == "GET" else dict(form_fields(body) or [])
        session = self.session(fields.get("session", ""))
        page = fields.get("page", "")
        if session is None or page not in STEPS:
            return send_page(handler, 404, store_pages.info_page(
                "Session ended", ["Your shopping session has ended. Please start your purchase again."]))
        if method == "GET":
            return self.show(handler, session, page, parse_faults(query.get("fault", "")))
        target = self.take_form(session, page, fields)
        handler.reply(303, b"", headers=[("Location", "/secure/Store.aspx?session=%s&page=%s"
                                          % (quote(session.id), target))])

    def receipt(self, handler, method, query, body):
        session = self.session(query.get("session", ""))
        if session is None or not session.order_number:
            return send_page(handler, 404, store_pages.info_page("Receipt", ["There is no order to show."]))
        send_page(handler, 200, store_pages.receipt_page(Cart(session.cart), dict(session.values),
                                                         session.order_number))

    def help(self, handler, method, query, body):
        send_page(handler, 200, store_pages.info_page("Help", [
            "Questions about your order? Write to support@orvella.com and quote your order number.",
            "Your licence key arrives by email within a few minutes of your purchase."]))

    def terms(self, handler, method, query, body):
        send_page(handler, 200, store_pages.info_page("Terms of sale", [
            "Licences are sold for use on one workstation each. You may return a licence within 30 days.",
            "Invoices are due within 14 days."]))

    @staticmethod
    def elsewhere(handler, method, query, body):
        """The invoice's link to another site: this server at its loopback address."""
        location = "https://127.0.0.1:%d/_forged" % handler.server.server_address[1]
        handler.reply(302, b"", headers=[("Location", location)])

    @staticmethod
    def forged(handler, method, query, body):
        """Another site's page that claims to be a paid invoice of a shopper of its own."""
        state = cartstate_text([("PAGENAME", "INVOICE"), ("_Order.Status", "2"), ("_Order.Number", "FORGED-1"),
                                (SHOPPER_PREFIX + "BillingFirstName", "Forged")])
        send_page(handler, 200, "<html><head><title>Another site</title></head><body>"
                                "<input type=\"hidden\" __CARTSTATE=\"__CARTSTATE\" value=\"%s\">"
                                "<p>Not the store.</p></body></html>" % state)

    def prefill_record(self, handler, method, query, body):
        """The pre-fill requests: all as JSON, or one part of one as it came."""
        with self.lock:
            log = list(self.prefill_log)
        part = query.get("part")
        if part is None:
            return handler.reply(200, json.dumps(log, indent=1).encode("ascii"), content_type="application/json")
        try:
            entry = log[int(query.get("index", "-1"))]
        except (ValueError, IndexError):
            return handler.reply(404, b"no such pre-fill request")
        if part == "body":
            return handler.reply(200, base64.b64decode(entry["body"]), content_type="application/octet-stream")
        if part in ("host", "content_type", "method"):
            return handler.reply(200, entry[part].encode("latin-1"))
        handler.reply(404, b"part is body, host, content_type or method")

    # Sessions -------------------------------------------------------------

    def session(self, session_id):
        with self.lock:
            return self.sessions.get(session_id)

    def take_form(self, session, page, fields):
        """Keeps the posted step's entries; returns the step to show next."""
        with self.lock:
            if page == "product":
                session.cart[CART_PREFIX + "quantity"] = str(quantity_of(fields.get("quantity", "1")))
            for name, _, _ in PAGE_FIELDS.get(page, ()):
                if name in fields:
                    session.values[name] = fields[name][:VALUE_LIMIT]
            index = STEPS.index(page)
            if fields.get("action") == "back":
                return STEPS[max(index - 1, 0)]
            if page == "invoice":
                return page
            if page == "review" and not session.order_number:
                session.order_number = "ORV-%d" % next(self.order_numbers)
            return STEPS[index + 1]

    def show(self, handler, session, page, page_faults):
        faults = session.faults + page_faults
        with self.lock:
            if page == "shipping" and not session.shipping_shown:
                self.copy_billing_to_shipping(session)
                session.shipping_shown = True
            if page == "invoice" and not session.order_number:
                session.order_number = "ORV-%d" % next(self.order_numbers)
            values = dict(session.values)
        state = None
        if not has_fault(faults, "nocartstate", page):
            state = cartstate_text(self.page_entries(session, page, values, has_fault(faults, "lowerinvoice", page)))
        send_page(handler, 200, store_pages.store_page(page, session.id, Cart(session.cart), values, state,
                                                       session.order_number))

    @staticmethod
    def copy_billing_to_shipping(session):
        shipping = [name for name, _, _ in SHIPPING_FIELDS]
        if any(session.values[name] for name in shipping):
            return
        for name in shipping:
            session.values[name] = session.values.get("Billing" + name[len("Shipping"):], "")

    @staticmethod
    def cart_entries(session):
        cart = Cart(session.cart)
        entries = [(CART_PREFIX + "skurefnum", cart.sku), (CART_PREFIX + "quantity", str(cart.quantity)),
                   (CART_PREFIX + "price", cart.unit_price), (CART_PREFIX + "name", cart.name)]
        taken = {key for key, _ in entries}
        entries += [(key, value) for key, value in sorted(session.cart.items()) if key not in taken]
        return entries + session.vantor

    def page_entries(self, session, page, values, lower_invoice):
        name = "invoice" if page == "invoice" and lower_invoice else page.upper()
        entries = [("PAGENAME", name)]
        entries += [(SHOPPER_PREFIX + key, values[key]) for key in SHOPPER_ORDER]
        entries += self.cart_entries(session)
        if page == "invoice":
            entries += [("_Order.Status", "2"), ("_Order.Number", session.order_number),
                        ("_Order.Total", Cart(session.cart).total)]
        return entries


def send_page(handler, status, text):
    handler.reply(status, text.encode("latin-1", "xmlcharrefreplace"), content_type="text/html; charset=iso-8859-1")
