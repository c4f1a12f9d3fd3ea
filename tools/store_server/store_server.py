#!/usr/bin/env python3
"""A local store server for the engine's tests, benchmarks and demonstration.

It serves the store pages the engine asks for, with CartState replies made
by its own encoder, engine build files to download, and faults on request.
It listens on the loopback addresses only (127.0.0.1, and ::1 on the same port
where the system has IPv6) and logs every request line. The same port
speaks HTTPS to a client that opens with a TLS handshake, with a self-signed
certificate made at start (when the openssl program is there).

    store_server.py [--port N] [--address-file F] [--log F]   serve (port 0 or none: a free one)
    store_server.py --daemon --pid-file P ...                  serve in the background once listening
    store_server.py --stop --pid-file P                        stop a background server
    store_server.py --self-test                                check the CartState encoder

Pages:
    /store/ping.aspx                       200 "OK"
    /store/IEEngineHandler.aspx?call=...   CartState replies for silentcheckforupdate,
                                           CHECKFORIEENGINEUPDATE and layoutSize (see SCENARIOS)
    /cartstate?KEY=VALUE&...               a CartState holding the given keys
    /body?size=N[&length=M|none][&status=S][&stall=SECONDS][&wait=SECONDS][&drip=SECONDS]
                                           N bytes; Content-Length N, M (a lie) or none;
                                           a stall after the bytes before closing, a wait
                                           before the reply begins, a pause before each byte
    /framing?reply=NAME                    a reply framed as RAW_REPLIES[NAME] frames it
    /auth?code=401|407                     an authentication demand
    /flaky?marker=M&size=N                 the first request of a marker breaks off after more
                                           bytes than later ones send in full
    /files/NAME?size=N[&length=none]       a file of N bytes to download (a build of the engine)
    /_requests                             the request lines received so far, one a line
"""
import argparse
import base64
import os
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, urlsplit

SANITY = 0xAE


def encode_cartstate(entries):
    """The binary CartState blob of (key, value) pairs, as bytes."""
    body = bytearray()
    for key, value in entries:
        for field in (key, value):
            data = field.encode("latin-1") if isinstance(field, str) else bytes(field)
            body += struct.pack("<H", len(data)) + data
            if len(data) % 2:
                body += b"\0"
    padded = bytes(body) + b"\0" * (-len(body) % 4)
    checksum = 0
    for (word,) in struct.iter_unpack("<I", padded):
        checksum ^= word
    header = struct.pack("<IHBBI", 12 + len(body), len(entries), SANITY, 0, checksum)
    return header + bytes(body)


def cartstate_text(entries):
    return base64.b64encode(encode_cartstate(entries)).decode("ascii")


def self_test():
    text = cartstate_text([("HEIGHT", "480"), ("WIDTH", "640")])
    expected = "KAAAAAIArgBVOkZ9BgBIRUlHSFQDADQ4MAAFAFdJRFRIAAMANjQwAA=="
    blob = encode_cartstate([("HEIGHT", "480"), ("WIDTH", "640")])
    if text != expected or blob[8:12] != bytes.fromhex("553A467D") or len(blob) != 40:
        print("CartState encoder: got %s, expected %s" % (text, expected))
        return 1
    print("CartState encoder: worked example matches")
    return 0


# The silent update check answers by the seller id `s` it is sent ("garbage":
# no CartState, "auth": a 401, "slow": "False" after two seconds).
SILENT_CHECK_ANSWERS = {
    "update": [("UPDATEAVAILABLE", "True")],
    "noupdate": [("UPDATEAVAILABLE", "False")],
    "lowercase": [("UPDATEAVAILABLE", "true")],
    "truex": [("UPDATEAVAILABLE", "TrueX")],
    "long": [("UPDATEAVAILABLE", "TrueTrueTrueTrue")],
    "empty": [("UPDATEAVAILABLE", "")],
    "nokey": [("PAGENAME", "CHECK"), ("UPDATE", "True")],
}

ALPHABET = b"abcdefghijklmnopqrstuvwxyz"

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

FILE_PATTERN = bytes(range(256)) * 256  # 64 KiB


def file_bytes(name, size):
    """A deterministic file body: a pattern that starts at an offset set by the name."""
    offset = sum(name.encode()) % 251
    pattern = FILE_PATTERN[offset:] + FILE_PATTERN[:offset]
    while size > 0:
        piece = pattern[: min(size, len(pattern))]
        size -= len(piece)
        yield piece


class StoreHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; without this the second
    # waits for the client's delayed acknowledgement.
    disable_nagle_algorithm = True
    server_version = "StoreServer/1.0"

    def setup(self):
        # A connection that opens with a TLS handshake record gets HTTPS.
        context = self.server.tls_context
        if context is not None:
            try:
                first = self.request.recv(1, socket.MSG_PEEK)
            except OSError:
                first = b""
            if first == b"\x16":
                self.request = context.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, fmt, *args):
        pass

    def log_request_line(self):
        with self.server.log_lock:
            self.server.request_log.append(self.requestline)
            if self.server.log_file:
                self.server.log_file.write(self.requestline + "\n")
                self.server.log_file.flush()

    def do_GET(self):
        self.log_request_line()
        url = urlsplit(self.path)
        # Values are taken as sent: "&" splits them, as it does for the store.
        query = dict(parse_qsl(url.query, keep_blank_values=True))
        handler = {
            "/store/ping.aspx": self.ping,
            "/store/IEEngineHandler.aspx": self.engine_handler,
            "/cartstate": self.cartstate,
            "/body": self.body,
            "/auth": self.auth,
            "/flaky": self.flaky,
            "/framing": self.framing,
            "/_requests": self.requests,
        }.get(url.path)
        if handler is None and url.path.startswith("/files/"):
            return self.file(url.path[len("/files/"):], query)
        if handler is None:
            return self.reply(404, b"<html><body>Not found</body></html>", content_type="text/html")
        return handler(query)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.rfile.read(length)
        self.do_GET()

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

    def engine_handler(self, query):
        call = query.get("call", "")
        if call == "silentcheckforupdate":
            answer = query.get("s", "")
            if answer == "garbage":
                return self.reply(200, b"<html>this is not a cart state</html>", content_type="text/html")
            if answer == "auth":
                return self.auth({"code": "401"})
            if answer == "slow":
                time.sleep(2)
            entries = SILENT_CHECK_ANSWERS.get(answer, [("UPDATEAVAILABLE", "False")])
        elif call == "CHECKFORIEENGINEUPDATE":
            url = ""
            if query.get("vnidc") == "update":
                url = "http://%s/files/ZunServer-next.bin?size=65536" % self.headers.get("Host", "")
            entries = [("DOWNLOADURL", url)]
        elif call == "layoutSize":
            entries = [("HEIGHT", "600"), ("WIDTH", "800"), ("I_WIDTH", "640"), ("I_HEIGHT", "480"),
                       ("PUBLISHERID", "orvella-publisher")]
        else:
            return self.reply(404, b"unknown call")
        self.reply(200, cartstate_text(entries).encode("ascii"))

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
        with self.server.log_lock:
            first = marker not in self.server.flaky_markers
            self.server.flaky_markers.add(marker)
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
        size = int(query.get("size", "65536"))
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if query.get("length") == "none":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        for piece in file_bytes(name, size):
            self.wfile.write(piece)

    def requests(self, query):
        with self.server.log_lock:
            text = "\n".join(self.server.request_log) + "\n"
        self.reply(200, text.encode("latin-1"))


class StoreServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, log_path):
        super().__init__(("127.0.0.1", port), StoreHandler)
        self.log_lock = threading.Lock()
        self.request_log = []
        self.flaky_markers = set()
        self.log_file = open(log_path, "a") if log_path else None
        self.tls_context = make_tls_context()


class Ipv6StoreServer(ThreadingHTTPServer):
    """The same store on ::1, sharing the IPv4 server's log and state."""
    daemon_threads = True
    allow_reuse_address = True
    address_family = socket.AF_INET6

    def __init__(self, port, shared):
        super().__init__(("::1", port), StoreHandler)
        self.shared = shared

    def __getattr__(self, name):
        return getattr(self.shared, name)

    def handle_error(self, request, client_address):
        pass

    def handle_error(self, request, client_address):
        # Clients that give up mid-reply (tests closing sessions) are normal.
        pass


def make_tls_context():
    """A server context with a fresh self-signed certificate, or None."""
    openssl = shutil.which("openssl")
    if openssl is None:
        return None
    with tempfile.TemporaryDirectory() as directory:
        key = os.path.join(directory, "key.pem")
        certificate = os.path.join(directory, "certificate.pem")
        made = subprocess.run(
            [openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
             "-keyout", key, "-out", certificate],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if made.returncode != 0:
            return None
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)
        return context


def serve(args, ready=None):
    server = StoreServer(args.port, args.log)
    port = server.server_address[1]
    address = "127.0.0.1:%d" % port
    try:
        ipv6 = Ipv6StoreServer(port, server)
        threading.Thread(target=ipv6.serve_forever, daemon=True).start()
    except OSError:
        pass
    if args.address_file:
        with open(args.address_file, "w") as out:
            out.write(address + "\n")
    print("store server listening on %s" % address, flush=True)
    if ready is not None:
        os.write(ready, b"1")
        os.close(ready)
    signal.signal(signal.SIGTERM, lambda *unused: threading.Thread(target=server.shutdown).start())
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()
    return 0


def daemonize(args):
    """Serves in a child process and returns once it listens."""
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
    parser.add_argument("--address-file", help="write host:port here once listening")
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
    if args.daemon:
        return daemonize(args)
    return serve(args)


if __name__ == "__main__":
    sys.exit(main())
