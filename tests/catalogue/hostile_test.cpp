// Game-list files made to hurt: whatever they hold, the launcher gives an
// error or the exact value, never a crash, a hang or a changed record.

#include "catalogue/gamelist.h"
#include "catalogue/plistwriter.h"
#include "plisttestutil.h"
#include "settings/pathops.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <bit>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

using namespace kd;
using namespace kd::plist;
using namespace std::string_literals;
using kd::plist::test::dict;
using kd::plist::test::document;

namespace {

std::string be(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += i < 8 ? char((v >> (8 * i)) & 0xFF) : '\0';
    return s;
}

// A binary property list from encoded objects (index = reference), with the
// trailer's fields open to tampering.
struct Bplist {
    std::vector<std::string> objects;
    int refSize = 1;
    int offsetSize = 4;
    std::uint64_t top = 0;
    std::optional<std::uint64_t> count, table;
    std::vector<std::pair<std::size_t, std::uint64_t>> offsetOverrides;

    std::string ref(std::uint64_t r) const { return be(r, refSize); }
    std::string build() const {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const std::string& o : objects) {
            offsets.push_back(out.size());
            out += o;
        }
        for (const auto& [index, offset] : offsetOverrides)
            offsets[index] = offset;
        const std::uint64_t tableAt = out.size();
        for (const std::uint64_t o : offsets)
            out += be(o, offsetSize);
        out += std::string(6, '\0') + char(offsetSize) + char(refSize);
        out += be(count.value_or(objects.size()), 8) + be(top, 8) + be(table.value_or(tableAt), 8);
        return out;
    }
};

// A marker with its count, in the long form when it does not fit the nibble.
std::string counted(unsigned marker, std::uint64_t n) {
    if (n < 15)
        return std::string(1, char(marker | n));
    return std::string(1, char(marker | 0x0F)) + "\x13"s + be(n, 8);
}

std::string ascii(std::string_view s) {
    return counted(0x50, s.size()) + std::string(s);
}

std::string loadedName(const Value& record) {
    return *record.dictionary()->find("name")->string();
}

class HostileFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("Kaleidrome.xml"));
    }
    void put(const std::string& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes.data(), qsizetype(bytes.size())), qint64(bytes.size()));
    }

    QTemporaryDir dir;
    QString path;
};

} // namespace

// Found by the fuzzer: an empty name, or one of separators only, made the
// artwork path `<folder>.png` beside the folder, and a NUL (binary files can
// hold one) cut the ROM path short where the system reads it. Such records
// still load unchanged; they only have no name to form a path from.
TEST_F(HostileFile, NamesThatCannotNameAFileFormNoPath) {
    const std::string names[] = {""s, "/"s, "///"s, "ab\0cd"s, "\0"s, "/lead"s, "a b.c"s, ".."s};
    Bplist b;
    b.objects.push_back(""); // the list, filled in below
    b.objects.push_back(ascii("name"));
    std::string list = counted(0xA0, std::size(names));
    for (const std::string& name : names) {
        list += b.ref(b.objects.size());
        b.objects.push_back("\xD1\x01"s + b.ref(b.objects.size() + 1));
        b.objects.push_back(ascii(name));
    }
    b.objects[0] = list;
    put(b.build());

    const GameListLoad load = loadGameList(path);
    ASSERT_EQ(load.status, GameListLoad::Status::Loaded) << load.reason.toStdString();
    ASSERT_EQ(load.records.size(), std::size(names));
    const QString folder = QStringLiteral("/games/snaps");
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const Value& record = load.records[i];
        EXPECT_EQ(loadedName(record), names[i]);
        const std::optional<QString> name = gameName(record);
        const bool usable = i >= 5;
        ASSERT_EQ(name.has_value(), usable) << "record " << i;
        if (!usable)
            continue;
        const QString artwork =
            path::appendExtension(path::appendComponent(folder, *name), QStringLiteral("png"));
        EXPECT_TRUE(artwork.startsWith(folder + u'/')) << artwork.toStdString();
        EXPECT_TRUE(artwork.endsWith(
            QString::fromStdString(names[i]).mid(names[i].starts_with('/') ? 1 : 0) + u".png"))
            << artwork.toStdString();
    }
}

