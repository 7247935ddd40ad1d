#include "catalogue/plistreader_p.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <unordered_set>

namespace kd::plist::detail {

namespace {

class BinaryReader {
public:
    explicit BinaryReader(std::string_view doc)
        : m_d(reinterpret_cast<const unsigned char*>(doc.data())), m_size(doc.size()),
          // Objects may be shared; bound the expanded tree by the input's size
          // so a small file of references cannot expand without limit.
          m_budget(2 * doc.size() + 65536),
          // Counting objects misses one long string listed many times: its
          // bytes count as well, up to far more than any real list shares.
          m_bytesLeft(8 * std::uint64_t(doc.size()) + (std::uint64_t(64) << 20)) {}

    bool parse(Value& root);
    const std::string& error() const { return m_error; }
    std::size_t errorOffset() const { return m_errorAt; }

private:
    bool fail(std::size_t at, std::string message) {
        if (m_error.empty()) {
            m_error = std::move(message);
            m_errorAt = at;
        }
        return false;
    }
    std::uint64_t be(std::size_t at, std::size_t n) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v = (v << 8) | m_d[at + i];
        return v;
    }
    // Object bytes end where the offset table starts; past it lie the
    // table and the trailer, never part of a value.
    bool has(std::size_t at, std::uint64_t n) const { return at <= m_end && n <= m_end - at; }
    bool charge(std::size_t at, std::uint64_t bytes) {
        if (bytes > m_bytesLeft)
            return fail(at, "the shared objects expand beyond a reasonable size");
        m_bytesLeft -= bytes;
        return true;
    }
    bool count(std::size_t& at, unsigned marker, std::uint64_t& n);
    bool objectOffset(std::uint64_t ref, std::size_t& at);
    bool readObject(std::uint64_t ref, Value& out, int depth);
    bool readString(std::size_t at, unsigned marker, std::string& out);

    const unsigned char* m_d;
    std::size_t m_size;
    std::size_t m_end = 0;
    std::size_t m_budget;
    std::uint64_t m_bytesLeft;
    unsigned m_offsetSize = 0, m_refSize = 0;
    std::uint64_t m_objects = 0, m_table = 0;
    std::vector<bool> m_active;
    std::string m_error;
    std::size_t m_errorAt = 0;
};

bool BinaryReader::count(std::size_t& at, unsigned marker, std::uint64_t& n) {
    n = marker & 0x0F;
    if (n != 0x0F)
        return true;
    if (!has(at, 1) || (m_d[at] & 0xF0) != 0x10 || (m_d[at] & 0x0F) > 3)
        return fail(at, "malformed object length");
    const std::size_t len = std::size_t(1) << (m_d[at] & 0x0F);
    if (!has(at + 1, len))
        return fail(at, "truncated object length");
    n = be(at + 1, len);
    at += 1 + len;
    return true;
}

bool BinaryReader::objectOffset(std::uint64_t ref, std::size_t& at) {
    if (ref >= m_objects)
        return fail(m_size - 32, "object reference out of range");
    at = std::size_t(be(std::size_t(m_table + ref * m_offsetSize), m_offsetSize));
    if (at < 8 || at >= m_table)
        return fail(std::size_t(m_table + ref * m_offsetSize), "object offset out of range");
    return true;
}

bool BinaryReader::readString(std::size_t at, unsigned marker, std::string& out) {
    std::uint64_t n = 0;
    const std::size_t start = at - 1;
    if (!count(at, marker, n))
        return false;
    if ((marker & 0xF0) == 0x50) {
        if (!has(at, n))
            return fail(start, "truncated string");
        if (!charge(start, n))
            return false;
        out.assign(reinterpret_cast<const char*>(m_d + at), std::size_t(n));
        for (const char c : out)
            if (static_cast<unsigned char>(c) >= 0x80)
                return fail(start, "non-ASCII byte in an ASCII string");
        return true;
    }
    if (n > m_size / 2 || !has(at, n * 2))
        return fail(start, "truncated string");
    if (!charge(start, 3 * n)) // UTF-8 needs at most three bytes per unit
        return false;
    out.clear();
    out.reserve(std::size_t(n));
    for (std::uint64_t i = 0; i < n; ++i) {
        char32_t cp = char32_t(be(at + 2 * i, 2));
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n) {
            const auto low = char32_t(be(at + 2 * (i + 1), 2));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF)
            return fail(start, "unpaired surrogate in a UTF-16 string");
        appendUtf8(out, cp);
    }
    return true;
}

