#!/usr/bin/env python3
"""A local store server for the engine's tests, benchmarks and demonstration.

It answers the engine's queries with CartState replies made by its own
encoder, serves engine builds to download and a small secure store for the
purchase wizard, and makes faults on request. It listens on the loopback
addresses only (127.0.0.1, and ::1 on the same port where the system has
IPv6) and logs every request line. The same port speaks HTTPS to a client that
opens with a TLS handshake, with a certificate made at start for the secure
store's host, secure.orvella.com, and localhost (when the openssl program is
there).

    store_server.py [--port N] [--address-file F] [--log F]   serve (port 0 or none: a free one)
        [--certificate-file F]   write the certificate there, base64 DER (the engine's CERTIFICATEBLOB)
        [--pin-file F]           write the pin of its public key there (base64 SHA-256 of the
                                 DER SubjectPublicKeyInfo), for a browser's
                                 --ignore-certificate-errors-spki-list
        [--engine-file PATH]     the engine build an update offers, served as /files/NAME;
                                 a second one is offered to the vantor word "sameversion"
        [--pages DIR]            serve DIR's .html files as /pages/NAME
    store_server.py --daemon --pid-file P ...                  serve in the background once the
                                                               port is taken (and the files written)
    store_server.py --stop --pid-file P                        stop a background server
    store_server.py --self-test                                check the CartState encoder

A browser reaches the secure store when it maps the store's host to this
port and trusts the certificate by its pin:
    --host-resolver-rules="MAP secure.orvella.com:443 127.0.0.1:PORT" --ignore-certificate-errors-spki-list=PIN

Pages:
    /store/ping.aspx                       200 "OK"
    /store/IEEngineHandler.aspx?call=...   the engine's queries, answered by the words of the
                                           caller's vantorID (engine_handler.py explains them):
                      update query         update, nodownloadurl, dropdownload, stalldownload,
                                           nolength, stallupdate
                      layout query         emptypublisher, nopublisher, nocertificate, textsizes,
                                           hugesizes, stalllayout
    /secure/Prefill.aspx                   the secure store (see secure_store.py): the pre-fill
    /secure/Store.aspx?session=ID&page=P   POST opens a session; then the steps product, billing,
                   [&fault=WORDS]          shipping, review and invoice, with faults chosen by the
                                           vantorID too: nocartstate, lowerinvoice, each for all
                                           steps or as WORD:STEP
    /secure/Receipt.aspx, Help.aspx, Terms.aspx   pages the invoice's links open
    /_elsewhere, /_forged                  the invoice's link to another site (this server at
                                           127.0.0.1) and that site's page with a forged CartState
    /cartstate?KEY=VALUE&...               a CartState holding the given keys
    /body?size=N[&length=M|none][&status=S][&stall=SECONDS][&wait=SECONDS][&drip=SECONDS]
                                           N bytes; Content-Length N, M (a lie) or none;
                                           a stall after the bytes before closing, a wait
                                           before the reply begins, a pause before each byte
    /framing?reply=NAME                    a reply framed as RAW_REPLIES[NAME] frames it
    /auth?code=401|407                     an authentication demand
    /flaky?marker=M&size=N                 the first request of a marker breaks off after more
                                           bytes than later ones send in full
    /files/NAME?size=N[&drop=M][&stall=S][&length=none]
                                           a file to download: the --engine-file when NAME is its
                                           name, else N made-up bytes; the connection breaks off
                                           after M bytes, stops S seconds after half the bytes,
                                           or has no Content-Length
Control pages:
    /_requests                             the request lines received so far, one a line
    /_certificate, /_pin                   the certificate (base64 DER) and its pin, as text
    /_prefill                              the pre-fill requests as JSON: method, path, host,
                                           content_type and the body in base64
    /_prefill?part=body|host|content_type|method[&index=I]
                                           one part of request I (default -1, the last) as it came
"""
import argparse
import functools
import os
import signal
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, urlsplit

