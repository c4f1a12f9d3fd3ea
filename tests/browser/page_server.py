#!/usr/bin/env python3
"""Serves the browser tests' pages on loopback, over http and https.

Prints one line when ready: "http=PORT https=PORT spki=HASH", the hash being
the base64 SHA-256 of the test certificate's public key, which the browser
is told to trust. Pages come from the pages/ folder next to this script;
"/echo" shows what a request carried (method, Content-Type and the body as
hex), and "/long-title" a page whose title is 300 characters long.
"""
import base64
import hashlib
import http.server
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading
from pathlib import Path

PAGES = Path(__file__).resolve().parent / 'pages'


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, *args):
        pass

    def reply(self, body, status=200):
        data = body.encode('utf-8')
        self.send_response(status)
        self.send_header('Content-Type', 'text/html; charset=utf-8')
        self.send_header('Content-Length', str(len(data)))
        self.send_header('Cache-Control', 'no-store')
        self.end_headers()
        self.wfile.write(data)

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


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def make_certificate(folder):
    key, cert = folder / 'key.pem', folder / 'cert.pem'
    subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2',
                    '-subj', '/CN=store.example.test', '-addext', 'subjectAltName=DNS:store.example.test,IP:127.0.0.1',
                    '-keyout', str(key), '-out', str(cert)], check=True, capture_output=True)
    der = subprocess.run(['openssl', 'x509', '-in', str(cert), '-pubkey', '-noout'], check=True,
                         capture_output=True).stdout
    spki = subprocess.run(['openssl', 'pkey', '-pubin', '-outform', 'der'], input=der, check=True,
                          capture_output=True).stdout
    return key, cert, base64.b64encode(hashlib.sha256(spki).digest()).decode()


def main():
    folder = Path(tempfile.mkdtemp(prefix='zun-pages-'))
    key, cert, spki = make_certificate(folder)
    plain = Server(('127.0.0.1', 0), Handler)
    secure = Server(('127.0.0.1', 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    for server in (plain, secure):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print(f'http={plain.server_address[1]} https={secure.server_address[1]} spki={spki}', flush=True)
    sys.stdin.read()  # runs until the test closes its end


if __name__ == '__main__':
    main()
