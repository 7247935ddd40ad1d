#include "catalogue/plistvalue.h"
#include "plisttestutil.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace kd::plist;
using kd::plist::test::dict;

TEST(PlistValue, IntegersKeepSignedAndUnsignedApart) {
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    const Integer lowest = Integer::fromSigned(min);
    EXPECT_TRUE(lowest.negative);
    EXPECT_EQ(lowest.magnitude, std::uint64_t(1) << 63);
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

TEST(PlistValue, RealsCompareBitForBit) {
    EXPECT_NE(Value(-0.0), Value(0.0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Value(nan), Value(nan));
    EXPECT_NE(Value(nan), Value(-nan));
    EXPECT_EQ(Value(0.1), Value(0.1));
    EXPECT_NE(Value(0.1), Value(0.1 + 1e-17 * 2));
}

TEST(PlistValue, KindsNeverCompareEqual) {
    EXPECT_NE(Value("1"), Value(1));
    EXPECT_NE(Value(std::string("ab")), Value(Data{std::byte('a'), std::byte('b')}));
    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(Array{}), Value(Dictionary{}));
    EXPECT_NE(Value(Date{0, 0}), Value(0));
}

TEST(PlistValue, DictionariesIgnoreKeyOrderArraysDoNot) {
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
    std::vector<int> order(100);
    for (int i = 0; i < 100; ++i)
        order[std::size_t(i)] = (i * 37) % 100;
    for (int i = 0; i < 100; ++i) {
        big.insert("k" + std::to_string(i), i);
        shuffled.insert("k" + std::to_string(order[std::size_t(i)]), order[std::size_t(i)]);
    }
    EXPECT_EQ(Value(big), Value(shuffled));
    *shuffled.find("k42") = Value(43);
    EXPECT_NE(Value(big), Value(shuffled));
}

TEST(PlistValue, DictionaryInsertReplacesAndKeepsOrder) {
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
