"""Replies of "/store/IEEngineHandler.aspx", the page the engine queries.

The caller's vantorID travels in every query ("s" or "vnidc"); its words,
split at "-", choose the reply, so one test record can ask for, say, an
engine update and a layout without publisher ("update-nopublisher").

    call=silentcheckforupdate  s is one whole word of SILENT_CHECK_ANSWERS,
                               "garbage" (a page that is no CartState),
                               "auth" (a 401) or "slow" (no update, after
                               SLOW_SECONDS); anything else: no update
    call=CHECKFORIEENGINEUPDATE  DOWNLOADURL empty, unless vnidc has the word
        update          DOWNLOADURL names the engine file (the first
                        --engine-file, or a made-up 64 KiB build) at
                        /files/NAME on this server, and DOWNLOADSIGNATURE
                        signs it with the development key
        sameversion     the second --engine-file is offered instead
        randombytes     the made-up build is offered, whatever --engine-file says
        oversize        a made-up build of 64 MiB and one byte is offered
        unsigned        the reply has no DOWNLOADSIGNATURE
        untrusted       the file is signed with a key nobody trusts
        tampered        the file is served with one byte changed
        nodownloadurl   the reply has no DOWNLOADURL
        dropdownload    the file's connection breaks off after half its bytes
        stalldownload   the file stops for STALL_SECONDS after half its bytes
        nolength        the file comes without Content-Length
        stallupdate     the reply begins only after STALL_SECONDS
    call=layoutSize     HEIGHT 600, WIDTH 800, I_WIDTH 640, I_HEIGHT 480,
                        PUBLISHERID "orvella-publisher" and CERTIFICATEBLOB,
                        the secure store's certificate (base64 DER), unless s
                        has the word
        emptypublisher  PUBLISHERID is empty
        nopublisher     no PUBLISHERID
        nocertificate   no CERTIFICATEBLOB
        textsizes       sizes that are not numbers ("600px", "wide", "", "0x1E0")
        hugesizes       sizes beyond any screen and beyond 32 bits, some longer
                        than the engine's 8-byte fields
        stalllayout     the reply begins only after STALL_SECONDS
"""
import os
import time

from cartstate import cartstate_text
from update_signing import Signer

STALL_SECONDS = 60
SLOW_SECONDS = 2
MADE_UP_ENGINE = ("ZunServer-next.bin", 65536)
OVERSIZE = 64 * 1024 * 1024 + 1

# The silent update check answers by the seller id `s` it is sent.
SILENT_CHECK_ANSWERS = {
    "update": [("UPDATEAVAILABLE", "True")],
    "noupdate": [("UPDATEAVAILABLE", "False")],
    "lowercase": [("UPDATEAVAILABLE", "true")],
    "truex": [("UPDATEAVAILABLE", "TrueX")],
    "long": [("UPDATEAVAILABLE", "TrueTrueTrueTrue")],
    "empty": [("UPDATEAVAILABLE", "")],
    "nokey": [("PAGENAME", "CHECK"), ("UPDATE", "True")],
}

LAYOUT_SIZES = {
    "default": ["600", "800", "640", "480"],
    "textsizes": ["600px", "wide", "", "0x1E0"],
    "hugesizes": ["99999999999999999999", "2147483648", "4294967295", "-2147483649"],
}


def words(value):
    return set(value.split("-"))


SIGNER = Signer()
FILE_PATTERN = bytes(range(256)) * 256  # 64 KiB


