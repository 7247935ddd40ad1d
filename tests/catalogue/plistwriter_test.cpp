#include "catalogue/plistwriter.h"
#include "plisttestutil.h"

#include <bit>
#include <gtest/gtest.h>
#include <limits>

using namespace kd::plist;
using kd::plist::test::dict;
using kd::plist::test::parsed;

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
                          "<plist version=\"1.0\">\n"
                          "<array>\n"
                          "\t<dict>\n"
                          "\t\t<key>name</key>\n"
                          "\t\t<string>a&amp;b&lt;c&gt;&#13;</string>\n"
                          "\t\t<key>n</key>\n"
                          "\t\t<integer>-3</integer>\n"
                          "\t\t<key>e</key>\n"
                          "\t\t<array/>\n"
                          "\t</dict>\n"
                          "\t<data>\n"
                          "\taGk=\n"
                          "\t</data>\n"
                          "\t<date>2001-01-01T00:00:00Z</date>\n"
                          "\t<real>0.5</real>\n"
                          "\t<false/>\n"
                          "</array>\n"
                          "</plist>\n");
}

TEST(PlistWriter, EveryKindReadsBackEqual) {
    constexpr auto i64 = std::numeric_limits<std::int64_t>::min();
    constexpr auto u64 = std::numeric_limits<std::uint64_t>::max();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Data bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(std::byte(i));
    const std::vector<Value> values = {
        "",
        "plain",
        "caf\u00e9 \u2713 \U0001D11E",
        " \t ",
        "a\r\nb\rc\n",
        "<&>\"'",
        0,
        -1,
        i64,
        Integer::fromUnsigned(u64),
        1234567890123,
        0.1,
        1e300,
        -0.0,
        0.0,
        5e-324,
        -1.7976931348623157e308,
        inf,
        -inf,
        nan,
        -nan,
        true,
        false,
        dateOf({1900, 1, 1, 0, 0, 0}),
        dateOf({2100, 12, 31, 23, 59, 59}),
        dateOf({2024, 2, 29, 12, 30, 45}, 5),
        dateOf({1969, 7, 20, 20, 17, 40}, 120'000'000),
        dateOf({-44, 3, 15, 0, 0, 0}),
        dateOf({30000, 1, 1, 0, 0, 0}, 999'999'999),
        Date{std::numeric_limits<std::int64_t>::max(), 0},
        Date{std::numeric_limits<std::int64_t>::min(), 0},
        Data{},
        bytes,
        Data{std::byte(0)},
        Array{},
        Dictionary{},
        Array{Array{Array{"deep", dict({{"k", Array{1, 2.5, Dictionary{}}}})}}},
        dict({{"", "empty key"}, {"\u00fcml&ut", Data{std::byte(7)}}, {"z", dict({{"a", true}})}}),
    };
    for (const Value& v : values) {
        const std::string xml = written(v);
        EXPECT_EQ(parsed(xml), v) << xml;
    }
    // All at once, as a list of records.
    std::string out;
    ASSERT_TRUE(writeXmlArray(values, out));
    EXPECT_EQ(parsed(out), Value(Array(values.begin(), values.end())));
}

TEST(PlistWriter, RefusesWhatItCannotWriteFaithfully) {
    EXPECT_NE(writeError("bell\x07").find("control character"), std::string::npos);
    EXPECT_NE(writeError(dict({{"k\x01", 1}})).find("control character"), std::string::npos);
    EXPECT_NE(writeError(Array{"\xFF"}).find("UTF-8"), std::string::npos);
    EXPECT_NE(writeError("\xEF\xBF\xBF").find("UTF-8"), std::string::npos);
    EXPECT_NE(writeError(std::bit_cast<double>(0x7FF0000000000001ULL)).find("NaN"),
              std::string::npos);

    Value deep = Array{};
    for (int i = 0; i < kMaxDepth; ++i)
        deep = Array{std::move(deep)};
    EXPECT_NE(writeError(deep).find("nesting"), std::string::npos);
    std::string out;
    EXPECT_TRUE(writeXml(std::move(*deep.array())[0], out));
}
