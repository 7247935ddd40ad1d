// Property-list values, the XML and binary readers and the XML writer. Files
// made to hurt the readers are in hostile_test.cpp.
#include "catalogue/plistreader.h"
#include "catalogue/plistvalue.h"
#include "catalogue/plistwriter.h"
#include "plisttestutil.h"

#include <bit>
#include <gtest/gtest.h>
#include <limits>

using namespace kd::plist;
using namespace kd::plist::test;

TEST(PlistValue, IntegersKeepSignedAndUnsignedApart) {
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    const Integer lowest = Integer::fromSigned(min);
    EXPECT_EQ(lowest.toSigned(), min);
    EXPECT_EQ(lowest.toString(), "-9223372036854775808");
    EXPECT_EQ(Integer::fromSigned(-1).toSigned(), -1);
    EXPECT_FALSE(Integer::fromSigned(0).negative);

    const Integer top = Integer::fromUnsigned(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(top.toSigned(), std::nullopt);
    EXPECT_EQ(top.toString(), "18446744073709551615");
    EXPECT_NE(Value(top), Value(std::int64_t(-1)));
    EXPECT_EQ(Value(Integer::fromUnsigned(5)), Value(5));
}

// Equality is exact: reals bit for bit, and values of different kinds never meet.
TEST(PlistValue, EqualityIsExact) {
    EXPECT_NE(Value(-0.0), Value(0.0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Value(nan), Value(nan));
    EXPECT_NE(Value(nan), Value(-nan));
    EXPECT_EQ(Value(0.1), Value(0.1));
    EXPECT_NE(Value(0.1), Value(0.1 + 1e-17 * 2));
    EXPECT_NE(Value("1"), Value(1));
    EXPECT_NE(Value(std::string("ab")), Value(Data{std::byte('a'), std::byte('b')}));
    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(Array{}), Value(Dictionary{}));
    EXPECT_NE(Value(Date{0, 0}), Value(0));
}

TEST(PlistValue, DictionariesIgnoreKeyOrderArraysDoNotInsertReplaces) {
    const Value a = dict({{"name", "x"}, {"year", 1990}, {"rating", 2.5}});
    const Value b = dict({{"rating", 2.5}, {"name", "x"}, {"year", 1990}});
    EXPECT_EQ(a, b);
    EXPECT_NE(a, Value(dict({{"name", "x"}, {"year", 1991}, {"rating", 2.5}})));
    EXPECT_NE(a, Value(dict({{"name", "x"}, {"year", 1990}, {"other", 2.5}})));
    EXPECT_NE(a, Value(dict({{"name", "x"}, {"year", 1990}})));
    EXPECT_EQ(Value(Array{a, b}), Value(Array{b, a}));
    EXPECT_NE(Value(Array{1, 2}), Value(Array{2, 1}));

    // Large dictionaries take the sorted path.
    Dictionary big, shuffled;
    for (int i = 0; i < 100; ++i) {
        big.insert("k" + std::to_string(i), i);
        shuffled.insert("k" + std::to_string(i * 37 % 100), i * 37 % 100);
    }
    EXPECT_EQ(Value(big), Value(shuffled));
    *shuffled.find("k42") = Value(43);
    EXPECT_NE(Value(big), Value(shuffled));

    // Inserting an existing key replaces its value in place.
    Dictionary d = dict({{"b", 1}, {"a", 2}});
    d.insert("b", Value(3));
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.entries()[0].key, "b");
    EXPECT_EQ(d.entries()[0].value, Value(3));
    EXPECT_TRUE(d.remove("b"));
    EXPECT_FALSE(d.remove("b"));
    EXPECT_EQ(d.find("b"), nullptr);
}

