"""The secure store's pages as HTML: a small web shop, plain HTML and CSS
with nothing loaded from elsewhere.

Pages are latin-1 (the browser sends forms back in the same charset), so a
byte the engine posted comes back to it unchanged.
"""
from html import escape

STORE_NAME = "Orvella Store"
STEPS = ("product", "billing", "shipping", "review", "invoice")
STEP_LABELS = {"product": "Product", "billing": "Billing", "shipping": "Shipping", "review": "Review",
               "invoice": "Invoice"}
TITLES = {
    "product": "Your product",
    "billing": "Billing address",
    "shipping": "Shipping address",
    "review": "Review your order",
    "invoice": "Invoice",
}

# Form fields of the address pages: (input id and name, label, input type).
BILLING_FIELDS = (
    ("BillingFirstName", "First name", "text"), ("BillingLastName", "Last name", "text"),
    ("BillingCompany", "Company (optional)", "text"), ("BillingAddress1", "Address", "text"),
    ("BillingAddress2", "Address line 2 (optional)", "text"), ("BillingCity", "City", "text"),
    ("BillingState", "State or region", "text"), ("BillingZip", "Postal code", "text"),
    ("BillingCountry", "Country", "text"), ("BillingEmail", "Email", "email"),
    ("BillingPhone", "Phone", "tel"),
)
SHIPPING_FIELDS = (
    ("ShippingFirstName", "First name", "text"), ("ShippingLastName", "Last name", "text"),
    ("ShippingCompany", "Company (optional)", "text"), ("ShippingAddress1", "Address", "text"),
    ("ShippingAddress2", "Address line 2 (optional)", "text"), ("ShippingCity", "City", "text"),
    ("ShippingState", "State or region", "text"), ("ShippingZip", "Postal code", "text"),
    ("ShippingCountry", "Country", "text"),
)
PAGE_FIELDS = {"billing": BILLING_FIELDS, "shipping": SHIPPING_FIELDS}

STYLE = """
* { box-sizing: border-box; }
body { margin: 0; font: 14px/1.45 "DejaVu Sans", Arial, sans-serif; color: #1f2a37; background: #eef2f6; }
header { background: #17324d; color: #fff; padding: 10px 24px; display: flex; align-items: center; gap: 12px; }
header .logo { width: 30px; height: 30px; border-radius: 8px; background: #f5a623; color: #17324d;
  font-weight: bold; font-size: 18px; text-align: center; line-height: 30px; }
header .name { font-size: 18px; font-weight: bold; letter-spacing: .3px; }
header .secure { margin-left: auto; font-size: 12px; opacity: .85; }
ol.steps { list-style: none; display: flex; margin: 0; padding: 0 24px; background: #fff;
  border-bottom: 1px solid #d5dde6; }
ol.steps li { padding: 8px 14px; color: #7a8794; border-bottom: 3px solid transparent; }
ol.steps li.done { color: #2f6f3e; }
ol.steps li.current { color: #17324d; font-weight: bold; border-bottom-color: #f5a623; }
main { max-width: 760px; margin: 14px auto; padding: 0 16px; }
.card { background: #fff; border: 1px solid #d5dde6; border-radius: 8px; padding: 16px 20px; }
h1 { font-size: 19px; margin: 0 0 10px; }
h2 { font-size: 15px; margin: 18px 0 8px; }
.product { display: flex; gap: 18px; align-items: flex-start; }
.box { width: 96px; height: 120px; border-radius: 6px; background: linear-gradient(135deg, #17324d, #3d6d99);
  color: #fff; font-weight: bold; padding: 10px; font-size: 13px; }
.price { font-size: 22px; font-weight: bold; color: #17324d; }
.grid { display: grid; grid-template-columns: 1fr 1fr; gap: 6px 16px; }
label { display: block; font-size: 12px; color: #52606d; margin-bottom: 2px; }
input[type=text], input[type=email], input[type=tel], input[type=number] { width: 100%; padding: 5px 8px;
  border: 1px solid #b8c4d0; border-radius: 5px; font: inherit; }
input[type=number] { width: 80px; }
table { width: 100%; border-collapse: collapse; margin: 8px 0; }
th, td { text-align: left; padding: 7px 6px; border-bottom: 1px solid #e4e9ef; }
td.amount, th.amount { text-align: right; }
tr.total td { font-weight: bold; border-bottom: none; }
address { font-style: normal; white-space: pre-line; }
.buttons { display: flex; justify-content: space-between; margin-top: 16px; }
button { font: inherit; padding: 9px 22px; border-radius: 5px; border: 1px solid #17324d; cursor: pointer; }
button.primary { background: #17324d; color: #fff; margin-left: auto; }
button.secondary { background: #fff; color: #17324d; }
.note { color: #52606d; font-size: 12px; }
.links a { display: inline-block; margin: 4px 14px 4px 0; color: #1d5fa3; }
.links img { vertical-align: middle; border: 0; }
footer { text-align: center; color: #7a8794; font-size: 12px; margin: 12px 0 20px; }
"""

