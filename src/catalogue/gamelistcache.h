#pragma once

#include "catalogue/plistvalue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kd {

// The content of a game list file, by which its cache is believed: XXH3-128 of
// the file's bytes. A modification time alone is never trusted.
struct ListDigest {
    std::uint64_t low = 0, high = 0;
    bool operator==(const ListDigest&) const = default;
};
ListDigest digestOf(std::span<const std::byte> fileBytes);

// The same digest of a file read a piece at a time.
class ListDigester {
public:
    ListDigester();
    ~ListDigester();
    ListDigester(const ListDigester&) = delete;
    ListDigester& operator=(const ListDigester&) = delete;
    void add(std::span<const std::byte> bytes);
    ListDigest result() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The cache of a parsed game list: the root array's elements, read back far
// faster than the list file parses. Layout, all little-endian:
//
//   0  8  magic "KDLCACHE"          40  8  record count
//   8  4  format version            48  8  payload length
//  12  4  zero                      56  8  XXH3-64 of the payload
//  16  8  list file size            64     payload
//  24 16  list file digest (low, high)
//
// Payload: the key table (count, then each key's length and UTF-8 bytes, in
// the order the records first use them), then the records. A value is a byte
// with its kind in the low four bits and a small number n in the high four
// (n = 15: 15 + a LEB128 number follows): a string or data of n bytes, an
// integer of magnitude n (kinds for either sign), a boolean n, an array of n
// values, a dictionary of n key indices (LEB128) and then its n values; a real
// is 8 bytes of its bits, a date 8 bytes of seconds and 4 of nanoseconds.
// Every value has one encoding, so a cache that decodes encodes back to the
// same bytes.
namespace gamelistcache {
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::size_t kVersionAt = 8, kRecordCountAt = 40, kPayloadLengthAt = 48,
                             kChecksumAt = 56;
} // namespace gamelistcache

// The cache's bytes for `records`, read from a file of `fileSize` bytes whose
// digest is `digest`. Nothing when the records hold what no list file can
// (text that is not UTF-8, nesting beyond plist::kMaxDepth, a duplicate key):
// the decoder would refuse such a cache.
std::optional<std::string> encodeGameListCache(const std::vector<plist::Value>& records,
                                               ListDigest digest, std::uint64_t fileSize);

// The digest the header of `bytes` gives its list file, when it is a header of
// this version: a reader can decode while it works out the file's own digest,
// then compare the two.
std::optional<ListDigest> digestInCacheHeader(std::span<const std::byte> bytes);

// The records, when `bytes` is a whole, undamaged cache of this version for a
// file with `digest` and `fileSize`; nothing otherwise. Anyone may have
// written the bytes: they are checked as strictly as a list file, and nothing
// is allocated beyond what they can hold.
std::optional<std::vector<plist::Value>>
decodeGameListCache(std::span<const std::byte> bytes, ListDigest digest, std::uint64_t fileSize);

} // namespace kd