TEST(PlistValue, CalendarConversionIsExactFarFromTheEpoch) {
    EXPECT_EQ(secondsFromCivil({2001, 1, 1, 0, 0, 0}), 0);
    EXPECT_EQ(secondsFromCivil({2000, 12, 31, 23, 59, 59}), -1);
    EXPECT_EQ(secondsFromCivil({1970, 1, 1, 0, 0, 0}), -978307200);
    EXPECT_EQ(secondsFromCivil({2100, 3, 1, 0, 0, 0}), 3129235200);
    for (const CivilTime t : {CivilTime{1900, 1, 1, 0, 0, 0}, CivilTime{2100, 12, 31, 23, 59, 59},
                              CivilTime{2000, 2, 29, 12, 0, 1}, CivilTime{-4713, 11, 24, 12, 0, 0},
                              CivilTime{275760, 9, 13, 0, 0, 0}, CivilTime{0, 3, 1, 1, 2, 3}}) {
        const auto s = secondsFromCivil(t);
        ASSERT_TRUE(s);
        const CivilTime back = civilFromSeconds(*s);
        EXPECT_EQ(std::tie(back.year, back.month, back.day, back.hour, back.minute, back.second),
                  std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second));
    }
    for (const std::int64_t s :
         {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()})
        EXPECT_EQ(secondsFromCivil(civilFromSeconds(s)), s);
    EXPECT_EQ(secondsFromCivil({400'000'000'000, 1, 1, 0, 0, 0}), std::nullopt);
}

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
    EXPECT_EQ(v, dict({{"s", "caf\u00e9 <&> \r<raw>"},
                       {"i", -42},
                       {"h", 31},
                       {"r", 2.5e-3},
                       {"t", true},
                       {"f", false},
                       {"d", Date{*secondsFromCivil({2024, 2, 29, 23, 59, 58}), 0}},
                       {"b", Data{std::byte(0), std::byte(1), std::byte(2), std::byte(0xFF)}},
                       {"a", Array{"", Array{}, Dictionary{}}}}));
}

// The integer and date extremes are read back in PlistWriter's round trip.
TEST(PlistXmlReader, ReadsValuesExactly) {
    const std::pair<std::string, Value> cases[] = {
        // Blank strings stay blank; XML line-end normalisation is the only change.
        {document("<string> \t \n </string>"), " \t \n "},
        {document("<string>a\r\nb\rc</string>"), "a\nb\nc"},
        {document("<string>&#13;&#10;</string>"), "\r\n"},
        {document("<string>\xF0\x9D\x84\x9E</string>"), "\xF0\x9D\x84\x9E"},
        // Only the document's own byte order mark goes; one in a text stays.
        {document("<string>\xEF\xBB\xBF./b</string>"), "\xEF\xBB\xBF./b"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
         "\"-//Example//DTD PLIST 1.0//EN\" \"http://www.example.com/plist.dtd\">\n"
         "<plist version=\"1.0\"><integer>7</integer></plist>\n",
         7},
        {document("<integer>-0</integer>"), 0},
        {document("<date>2001-01-01T00:00:00.000000001Z</date>"), Date{0, 1}},
        {document("<date>2000-12-31T23:59:59.5000000000Z</date>"), Date{-1, 500'000'000}},
        {document("<date>1900-01-01T00:00:00Z</date>"), Date{-3187296000, 0}},
    };
    for (const auto& [doc, expected] : cases)
        EXPECT_EQ(parsed(doc), expected) << doc;
}

// Each of these must be refused with a message, never read as something else.
TEST(PlistXmlReader, RefusesWhatWouldChangeData) {
    const std::pair<const char*, std::string> cases[] = {
        {"64-bit", document("<integer>18446744073709551616</integer>")},
        {"64-bit", document("<integer>-9223372036854775809</integer>")},
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
        const ReadResult r = read(doc);
        EXPECT_TRUE(!r.value && r.error.contains(QLatin1StringView(needle)))
            << "document: " << doc << "\nerror: " << r.error.toStdString();
    }
}

// Streamed elements and errors are checked with the hostile files; a root that
// is not a list is told apart and named.
TEST(PlistXmlReader, ReadArrayNamesARootThatIsNoList) {
    bool called = false;
    const ArrayReadResult r =
        readArray(document("<dict><key>a</key><true/></dict>"), [&](Value&&) { called = true; });
    EXPECT_EQ(r.status, ArrayStatus::NotAnArray);
    EXPECT_TRUE(r.error.contains(QStringLiteral("dict")));
    EXPECT_FALSE(called);
}

// A caller may let go of what lies before each reported offset: every offset
// is the end of an element read, never beyond it. The binary form reports none.
TEST(PlistXmlReader, ReadArrayTellsHowFarEachElementReached) {
    using namespace std::string_literals;
    const std::string doc = document("<array><dict><key>a</key><true/></dict>\n"
                                     "<string>b</string><array/></array>");
    std::vector<std::size_t> reached;
    std::size_t elements = 0;
    const auto element = [&](Value&&) {
        ++elements;
    };
    const auto upTo = [&](std::size_t offset) {
        reached.push_back(offset);
    };
    ASSERT_EQ(readArray(doc, element, upTo).status, ArrayStatus::Ok);
    const auto after = [&](std::string_view end) {
        return doc.find(end) + end.size();
    };
    EXPECT_EQ(reached,
              (std::vector<std::size_t>{after("</dict>"), after("</string>"), after("<array/>")}));
    reached.clear();
    ASSERT_EQ(readArray(binaryOf({"\xA1\x01"s, "\x09"s}), element, upTo).status, ArrayStatus::Ok);
    EXPECT_EQ(elements, 4u);
    EXPECT_TRUE(reached.empty());
}

TEST(PlistBinaryReader, ReadsAHandMadeFile) {
    using namespace std::string_literals;
    const std::string file = binaryOf({
        "\xD7\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E"s, // dict of 7
        ascii("name"), ascii("s"), ascii("n"), ascii("u"), ascii("r"), ascii("d"), ascii("a"),
        ascii("vexrun"), "\x63\x00\xE9\xD8\x34\xDD\x1E"s,    // 8, 9: é𝄞
        "\x13"s + be(~0ull, 8),                              // 10: -1
        "\x14"s + be(0, 8) + be(~0ull, 8),                   // 11: 2^64-1
        "\x23"s + be(std::bit_cast<std::uint64_t>(-0.0), 8), // 12
        "\x33"s + be(std::bit_cast<std::uint64_t>(-1.5), 8), // 13
        "\xA3\x0F\x10\x09"s, "\x43\x01\x02\x03"s, "\x09"s,   // 14, 15, 16
    });
    EXPECT_EQ(parsed(file), dict({{"name", "vexrun"},
                                  {"s", "\u00e9\U0001D11E"},
                                  {"n", -1},
                                  {"u", Integer::fromUnsigned(~std::uint64_t(0))},
                                  {"r", -0.0},
                                  {"d", Date{-2, 500'000'000}},
                                  {"a", Array{Data{std::byte(1), std::byte(2), std::byte(3)}, true,
                                              "\u00e9\U0001D11E"}}}));
}

namespace {

std::string written(const Value& v) {
    std::string out;
    QString error;
    EXPECT_TRUE(writeXml(v, out, &error)) << error.toStdString();
    return out;
}

Date dateOf(CivilTime t, std::uint32_t nanos = 0) {
    return {*secondsFromCivil(t), nanos};
}

std::string writeError(const Value& v) {
    std::string out;
    QString error;
    EXPECT_FALSE(writeXml(v, out, &error));
    return error.toStdString();
}

} // namespace

TEST(PlistWriter, WritesTheStandardLayout) {
    const Value v = Array{dict({{"name", "a&b<c>\r"}, {"n", -3}, {"e", Array{}}}),
                          Data{std::byte('h'), std::byte('i')}, Date{0, 0}, 0.5, false};
    EXPECT_EQ(written(v), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                          "<plist version=\"1.0\">\n<array>\n\t<dict>\n"
                          "\t\t<key>name</key>\n\t\t<string>a&amp;b&lt;c&gt;&#13;</string>\n"
                          "\t\t<key>n</key>\n\t\t<integer>-3</integer>\n"
                          "\t\t<key>e</key>\n\t\t<array/>\n\t</dict>\n"
                          "\t<data>\n\taGk=\n\t</data>\n"
                          "\t<date>2001-01-01T00:00:00Z</date>\n\t<real>0.5</real>\n\t<false/>\n"
                          "</array>\n</plist>\n");
}

TEST(PlistWriter, EveryKindReadsBackEqual) {
    constexpr auto i64 = std::numeric_limits<std::int64_t>::min();
    constexpr auto u64 = std::numeric_limits<std::uint64_t>::max();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Data bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(std::byte(i));
    std::vector<Value> values = {
        "",   "plain", "caf\u00e9 \u2713 \U0001D11E", " \t ",        "a\r\nb\rc\n", "<&>\"'", 0,
        -1,   i64,     Integer::fromUnsigned(u64),    1234567890123, 0.1,           1e300,    -0.0,
        0.0,  5e-324,  -1.7976931348623157e308,       inf,           -inf,          nan,      -nan,
        true, false};
    values.insert(values.end(),
                  {dateOf({1900, 1, 1, 0, 0, 0}), dateOf({2100, 12, 31, 23, 59, 59}),
                   dateOf({2024, 2, 29, 12, 30, 45}, 5),
                   dateOf({1969, 7, 20, 20, 17, 40}, 120'000'000), dateOf({-44, 3, 15, 0, 0, 0}),
                   dateOf({30000, 1, 1, 0, 0, 0}, 999'999'999),
                   Date{std::numeric_limits<std::int64_t>::max(), 0},
                   Date{std::numeric_limits<std::int64_t>::min(), 0}, Data{}, bytes,
                   Data{std::byte(0)}, Array{}, Dictionary{},
                   Array{Array{Array{"deep", dict({{"k", Array{1, 2.5, Dictionary{}}}})}}},
                   dict({{"", "empty key"},
                         {"\u00fcml&ut", Data{std::byte(7)}},
                         {"z", dict({{"a", true}})}})});
    for (const Value& v : values)
        EXPECT_EQ(parsed(written(v)), v) << written(v);
    // All at once, as a list of records.
    std::string out;
    ASSERT_TRUE(writeXmlArray(values, out));
    EXPECT_EQ(parsed(out), Value(Array(values.begin(), values.end())));
}

TEST(PlistWriter, RefusesWhatItCannotWriteFaithfully) {
    Value deep = Array{};
    for (int i = 0; i < kMaxDepth; ++i)
        deep = Array{std::move(deep)};
    const std::pair<Value, const char*> cases[] = {
        {"bell\x07", "control character"},
        {dict({{"k\x01", 1}}), "control character"},
        {Array{"\xFF"}, "UTF-8"},
        {"\xEF\xBF\xBF", "UTF-8"},
        {std::bit_cast<double>(0x7FF0000000000001ULL), "NaN"},
        {deep, "nesting"}};
    for (const auto& [value, needle] : cases)
        EXPECT_NE(writeError(value).find(needle), std::string::npos) << needle;
    std::string out;
    EXPECT_TRUE(writeXml(std::move(*deep.array())[0], out));
}
