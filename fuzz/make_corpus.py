#!/usr/bin/env python3
"""Writes the fuzzers' seeds: small game lists, valid and broken, in XML and in
the binary form (encoded here by hand, so broken ones can be made), for the
plist and bplist targets; and bits of emulator output for the log target.
Usage: fuzz/make_corpus.py [FOLDER [LOG_FOLDER]]
(default: fuzz/corpus and fuzz/corpus-log next to this file)"""

import os
import struct
import sys

HEAD = '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n'
TAIL = "\n</plist>\n"


def xml(body):
    return (HEAD + body + TAIL).encode()


RECORD = """<dict>
\t<key>name</key><string>{name}</string>
\t<key>title</key><string>{title}</string>
\t<key>year</key><integer>{year}</integer>
\t<key>maker</key><string>Example Works</string>
\t<key>players</key><integer>2</integer>
\t<key>rating</key><real>{rating}</real>
\t<key>added</key><date>2011-03-04T05:06:07Z</date>
\t<key>icon</key><data>iVBORw0KGgo=</data>
\t<key>favourite</key><{fav}/>
</dict>"""


def record(name, title, year, rating, fav=True):
    return RECORD.format(name=name, title=title, year=year, rating=rating,
                         fav="true" if fav else "false")


XML = {
    "list-three.xml": xml("<array>\n" + "\n".join([
        record("astrovex", "Astro Vex", 1987, 4.5),
        record("boltrunner", "Bolt Runner &amp; Co", 1991, -0.0, False),
        record("caf\u00e9kai", "Caf\u00e9 \U0001D11E", 1979, 1e300),
    ]) + "\n</array>"),
    "list-empty.xml": xml("<array/>"),
    "list-mixed-elements.xml": xml("<array><string>x</string><integer>-1</integer>"
                                   "<dict/><array><true/></array></array>"),
    "list-odd-names.xml": xml("<array><dict><key>name</key><string></string></dict>"
                              "<dict><key>name</key><string>/lead</string></dict>"
                              "<dict><key>name</key><string>a/../b</string></dict>"
                              "<dict><key>name</key><string>../x</string></dict>"
                              "<dict><key>name</key><string>../snaps/./y</string></dict>"
                              "<dict><key>name</key><integer>5</integer></dict></array>"),
    "root-dict.xml": xml("<dict><key>a</key><string>b</string></dict>"),
    "edges.xml": xml("<array><integer>-9223372036854775808</integer>"
                     "<integer>18446744073709551615</integer><integer>0x1F</integer>"
                     "<real>-1.5e-300</real><real>nan</real><real>-inf</real>"
                     "<date>-0001-03-01T00:00:00.5Z</date><date>12345-06-07T08:09:10Z</date>"
                     "<date>2000-12-31T23:59:59.000000001Z</date>"
                     "<data>AAEC\n AwQ=</data><data></data></array>"),
    "text-forms.xml": ("\ufeff<?xml version='1.0' encoding='utf-8'?>\n"
                       "<!DOCTYPE plist PUBLIC \"-//Example//DTD PLIST 1.0//EN\" "
                       "\"http://example.org/plist.dtd\">\n<!-- c --><?pi x?>\n"
                       "<plist version=\"1.0\"><array><string>a&#13;b&#x1F600;&lt;&gt;"
                       "&quot;&apos;<![CDATA[<x>&]]><!-- in --></string>"
                       "<string>  </string></array></plist>").encode(),
    "nested.xml": xml("<array>" * 20 + "</array>" * 20),
    "crlf.xml": xml("<array>\r\n<string>a\r\nb\rc</string>\r\n</array>").replace(b"\n", b"\r\n"),
    # Broken ones: each must be refused, never read as something else.
    "bad-truncated.xml": xml("<array><dict><key>name</key><string>abc")[:-12],
    "bad-entities.xml": (b'<?xml version="1.0"?>\n<!DOCTYPE plist [\n'
                         b'<!ENTITY a "aaaaaaaaaa">\n<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">\n'
                         b'<!ENTITY c SYSTEM "file:///etc/passwd">\n]>\n'
                         b'<plist><array><string>&b;&c;</string></array></plist>'),
    "bad-unknown-entity.xml": xml("<array><string>&nbsp;</string></array>"),
    "bad-utf8.xml": xml("<array><string>a</string></array>").replace(b">a<", b">\xc3\x28\xed\xa0\x80<"),
    "bad-duplicate-key.xml": xml("<array><dict><key>name</key><string>a</string>"
                                 "<key>name</key><string>b</string></dict></array>"),
    "bad-integer.xml": xml("<array><integer>18446744073709551616</integer></array>"),
    "bad-date.xml": xml("<array><date>2023-02-29T00:00:00Z</date>"
                        "<date>99999999999999-01-01T00:00:00Z</date></array>"),
    "bad-base64.xml": xml("<array><data>AA=A</data></array>"),
    "bad-mismatch.xml": xml("<array><string>a</strin></array>"),
    "bad-utf16.xml": "<?xml version=\"1.0\"?><plist><array/></plist>".encode("utf-16"),
}


