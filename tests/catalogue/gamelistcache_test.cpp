// The cache of the parsed game list: whatever it holds comes back exactly, and
// a cache of another file, a damaged one or a forged one is refused.

#include "catalogue/gamelistcache.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <xxhash.h>

using namespace kd;
using namespace kd::plist;
using namespace std::string_literals;

namespace {

constexpr ListDigest kDigest{0x0123456789abcdefu, 0xfedcba9876543210u};
constexpr std::uint64_t kSize = 40'000'000;

std::span<const std::byte> bytesOf(const std::string& s) {
    return std::as_bytes(std::span(s.data(), s.size()));
}

std::optional<std::vector<Value>> decode(const std::string& cache, ListDigest digest = kDigest,
                                         std::uint64_t size = kSize) {
    return decodeGameListCache(bytesOf(cache), digest, size);
}

void putLe(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char(v >> (8 * i));
}

// A cache around a payload written by hand, with a checksum that matches, as
// someone forging one would write it.
std::string forged(const std::string& payload, std::uint64_t records) {
    std::string out = "KDLCACHE";
    putLe(out, gamelistcache::kVersion, 4);
    putLe(out, 0, 4);
    putLe(out, kSize, 8);
    putLe(out, kDigest.low, 8);
    putLe(out, kDigest.high, 8);
    putLe(out, records, 8);
    putLe(out, payload.size(), 8);
    putLe(out, XXH3_64bits(payload.data(), payload.size()), 8);
    return out + payload;
}

std::string raw(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> keysOf(const Value& v) {
    std::vector<std::string> keys;
    for (const Entry& e : v.dictionary()->entries())
        keys.push_back(e.key.str());
    return keys;
}

Value nested(int levels) {
    Value v = Array{};
    for (int i = 1; i < levels; ++i)
        v = Array{v};
    return v;
}

std::vector<Value> everyKind() {
    Dictionary game;
    game.insert("name", "astrovex");
    game.insert("description", "\xc3\x9cn\xc3\xaf"
                               "code \xe2\x98\x85 \xf0\x9f\x91\xbe");
    game.insert("controls", "\x01\t\r\0 from a binary list"s);
    game.insert("empty", "");
    game.insert("long", std::string(300, 'x'));
    game.insert("year", 1987);
    game.insert("fourteen", 14);
    game.insert("fifteen", 15);
    game.insert("largest", Integer::fromUnsigned(std::numeric_limits<std::uint64_t>::max()));
    game.insert("smallest", Integer::fromSigned(std::numeric_limits<std::int64_t>::min()));
    game.insert("minus", -1);
    game.insert("negativeZero", -0.0);
    game.insert("nanPayload", std::bit_cast<double>(std::uint64_t(0x7ff4000000000123)));
    game.insert("infinity", std::numeric_limits<double>::infinity());
    game.insert("on", true);
    game.insert("off", false);
    game.insert("before", Date{-1, 999'999'999});
    game.insert("latest", Date{std::numeric_limits<std::int64_t>::max(), 0});
    game.insert("noBytes", Data{});
    Data bytes(200);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = std::byte(i);
    game.insert("bytes", bytes);
    game.insert("parts", Array{1, "two", Array{}, Dictionary{}});
    Dictionary inner;
    inner.insert("year", "again");
    inner.insert("only inside", 2.5);
    game.insert("inner", inner);

    Dictionary other; // the same keys in another order, and one more
    other.insert("year", 1991);
    other.insert("name", "boltrunner");
    other.insert("url", "https://example.org/boltrunner");
    return {game, other, "a loose string", Array{Dictionary{}}, nested(plist::kMaxDepth - 1)};
}

TEST(GameListCache, EveryKindComesBackInItsOrder) {
    const std::vector<Value> records = everyKind();
    const std::optional<std::string> cache = encodeGameListCache(records, kDigest, kSize);
    ASSERT_TRUE(cache);
    const auto back = decode(*cache);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, records);
    // Equality ignores the order of keys; the writer keeps it.
    EXPECT_EQ(keysOf((*back)[0]), keysOf(records[0]));
    EXPECT_EQ(keysOf((*back)[1]), keysOf(records[1]));
    EXPECT_EQ(keysOf(*(*back)[0].dictionary()->find("inner")),
              keysOf(*records[0].dictionary()->find("inner")));

    const auto none = encodeGameListCache({}, kDigest, 0);
    ASSERT_TRUE(none);
    EXPECT_EQ(decode(*none, kDigest, 0), std::vector<Value>{});
}

TEST(GameListCache, AnotherFileOrAnyDamageIsRefused) {
    const std::string cache = *encodeGameListCache(everyKind(), kDigest, kSize);
    ASSERT_TRUE(decode(cache));
    EXPECT_FALSE(decode(cache, {kDigest.low ^ 1, kDigest.high}));
    EXPECT_FALSE(decode(cache, {kDigest.low, kDigest.high ^ 1}));
    EXPECT_FALSE(decode(cache, kDigest, kSize + 1));
    EXPECT_FALSE(decode(cache + '\0'));
    for (std::size_t n = 0; n < cache.size(); ++n)
        ASSERT_FALSE(decode(cache.substr(0, n))) << "cut to " << n;
    for (std::size_t at = 0; at < cache.size(); ++at)
        for (const char flip : {'\x01', '\x80'}) {
            std::string damaged = cache;
            damaged[at] = char(damaged[at] ^ flip);
            ASSERT_FALSE(decode(damaged)) << "changed at " << at;
        }
}

TEST(GameListCache, ForgedPayloadsAreRefused) {
    const std::string name = raw({1, 4, 'n', 'a', 'm', 'e'}); // a key table of "name"
    const std::string deepest = raw({0}) + std::string(plist::kMaxDepth - 2, '\x17') + '\x07';
    // The forging itself is sound: these decode.
    EXPECT_EQ(decode(forged(name + raw({0x18, 0, 0x10, 'a'}), 1)),
              std::vector<Value>{Dictionary::adopt({{"name", "a"}})});
    EXPECT_EQ(decode(forged(deepest, 1)), std::vector<Value>{nested(plist::kMaxDepth - 1)});

    const struct {
        const char* what;
        std::string payload;
        std::uint64_t records = 1;
    } cases[] = {
        {"a duplicate key", name + raw({0x28, 0, 0, 0x10, 'a', 0x10, 'b'})},
        {"a duplicate in the key table",
         raw({2, 1, 'a', 1, 'a', 0x28, 0, 1, 0x10, 'a', 0x10, 'b'})},
        {"a key index beyond the table", name + raw({0x18, 1, 0x10, 'a'})},
        {"keys not in the order of first use", raw({2, 1, 'a', 1, 'b', 0x28, 1, 0, 4, 4})},
        {"a key no record uses", raw({2, 1, 'a', 1, 'b', 0x18, 0, 4})},
        {"invalid UTF-8 in a string", name + raw({0x18, 0, 0x20, 0xc3, 0x28})},
        {"a surrogate in a string", name + raw({0x18, 0, 0x30, 0xed, 0xa0, 0x80})},
        {"invalid UTF-8 in a key", raw({1, 2, 0xff, 0xfe, 0x18, 0, 4})},
        {"nesting too deep", raw({0, 0x17}) + deepest.substr(1)},
        {"a length beyond the end", raw({0, 0xf0, 100, 'a', 'b', 'c'})},
        {"a count of 2^62", raw({0, 0xf7, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x40})},
        {"a dictionary longer than its bytes", name + raw({0xf8, 100, 0, 0x10, 'a'})},
        {"a length written long", raw({0, 0xf0, 0x80, 0}) + std::string(15, 'a')},
        {"a negative zero", raw({0, 2})},
        {"a date past its second", raw({0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xca, 0x9a, 0x3b})},
        {"a date with a count", raw({0, 0x15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"a date cut short", raw({0, 5})},
        {"a number cut short at the end", raw({0, 0xf1, 0x80})},
        {"a boolean of 2", raw({0, 0x24})},
        {"a real with a count", raw({0, 0x13, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"an unknown kind", raw({0, 9})},
        {"bytes after the records", raw({0, 4, 4})},
        {"fewer records than counted", raw({0, 4}), 2},
        {"no key table", ""},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(decode(forged(c.payload, c.records))) << c.what;
}

TEST(GameListCache, WhatNoListFileHoldsIsNotEncoded) {
    const auto encodes = [](Value v) {
        return encodeGameListCache({v}, kDigest, kSize).has_value();
    };
    EXPECT_TRUE(encodes(nested(plist::kMaxDepth - 1)));
    EXPECT_FALSE(encodes(nested(plist::kMaxDepth)));
    EXPECT_FALSE(encodes("\xc3"));
    EXPECT_FALSE(encodes(Dictionary::adopt({{"\xff", 1}})));
    EXPECT_FALSE(encodes(Dictionary::adopt({{"name", 1}, {"name", 2}})));
    EXPECT_FALSE(encodes(Integer{0, true}));
    EXPECT_FALSE(encodes(Date{0, 1'000'000'000}));
}

} // namespace