namespace {

// What a hostile document must come to: an error naming the problem, or
// exactly this value.
struct Case {
    const char* what;
    std::string bytes;
    std::variant<const char*, Value> outcome;
};

// Reads `c` whole, streamed and through a file, and checks that all three
// agree with the expected outcome; a value read must also survive a save.
void expectOutcome(const Case& c, const QString& path) {
    SCOPED_TRACE(c.what);
    const ReadResult r = read(c.bytes);
    std::vector<Value> streamed;
    const ArrayReadResult s =
        readArray(c.bytes, [&](Value&& v) { streamed.push_back(std::move(v)); });
    if (const char* const* needle = std::get_if<const char*>(&c.outcome)) {
        ASSERT_FALSE(r.value.has_value());
        EXPECT_NE(r.error.toStdString().find(*needle), std::string::npos) << r.error.toStdString();
        EXPECT_EQ(s.status, ArrayStatus::Error);
        return;
    }
    const Value& expected = std::get<Value>(c.outcome);
    ASSERT_TRUE(r.value.has_value()) << r.error.toStdString();
    EXPECT_EQ(*r.value, expected);
    std::string out;
    if (writeXml(*r.value, out)) {
        const ReadResult back = read(out);
        ASSERT_TRUE(back.value.has_value()) << back.error.toStdString();
        EXPECT_EQ(*back.value, expected);
    }
    if (!expected.array())
        return;
    EXPECT_EQ(s.status, ArrayStatus::Ok);
    EXPECT_EQ(streamed, *expected.array());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(c.bytes.data(), qsizetype(c.bytes.size()));
    f.close();
    const GameListLoad load = loadGameList(path);
    ASSERT_EQ(load.status, GameListLoad::Status::Loaded) << load.reason.toStdString();
    EXPECT_EQ(load.records, *expected.array());
}

std::string nested(const char* open, const char* close, int levels, std::string_view inner) {
    std::string s;
    s.reserve(std::size_t(levels) * (std::strlen(open) + std::strlen(close)) + inner.size());
    for (int i = 0; i < levels; ++i)
        s += open;
    s += inner;
    for (int i = 0; i < levels; ++i)
        s += close;
    return s;
}

// `levels` arrays, each holding the next, around a `true`.
std::string binaryNesting(int levels) {
    Bplist b;
    b.refSize = 3;
    for (int i = 0; i < levels; ++i)
        b.objects.push_back("\xA1"s + b.ref(std::uint64_t(i) + 1));
    b.objects.push_back("\x09");
    return b.build();
}

Value arrays(int levels, Value inner) {
    for (int i = 0; i < levels; ++i)
        inner = Array{std::move(inner)};
    return inner;
}

std::string binaryOf(std::vector<std::string> objects, int refSize = 1) {
    Bplist b;
    b.refSize = refSize;
    b.objects = std::move(objects);
    return b.build();
}

std::string binaryReal(unsigned marker, double d) {
    return std::string(1, char(marker)) + be(std::bit_cast<std::uint64_t>(d), 8);
}

std::string billionLaughs() {
    std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i < 10; ++i) {
        doc += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            doc += "&l" + std::to_string(i - 1) + ";";
        doc += "\">\n";
    }
    return doc + "]>\n<plist version=\"1.0\"><array><string>&l9;</string></array></plist>";
}

} // namespace

