#!/usr/bin/env python3
"""Writes the seeds of the game-list cache's fuzz target into
fuzz/corpus-gamelistcache/. A seed's first byte chooses what the rest is:
0 and four bytes that choose a cut and a changed byte, then a list file (XML or
binary); 1, then a cache as found on disk. Caches are encoded here, apart from
the launcher's encoder, with a zero checksum: the target computes it."""
import datetime
import os
import plistlib
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus-gamelistcache")

GAME = {"name": "astrovex", "description": "Astrovex \u2605", "year": "1987",
        "manufacturer": "Example Arcade", "url": "https://example.org/astrovex"}
EVERY_KIND = {"name": "boltrunner", "players": 2, "negative": -(2 ** 63), "big": 2 ** 64 - 1,
              "rating": 4.5, "favourite": True, "hidden": False,
              "added": datetime.datetime(2024, 2, 29, 12, 30, 5),
              "snapshot": b"\x89PNG\x00\x01", "parts": [1, "two", [], {}],
              "inner": {"name": "inner", "year": 3}}


def leb(n):
    out = bytearray()
    while n >= 0x80:
        out.append(n & 0x7F | 0x80)
        n >>= 7
    out.append(n)
    return bytes(out)


def head(kind, n):
    return bytes([kind | n << 4]) if n < 15 else bytes([kind | 0xF0]) + leb(n - 15)


class Cache:
    def __init__(self):
        self.keys = []

    def value(self, v):
        if isinstance(v, bool):
            return head(4, int(v))
        if isinstance(v, int):
            return head(2, -v) if v < 0 else head(1, v)
        if isinstance(v, float):
            return head(3, 0) + struct.pack("<d", v)
        if isinstance(v, str):
            b = v.encode()
            return head(0, len(b)) + b
        if isinstance(v, bytes):
            return head(6, len(v)) + v
        if isinstance(v, datetime.datetime):
            seconds = int((v - datetime.datetime(2001, 1, 1)).total_seconds())
            return head(5, 0) + struct.pack("<qI", seconds, 0)
        if isinstance(v, list):
            return head(7, len(v)) + b"".join(self.value(x) for x in v)
        out = head(8, len(v))
        for k in v:
            if k not in self.keys:
                self.keys.append(k)
            out += leb(self.keys.index(k))
        return out + b"".join(self.value(x) for x in v.values())

    def encode(self, records, size=0, digest=(0, 0), body_extra=b"", count=None):
        body = b"".join(self.value(r) for r in records) + body_extra
        table = leb(len(self.keys)) + b"".join(leb(len(k.encode())) + k.encode() for k in self.keys)
        payload = table + body
        header = b"KDLCACHE" + struct.pack("<IIQQQQQQ", 1, 0, size, digest[0], digest[1],
                                           len(records) if count is None else count,
                                           len(payload), 0)
        return header + payload


def cache(records, **kw):
    return b"\x01" + Cache().encode(records, **kw)


def xml(value):
    # Without a document type line: the reader needs none.
    lines = plistlib.dumps(value, sort_keys=False).split(b"\n")
    return b"\n".join(line for line in lines if not line.startswith(b"<!DOCTYPE"))


def listfile(data, choice=0x12345678):
    return b"\x00" + struct.pack("<I", choice) + data


SEEDS = {
    "list-two-games.xml": listfile(xml([GAME, dict(GAME, name="cometkai")])),
    "list-every-kind.xml": listfile(xml([EVERY_KIND, "loose", []]), 0xE0031000),
    "list-every-kind.bplist": listfile(plistlib.dumps([EVERY_KIND, GAME], fmt=plistlib.FMT_BINARY,
                                                      sort_keys=False), 0x20000040),
    "list-empty.xml": listfile(xml([])),
    "list-not-a-list.xml": listfile(xml({"name": "x"})),
    "cache-two-games": cache([GAME, dict(GAME, name="cometkai")], size=1234, digest=(5, 6)),
    "cache-every-kind": cache([EVERY_KIND, "loose", [[[]]]]),
    "cache-empty": cache([]),
    "cache-deep": cache([[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]),
    "cache-trailing": cache([GAME], body_extra=b"\x04"),
    "cache-long-strings": cache([{"name": "n" * 300, "description": "\u00e9" * 40}]),
    "cache-header-only": b"\x01" + Cache().encode([])[:64],
}
# Damaged by hand: a duplicate key, text that is not UTF-8, a huge count.
SEEDS["cache-duplicate-key"] = SEEDS["cache-two-games"].replace(b"\x58\x00\x01\x02", b"\x58\x00\x00\x02", 1)
SEEDS["cache-bad-utf8"] = SEEDS["cache-two-games"].replace(b"\xe2\x98\x85", b"\xe2\x98\x28")
SEEDS["cache-huge-count"] = cache([], count=1, body_extra=b"\xf7" + leb(2 ** 62))


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