import engine_handler
from engine_handler import FlippedByte, file_bytes
from cartstate import cartstate_text, self_test
from certificate import make_certificate
from secure_store import BODY_LIMIT, SecureStore

# Replies written as they stand, for the client's reading of HTTP framing.
RAW_REPLIES = {
    # Transfer-Encoding wins over Content-Length: the body is the 26 letters.
    "chunked_with_length": b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n"
                           b"Connection: close\r\n\r\n10\r\nabcdefghijklmnop\r\na\r\nqrstuvwxyz\r\n0\r\n\r\n",
    # A trailer after the last chunk is no header of the reply.
    "chunked_trailer": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: Content-Length\r\n"
                       b"Connection: close\r\n\r\n1a\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n"
                       b"Content-Length: 999999\r\n\r\n",
    # Two lengths that disagree: no reading of the body can be trusted.
    "conflicting_lengths": b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\nContent-Length: 26\r\n"
                           b"Connection: close\r\n\r\nabcdefghijklmnopqrstuvwxyz",
    # The same length twice is one length.
    "repeated_length": b"HTTP/1.1 200 OK\r\nContent-Length: 26\r\nContent-Length: 26\r\n"
                       b"Connection: close\r\n\r\nabcdefghijklmnopqrstuvwxyz",
}

PIECE = 1 << 16


class StoreState:
    """What every listener of the server shares."""

    def __init__(self, log_path, certificate, engine_files, pages=None):
        self.lock = threading.Lock()
        self.request_log = []
        self.flaky_markers = set()
        self.log_file = open(log_path, "a") if log_path else None
        self.certificate = certificate
        self.engine_files = engine_files
        self.pages = pages
        self.store = SecureStore()


class StoreHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; without this the second
    # waits for the client's delayed acknowledgement.
    disable_nagle_algorithm = True
    server_version = "StoreServer/1.0"

    def setup(self):
        # A connection that opens with a TLS handshake record gets HTTPS.
        certificate = self.server.state.certificate
        if certificate is not None:
            try:
                first = self.request.recv(1, socket.MSG_PEEK)
            except OSError:
                first = b""
            if first == b"\x16":
                self.request = certificate.tls_context.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, fmt, *args):
        pass

    def log_request_line(self):
        state = self.server.state
        with state.lock:
            state.request_log.append(self.requestline)
            if state.log_file:
                state.log_file.write(self.requestline + "\n")
                state.log_file.flush()

    def do_GET(self):
        self.route("GET", b"")

    def do_POST(self):
        length = self.headers.get("Content-Length") or "0"
        if not (length.isascii() and length.isdigit()) or int(length) > BODY_LIMIT:
            self.log_request_line()
            return self.reply(400, b"bad Content-Length", close=True)
        self.route("POST", self.rfile.read(int(length)))

    def route(self, method, body):
        self.log_request_line()
        url = urlsplit(self.path)
        # Values are taken as sent: "&" splits them, as it does for the store.
        query = dict(parse_qsl(url.query, keep_blank_values=True, encoding="latin-1"))
        if self.server.state.store.handle(self, method, url.path, query, body):
            return
        handler = {
            "/store/ping.aspx": self.ping,
            "/store/IEEngineHandler.aspx": self.engine_query,
            "/cartstate": self.cartstate,
            "/body": self.body,
            "/auth": self.auth,
            "/flaky": self.flaky,
            "/framing": self.framing,
            "/_requests": self.requests,
            "/_certificate": self.certificate,
            "/_pin": self.certificate,
        }.get(url.path)
        if handler is None and url.path.startswith("/files/"):
            handler = functools.partial(self.file, url.path[len("/files/"):])
        if handler is None and url.path.startswith("/pages/"):
            handler = functools.partial(self.page, url.path[len("/pages/"):])
        if handler is None:
            return self.not_found()
        try:
            return handler(query)
        except ValueError:
            # A number in the query that is none; nothing has been sent yet.
            return self.reply(400, b"bad query", close=True)

    def reply(self, status, data, content_type="text/plain", length=None, close=False, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        for name, value in headers:
            self.send_header(name, value)
        if length != "none":
            self.send_header("Content-Length", str(len(data) if length is None else length))
        if close or length is not None:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.write(data)

    def ping(self, query):
        self.reply(200, b"OK")

    def engine_query(self, query):
        engine_handler.answer(self, query)

    def cartstate(self, query):
        self.reply(200, cartstate_text(list(query.items())).encode("ascii"))

    def body(self, query):
        size = int(query.get("size", "0"))
        data = bytes((ord("a") + i % 26) for i in range(size))
        status = int(query.get("status", "200"))
        length = query.get("length")
        stall = float(query.get("stall", "0"))
        drip = float(query.get("drip", "0"))
        time.sleep(float(query.get("wait", "0")))
        if drip:
            self.reply(status, b"", length=str(size))
            for byte in data:
                time.sleep(drip)
                self.wfile.write(bytes([byte]))
                self.wfile.flush()
        else:
            self.reply(status, data, length=length)
        if stall:
            self.wfile.flush()
            time.sleep(stall)
        if length is not None:
            self.close_connection = True

    def flaky(self, query):
        marker = query.get("marker", "")
        size = int(query.get("size", "1000"))
        state = self.server.state
        with state.lock:
            first = marker not in state.flaky_markers
            state.flaky_markers.add(marker)
        if first:
            return self.reply(200, b"x" * (size * 3), length=size * 4)
        self.reply(200, bytes((ord("A") + i % 26) for i in range(size)))

    def framing(self, query):
        raw = RAW_REPLIES.get(query.get("reply", ""))
        if raw is None:
            return self.reply(404, b"unknown reply")
        self.wfile.write(raw)
        self.close_connection = True

    def auth(self, query):
        code = int(query.get("code", "401"))
        header = "WWW-Authenticate" if code == 401 else "Proxy-Authenticate"
        self.reply(code, b"authentication required", headers=[(header, 'Basic realm="store"')])

    def file(self, name, query):
        engines = self.server.state.engine_files
        which = int(query["which"]) if query.get("which", "").isdigit() else None
        if which is not None and which >= len(engines):
            which = None
        source = file_bytes(engines, which, name)
        size = os.path.getsize(engines[which]) if which is not None else int(query.get("size", "65536"))
        if "flip" in query:
            source = FlippedByte(source, int(query["flip"]))
        try:
            end = min(int(query.get("drop", size)), size)
            stall = float(query.get("stall", "0"))
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            if query.get("length") == "none":
                self.send_header("Connection", "close")
                self.close_connection = True
            else:
                self.send_header("Content-Length", str(size))
            self.end_headers()
            pause = size // 2 if stall else end
            self.copy(source, min(pause, end))
            if stall:
                self.wfile.flush()
                time.sleep(stall)
                self.copy(source, end - min(pause, end))
            if end < size:
                self.wfile.flush()
                self.close_connection = True
        finally:
            source.close()

    def copy(self, source, count):
        while count > 0:
            piece = source.read(min(count, PIECE))
            if not piece:
                break
            self.wfile.write(piece)
            count -= len(piece)

    def not_found(self):
        self.reply(404, b"<html><body>Not found</body></html>", content_type="text/html")

    def page(self, name, query):
        folder = self.server.state.pages
        if folder is None or "/" in name or not name.endswith(".html") or \
                not os.path.isfile(os.path.join(folder, name)):
            return self.not_found()
        with open(os.path.join(folder, name), "rb") as source:
            self.reply(200, source.read(), content_type="text/html; charset=utf-8")

    def requests(self, query):
        state = self.server.state
        with state.lock:
            text = "\n".join(state.request_log) + "\n"
        self.reply(200, text.encode("latin-1"))

    def certificate(self, query):
        certificate = self.server.state.certificate
        if certificate is None:
            return self.reply(404, b"no certificate: the openssl program is missing")
        text = certificate.pin if urlsplit(self.path).path == "/_pin" else certificate.text
        self.reply(200, text.encode("ascii"))


class StoreServer(ThreadingHTTPServer):
    """A listener that listens once it is made, so that a client told its
    address right after is never refused."""

    daemon_threads = True
    allow_reuse_address = True

    address = "127.0.0.1"

    def __init__(self, port, state):
        self.state = state
        super().__init__((self.address, port), StoreHandler)

    def handle_error(self, request, client_address):
        # Clients that give up mid-reply (tests closing sessions) are normal.
        if not isinstance(sys.exc_info()[1], OSError):
            super().handle_error(request, client_address)


class Ipv6StoreServer(StoreServer):
    """The same store on ::1."""

    address_family = socket.AF_INET6
    address = "::1"


def start_serving(listener):
    threading.Thread(target=listener.serve_forever, daemon=True).start()


def write_text(path, text):
    if path:
        with open(path, "w") as out:
            out.write(text)


def serve(args, ready=None):
    certificate = make_certificate()
    state = StoreState(args.log, certificate, args.engine_file or [], args.pages)
    server = StoreServer(args.port, state)
    address = "127.0.0.1:%d" % server.server_address[1]
    if certificate is not None:
        write_text(args.certificate_file, certificate.text)
        write_text(args.pin_file, certificate.pin)
    # Serving threads are daemons: the process ends with the main thread.
    stopping = threading.Event()
    signal.signal(signal.SIGTERM, lambda *unused: stopping.set())
    start_serving(server)
    try:
        start_serving(Ipv6StoreServer(server.server_address[1], state))
    except OSError:
        pass  # no IPv6 loopback here
    # The address is announced only once the listeners listen.
    write_text(args.address_file, address + "\n")
    print("store server listening on %s" % address, flush=True)
    if certificate is not None:
        print("certificate pin %s" % certificate.pin, flush=True)
    if ready is not None:
        os.write(ready, b"1")
        os.close(ready)
    try:
        while not stopping.wait(1):
            pass
    except KeyboardInterrupt:
        pass
    return 0


def daemonize(args):
    """Serves in a child process and returns once its port is taken."""
    read_end, write_end = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(read_end)
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        code = 1
        try:
            code = serve(args, ready=write_end)
        finally:
            os._exit(code)
    os.close(write_end)
    ready = os.read(read_end, 1)
    os.close(read_end)
    if ready != b"1":
        print("store server did not start", file=sys.stderr)
        return 1
    if args.pid_file:
        with open(args.pid_file, "w") as out:
            out.write("%d\n" % pid)
    if args.address_file:
        with open(args.address_file) as given:
            print("store server listening on %s (pid %d)" % (given.read().strip(), pid))
    return 0


def stop(args):
    try:
        with open(args.pid_file) as given:
            pid = int(given.read().strip())
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    os.unlink(args.pid_file)
    return 0


def main():
    parser = argparse.ArgumentParser(description="Local store server for tests and demonstrations.")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (0: a free one)")
    parser.add_argument("--address-file", help="write host:port here once the port is taken")
    parser.add_argument("--certificate-file", help="write the certificate here, base64 DER")
    parser.add_argument("--pin-file", help="write the certificate's public key pin here")
    parser.add_argument("--engine-file", action="append", help="an engine build an update offers")
    parser.add_argument("--pages", help="a folder of .html files served as /pages/NAME")
    parser.add_argument("--log", help="append every request line to this file")
    parser.add_argument("--daemon", action="store_true", help="serve in the background")
    parser.add_argument("--pid-file", help="process id of the background server")
    parser.add_argument("--stop", action="store_true", help="stop the background server of --pid-file")
    parser.add_argument("--self-test", action="store_true", help="check the CartState encoder")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    if args.stop:
        return stop(args)
    for engine_file in args.engine_file or []:
        if not os.path.isfile(engine_file):
            parser.error("no engine file %s" % engine_file)
    if args.daemon:
        return daemonize(args)
    return serve(args)


if __name__ == "__main__":
    sys.exit(main())
