// Game-list files made to hurt: whatever they hold, the launcher gives an
// error or the exact value, never a crash, a hang or a changed record.

#include "catalogue/gamelist.h"
#include "plisttestutil.h"
#include "support/runhelpers.h"
#include "support/testbundle.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <variant>
#include <vector>

using namespace kd;
using namespace kd::plist;
using namespace kd::plist::test;
using namespace std::string_literals;

namespace {

// What a hostile document must come to: an error naming the problem, or
// exactly this value.
struct Case {
    const char* what;
    std::string bytes;
    std::variant<const char*, Value> outcome;
};

// Reads `c` whole and streamed (as a game list is loaded), and checks that
// both agree with the expected outcome.
void expectOutcome(const Case& c) {
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
    if (expected.array()) {
        EXPECT_EQ(s.status, ArrayStatus::Ok);
        EXPECT_EQ(streamed, *expected.array());
    }
}

std::string repeat(const char* s, int times) {
    return QByteArray(s).repeated(times).toStdString();
}

// `levels` arrays, each holding the next, around a `true`.
std::string binaryNesting(int levels) {
    Bplist b{.refSize = 3};
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

std::string binaryDate(double seconds) {
    return binaryOf({"\x33"s + be(std::bit_cast<std::uint64_t>(seconds), 8)});
}

} // namespace

TEST(HostileFile, XmlMadeToExpandNestOrReachOutside) {
    constexpr int kDeep = 100'000;
    const std::string deep = repeat("<array>", kDeep) + repeat("</array>", kDeep);
    const Case cases[] = {
        {"billion laughs",
         "<!DOCTYPE plist [<!ENTITY a \"lol\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
         "<plist><array><string>&b;</string></array></plist>",
         "declares entities"},
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
        // Nesting far beyond the limit, and right at it.
        {"XML dictionaries",
         document(repeat("<dict><key>k</key>", kDeep) + "<true/>" + repeat("</dict>", kDeep)),
         "nesting deeper"},
        {"XML inside a list element", document("<array><string>ok</string>" + deep + "</array>"),
         "nesting deeper"},
        {"XML unclosed", document(repeat("<array>", kDeep)), "nesting deeper"},
        {"XML at the limit", document(repeat("<array>", kMaxDepth) + repeat("</array>", kMaxDepth)),
         arrays(kMaxDepth - 1, Array{})},
        {"binary arrays", binaryNesting(kDeep), "nesting deeper"},
        {"binary at the limit", binaryNesting(kMaxDepth - 1), arrays(kMaxDepth - 1, true)},
    };
    for (const Case& c : cases)
        expectOutcome(c);
}

TEST(HostileFile, ValuesTheLauncherCannotHoldExactly) {
    std::string keys40;
    for (int i = 0; i < 40; ++i)
        keys40 += "<key>k" + std::to_string(i) + "</key><true/>";
    const Case cases[] = {
        // Invalid UTF-8, wherever it hides.
        {"UTF-8 in CDATA", document("<string><![CDATA[\xE2\x82]]></string>"), "UTF-8"},
        {"UTF-8 beyond U+10FFFF", document("<string>\xF4\x90\x80\x80</string>"), "UTF-8"},
        {"UTF-8 five bytes", document("<string>\xF8\x88\x80\x80\x80</string>"), "UTF-8"},
        {"UTF-8 cut at the end", "<plist><string>\xE2\x82", "UTF-8"},
        {"binary high byte in ASCII", binaryOf({"\x52\x61\xE9"s}), "non-ASCII"},
        {"binary lone low surrogate", binaryOf({"\x61\xDC\x00"s}), "surrogate"},
        {"binary high surrogate at the end", binaryOf({"\x61\xD8\x00"s}), "surrogate"},
        // Integers beyond 64 bits, and long spellings of ones within.
        {"XML 2^64 in hex", document("<integer>0x10000000000000000</integer>"), "64-bit"},
        {"XML 40 digits", document("<integer>1" + std::string(39, '0') + "</integer>"), "64-bit"},
        {"XML leading zeros", document("<integer>+" + std::string(40, '0') + "7</integer>"),
         Value(7)},
        {"binary -2^64+1", binaryOf({"\x14"s + be(~0ull, 8) + be(1, 8)}), "64-bit"},
        {"binary 2^64", binaryOf({"\x14"s + be(1, 8) + be(0, 8)}), "64-bit"},
        {"binary 32-byte integer", binaryOf({"\x15"s + std::string(32, '\0')}),
         "malformed integer"},
        {"binary 128-bit -1", binaryOf({"\x14"s + be(~0ull, 8) + be(~0ull, 8)}), Value(-1)},
        // Dates out of any range, and far ones that still fit.
        {"XML year 10^12", document("<date>999999999999-01-01T00:00:00Z</date>"), "64-bit"},
        {"XML 13-digit year", document("<date>1000000000000-01-01T00:00:00Z</date>"),
         "malformed date"},
        {"XML year 2*10^11", document("<date>-200000000000-01-01T00:00:00Z</date>"),
         Value(Date{*secondsFromCivil({-200'000'000'000, 1, 1, 0, 0, 0}), 0})},
        {"binary NaN date", binaryDate(std::nan("")), "64-bit"},
        {"binary 1e300 date", binaryDate(1e300), "64-bit"},
        {"binary far date", binaryDate(-9.1e18), Value(Date{-9'100'000'000'000'000'000, 0})},
        {"binary date of 0.1 s", binaryDate(0.1), "nanosecond"},
        // Found by the fuzzer: t - floor(t) rounded up to a whole second and
        // gave a date of 1,000,000,000 nanoseconds, which the writer overran.
        {"binary tiny negative date", binaryDate(-1e-290), "nanosecond"},
        {"binary date just past a 512th", binaryDate(-0x1.0000000000002p-9), "nanosecond"},
        {"binary date a 512th before", binaryDate(-0x1p-9), Value(Date{-1, 998'046'875})},
        // Duplicate keys, including ones that only meet after decoding.
        {"XML duplicate after 40 keys",
         document("<dict>" + keys40 + "<key>k7</key><false/></dict>"), "duplicate key \"k7\""},
        {"XML duplicate by line ends",
         document("<dict><key>a\r\nb</key><true/><key>a\nb</key><true/></dict>"), "duplicate key"},
        {"XML distinct by &#13;",
         document("<dict><key>a&#13;</key><true/><key>a\n</key><false/></dict>"),
         Value(dict({{"a\r", true}, {"a\n", false}}))},
        {"binary ASCII and UTF-16 spelling",
         binaryOf({"\xD2\x01\x02\x03\x03"s, ascii("k"), "\x61\x00k"s, "\x09"s}), "duplicate key"},
    };
    for (const Case& c : cases)
        expectOutcome(c);
}

TEST(HostileFile, BinaryStructureOutOfBoundsCyclesAndSharing) {
    const std::vector<std::string> two = {"\xA1\x01"s, "\x09"s}, one = {"\x09"s};
    const std::string max = be(~0ull, 8);
    // Each array holds the next one twice: 2^40 leaves from 41 objects.
    std::vector<std::string> doubling;
    for (int i = 0; i < 40; ++i)
        doubling.push_back("\xA2"s + char(i + 1) + char(i + 1));
    doubling.push_back("\x09");
    // One string of 4 kB listed 30,000 times: 120 MB from 90 kB.
    std::string list = counted(0xA0, 30'000);
    for (int i = 0; i < 30'000; ++i)
        list += be(1, 2);
    const Case cases[] = {
        {"offset past the table",
         Bplist{.objects = two, .offsetOverrides = {{1, 0xFFFF'FFFF}}}.build(),
         "offset out of range"},
        {"offset into the header", Bplist{.objects = two, .offsetOverrides = {{1, 3}}}.build(),
         "offset out of range"},
        {"table over the trailer", Bplist{.objects = one, .count = 7}.build(), "malformed trailer"},
        {"table at zero", Bplist{.objects = one, .table = 0}.build(), "malformed trailer"},
        {"top outside", Bplist{.objects = one, .top = ~0ull}.build(), "malformed trailer"},
        {"nine-byte offsets", Bplist{.objects = one, .offsetSize = 9}.build(), "malformed trailer"},
        {"no objects", Bplist{.count = 0}.build(), "malformed trailer"},
        // count * offset size wraps around 2^64
        {"count wrapping", Bplist{.objects = one, .count = 1ull << 62}.build(),
         "malformed trailer"},
        {"reference past the objects", binaryOf({"\xA2\x01\x09"s, "\x08"s}), "reference"},
        {"string past the end", binaryOf({"\x5E"s + "abc"}), "truncated string"},
        {"data past the end", binaryOf({"\x4F\x10\xFF"s}), "truncated data"},
        {"length of 16 bytes", binaryOf({"\x4F\x14"s + std::string(16, '\x01')}),
         "malformed object length"},
        {"length cut short", binaryOf({"\x4F\x13\x00"s}), "truncated object length"},
        {"only a header", "bplist00"s + std::string(31, '\0'), "truncated"},
        {"key not a string", binaryOf({"\xD1\x01\x01"s, "\x09"s}), "not a string"},
        {"UID", binaryOf({"\x80\x01"s}), "UID"},
        // Cycles, counts no file can hold, and shared objects.
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
        {"shared arrays", binaryOf(doubling), "expand"},
        {"a shared long string", binaryOf({list, ascii(std::string(4096, 'x'))}, 2), "expand"},
    };
    for (const Case& c : cases)
        expectOutcome(c);
}

namespace {

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
TEST(HostileFile, BigFilesLoadExactlyInBoundedMemory) {
    // KD_HOSTILE_BIG_MB=200 runs the full-size variant.
    const int mb = qEnvironmentVariableIntValue("KD_HOSTILE_BIG_MB");
    const std::size_t target = std::size_t(mb > 0 ? mb : 20) << 20;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kaleidrome.xml"));
    for (const bool manyRecords : {true, false}) {
        const char* shape = manyRecords ? "many records" : "one huge string";
        SCOPED_TRACE(shape);
        std::size_t records = manyRecords ? 0 : 1;
        {
            std::string text;
            text.reserve(target + (1 << 20));
            text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n";
            while (manyRecords && text.size() < target)
                text += recordText(records++);
            if (!manyRecords)
                text += "<dict><key>name</key><string>huge</string><key>notes</key><string>" +
                        std::string(target, 'x') + "</string></dict>";
            text += "</array>\n</plist>\n";
            ASSERT_TRUE(kd::test::writeFile(
                path, QByteArray::fromRawData(text.data(), qsizetype(text.size()))));
        }
        const qint64 fileMiB = QFileInfo(path).size() >> 20;

        qint64 base = kd::test::peakResidentKiB(true);
        GameListLoad load = loadGameList(path);
        const qint64 loadPeakMiB = (kd::test::peakResidentKiB() - base) / 1024;
        ASSERT_EQ(load.status, GameListLoad::Status::Loaded) << load.reason.toStdString();
        ASSERT_EQ(load.records.size(), records);
        if (manyRecords) {
            for (const std::size_t i : {std::size_t(0), records / 2, records - 1}) {
                const Dictionary& r = *load.records[i].dictionary();
                EXPECT_EQ(*r.find("name")->string(), "game" + std::to_string(i));
                EXPECT_EQ(*r.find("year"), Value(std::int64_t(1970 + i % 50)));
                EXPECT_EQ(r.size(), 6u);
            }
        } else {
            const std::string& notes = *load.records[0].dictionary()->find("notes")->string();
            EXPECT_EQ(notes.size(), target);
            EXPECT_EQ(notes.find_first_not_of('x'), std::string::npos);
        }

        const std::vector<const Value*> arranged = pointers(load.records);
        base = kd::test::peakResidentKiB(true);
        EXPECT_EQ(saveGameListIfChanged(path, load.records, arranged).status,
                  GameListSave::Status::Unchanged);
        const qint64 checkPeakMiB = (kd::test::peakResidentKiB() - base) / 1024;
        EXPECT_LT(loadPeakMiB, 8 * fileMiB + 256);
        EXPECT_LT(checkPeakMiB, 2 * fileMiB + 256);
    }
}