class Binary:
    """A binary property list assembled from encoded objects (index = reference)."""

    def __init__(self, ref_size=1, offset_size=2):
        self.objects = []
        self.ref_size = ref_size
        self.offset_size = offset_size

    def add(self, encoded):
        self.objects.append(encoded)
        return len(self.objects) - 1

    def ref(self, r):
        return r.to_bytes(self.ref_size, "big")

    def build(self, top=0, count=None, table=None, offsets=None):
        out = bytearray(b"bplist00")
        offs = []
        for o in self.objects:
            offs.append(len(out))
            out += o
        if offsets:
            offs = [offsets.get(i, o) for i, o in enumerate(offs)]
        table_at = len(out)
        for o in offs:
            out += o.to_bytes(self.offset_size, "big")
        out += bytes(6) + bytes([self.offset_size, self.ref_size])
        out += struct.pack(">QQQ", len(offs) if count is None else count, top,
                           table_at if table is None else table)
        return bytes(out)


def length(marker, n):
    if n < 15:
        return bytes([marker | n])
    for p, size in enumerate((1, 2, 4, 8)):
        if n < 1 << (8 * size):
            return bytes([marker | 0xF, 0x10 | p]) + n.to_bytes(size, "big")
    raise ValueError(n)


def ascii_str(s):
    return length(0x50, len(s)) + s.encode("ascii")