PRINT_ICON = ("data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='20' height='20'%3E"
              "%3Crect x='4' y='2' width='12' height='6' fill='%2317324d'/%3E%3Crect x='1' y='7' width='18' "
              "height='8' rx='2' fill='%233d6d99'/%3E%3Crect x='5' y='12' width='10' height='7' fill='%23fff' "
              "stroke='%2317324d'/%3E%3C/svg%3E")


def attribute(value):
    return escape(value, quote=True)


def document(title, body):
    return (
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"iso-8859-1\">"
        "<meta name=\"viewport\" content=\"width=device-width\">"
        "<title>%s</title><style>%s</style></head><body>"
        "<header><div class=\"logo\">O</div><div class=\"name\">%s</div>"
        "<div class=\"secure\">Secure checkout</div></header>%s"
        "<footer>&copy; Orvella Software &middot; Prices include VAT &middot; "
        "<a href=\"/secure/Help.aspx\">Help</a></footer></body></html>"
        % (escape(title), STYLE, STORE_NAME, body))


def page_title(page):
    return "%s: %s" % (STORE_NAME, TITLES[page])


def steps(page):
    current = STEPS.index(page)
    items = []
    for index, step in enumerate(STEPS):
        kind = "current" if index == current else "done" if index < current else ""
        items.append("<li class=\"%s\">%d. %s</li>" % (kind, index + 1, STEP_LABELS[step]))
    return "<ol class=\"steps\">%s</ol>" % "".join(items)


def cartstate_field(state_text):
    if state_text is None:
        return ""
    return ("<input type=\"hidden\" name=\"__CARTSTATE\" id=\"__CARTSTATE\" __CARTSTATE=\"__CARTSTATE\" "
            "value=\"%s\">" % attribute(state_text))


def buttons(page):
    back = "<button type=\"submit\" class=\"secondary\" id=\"back\" name=\"action\" value=\"back\">Back</button>"
    label = {"product": "Continue to billing", "billing": "Continue to shipping",
             "shipping": "Review order", "review": "Place order"}[page]
    forward = ("<button type=\"submit\" class=\"primary\" id=\"next\" name=\"action\" value=\"next\">%s</button>"
               % label)
    return "<div class=\"buttons\">%s%s</div>" % (back if page != "product" else "", forward)


def product_body(cart):
    return (
        "<div class=\"product\"><div class=\"box\">%s</div><div>"
        "<h2 id=\"product-name\">%s</h2><p>%s</p><p class=\"note\">Item number %s</p>"
        "<p class=\"price\">$%s</p>"
        "<label for=\"quantity\">Quantity</label>"
        "<input type=\"number\" id=\"quantity\" name=\"quantity\" min=\"1\" max=\"99\" value=\"%s\">"
        "</div></div>"
        % (escape(cart.name), escape(cart.name), escape(cart.description), escape(cart.sku),
           cart.unit_price, cart.quantity))


def address_body(fields, values):
    cells = []
    for name, label, kind in fields:
        cells.append("<div><label for=\"%s\">%s</label><input type=\"%s\" id=\"%s\" name=\"%s\" "
                     "maxlength=\"100\" value=\"%s\"></div>"
                     % (name, label, kind, name, name, attribute(values.get(name, ""))))
    return "<div class=\"grid\">%s</div>" % "".join(cells)


def address_lines(values, prefix):
    name = " ".join(part for part in (values.get(prefix + "FirstName", ""), values.get(prefix + "LastName", ""))
                    if part)
    lines = [name, values.get(prefix + "Company", ""), values.get(prefix + "Address1", ""),
             values.get(prefix + "Address2", ""),
             " ".join(part for part in (values.get(prefix + "Zip", ""), values.get(prefix + "City", ""),
                                        values.get(prefix + "State", "")) if part),
             values.get(prefix + "Country", "")]
    return "<address id=\"%s-address\">%s</address>" % (
        prefix.lower(), escape("\n".join(line for line in lines if line)))


