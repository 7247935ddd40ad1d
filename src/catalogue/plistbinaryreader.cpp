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
        : d_(reinterpret_cast<const unsigned char*>(doc.data())), size_(doc.size()),
          // Objects may be shared; bound the expanded tree by the input's size
          // so a small file of references cannot expand without limit.
          budget_(2 * doc.size() + 65536),
          // Counting objects misses one long string listed many times: its
          // bytes count as well, up to far more than any real list shares.
          bytesLeft_(8 * std::uint64_t(doc.size()) + (std::uint64_t(64) << 20)) {}

    bool parse(Value& root);
    const std::string& error() const { return error_; }
    std::size_t errorOffset() const { return errorAt_; }

private:
    bool fail(std::size_t at, std::string message) {
        if (error_.empty()) {
            error_ = std::move(message);
            errorAt_ = at;
        }
        return false;
    }
    std::uint64_t be(std::size_t at, std::size_t n) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v = (v << 8) | d_[at + i];
        return v;
    }
    // Object bytes end where the offset table starts; past it lie the
    // table and the trailer, never part of a value.
    bool has(std::size_t at, std::uint64_t n) const { return at <= end_ && n <= end_ - at; }
    bool charge(std::size_t at, std::uint64_t bytes) {
        if (bytes > bytesLeft_)
            return fail(at, "the shared objects expand beyond a reasonable size");
        bytesLeft_ -= bytes;
        return true;
    }
    bool count(std::size_t& at, unsigned marker, std::uint64_t& n);
    bool objectOffset(std::uint64_t ref, std::size_t& at);
    bool readObject(std::uint64_t ref, Value& out, int depth);
    bool readString(std::size_t at, unsigned marker, std::string& out);

    const unsigned char* d_;
    std::size_t size_;
    std::size_t end_ = 0;
    std::size_t budget_;
    std::uint64_t bytesLeft_;
    unsigned offsetSize_ = 0, refSize_ = 0;
    std::uint64_t objects_ = 0, table_ = 0;
    std::vector<bool> active_;
    std::string error_;
    std::size_t errorAt_ = 0;
};

bool BinaryReader::count(std::size_t& at, unsigned marker, std::uint64_t& n) {
    n = marker & 0x0F;
    if (n != 0x0F)
        return true;
    if (!has(at, 1) || (d_[at] & 0xF0) != 0x10 || (d_[at] & 0x0F) > 3)
        return fail(at, "malformed object length");
    const std::size_t len = std::size_t(1) << (d_[at] & 0x0F);
    if (!has(at + 1, len))
        return fail(at, "truncated object length");
    n = be(at + 1, len);
    at += 1 + len;
    return true;
}

bool BinaryReader::objectOffset(std::uint64_t ref, std::size_t& at) {
    if (ref >= objects_)
        return fail(size_ - 32, "object reference out of range");
    at = std::size_t(be(std::size_t(table_ + ref * offsetSize_), offsetSize_));
    if (at < 8 || at >= table_)
        return fail(std::size_t(table_ + ref * offsetSize_), "object offset out of range");
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
        out.assign(reinterpret_cast<const char*>(d_ + at), std::size_t(n));
        for (const char c : out)
            if (static_cast<unsigned char>(c) >= 0x80)
                return fail(start, "non-ASCII byte in an ASCII string");
        return true;
    }
    if (n > size_ / 2 || !has(at, n * 2))
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

bool BinaryReader::readObject(std::uint64_t ref, Value& out, int depth) {
    std::size_t at = 0;
    if (!objectOffset(ref, at))
        return false;
    if (budget_ == 0)
        return fail(at, "the shared objects expand beyond a reasonable size");
    --budget_;
    const std::size_t start = at;
    if (depth > kMaxDepth)
        return fail(start, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    const unsigned marker = d_[at++];
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
            std::memcpy(bytes.data(), d_ + at, std::size_t(n));
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
        if (n > size_ || !has(at, n * refSize_ * (dict ? 2 : 1)))
            return fail(start, "truncated container");
        if (active_[ref])
            return fail(start, "a container holds itself");
        active_[ref] = true;
        if (!dict) {
            Array items;
            items.reserve(std::size_t(n));
            for (std::uint64_t i = 0; i < n; ++i) {
                items.emplace_back();
                if (!readObject(be(at + i * refSize_, refSize_), items.back(), depth + 1))
                    return false;
            }
            out = Value(std::move(items));
        } else {
            std::vector<Entry> entries;
            entries.reserve(std::size_t(n));
            std::unordered_set<std::string> seen;
            for (std::uint64_t i = 0; i < n; ++i) {
                Value key;
                if (!readObject(be(at + i * refSize_, refSize_), key, depth + 1))
                    return false;
                if (!key.string())
                    return fail(start, "a dictionary key is not a string");
                if (!seen.insert(*key.string()).second)
                    return fail(start, "duplicate key \"" + *key.string() + "\" in a dictionary");
                Value value;
                if (!readObject(be(at + (n + i) * refSize_, refSize_), value, depth + 1))
                    return false;
                entries.push_back({*key.string(), std::move(value)});
            }
            out = Value(Dictionary::adopt(std::move(entries)));
        }
        active_[ref] = false;
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
    if (size_ < 8 + 32)
        return fail(0, "truncated binary property list");
    const std::size_t trailer = size_ - 32;
    offsetSize_ = d_[trailer + 6];
    refSize_ = d_[trailer + 7];
    objects_ = be(trailer + 8, 8);
    const std::uint64_t top = be(trailer + 16, 8);
    table_ = be(trailer + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8 || objects_ == 0 ||
        top >= objects_ || table_ < 9 || table_ > trailer ||
        objects_ > (trailer - table_) / offsetSize_)
        return fail(trailer, "malformed trailer");
    end_ = std::size_t(table_);
    active_.assign(std::size_t(objects_), false);
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
