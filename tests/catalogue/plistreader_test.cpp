#include "catalogue/plistreader.h"
#include "plisttestutil.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace kd::plist;
using kd::plist::test::dict;
using kd::plist::test::document;
using kd::plist::test::parsed;
using kd::plist::test::readError;

TEST(PlistXmlReader, ReadsEveryKind) {
    const Value v = parsed(document(R"(<dict>
	<key>s</key><string>caf&#xE9; &lt;&amp;&gt; &#13;<![CDATA[<raw>]]><!-- gone --></string>
	<key>i</key><integer>-42</integer>
	<key>h</key><integer>0x1F</integer>
	<key>r</key><real>+2.5e-3</real>
	<key>t</key><true/>
	<key>f</key><false></false>
	<key>d</key><date>2024-02-29T23:59:58Z</date>
	<key>b</key><data>
		AAEC/w==
	</data>
	<key>a</key><array><string/><array/><dict/></array>
</dict>)"));
    const Value expected = dict({
        {"s", "caf\u00e9 <&> \r<raw>"},
        {"i", -42},
        {"h", 31},
        {"r", 2.5e-3},
        {"t", true},
        {"f", false},
        {"d", Date{*secondsFromCivil({2024, 2, 29, 23, 59, 58}), 0}},
        {"b", Data{std::byte(0), std::byte(1), std::byte(2), std::byte(0xFF)}},
        {"a", Array{"", Array{}, Dictionary{}}},
    });
    EXPECT_EQ(v, expected);
}

TEST(PlistXmlReader, KeepsTextAsWritten) {
    // Blank strings stay blank; XML line-end normalisation is the only change.
    EXPECT_EQ(parsed(document("<string> \t \n </string>")), Value(" \t \n "));
    EXPECT_EQ(parsed(document("<string>a\r\nb\rc</string>")), Value("a\nb\nc"));
    EXPECT_EQ(parsed(document("<string>&#13;&#10;</string>")), Value("\r\n"));
    EXPECT_EQ(parsed(document("<string>\xF0\x9D\x84\x9E</string>")), Value("\xF0\x9D\x84\x9E"));
}

TEST(PlistXmlReader, AcceptsByteOrderMarkAndPlainDoctype) {
    const std::string doc = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Example//DTD PLIST 1.0//EN\" "
                            "\"http://www.example.com/plist.dtd\">\n"
                            "<plist version=\"1.0\"><integer>7</integer></plist>\n";
    EXPECT_EQ(parsed(doc), Value(7));
}

TEST(PlistXmlReader, IntegerRangeEdges) {
    EXPECT_EQ(parsed(document("<integer>-9223372036854775808</integer>")),
              Value(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(parsed(document("<integer>18446744073709551615</integer>")),
              Value(Integer::fromUnsigned(std::numeric_limits<std::uint64_t>::max())));
    EXPECT_EQ(parsed(document("<integer>-0</integer>")), Value(0));
    EXPECT_NE(readError(document("<integer>18446744073709551616</integer>")).find("64-bit"),
              std::string::npos);
    EXPECT_NE(readError(document("<integer>-9223372036854775809</integer>")).find("64-bit"),
              std::string::npos);
}

TEST(PlistXmlReader, DatesKeepFractionsAndFarYears) {
    EXPECT_EQ(parsed(document("<date>2001-01-01T00:00:00.000000001Z</date>")), Value(Date{0, 1}));
    EXPECT_EQ(parsed(document("<date>2000-12-31T23:59:59.5000000000Z</date>")),
              Value(Date{-1, 500'000'000}));
    EXPECT_EQ(parsed(document("<date>1900-01-01T00:00:00Z</date>")), Value(Date{-3187296000, 0}));
    EXPECT_EQ(parsed(document("<date>-0001-03-01T00:00:00Z</date>")),
              Value(Date{*secondsFromCivil({-1, 3, 1, 0, 0, 0}), 0}));
    EXPECT_EQ(parsed(document("<date>12345-06-07T08:09:10Z</date>")),
              Value(Date{*secondsFromCivil({12345, 6, 7, 8, 9, 10}), 0}));
}

// Each of these must be refused with a message, never read as something else.
TEST(PlistXmlReader, RefusesWhatWouldChangeData) {
    const std::pair<const char*, std::string> cases[] = {
        {"declares entities", "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY e \"x\">]>"
                              "<plist><string>&e;</string></plist>"},
        {"entity", document("<string>&nbsp;</string>")},
        {"UTF-8", document("<string>a\xC3</string>")},
        {"UTF-8", document("<string>\xC0\xAF</string>")},     // overlong
        {"UTF-8", document("<string>\xED\xA0\x80</string>")}, // surrogate
        {"control", document("<string>a\x01</string>")},
        {"character reference", document("<string>&#0;</string>")},
        {"base64", document("<data>AA=A</data>")},
        {"base64", document("<data>A</data>")},
        {"base64", document("<data>A*==</data>")},
        {"unknown element", document("<set><string/></set>")},
        {"unknown element", document("<array><null/></array>")},
        {"duplicate key", document("<dict><key>a</key><true/><key>a</key><false/></dict>")},
        {"no value", document("<dict><key>a</key></dict>")},
        {"expected <key>", document("<dict><string>a</string></dict>")},
        {"does not exist", document("<date>2023-02-29T00:00:00Z</date>")},
        {"does not exist", document("<date>2023-01-01T24:00:00Z</date>")},
        {"finer than a nanosecond", document("<date>2023-01-01T00:00:00.0000000001Z</date>")},
        {"malformed date", document("<date>2023-01-01 00:00:00Z</date>")},
        {"malformed real", document("<real>1.5x</real>")},
        {"beyond the range", document("<real>1e400</real>")},
        {"malformed integer", document("<integer>12 3</integer>")},
        {"must be empty", document("<true>yes</true>")},
        {"does not close", document("<string>a</strin>")},
        {"more than one value", document("<true/><false/>")},
        {"holds no value", "<plist version=\"1.0\"></plist>"},
        {"version", "<plist version=\"2.0\"><true/></plist>"},
        {"not <plist>", "<array/>"},
        {"encoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><true/></plist>"},
        {"after </plist>", document("<true/>") + "<x/>"},
        {"ends inside", "<plist><array><string>abc"},
    };
    for (const auto& [needle, doc] : cases) {
        const std::string error = readError(doc);
        EXPECT_NE(error.find(needle), std::string::npos)
            << "document: " << doc << "\nerror: " << error;
    }
}

TEST(PlistXmlReader, ErrorsNameTheLine) {
    const std::string error =
        readError(document("<array>\n<true/>\n<integer>x</integer>\n</array>"));
    EXPECT_EQ(error.rfind("line 5:", 0), 0u) << error;
}

TEST(PlistXmlReader, ReadArrayStreamsElementsOrReportsTheRoot) {
    std::vector<Value> seen;
    auto collect = [&](Value&& v) {
        seen.push_back(std::move(v));
    };
    ArrayReadResult r = readArray(document("<array><integer>1</integer><dict/></array>"), collect);
    EXPECT_EQ(r.status, ArrayStatus::Ok);
    EXPECT_EQ(seen, (std::vector<Value>{1, Dictionary{}}));

    seen.clear();
    r = readArray(document("<dict><key>a</key><true/></dict>"), collect);
    EXPECT_EQ(r.status, ArrayStatus::NotAnArray);
    EXPECT_TRUE(r.error.contains(QStringLiteral("dict")));
    EXPECT_TRUE(seen.empty());

    r = readArray(document("<array><integer>1</integer><bogus/></array>"), collect);
    EXPECT_EQ(r.status, ArrayStatus::Error);
    EXPECT_EQ(readArray("", collect).status, ArrayStatus::Error);
}

namespace {

// Assembles a binary property list from encoded objects (index = reference).
std::string binaryPlist(const std::vector<std::string>& objects, std::uint64_t top = 0) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const std::string& o : objects) {
        offsets.push_back(out.size());
        out += o;
    }
    const std::uint64_t table = out.size();
    for (const std::uint64_t off : offsets)
        for (int i = 1; i >= 0; --i)
            out += char((off >> (8 * i)) & 0xFF);
    std::string trailer(32, '\0');
    trailer[6] = 2; // offset size
    trailer[7] = 1; // reference size
    auto put = [&](int at, std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            trailer[std::size_t(at + i)] = char((v >> (8 * (7 - i))) & 0xFF);
    };
    put(8, objects.size());
    put(16, top);
    put(24, table);
    return out + trailer;
}

std::string be64(std::uint64_t v) {
    std::string s;
    for (int i = 7; i >= 0; --i)
        s += char((v >> (8 * i)) & 0xFF);
    return s;
}

} // namespace

TEST(PlistBinaryReader, ReadsAHandMadeFile) {
    using namespace std::string_literals;
    const std::string file = binaryPlist({
        "\xD7\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E"s, // dict of 7
        "\x54name"s,                                                     // 1
        "\x51s"s,                                                        // 2
        "\x51n"s,                                                        // 3
        "\x51u"s,                                                        // 4
        "\x51r"s,                                                        // 5
        "\x51"
        "d"s, // 6
        "\x51"
        "a"s,                                               // 7
        "\x56vexrun"s,                                      // 8
        "\x63\x00\xE9\xD8\x34\xDD\x1E"s,                    // 9: é𝄞
        "\x13"s + be64(~std::uint64_t(0)),                  // 10: -1
        "\x14"s + be64(0) + be64(~std::uint64_t(0)),        // 11: 2^64-1
        "\x23"s + be64(std::bit_cast<std::uint64_t>(-0.0)), // 12
        "\x33"s + be64(std::bit_cast<std::uint64_t>(-1.5)), // 13
        "\xA3\x0F\x10\x09"s,                                // 14
        "\x43\x01\x02\x03"s,                                // 15
        "\x09"s,                                            // 16
    });
    const Value expected = dict({
        {"name", "vexrun"},
        {"s", "\u00e9\U0001D11E"},
        {"n", -1},
        {"u", Integer::fromUnsigned(~std::uint64_t(0))},
        {"r", -0.0},
        {"d", Date{-2, 500'000'000}},
        {"a", Array{Data{std::byte(1), std::byte(2), std::byte(3)}, true, "\u00e9\U0001D11E"}},
    });
    EXPECT_EQ(parsed(file), expected);
}

TEST(PlistBinaryReader, RefusesMalformedFiles) {
    using namespace std::string_literals;
    const std::pair<const char*, std::string> cases[] = {
        {"malformed trailer", binaryPlist({"\x09"s}, 5)},
        {"finer than a nanosecond",
         binaryPlist({"\x33"s + be64(std::bit_cast<std::uint64_t>(0.1))})},
        {"beyond the 64-bit", binaryPlist({"\x14"s + be64(1) + be64(0)})},
        {"not a string", binaryPlist({"\xD1\x01\x01"s, "\x09"s})},
        {"unpaired surrogate", binaryPlist({"\x61\xD8\x00"s})},
        {"UID", binaryPlist({"\x80\x01"s})},
        {"object reference", binaryPlist({"\xA1\x07"s})},
    };
    for (const auto& [needle, doc] : cases) {
        const std::string error = readError(doc);
        EXPECT_NE(error.find(needle), std::string::npos) << needle << ": " << error;
    }
}

TEST(PlistBinaryReader, SharedObjectsCannotExpandWithoutBound) {
    // Each array holds the next one twice: 2^40 leaves from 41 objects.
    std::vector<std::string> objects;
    for (int i = 0; i < 40; ++i)
        objects.push_back(std::string("\xA2") + char(i + 1) + char(i + 1));
    objects.push_back("\x09");
    EXPECT_NE(readError(binaryPlist(objects)).find("expand"), std::string::npos);
}