TEST_F(HostileFile, XmlMadeToExpandOrReachOutside) {
    const Case cases[] = {
        {"billion laughs", billionLaughs(), "declares entities"},
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "<plist><array><string>&x;</string></array></plist>",
         "declares entities"},
        {"parameter entity",
         "<!DOCTYPE plist [<!ENTITY % p SYSTEM \"http://example.org/p.dtd\"> %p;]>"
         "<plist><array/></plist>",
         "declares entities"},
        {"undeclared entity", document("<array><string>&l9;</string></array>"), "unknown entity"},
        // An external document type is never fetched: the list reads as written.
        {"external DTD only",
         "<!DOCTYPE plist SYSTEM \"http://example.org/never-fetched.dtd\">"
         "<plist><array><string>&amp;&#x41;</string></array></plist>",
         Value(Array{"&A"})},
    };
    for (const Case& c : cases)
        expectOutcome(c, path);
}

TEST_F(HostileFile, NestingFarBeyondTheLimit) {
    constexpr int kDeep = 100'000;
    const Case cases[] = {
        {"XML dictionaries", document(nested("<dict><key>k</key>", "</dict>", kDeep, "<true/>")),
         "nesting deeper"},
        {"XML inside a list element",
         document("<array><string>ok</string>" + nested("<array>", "</array>", kDeep, "") +
                  "</array>"),
         "nesting deeper"},
        {"XML unclosed", document(nested("<array>", "", kDeep, "")), "nesting deeper"},
        {"XML at the limit", document(nested("<array>", "</array>", kMaxDepth, "")),
         arrays(kMaxDepth - 1, Array{})},
        {"binary arrays", binaryNesting(kDeep), "nesting deeper"},
        {"binary at the limit", binaryNesting(kMaxDepth - 1), arrays(kMaxDepth - 1, true)},
    };
    for (const Case& c : cases)
        expectOutcome(c, path);
}

