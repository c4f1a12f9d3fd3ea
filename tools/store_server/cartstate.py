"""The CartState blob: the key/value state the store hands the engine, as
binary and as base64 text."""
import base64
import struct

SANITY = 0xAE


def encode_cartstate(entries):
    """The binary CartState blob of (key, value) pairs, as bytes.

    Texts go in as latin-1, so every byte of a value the store received comes
    back unchanged.
    """
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
    print("CartState encoder: reference blob matches")
    return 0
