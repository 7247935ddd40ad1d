#!/usr/bin/env python3
"""Writes the seeds of the launcher's own two fuzz targets: messages a later
start sends to the running launcher (fuzz/corpus-instancemessage/) and command
lines, arguments separated by NUL bytes (fuzz/corpus-commandline/)."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def message(paths, version=1, count=None, tail=b""):
    body = bytes([version, len(paths) if count is None else count])
    for path in paths:
        raw = path if isinstance(path, bytes) else path.encode()
        body += struct.pack(">H", len(raw)) + raw
    body += tail
    return struct.pack(">I", len(body)) + body


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


write(os.path.join(here, "corpus-instancemessage"), {
    "show-only": message([]),
    "one-rom": message(["/home/ana/ROMs/astrovex.zip"]),
    "odd-names": message(["/r/with blanks/new\nline.zip", "/r/caf\u00e9 \u65e5\u672c.zip", "/"]),
    "eight": message(["/r/%d.zip" % i for i in range(8)]),
    "nine": message(["/r/%d.zip" % i for i in range(9)]),
    "longest-path": message(["/" + "x" * 4095]),
    "too-long-path": message(["/" + "x" * 4096]),
    "relative": message(["astrovex.zip"]),
    "nul": message([b"/a\x00b.zip"]),
    "bad-utf8": message([b"/caf\xc3.zip"]),
    "overlong-utf8": message([b"/\xc0\xaf.zip"]),
    "version-2": message(["/a.zip"], version=2),
    "count-too-high": message(["/a.zip"], count=2),
    "trailing": message(["/a.zip"], tail=b"!"),
    "cut-short": message(["/home/ana/ROMs/astrovex.zip"])[:-5],
    "huge-length": b"\x7f\xff\xff\xff\x01\x00",
    "two-messages": message([]) + message([]),
    "text": b"--version\n",
})

write(os.path.join(here, "corpus-commandline"), {
    "none": b"",
    "rom": b"astrovex.zip",
    "absolute-rom": b"/srv/roms/bolt runner.zip",
    "url": b"file:///srv/roms/caf%C3%A9.zip",
    "help": b"--help",
    "short-help": b"-h\x00a.zip",
    "version": b"--version",
    "compact": b"-hv",
    "unknown": b"--bogus",
    "value": b"--version=2",
    "two-roms": b"a.zip\x00b.zip",
    "dash-dash": b"--\x00-odd.zip",
    "empty-argument": b"\x00",
    "latin1": b"\xe9t\xe9.zip",
    # Found by the fuzzer: a name taken for a resource path, a "file:" that is no URL.
    "colon": b":",
    "relative-file-url": b"file:'/?s\x13/?s",
})
