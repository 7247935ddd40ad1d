// The cache of the parsed game list, from both sides. The first byte chooses:
//
// - even: the rest after four more bytes is a list file. When it reads as a
//   list, its cache must decode to exactly its records for its digest and
//   size, and be refused for another digest or size, cut short where the four
//   bytes say, or with the byte they choose changed.
// - odd: the rest is a cache as found on disk. It is refused, or its records
//   hold only what a list file can hold, encode back to the same bytes, and
//   written as XML read back equal.

#include "catalogue/gamelistcache.h"
#include "catalogue/plistreader.h"
#include "catalogue/plistreader_p.h"
#include "catalogue/plistwriter.h"
#include "check.h"

#include <set>
#include <xxhash.h>

namespace kd::fuzz {

using namespace kd::plist;

namespace {

std::span<const std::byte> bytesOf(std::string_view s) {
    return std::as_bytes(std::span(s.data(), s.size()));
}

std::uint64_t le(std::string_view s, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + std::size_t(i)]);
    return v;
}

std::optional<std::vector<Value>> decode(std::string_view cache, ListDigest digest,
                                         std::uint64_t size) {
    return decodeGameListCache(bytesOf(cache), digest, size);
}

// What the XML and binary readers can give: anything else is the cache's
// invention.
bool fromAListFile(const Value& v, int depth) {
    if (depth > kMaxDepth)
        return false;
    switch (v.kind()) {
    case Kind::String:
        return detail::isValidUtf8(*v.string());
    case Kind::Integer:
        return !v.integer()->negative ||
               (v.integer()->magnitude != 0 && v.integer()->magnitude <= std::uint64_t(1) << 63);
    case Kind::Date:
        return v.date()->nanoseconds < 1'000'000'000;
    case Kind::Array:
        for (const Value& item : *v.array())
            if (!fromAListFile(item, depth + 1))
                return false;
        return true;
    case Kind::Dictionary: {
        std::set<std::string_view> keys;
        for (const Entry& e : v.dictionary()->entries())
            if (!detail::isValidUtf8(e.key) || !keys.insert(e.key).second ||
                !fromAListFile(e.value, depth + 1))
                return false;
        return true;
    }
    default:
        return true;
    }
}

void checkList(std::string_view list, std::uint32_t choice) {
    std::vector<Value> records;
    if (readArray(list, [&](Value&& v) { records.push_back(std::move(v)); }).status !=
        ArrayStatus::Ok)
        return;
    const ListDigest digest = digestOf(bytesOf(list));
    const std::optional<std::string> cache = encodeGameListCache(records, digest, list.size());
    require(cache.has_value(), "a list that reads has no cache");
    const std::optional<std::vector<Value>> back = decode(*cache, digest, list.size());
    require(back && *back == records, "a cache does not give the list's records");
    // Equality ignores the order of keys; the encoding does not.
    require(encodeGameListCache(*back, digest, list.size()) == cache,
            "the records of a cache encode differently");

    require(
        !decode(*cache, {digest.low ^ 1, digest.high}, list.size()) &&
            !decode(*cache, {digest.low, digest.high ^ (std::uint64_t(1) << 63)}, list.size()) &&
            !decode(*cache, digest, list.size() + 1),
        "a cache is believed for another file");
    require(!decode(std::string_view(*cache).substr(0, (choice & 0xFFFF) % cache->size()), digest,
                    list.size()),
            "a cut cache is believed");
    std::string damaged = *cache;
    damaged[(choice >> 16 & 0x1FFF) % damaged.size()] ^= char(1 << (choice >> 29));
    require(!decode(damaged, digest, list.size()), "a changed cache is believed");
}

void checkCache(std::string_view bytes) {
    std::string cache(bytes);
    ListDigest digest;
    std::uint64_t size = 0;
    if (cache.size() >= gamelistcache::kHeaderSize) {
        // Forged as a writer of a hostile cache would: the checksum recomputed
        // over the fuzzed payload, or the fuzzer would only ever meet the
        // checksum's refusal. The digest and size asked for are the header's.
        const std::uint64_t checksum = XXH3_64bits(cache.data() + gamelistcache::kHeaderSize,
                                                   cache.size() - gamelistcache::kHeaderSize);
        for (int i = 0; i < 8; ++i)
            cache[gamelistcache::kChecksumAt + std::size_t(i)] = char(checksum >> (8 * i));
        size = le(cache, 16, 8);
        digest = {le(cache, 24, 8), le(cache, 32, 8)};
    }
    const std::optional<std::vector<Value>> records = decode(cache, digest, size);
    if (!records)
        return;
    for (const Value& v : *records)
        require(fromAListFile(v, 2), "a cache holds what no list file can");
    require(encodeGameListCache(*records, digest, size) == cache,
            "a cache that decodes does not encode back to its bytes");
    std::string xml;
    if (writeXmlArray(*records, xml)) {
        std::vector<Value> back;
        require(readArray(xml, [&](Value&& v) { back.push_back(std::move(v)); }).status ==
                        ArrayStatus::Ok &&
                    back == *records,
                "a cache's records written as a list read back different");
    }
}

} // namespace

void checkGameListCache(std::string_view bytes) {
    if (bytes.empty())
        return;
    if (bytes[0] & 1) {
        checkCache(bytes.substr(1));
    } else if (bytes.size() >= 5) {
        checkList(bytes.substr(5), std::uint32_t(le(bytes, 1, 4)));
    }
}

} // namespace kd::fuzz