TEST_F(HostileFile, ValuesTheLauncherCannotHoldExactly) {
    const Case cases[] = {
        // Invalid UTF-8, wherever it hides.
        {"UTF-8 in a key", document("<dict><key>n\xFF</key><true/></dict>"), "UTF-8"},
        {"UTF-8 in CDATA", document("<string><![CDATA[\xE2\x82]]></string>"), "UTF-8"},
        {"UTF-8 beyond U+10FFFF", document("<string>\xF4\x90\x80\x80</string>"), "UTF-8"},
        {"UTF-8 five bytes", document("<string>\xF8\x88\x80\x80\x80</string>"), "UTF-8"},
        {"UTF-8 cut at the end", "<plist><string>\xE2\x82", "UTF-8"},
        {"binary high byte in ASCII", binaryOf({"\x52\x61\xE9"s}), "non-ASCII"},
        {"binary lone low surrogate", binaryOf({"\x61\xDC\x00"s}), "surrogate"},
        // Integers beyond 64 bits, and long spellings of ones within.
        {"XML 2^64 in hex", document("<integer>0x10000000000000000</integer>"), "64-bit"},
        {"XML 40 digits", document("<integer>1" + std::string(39, '0') + "</integer>"), "64-bit"},
        {"XML leading zeros", document("<integer>+" + std::string(40, '0') + "7</integer>"),
         Value(7)},
        {"binary -2^64+1", binaryOf({"\x14"s + be(~0ull, 8) + be(1, 8)}), "64-bit"},
        {"binary 32-byte integer", binaryOf({"\x15"s + std::string(32, '\0')}),
         "malformed integer"},
        {"binary 128-bit -1", binaryOf({"\x14"s + be(~0ull, 8) + be(~0ull, 8)}), Value(-1)},
        // Dates out of any range, and far ones that still fit.
        {"XML year 10^12", document("<date>999999999999-01-01T00:00:00Z</date>"), "64-bit"},
        {"XML 13-digit year", document("<date>1000000000000-01-01T00:00:00Z</date>"),
         "malformed date"},
        {"XML year 2*10^11", document("<date>-200000000000-01-01T00:00:00Z</date>"),
         Value(Date{*secondsFromCivil({-200'000'000'000, 1, 1, 0, 0, 0}), 0})},
        {"binary NaN date", binaryOf({binaryReal(0x33, std::nan(""))}), "64-bit"},
        {"binary infinite date", binaryOf({binaryReal(0x33, -HUGE_VAL)}), "64-bit"},
        {"binary 1e300 date", binaryOf({binaryReal(0x33, 1e300)}), "64-bit"},
        {"binary far date", binaryOf({binaryReal(0x33, -9.1e18)}),
         Value(Date{-9'100'000'000'000'000'000, 0})},
        // Found by the fuzzer: t - floor(t) rounded up to a whole second and
        // gave a date of 1,000,000,000 nanoseconds, which the writer overran.
        {"binary tiny negative date", binaryOf({binaryReal(0x33, -1e-290)}), "nanosecond"},
        {"binary date just past a 512th", binaryOf({binaryReal(0x33, -0x1.0000000000002p-9)}),
         "nanosecond"},
        {"binary date a 512th before", binaryOf({binaryReal(0x33, -0x1p-9)}),
         Value(Date{-1, 998'046'875})},
        // Duplicate keys, including ones that only meet after decoding.
        {"XML duplicate after 40 keys",
         [] {
             std::string body = "<dict>";
             for (int i = 0; i < 40; ++i)
                 body += "<key>k" + std::to_string(i) + "</key><true/>";
             return document(body + "<key>k7</key><false/></dict>");
         }(),
         "duplicate key \"k7\""},
        {"XML duplicate by line ends",
         document("<dict><key>a\r\nb</key><true/>"
                  "<key>a\nb</key><true/></dict>"),
         "duplicate key"},
        {"XML distinct by &#13;",
         document("<dict><key>a&#13;</key><true/>"
                  "<key>a\n</key><false/></dict>"),
         Value(dict({{"a\r", true}, {"a\n", false}}))},
        {"binary ASCII and UTF-16 spelling",
         binaryOf({"\xD2\x01\x02\x03\x03"s, ascii("k"), "\x61\x00k"s, "\x09"s}), "duplicate key"},
    };
    for (const Case& c : cases)
        expectOutcome(c, path);
}

TEST_F(HostileFile, BinaryStructureOutOfBounds) {
    Bplist offsetPastTable;
    offsetPastTable.objects = {"\xA1\x01"s, "\x09"s};
    offsetPastTable.offsetOverrides = {{1, 0xFFFF'FFFF}};
    Bplist offsetIntoHeader = offsetPastTable;
    offsetIntoHeader.offsetOverrides = {{1, 3}};
    Bplist tableOverTrailer;
    tableOverTrailer.objects = {"\x09"s};
    tableOverTrailer.count = 7;
    Bplist tableAtZero;
    tableAtZero.objects = {"\x09"s};
    tableAtZero.table = 0;
    Bplist topOutside;
    topOutside.objects = {"\x09"s};
    topOutside.top = ~0ull;
    Bplist wideOffsets;
    wideOffsets.objects = {"\x09"s};
    wideOffsets.offsetSize = 9;
    Bplist noObjects;
    noObjects.count = 0;
    Bplist countOverflow; // count * offset size wraps around 2^64
    countOverflow.objects = {"\x09"s};
    countOverflow.count = 1ull << 62;

    const Case cases[] = {
        {"offset past the table", offsetPastTable.build(), "offset out of range"},
        {"offset into the header", offsetIntoHeader.build(), "offset out of range"},
        {"table over the trailer", tableOverTrailer.build(), "malformed trailer"},
        {"table at zero", tableAtZero.build(), "malformed trailer"},
        {"top outside", topOutside.build(), "malformed trailer"},
        {"nine-byte offsets", wideOffsets.build(), "malformed trailer"},
        {"no objects", noObjects.build(), "malformed trailer"},
        {"count wrapping", countOverflow.build(), "malformed trailer"},
        {"reference past the objects", binaryOf({"\xA2\x01\x09"s, "\x08"s}), "reference"},
        {"string past the end", binaryOf({"\x5E"s + "abc"}), "truncated string"},
        {"data past the end", binaryOf({"\x4F\x10\xFF"s}), "truncated data"},
        {"length of 16 bytes", binaryOf({"\x4F\x14"s + std::string(16, '\x01')}),
         "malformed object length"},
        {"length cut short", binaryOf({"\x4F\x13\x00"s}), "truncated object length"},
        {"only a header", "bplist00"s + std::string(31, '\0'), "truncated"},
    };
    for (const Case& c : cases)
        expectOutcome(c, path);
}

TEST_F(HostileFile, BinaryCyclesAndHugeCounts) {
    const std::string max = be(~0ull, 8);
    const Case cases[] = {
        {"two arrays holding each other", binaryOf({"\xA1\x01"s, "\xA1\x00"s}), "holds itself"},
        {"dictionary value holding its dictionary", binaryOf({"\xD1\x01\x00"s, ascii("k")}),
         "holds itself"},
        {"dictionary key being its dictionary", binaryOf({"\xD1\x00\x01"s, "\x09"s}),
         "holds itself"},
        {"a shared value is no cycle", binaryOf({"\xA3\x01\x01\x01"s, ascii("same")}),
         Value(Array{"same", "same", "same"})},
        {"array of 2^64-1", binaryOf({"\xAF\x13"s + max}), "truncated container"},
        {"dictionary of 2^63", binaryOf({"\xDF\x13"s + be(1ull << 63, 8)}), "truncated container"},
        {"ASCII string of 2^64-1", binaryOf({"\x5F\x13"s + max}), "truncated string"},
        {"UTF-16 string of 2^63", binaryOf({"\x6F\x13"s + be(1ull << 63, 8)}), "truncated string"},
        {"data of 2^64-1", binaryOf({"\x4F\x13"s + max}), "truncated data"},
    };
    for (const Case& c : cases)
        expectOutcome(c, path);
}

// A small file whose one long string is listed many times would expand to a
// size no list of that length can have.
TEST_F(HostileFile, SharedLongStringsCannotExpandWithoutBound) {
    constexpr std::size_t kLength = 4096, kCopies = 30'000; // 120 MB expanded from 90 kB
    std::string list = counted(0xA0, kCopies);
    for (std::size_t i = 0; i < kCopies; ++i)
        list += be(1, 2);
    const std::string file = binaryOf({list, ascii(std::string(kLength, 'x'))}, 2);
    expectOutcome({"one string listed 30,000 times", file, "expand"}, path);
}

namespace {

// Peak resident memory since construction, from the kernel's high-water mark.
class PeakMemory {
public:
    PeakMemory() {
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly)) {
            reset.write("5");
            reset.close();
        }
        m_base = highWaterMark();
    }
    qint64 growthMiB() const { return (highWaterMark() - m_base) / 1024; }

private:
    static qint64 highWaterMark() { // KiB
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toLongLong();
        return 0;
    }
    qint64 m_base;
};

std::size_t bigFileBytes() {
    // KD_HOSTILE_BIG_MB=200 runs the full-size variant.
    const int mb = qEnvironmentVariableIntValue("KD_HOSTILE_BIG_MB");
    return std::size_t(mb > 0 ? mb : 20) << 20;
}

std::string recordText(std::size_t i) {
    const std::string n = std::to_string(i);
    return "\t<dict>\n\t\t<key>name</key>\n\t\t<string>game" + n +
           "</string>\n\t\t<key>title</key>\n\t\t<string>Example Game Number " + n +
           " &amp; Friends</string>\n\t\t<key>year</key>\n\t\t<integer>" +
           std::to_string(1970 + i % 50) +
           "</integer>\n\t\t<key>maker</key>\n\t\t<string>Example Works</string>\n\t\t"
           "<key>rating</key>\n\t\t<real>0.5</real>\n\t\t<key>added</key>\n\t\t"
           "<date>2011-03-04T05:06:07Z</date>\n\t</dict>\n";
}

} // namespace

// Not a timing test: the figures are printed for the record; what is checked is
// that the file loads exactly, the exit check leaves it alone, and memory stays
// within a small multiple of the file.
TEST_F(HostileFile, BigFilesLoadExactlyInBoundedMemory) {
    const std::size_t target = bigFileBytes();
    enum Shape { ManyRecords, OneHugeString };
    for (const Shape shape : {ManyRecords, OneHugeString}) {
        SCOPED_TRACE(shape == ManyRecords ? "many records" : "one huge string");
        std::size_t records = 0;
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            std::string chunk = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<plist version=\"1.0\">\n<array>\n";
            if (shape == ManyRecords) {
                for (std::size_t written = 0; written < target; ++records) {
                    chunk += recordText(records);
                    if (chunk.size() > (1 << 20) || written + chunk.size() >= target) {
                        written += chunk.size();
                        ASSERT_EQ(f.write(chunk.data(), qsizetype(chunk.size())),
                                  qint64(chunk.size()));
                        chunk.clear();
                    }
                }
            } else {
                records = 1;
                chunk += "<dict><key>name</key><string>huge</string><key>notes</key><string>";
                f.write(chunk.data(), qsizetype(chunk.size()));
                chunk.assign(1 << 20, 'x');
                for (std::size_t written = 0; written < target; written += chunk.size())
                    f.write(chunk.data(), qsizetype(chunk.size()));
                chunk = "</string></dict>";
            }
            chunk += "</array>\n</plist>\n";
            f.write(chunk.data(), qsizetype(chunk.size()));
        }
        const qint64 fileMiB = QFileInfo(path).size() >> 20;

        QElapsedTimer timer;
        timer.start();
        std::optional<PeakMemory> peak(std::in_place);
        GameListLoad load = loadGameList(path);
        const qint64 loadMs = timer.restart();
        const qint64 loadPeakMiB = peak->growthMiB();
        ASSERT_EQ(load.status, GameListLoad::Status::Loaded) << load.reason.toStdString();
        ASSERT_EQ(load.records.size(), records);
        if (shape == ManyRecords) {
            for (const std::size_t i : {std::size_t(0), records / 2, records - 1}) {
                const Value& r = load.records[i];
                EXPECT_EQ(loadedName(r), "game" + std::to_string(i));
                EXPECT_EQ(*r.dictionary()->find("year"), Value(std::int64_t(1970 + i % 50)));
                EXPECT_EQ(r.dictionary()->size(), 6u);
            }
        } else {
            const std::string& notes = *load.records[0].dictionary()->find("notes")->string();
            EXPECT_EQ(notes.size(), target);
            EXPECT_EQ(notes.find_first_not_of('x'), std::string::npos);
        }

        std::vector<const Value*> arranged;
        for (const Value& r : load.records)
            arranged.push_back(&r);
        peak.emplace();
        timer.restart();
        EXPECT_EQ(saveGameListIfChanged(path, load.records, arranged).status,
                  GameListSave::Status::Unchanged);
        const qint64 checkMs = timer.elapsed();
        const qint64 checkPeakMiB = peak->growthMiB();
        EXPECT_LT(loadPeakMiB, 8 * fileMiB + 256);
        EXPECT_LT(checkPeakMiB, 2 * fileMiB + 256);

        std::cout << (shape == ManyRecords ? "many records" : "one huge string") << ": " << fileMiB
                  << " MiB, " << records << " records; load " << loadMs << " ms, peak +"
                  << loadPeakMiB << " MiB; exit check " << checkMs << " ms, peak +" << checkPeakMiB
                  << " MiB\n";
    }
}