def utf16_str(s):
    b = s.encode("utf-16-be")
    return length(0x60, len(b) // 2) + b


def integer(v, size=8):
    p = {1: 0, 2: 1, 4: 2, 8: 3, 16: 4}[size]
    return bytes([0x10 | p]) + (v % (1 << (8 * size))).to_bytes(size, "big")


def container(marker, refs, b):
    """An array, or a dictionary given its key references then its values."""
    n = len(refs) // 2 if marker == 0xD0 else len(refs)
    return length(marker, n) + b"".join(b.ref(r) for r in refs)


def game_list_binary(b, names):
    """An array of game records sharing their keys, as writers do."""
    top = b.add(b"")
    keys = [b.add(ascii_str(k)) for k in ("name", "year", "rating", "added", "icon", "s")]
    records = []
    for i, name in enumerate(names):
        vals = [b.add(name), b.add(integer(1980 + i, 2)),
                b.add(b"\x23" + struct.pack(">d", 0.5 * i)),
                b.add(b"\x33" + struct.pack(">d", 3.0e8 + i * 0.25)),
                b.add(length(0x40, 3) + b"\x00\x01\xff"), b.add(b"\x09")]
        records.append(b.add(container(0xD0, keys + vals, b)))
    b.objects[top] = container(0xA0, records, b)
    return b


def binaries():
    out = {}
    out["bin-list.bplist"] = game_list_binary(
        Binary(), [ascii_str("astrovex"), utf16_str("caf\u00e9\U0001D11E"), ascii_str("")]).build()
    wide = Binary(ref_size=2)
    game_list_binary(wide, [ascii_str("n%d" % i) for i in range(3)])
    out["bin-list-wide-refs.bplist"] = wide.build()

    kinds = Binary()
    items = [kinds.add(integer(-1)), kinds.add(integer(255, 1)), kinds.add(integer(2**64 - 1, 16)),
             kinds.add(integer(-2**63, 16)), kinds.add(b"\x22" + struct.pack(">f", -0.0)),
             kinds.add(b"\x33" + struct.pack(">d", -1e15)), kinds.add(b"\x08"),
             kinds.add(length(0x40, 20) + bytes(range(20))), kinds.add(ascii_str("x" * 20)),
             kinds.add(container(0xA0, [], kinds)), kinds.add(container(0xD0, [], kinds))]
    kinds.objects.insert(0, b"")
    items = [i + 1 for i in items]
    kinds.objects[0] = container(0xA0, items, kinds)
    out["bin-kinds.bplist"] = kinds.build()

    def simple(objects, **kw):
        b = Binary()
        for o in objects:
            b.add(o)
        return b.build(**kw)

    out["bin-root-dict.bplist"] = simple([b"\xD1\x01\x02", ascii_str("name"), ascii_str("solo")])
    nul = Binary()
    game_list_binary(nul, [ascii_str("ab\x00cd"), utf16_str("x\u0000"), ascii_str("/")])
    out["bin-odd-names.bplist"] = nul.build()
    # Broken ones.
    out["bad-bin-offset.bplist"] = simple([b"\xA1\x01", b"\x09"], offsets={1: 0xFFFF})
    out["bad-bin-ref.bplist"] = simple([b"\xA2\x01\x07", b"\x09"])
    out["bad-bin-cycle.bplist"] = simple([b"\xA1\x01", b"\xA1\x00"])
    out["bad-bin-huge-count.bplist"] = simple([b"\xAF\x13" + (2**62).to_bytes(8, "big"), b"\x09"])
    out["bad-bin-huge-string.bplist"] = simple([b"\xA1\x01", b"\x5F\x13" + (2**63).to_bytes(8, "big")])
    out["bad-bin-trailer.bplist"] = simple([b"\x09"], count=2**40)
    out["bad-bin-table.bplist"] = simple([b"\x09"], table=3)
    out["bad-bin-uid-set.bplist"] = simple([b"\xA2\x01\x02", b"\x80\x01", b"\xC1\x01"])
    out["bad-bin-dup-key.bplist"] = simple([b"\xD2\x01\x01\x02\x02", ascii_str("k"), b"\x09"])
    out["bad-bin-int128.bplist"] = simple([b"\xA1\x01", integer(2**64, 16)])
    out["bad-bin-date.bplist"] = simple([b"\xA2\x01\x02", b"\x33" + struct.pack(">d", 0.1),
                                         b"\x33" + struct.pack(">d", 1e300)])
    out["bad-bin-utf16.bplist"] = simple([b"\xA1\x01", b"\x61\xD8\x00"])
    out["bad-bin-truncated.bplist"] = out["bin-list.bplist"][:-40]
    return out


# The log target's input: a byte choosing the chunking, a byte choosing a
# selection, then the stream as an emulator would print it.
def log_input(knob, choice, stream):
    return bytes([knob, choice]) + stream


LOG = {
    "lines.bin": log_input(0x05, 0x3C, b"line one\nline two\r\nthird\rfourth"),
    "crlf-cut.bin": log_input(0x00, 0x0F, b"a\r\nb\r\n\r\n\r\rc"),
    "characters.bin": log_input(0x42, 0x18, "\ufeffcaf\u00e9 \u20ac \U0001F600\n".encode()),
    "bom-lines.bin": log_input(0x81, 0x2E, b"\xEF\xBB\xBF\n\xEF\xBB\xBFx\r\n\xEF\xBB\xBF"),
    "ill-formed.bin": log_input(0x03, 0x5A, b"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"
                                b"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xF0\x9F\x98"),
    "controls.bin": log_input(0x10, 0x07, b"\tx\t\x01\x7F\x1B[0m end\n\t\t"),
    "long-line.bin": log_input(0xC8, 0x1F, b"x" * 300 + b"\n" + "\u00e9".encode() * 100),
}


def write(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(files.items()):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    print("%d files in %s" % (len(files), folder))


def main():
    here = os.path.dirname(__file__)
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus")
    log_folder = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "corpus-log")
    files = dict(XML)
    files.update(binaries())
    write(folder, files)
    write(log_folder, LOG)


if __name__ == "__main__":
    main()