// One switch over every kind an object marker names, kept whole: each kind
// takes a few lines, and the budget, the depth and the marks against a
// container holding itself are checked here once for all of them.
bool BinaryReader::readObject(std::uint64_t ref, Value& out, int depth) {
    std::size_t at = 0;
    if (!objectOffset(ref, at))
        return false;
    if (m_budget == 0)
        return fail(at, "the shared objects expand beyond a reasonable size");
    --m_budget;
    const std::size_t start = at;
    if (depth > kMaxDepth)
        return fail(start, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    const unsigned marker = m_d[at++];
    switch (marker >> 4) {
    case 0x0:
        if (marker == 0x08 || marker == 0x09) {
            out = Value(marker == 0x09);
            return true;
        }
        return fail(start, "null and fill objects have no value");
    case 0x1: {
        const unsigned len = 1u << (marker & 0x0F);
        if (len > 16 || !has(at, len))
            return fail(start, "malformed integer");
        if (len < 8) {
            out = Value(Integer::fromUnsigned(be(at, len)));
        } else if (len == 8) {
            out = Value(Integer::fromSigned(std::int64_t(be(at, 8))));
        } else {
            // 128-bit: accepted while the value fits the 64-bit range.
            const std::uint64_t hi = be(at, 8), lo = be(at + 8, 8);
            if (hi == 0)
                out = Value(Integer::fromUnsigned(lo));
            else if (hi == ~std::uint64_t(0) && (lo >> 63))
                out = Value(Integer::fromSigned(std::int64_t(lo)));
            else
                return fail(start, "integer beyond the 64-bit range");
        }
        return true;
    }
    case 0x2:
        if (marker == 0x22 && has(at, 4)) {
            out = Value(double(std::bit_cast<float>(std::uint32_t(be(at, 4)))));
            return true;
        }
        if (marker == 0x23 && has(at, 8)) {
            out = Value(std::bit_cast<double>(be(at, 8)));
            return true;
        }
        return fail(start, "malformed real");
    case 0x3: {
        if (marker != 0x33 || !has(at, 8))
            return fail(start, "malformed date");
        const double t = std::bit_cast<double>(be(at, 8));
        // Only fractions that are whole nanoseconds are kept exactly; those
        // are the multiples of 1/512 s a double can hold.
        if (!std::isfinite(t) || std::abs(t) >= 9.2e18)
            return fail(start, "date beyond the 64-bit range");
        // Scaling by 512 is exact; t - floor(t) is not for a tiny negative t
        // (it rounds up to a whole second).
        const double units = t * 512;
        if (units != std::floor(units))
            return fail(start, "date with a fraction finer than a nanosecond cannot be kept");
        const double whole = std::floor(t);
        const auto frac = std::uint32_t(units - whole * 512);
        out = Value(Date{std::int64_t(whole), frac * 1'953'125u});
        return true;
    }
    case 0x4: {
        std::uint64_t n = 0;
        if (!count(at, marker, n))
            return false;
        if (!has(at, n))
            return fail(start, "truncated data");
        if (!charge(start, n))
            return false;
        Data bytes(static_cast<std::size_t>(n));
        if (n)
            std::memcpy(bytes.data(), m_d + at, std::size_t(n));
        out = Value(std::move(bytes));
        return true;
    }
    case 0x5:
    case 0x6: {
        std::string s;
        if (!readString(at, marker, s))
            return false;
        out = Value(std::move(s));
        return true;
    }
    case 0xA:
    case 0xD: {
        const bool dict = (marker >> 4) == 0xD;
        std::uint64_t n = 0;
        if (!count(at, marker, n))
            return false;
        if (n > m_size || !has(at, n * m_refSize * (dict ? 2 : 1)))
            return fail(start, "truncated container");
        if (m_active[ref])
            return fail(start, "a container holds itself");
        m_active[ref] = true;
        if (!dict) {
            Array items;
            items.reserve(std::size_t(n));
            for (std::uint64_t i = 0; i < n; ++i) {
                items.emplace_back();
                if (!readObject(be(at + i * m_refSize, m_refSize), items.back(), depth + 1))
                    return false;
            }
            out = Value(std::move(items));
        } else {
            std::vector<Entry> entries;
            entries.reserve(std::size_t(n));
            std::unordered_set<std::string> seen;
            for (std::uint64_t i = 0; i < n; ++i) {
                Value key;
                if (!readObject(be(at + i * m_refSize, m_refSize), key, depth + 1))
                    return false;
                if (!key.string())
                    return fail(start, "a dictionary key is not a string");
                if (!seen.insert(*key.string()).second)
                    return fail(start, "duplicate key \"" + *key.string() + "\" in a dictionary");
                Value value;
                if (!readObject(be(at + (n + i) * m_refSize, m_refSize), value, depth + 1))
                    return false;
                entries.push_back({*key.string(), std::move(value)});
            }
            out = Value(Dictionary::adopt(std::move(entries)));
        }
        m_active[ref] = false;
        return true;
    }
    case 0x8:
        return fail(start, "UID objects are not property-list values");
    case 0xC:
        return fail(start, "sets are not property-list values");
    default:
        return fail(start, "unknown object type");
    }
}

bool BinaryReader::parse(Value& root) {
    if (m_size < 8 + 32)
        return fail(0, "truncated binary property list");
    const std::size_t trailer = m_size - 32;
    m_offsetSize = m_d[trailer + 6];
    m_refSize = m_d[trailer + 7];
    m_objects = be(trailer + 8, 8);
    const std::uint64_t top = be(trailer + 16, 8);
    m_table = be(trailer + 24, 8);
    if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8 || m_objects == 0 ||
        top >= m_objects || m_table < 9 || m_table > trailer ||
        m_objects > (trailer - m_table) / m_offsetSize)
        return fail(trailer, "malformed trailer");
    m_end = std::size_t(m_table);
    m_active.assign(std::size_t(m_objects), false);
    return readObject(top, root, 1);
}

} // namespace

ArrayReadResult readBinary(std::string_view doc, Value* root,
                           const std::function<void(Value&&)>* element) {
    ArrayReadResult result;
    BinaryReader reader(doc);
    Value v;
    if (!reader.parse(v)) {
        result.status = ArrayStatus::Error;
        result.error = QStringLiteral("offset %1: %2")
                           .arg(reader.errorOffset())
                           .arg(QString::fromStdString(reader.error()));
        return result;
    }
    if (Array* items = v.array()) {
        result.status = ArrayStatus::Ok;
        if (element) {
            for (Value& item : *items)
                (*element)(std::move(item));
            return result;
        }
    } else {
        result.status = ArrayStatus::NotAnArray;
        result.error = QStringLiteral("the root of the property list is not an array");
    }
    if (root)
        *root = std::move(v);
    return result;
}

} // namespace kd::plist::detail
