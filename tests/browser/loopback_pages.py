"""What the tests' page servers share: a request handler that answers with
HTML, a self-signed certificate made by the openssl program, and a plain and
a secure listener on loopback, each served on a thread of its own."""
import base64
import hashlib
import http.server
import socketserver
import ssl
import subprocess
import threading


class HtmlHandler(http.server.BaseHTTPRequestHandler):
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


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def make_certificate(folder, subject, host):
    """Key and certificate files for `host` (and 127.0.0.1) in `folder`, the
    base64 SHA-256 of the public key (a browser's pin) and the certificate as
    base64 DER."""
    key, cert = folder / 'key.pem', folder / 'cert.pem'
    subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2', '-subj', subject,
                    '-addext', 'subjectAltName=DNS:%s,IP:127.0.0.1' % host,
                    '-keyout', str(key), '-out', str(cert)], check=True, capture_output=True)
    der = subprocess.run(['openssl', 'x509', '-in', str(cert), '-outform', 'der'], check=True,
                         capture_output=True).stdout
    public = subprocess.run(['openssl', 'x509', '-in', str(cert), '-pubkey', '-noout'], check=True,
                            capture_output=True).stdout
    spki = subprocess.run(['openssl', 'pkey', '-pubin', '-outform', 'der'], input=public, check=True,
                          capture_output=True).stdout
    return key, cert, base64.b64encode(hashlib.sha256(spki).digest()).decode(), base64.b64encode(der).decode()


def serve_plain_and_secure(handler, key, cert):
    """Starts an http and an https listener on free loopback ports; returns
    their ports."""
    plain = Server(('127.0.0.1', 0), handler)
    secure = Server(('127.0.0.1', 0), handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(cert), str(key))
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    for server in (plain, secure):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    return plain.server_address[1], secure.server_address[1]
