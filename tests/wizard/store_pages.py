#!/usr/bin/env python3
"""Store pages for the wizard's page tests, on loopback, over http and https.

Prints one line when ready: "http=PORT https=PORT spki=HASH certificate=BASE64",
the hash being the base64 SHA-256 of the certificate's public key (which the
browser is told to trust) and the last field the certificate as base64 DER,
as the engine receives it. The certificate names secure.orvella.com.

Commands on standard input, one a line, each answered with one line; the
server ends when its input closes:
    next QUERY     the pre-fill POST answers with the page /page?QUERY names
                   (at start: PAGENAME=PRODUCT&title=Product); answers "ok"
    last-prefill   answers "body=HEX type=CONTENT-TYPE host=HOST" of the last
                   pre-fill request, or "none"

    POST /secure/Prefill.aspx   logs the request and answers with the page
                                 that the last "next" named
    GET  /page?KEY=VALUE&...     a store page whose "__CARTSTATE" field holds a
                                 CartState of the given keys; the special keys
                                 title (the page's title), field ("none": no
                                 field, "bad": a blob that is not valid) and
                                 links ("1": the invoice links of every kind)
                                 are not stored
    GET  /opened                 the page a handled link opens
"""
import html
import sys
import tempfile
from pathlib import Path
from urllib.parse import parse_qsl, urlsplit

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / 'tools' / 'store_server'))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / 'browser'))
from cartstate import cartstate_text  # noqa: E402
from loopback_pages import HtmlHandler, make_certificate, serve_plain_and_secure  # noqa: E402

SPECIAL = ('title', 'field', 'links')
PREFILLS = []
NEXT = ['PAGENAME=PRODUCT&title=Product']

LINKS = '''
<a id="plain" href="/opened?via=plain">Receipt</a>
<a id="newwindow" href="/opened?via=newwindow" XWSNewWindow="TRUE">Download</a>
<a id="samewindow" href="/page?PAGENAME=THANKS&title=Thanks" XWSNewWindow="FaLsE">Continue</a>
<a id="mail" href="MAILTO:sales@orvella.com">Mail us</a>
<a id="image" href="/opened?via=image"><img id="picture" src="/nothing.png" width="40" height="40" alt="pic"></a>
<a id="nohref">No address</a>
'''


def store_page(query):
    params = dict(parse_qsl(query, keep_blank_values=True))
    entries = [(key, value) for key, value in parse_qsl(query, keep_blank_values=True) if key not in SPECIAL]
    field = params.get('field', '')
    if field == 'none':
        state = ''
    elif field == 'bad':
        state = '<input type="hidden" __CARTSTATE="__CARTSTATE" value="QUJD">'
    else:
        state = ('<input type="hidden" __CARTSTATE="__CARTSTATE" value="%s">' % cartstate_text(entries))
    links = LINKS if params.get('links') == '1' else ''
    return ('<html><head><title>%s</title></head><body style="margin:0">%s'
            '<div style="height:40px">store page</div>%s</body></html>'
            % (html.escape(params.get('title', 'Store')), state, links))


class Handler(HtmlHandler):
    def do_GET(self):
        url = urlsplit(self.path)
        if url.path == '/page':
            return self.reply(store_page(url.query))
        if url.path == '/opened':
            return self.reply('<html><head><title>Opened</title></head><body>opened</body></html>')
        self.reply('<html><body>not found</body></html>', 404)

    def do_POST(self):
        url = urlsplit(self.path)
        body = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        if url.path != '/secure/Prefill.aspx':
            return self.reply('<html><body>not found</body></html>', 404)
        PREFILLS.append('body=%s type=%s host=%s' % (body.hex(), self.headers.get('Content-Type', ''),
                                                     self.headers.get('Host', '')))
        self.reply(store_page(NEXT[0]))


def main():
    with tempfile.TemporaryDirectory() as folder:
        key, cert, spki, certificate = make_certificate(Path(folder), '/O=Orvella Test Store/CN=secure.orvella.com',
                                                        'secure.orvella.com')
        http_port, https_port = serve_plain_and_secure(Handler, key, cert)
        print('http=%d https=%d spki=%s certificate=%s' % (http_port, https_port, spki, certificate), flush=True)
        for line in sys.stdin:
            command, _, value = line.strip().partition(' ')
            if command == 'next':
                NEXT[0] = value
                print('ok', flush=True)
            elif command == 'last-prefill':
                print(PREFILLS[-1] if PREFILLS else 'none', flush=True)
            else:
                print('unknown', flush=True)


if __name__ == '__main__':
    main()
