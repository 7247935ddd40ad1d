#include "catalogue/gamelistcache.h"

#include "catalogue/plistreader_p.h"

#include <bit>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <xxhash.h>
#if defined(__x86_64__)
// The library's variants that pick the widest vector unit at run time.
#include <xxh_x86dispatch.h>
#define KD_XXH3_64 XXH3_64bits_dispatch
#define KD_XXH3_128 XXH3_128bits_dispatch
#define KD_XXH3_128_UPDATE XXH3_128bits_update_dispatch
#else
#define KD_XXH3_64 XXH3_64bits
#define KD_XXH3_128 XXH3_128bits
#define KD_XXH3_128_UPDATE XXH3_128bits_update
#endif

namespace kd {

namespace {

using plist::Array;
using plist::Dictionary;
using plist::Entry;
using plist::Kind;
using plist::Value;

constexpr char kMagic[8] = {'K', 'D', 'L', 'C', 'A', 'C', 'H', 'E'};

// The kinds of the payload's values; the integer's sign is a kind of its own.
enum Tag : unsigned {
    kString,
    kInteger,
    kNegative,
    kReal,
    kBoolean,
    kDate,
    kData,
    kArray,
    kDictionary,
    kTagCount
};
constexpr unsigned kInline = 15; // n >= 15 is written as 15 + LEB128(n - 15)

// Copies of long keys are the one thing a small cache could multiply (one
// key, many indices): their bytes are bounded like the binary reader's
// shared strings.
std::uint64_t keyBudget(std::size_t cacheSize) {
    return 8 * std::uint64_t(cacheSize) + (std::uint64_t(64) << 20);
}

void putLe(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

std::uint64_t getLe(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

void putLeb(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out += char((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += char(v);
}

// Mostly ASCII: eight bytes at a time until a byte with the high bit.
bool validUtf8(const char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080u)
            break;
    }
    for (; i < n && static_cast<unsigned char>(p[i]) < 0x80; ++i) {
    }
    return i == n || plist::detail::isValidUtf8(std::string_view(p + i, n - i));
}

// Marks which keys one dictionary has used; a fresh stamp per dictionary
// spares clearing the marks.
class KeyMarks {
public:
    void grow(std::size_t keys) {
        if (keys > m_marks.size())
            m_marks.resize(keys, 0);
    }
    void next() { ++m_stamp; }
    // False when the key was already marked in this dictionary.
    bool mark(std::size_t key) {
        if (m_marks[key] == m_stamp)
            return false;
        m_marks[key] = m_stamp;
        return true;
    }

private:
    std::vector<std::uint64_t> m_marks;
    std::uint64_t m_stamp = 0;
};

class Encoder {
public:
    bool records(const std::vector<Value>& records) {
        for (const Value& v : records)
            if (!value(v, 2)) // the root array is level 1
                return false;
        return true;
    }
    std::string m_body;
    std::vector<std::string_view> m_keys;
    std::uint64_t m_keyBytes = 0;

private:
    void head(unsigned tag, std::uint64_t n) {
        if (n < kInline) {
            m_body += char(tag | unsigned(n) << 4);
        } else {
            m_body += char(tag | kInline << 4);
            putLeb(m_body, n - kInline);
        }
    }
    bool value(const Value& v, int depth);
    bool dictionary(const Dictionary& d, int depth);

    std::unordered_map<std::string_view, std::uint32_t> m_index;
    KeyMarks m_marks;
};

bool Encoder::value(const Value& v, int depth) {
    if (depth > plist::kMaxDepth)
        return false;
    switch (v.kind()) {
    case Kind::String: {
        const std::string& s = *v.string();
        if (!validUtf8(s.data(), s.size()))
            return false;
        head(kString, s.size());
        m_body += s;
        return true;
    }
    case Kind::Integer: {
        const plist::Integer i = *v.integer();
        if (i.negative && (i.magnitude == 0 || i.magnitude > std::uint64_t(1) << 63))
            return false;
        head(i.negative ? kNegative : kInteger, i.magnitude);
        return true;
    }
    case Kind::Real:
        head(kReal, 0);
        putLe(m_body, std::bit_cast<std::uint64_t>(*v.real()), 8);
        return true;
    case Kind::Boolean:
        head(kBoolean, *v.boolean() ? 1 : 0);
        return true;
    case Kind::Date:
        if (v.date()->nanoseconds >= 1'000'000'000)
            return false;
        head(kDate, 0);
        putLe(m_body, std::uint64_t(v.date()->seconds), 8);
        putLe(m_body, v.date()->nanoseconds, 4);
        return true;
    case Kind::Data:
        head(kData, v.data()->size());
        m_body.append(reinterpret_cast<const char*>(v.data()->data()), v.data()->size());
        return true;
    case Kind::Array:
        head(kArray, v.array()->size());
        for (const Value& item : *v.array())
            if (!value(item, depth + 1))
                return false;
        return true;
    case Kind::Dictionary:
        return dictionary(*v.dictionary(), depth);
    }
    return false;
}

bool Encoder::dictionary(const Dictionary& d, int depth) {
    head(kDictionary, d.size());
    // Keys get their indices in the order the decoder meets them: this
    // dictionary's keys, then those inside its values.
    std::vector<std::uint32_t> indices;
    indices.reserve(d.size());
    for (const Entry& e : d.entries()) {
        const auto [it, added] = m_index.try_emplace(e.key, std::uint32_t(m_keys.size()));
        if (added) {
            if (!validUtf8(e.key.view().data(), e.key.size()))
                return false;
            m_keys.push_back(e.key);
        }
        m_keyBytes += e.key.size();
        indices.push_back(it->second);
        putLeb(m_body, it->second);
    }
    m_marks.grow(m_keys.size());
    m_marks.next();
    for (const std::uint32_t i : indices)
        if (!m_marks.mark(i))
            return false;
    for (const Entry& e : d.entries())
        if (!value(e.value, depth + 1))
            return false;
    return true;
}

class Decoder {
public:
    Decoder(const unsigned char* p, const unsigned char* end, std::uint64_t keyBudget)
        : m_p(p), m_end(end), m_keyBudget(keyBudget) {}

    bool keyTable();
    bool records(std::uint64_t count, std::vector<Value>& out);

private:
    std::size_t left() const { return std::size_t(m_end - m_p); }
    bool leb(std::uint64_t& v);
    bool head(unsigned& tag, std::uint64_t& n);
    bool value(Value& out, int depth);
    bool dictionary(Value& out, std::uint64_t n, int depth);

    const unsigned char* m_p;
    const unsigned char* m_end;
    std::uint64_t m_keyBudget;
    std::vector<std::string> m_keys;
    std::size_t m_keysUsed = 0; // the table lists keys in the order of first use
    KeyMarks m_marks;
    // Values made but not yet read: each needs a byte at least, so there are
    // never more than bytes left, however deep the containers holding them.
    std::uint64_t m_unread = 0;
    bool reserve(std::uint64_t values) {
        if (m_unread > left() || values > left() - m_unread)
            return false;
        m_unread += values;
        return true;
    }
};

// Only the shortest form: a last byte of zero after others would be a second
// encoding of the same number.
bool Decoder::leb(std::uint64_t& v) {
    v = 0;
    for (int shift = 0; m_p < m_end; shift += 7) {
        const unsigned b = *m_p++;
        if (shift == 63 && b > 1)
            return false;
        v |= std::uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return b != 0 || shift == 0;
    }
    return false;
}

bool Decoder::head(unsigned& tag, std::uint64_t& n) {
    if (m_p == m_end)
        return false;
    const unsigned b = *m_p++;
    tag = b & 0x0F;
    n = b >> 4;
    if (n < kInline)
        return true;
    if (!leb(n) || n > ~std::uint64_t(0) - kInline)
        return false;
    n += kInline;
    return true;
}

bool Decoder::keyTable() {
    std::uint64_t count = 0;
    if (!leb(count) || count > left())
        return false;
    m_keys.reserve(std::size_t(count));
    std::unordered_set<std::string_view> seen;
    seen.reserve(std::size_t(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t n = 0;
        if (!leb(n) || n > left())
            return false;
        const auto* s = reinterpret_cast<const char*>(m_p);
        if (!validUtf8(s, std::size_t(n)) || !seen.emplace(s, std::size_t(n)).second)
            return false;
        m_keys.emplace_back(s, std::size_t(n));
        m_p += n;
    }
    m_marks.grow(m_keys.size());
    return true;
}

bool Decoder::records(std::uint64_t count, std::vector<Value>& out) {
    if (!reserve(count))
        return false;
    out.resize(std::size_t(count));
    for (Value& v : out)
        if (!value(v, 2)) // the root array is level 1
            return false;
    return m_p == m_end && m_keysUsed == m_keys.size();
}

bool Decoder::value(Value& out, int depth) {
    --m_unread;
    if (depth > plist::kMaxDepth)
        return false;
    unsigned tag = 0;
    std::uint64_t n = 0;
    if (!head(tag, n))
        return false;
    switch (tag) {
    case kString: {
        if (n > left())
            return false;
        const auto* s = reinterpret_cast<const char*>(m_p);
        if (!validUtf8(s, std::size_t(n)))
            return false;
        out = Value(std::string(s, std::size_t(n)));
        m_p += n;
        return true;
    }
    case kInteger:
        out = Value(plist::Integer{n, false});
        return true;
    case kNegative:
        // What the readers give: no negative zero, nothing below -2^63.
        if (n == 0 || n > std::uint64_t(1) << 63)
            return false;
        out = Value(plist::Integer{n, true});
        return true;
    case kReal:
        if (n != 0 || left() < 8)
            return false;
        out = Value(std::bit_cast<double>(getLe(m_p, 8)));
        m_p += 8;
        return true;
    case kBoolean:
        if (n > 1)
            return false;
        out = Value(n == 1);
        return true;
    case kDate: {
        if (n != 0 || left() < 12)
            return false;
        const plist::Date d{std::int64_t(getLe(m_p, 8)), std::uint32_t(getLe(m_p + 8, 4))};
        if (d.nanoseconds >= 1'000'000'000)
            return false;
        out = Value(d);
        m_p += 12;
        return true;
    }
    case kData: {
        if (n > left())
            return false;
        plist::Data bytes(static_cast<std::size_t>(n));
        if (n)
            std::memcpy(bytes.data(), m_p, std::size_t(n));
        out = Value(std::move(bytes));
        m_p += n;
        return true;
    }
    case kArray: {
        if (!reserve(n))
            return false;
        Array items(static_cast<std::size_t>(n));
        for (Value& item : items)
            if (!value(item, depth + 1))
                return false;
        out = Value(std::move(items));
        return true;
    }
    case kDictionary:
        return dictionary(out, n, depth);
    default:
        return false;
    }
}

bool Decoder::dictionary(Value& out, std::uint64_t n, int depth) {
    // A key index and a value each: two bytes at least.
    if (m_unread > left() || n > (left() - m_unread) / 2)
        return false;
    std::vector<Entry> entries(static_cast<std::size_t>(n));
    m_marks.next();
    for (Entry& e : entries) {
        std::uint64_t key = 0;
        if (!leb(key))
            return false;
        if (key == m_keysUsed && key < m_keys.size())
            ++m_keysUsed;
        else if (key >= m_keysUsed)
            return false;
        if (!m_marks.mark(std::size_t(key)))
            return false; // a duplicate key
        const std::string& s = m_keys[std::size_t(key)];
        if (s.size() > m_keyBudget)
            return false;
        m_keyBudget -= s.size();
        e.key = s;
    }
    if (!reserve(n))
        return false;
    for (Entry& e : entries)
        if (!value(e.value, depth + 1))
            return false;
    out = Value(Dictionary::adopt(std::move(entries)));
    return true;
}

} // namespace

ListDigest digestOf(std::span<const std::byte> fileBytes) {
    const XXH128_hash_t h = KD_XXH3_128(fileBytes.data(), fileBytes.size());
    return {h.low64, h.high64};
}

struct ListDigester::State {
    State() : xxh(XXH3_createState()) {
        if (!xxh)
            throw std::bad_alloc();
        XXH3_128bits_reset(xxh);
    }
    ~State() { XXH3_freeState(xxh); }
    XXH3_state_t* xxh;
};

ListDigester::ListDigester() : m_state(std::make_unique<State>()) {}
ListDigester::~ListDigester() = default;

void ListDigester::add(std::span<const std::byte> bytes) {
    KD_XXH3_128_UPDATE(m_state->xxh, bytes.data(), bytes.size());
}

ListDigest ListDigester::result() const {
    const XXH128_hash_t h = XXH3_128bits_digest(m_state->xxh);
    return {h.low64, h.high64};
}

std::optional<std::string> encodeGameListCache(const std::vector<plist::Value>& records,
                                               ListDigest digest, std::uint64_t fileSize) {
    Encoder encoder;
    if (!encoder.records(records))
        return std::nullopt;
    std::string payload;
    putLeb(payload, encoder.m_keys.size());
    for (const std::string_view key : encoder.m_keys) {
        putLeb(payload, key.size());
        payload += key;
    }
    const std::size_t size = gamelistcache::kHeaderSize + payload.size() + encoder.m_body.size();
    if (encoder.m_keyBytes > keyBudget(size))
        return std::nullopt;

    std::string out;
    out.reserve(size);
    out.append(kMagic, sizeof kMagic);
    putLe(out, gamelistcache::kVersion, 4);
    putLe(out, 0, 4);
    putLe(out, fileSize, 8);
    putLe(out, digest.low, 8);
    putLe(out, digest.high, 8);
    putLe(out, records.size(), 8);
    putLe(out, payload.size() + encoder.m_body.size(), 8);
    putLe(out, 0, 8); // the checksum, once the payload is there
    out += payload;
    out += encoder.m_body;
    const std::uint64_t checksum = KD_XXH3_64(out.data() + gamelistcache::kHeaderSize,
                                              out.size() - gamelistcache::kHeaderSize);
    for (int i = 0; i < 8; ++i)
        out[gamelistcache::kChecksumAt + std::size_t(i)] = char((checksum >> (8 * i)) & 0xFF);
    return out;
}

std::optional<ListDigest> digestInCacheHeader(std::span<const std::byte> bytes) {
    using namespace gamelistcache;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < kHeaderSize || std::memcmp(p, kMagic, sizeof kMagic) != 0 ||
        getLe(p + kVersionAt, 4) != kVersion)
        return std::nullopt;
    return ListDigest{getLe(p + 24, 8), getLe(p + 32, 8)};
}

std::optional<std::vector<plist::Value>>
decodeGameListCache(std::span<const std::byte> bytes, ListDigest digest, std::uint64_t fileSize) {
    using namespace gamelistcache;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < kHeaderSize || std::memcmp(p, kMagic, sizeof kMagic) != 0 ||
        getLe(p + kVersionAt, 4) != kVersion || getLe(p + 12, 4) != 0 ||
        getLe(p + 16, 8) != fileSize || getLe(p + 24, 8) != digest.low ||
        getLe(p + 32, 8) != digest.high ||
        getLe(p + kPayloadLengthAt, 8) != bytes.size() - kHeaderSize ||
        getLe(p + kChecksumAt, 8) != KD_XXH3_64(p + kHeaderSize, bytes.size() - kHeaderSize))
        return std::nullopt;
    Decoder decoder(p + kHeaderSize, p + bytes.size(), keyBudget(bytes.size()));
    std::vector<plist::Value> records;
    if (!decoder.keyTable() || !decoder.records(getLe(p + kRecordCountAt, 8), records))
        return std::nullopt;
    return records;
}

} // namespace kd