class PatternFile:
    """A made-up file: a pattern that starts at an offset set by the name."""

    def __init__(self, name):
        offset = sum(name.encode()) % 251
        self.pattern = FILE_PATTERN[offset:] + FILE_PATTERN[:offset]
        self.position = 0

    def read(self, size):
        start = self.position % len(self.pattern)
        piece = (self.pattern[start:] + self.pattern * (size // len(self.pattern) + 1))[:size]
        self.position += len(piece)
        return piece

    def close(self):
        pass


class FlippedByte:
    """A file whose byte at one offset comes with its bits flipped."""

    def __init__(self, source, offset):
        self.source, self.offset, self.position = source, offset, 0

    def read(self, size):
        piece = bytearray(self.source.read(size))
        if self.position <= self.offset < self.position + len(piece):
            piece[self.offset - self.position] ^= 0xFF
        self.position += len(piece)
        return bytes(piece)

    def close(self):
        self.source.close()


def offered_file(engine_files, chosen):
    """The index of the offered engine file in engine_files, or None for a made-up one."""
    if "randombytes" in chosen or "oversize" in chosen:
        return None
    which = 1 if "sameversion" in chosen else 0
    return which if which < len(engine_files) else None


def file_bytes(engine_files, which, name):
    """The bytes /files/NAME?which=... serves, as a file object."""
    return open(engine_files[which], "rb") if which is not None else PatternFile(name)


def made_up_size(chosen):
    return OVERSIZE if "oversize" in chosen else MADE_UP_ENGINE[1]


def download_url(host, chosen, engine_files):
    which = offered_file(engine_files, chosen)
    name = os.path.basename(engine_files[which]) if which is not None else MADE_UP_ENGINE[0]
    size = os.path.getsize(engine_files[which]) if which is not None else made_up_size(chosen)
    url = "http://%s/files/%s?size=%d" % (host, name, size)
    if which is not None:
        url += "&which=%d" % which
    if "tampered" in chosen:
        url += "&flip=%d" % (size // 2)
    if "dropdownload" in chosen:
        url += "&drop=%d" % (size // 2)
    if "stalldownload" in chosen:
        url += "&stall=%d" % STALL_SECONDS
    if "nolength" in chosen:
        url += "&length=none"
    return url


def update_entries(query, host, engine_files):
    chosen = words(query.get("vnidc", ""))
    if "nodownloadurl" in chosen:
        return [("PAGENAME", "CHECKFORIEENGINEUPDATE")]
    if "update" not in chosen:
        return [("DOWNLOADURL", "")]
    entries = [("DOWNLOADURL", download_url(host, chosen, engine_files))]
    if "unsigned" not in chosen:
        which = offered_file(engine_files, chosen)
        name, size = MADE_UP_ENGINE[0], made_up_size(chosen)

        def read():
            source = file_bytes(engine_files, which, name)
            try:
                return source.read(size if which is None else -1)
            finally:
                source.close()
        identity = ("file", which) if which is not None else ("made-up", size)
        entries.append(("DOWNLOADSIGNATURE", SIGNER.sign(identity, read, trusted="untrusted" not in chosen)))
    return entries


def layout_entries(query, certificate):
    chosen = words(query.get("s", ""))
    sizes = next((LAYOUT_SIZES[word] for word in ("textsizes", "hugesizes") if word in chosen),
                 LAYOUT_SIZES["default"])
    entries = list(zip(("HEIGHT", "WIDTH", "I_WIDTH", "I_HEIGHT"), sizes))
    if "emptypublisher" in chosen:
        entries.append(("PUBLISHERID", ""))
    elif "nopublisher" not in chosen:
        entries.append(("PUBLISHERID", "orvella-publisher"))
    if certificate is not None and "nocertificate" not in chosen:
        entries.append(("CERTIFICATEBLOB", certificate.text))
    return entries


def answer(handler, query):
    """Replies to one engine query through the request handler."""
    call = query.get("call", "")
    state = handler.server.state
    if call == "silentcheckforupdate":
        seller = query.get("s", "")
        if seller == "garbage":
            return handler.reply(200, b"<html>this is not a cart state</html>", content_type="text/html")
        if seller == "auth":
            return handler.auth({"code": "401"})
        if seller == "slow":
            time.sleep(SLOW_SECONDS)
        entries = SILENT_CHECK_ANSWERS.get(seller, [("UPDATEAVAILABLE", "False")])
    elif call == "CHECKFORIEENGINEUPDATE":
        if "stallupdate" in words(query.get("vnidc", "")):
            time.sleep(STALL_SECONDS)
        entries = update_entries(query, handler.headers.get("Host", ""), state.engine_files)
    elif call == "layoutSize":
        if "stalllayout" in words(query.get("s", "")):
            time.sleep(STALL_SECONDS)
        entries = layout_entries(query, state.certificate)
    else:
        return handler.reply(404, b"unknown call")
    handler.reply(200, cartstate_text(entries).encode("ascii"))