def order_table(cart):
    return (
        "<table><tr><th>Item</th><th>Quantity</th><th class=\"amount\">Price</th></tr>"
        "<tr><td>%s</td><td>%s</td><td class=\"amount\">$%s</td></tr>"
        "<tr class=\"total\"><td>Total</td><td></td><td class=\"amount\" id=\"total\">$%s</td></tr></table>"
        % (escape(cart.name), cart.quantity, cart.unit_price, cart.total))


def review_body(cart, values):
    contact = "<br>".join(escape(values.get(name, "")) for name in ("BillingEmail", "BillingPhone")
                          if values.get(name))
    return (
        order_table(cart)
        + "<div class=\"grid\"><div><h2>Billing address</h2>%s<p>%s</p></div>"
          "<div><h2>Shipping address</h2>%s</div></div>"
          "<p class=\"note\">Payment: by invoice, due within 14 days. Your licence key is sent by email.</p>"
        % (address_lines(values, "Billing"), contact, address_lines(values, "Shipping")))


def invoice_links(session_id, order_number):
    receipt = "/secure/Receipt.aspx?session=%s" % attribute(session_id)
    return (
        "<div class=\"links\">"
        "<a id=\"receipt\" href=\"%s\">Receipt</a>"
        "<a id=\"print-receipt\" href=\"%s&amp;print=1\"><img id=\"print-icon\" src=\"%s\" alt=\"Print\"></a>"
        "<a id=\"help-same-window\" href=\"/secure/Help.aspx\" XWSNewWindow=\"FALSE\">Help</a>"
        "<a id=\"terms-same-window\" href=\"/secure/Terms.aspx\" XWSNewWindow=\"false\">Terms of sale</a>"
        "<a id=\"licence\" href=\"/secure/Terms.aspx?part=licence\" XWSNewWindow=\"TRUE\">Licence</a>"
        "<a id=\"mail-support\" href=\"mailto:support@orvella.com\">support@orvella.com</a>"
        "<a id=\"mail-sales\" href=\"MAILTO:sales@orvella.com\">sales@orvella.com</a>"
        "<a id=\"order-number-link\">Order %s</a>"
        "<a id=\"empty-link\" href=\"\">This page</a>"
        "<a id=\"elsewhere\" href=\"/_elsewhere\" XWSNewWindow=\"false\">Pay with a wallet</a>"
        "</div>" % (receipt, receipt, PRINT_ICON, escape(order_number)))


def invoice_body(cart, values, session_id, order_number):
    return (
        "<p>Thank you for your order. Order number <b id=\"order-number\">%s</b>.</p>%s"
        "<div class=\"grid\"><div><h2>Billed to</h2>%s</div><div><h2>Shipped to</h2>%s</div></div>"
        "<h2>Your documents</h2>%s"
        % (escape(order_number), order_table(cart), address_lines(values, "Billing"),
           address_lines(values, "Shipping"), invoice_links(session_id, order_number)))


def store_page(page, session_id, cart, values, state_text, order_number):
    """One step of the checkout."""
    if page == "product":
        content = product_body(cart)
    elif page in PAGE_FIELDS:
        content = address_body(PAGE_FIELDS[page], values)
    elif page == "review":
        content = review_body(cart, values)
    else:
        content = invoice_body(cart, values, session_id, order_number)
    form = (
        "<form method=\"post\" action=\"/secure/Store.aspx\" id=\"store-form\">%s"
        "<input type=\"hidden\" name=\"session\" value=\"%s\"><input type=\"hidden\" name=\"page\" value=\"%s\">"
        "<h1>%s</h1>%s%s</form>"
        % (cartstate_field(state_text), attribute(session_id), page, TITLES[page], content,
           buttons(page) if page != "invoice" else ""))
    return document(page_title(page), steps(page) + "<main><div class=\"card\">%s</div></main>" % form)


def info_page(title, paragraphs):
    body = "".join("<p>%s</p>" % escape(text) for text in paragraphs)
    return document("%s: %s" % (STORE_NAME, title),
                    "<main><div class=\"card\"><h1>%s</h1>%s</div></main>" % (escape(title), body))


def receipt_page(cart, values, order_number):
    body = ("<p>Order <b id=\"receipt-order-number\">%s</b></p>%s<h2>Billed to</h2>%s"
            % (escape(order_number), order_table(cart), address_lines(values, "Billing")))
    return document("%s: Receipt %s" % (STORE_NAME, order_number),
                    "<main><div class=\"card\"><h1>Receipt</h1>%s</div></main>" % body)
