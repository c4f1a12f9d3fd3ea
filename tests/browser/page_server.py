#!/usr/bin/env python3
"""Serves the browser tests' pages on loopback, over http and https.

Prints one line when ready: "http=PORT https=PORT spki=HASH", the hash being
the base64 SHA-256 of the test certificate's public key, which the browser
is told to trust. Pages come from the pages/ folder next to this script;
"/echo" shows what a request carried (method, Content-Type and the body as
hex), and "/long-title" a page whose title is 300 characters long.
"""
import sys
import tempfile
from pathlib import Path

from loopback_pages import HtmlHandler, make_certificate, serve_plain_and_secure

PAGES = Path(__file__).resolve().parent / 'pages'


class Handler(HtmlHandler):
    def echo(self, body):
        self.reply('<html><head><title>echo</title></head><body>'
                   f'<div id="method">{self.command}</div>'
                   f'<div id="type">{self.headers.get("Content-Type", "")}</div>'
                   f'<div id="body">{body.hex()}</div></body></html>')

    def do_GET(self):
        path = self.path.split('?')[0]
        if path == '/echo':
            return self.echo(b'')
        if path == '/long-title':
            return self.reply('<html><head><title>' + 'T' * 290 + '0123456789'
                              + '</title></head><body>t</body></html>')
        if path == '/favicon.ico':
            return self.reply('', 404)
        page = (PAGES / path.lstrip('/')).resolve()
        if page.parent != PAGES or not page.is_file():
            return self.reply('<html><body>not found</body></html>', 404)
        self.reply(page.read_text(encoding='utf-8'))

    def do_POST(self):
        length = int(self.headers.get('Content-Length', '0'))
        body = self.rfile.read(length)
        self.echo(body)


def main():
    folder = Path(tempfile.mkdtemp(prefix='zun-pages-'))
    key, cert, spki, _ = make_certificate(folder, '/CN=store.example.test', 'store.example.test')
    http_port, https_port = serve_plain_and_secure(Handler, key, cert)
    print(f'http={http_port} https={https_port} spki={spki}', flush=True)
    sys.stdin.read()  # runs until the test closes its end


if __name__ == '__main__':
    main()
