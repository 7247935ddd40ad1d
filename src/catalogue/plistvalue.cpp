#include "catalogue/plistvalue.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

namespace kd::plist {

Integer Integer::fromSigned(std::int64_t v) {
    if (v >= 0)
        return {std::uint64_t(v), false};
    // Negate in unsigned arithmetic: INT64_MIN has no positive counterpart.
    return {~std::uint64_t(v) + 1, true};
}

std::optional<std::int64_t> Integer::toSigned() const {
    constexpr auto max = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    if (!negative)
        return magnitude <= max ? std::optional<std::int64_t>(std::int64_t(magnitude))
                                : std::nullopt;
    if (magnitude > max + 1)
        return std::nullopt;
    return std::int64_t(~magnitude + 1);
}

std::string Integer::toString() const {
    std::string s = std::to_string(magnitude);
    if (negative && magnitude != 0)
        s.insert(s.begin(), '-');
    return s;
}

Key::Key(std::string_view text) {
    if (text.size() < kLengthByte + 1) {
        std::memcpy(m_bytes, text.data(), text.size());
        m_bytes[kLengthByte] = char(text.size());
        return;
    }
    const std::size_t length = text.size();
    char* block = new char[sizeof length + length];
    std::memcpy(block, &length, sizeof length);
    std::memcpy(block + sizeof length, text.data(), length);
    std::memcpy(m_bytes, &block, sizeof block);
    m_bytes[kLengthByte] = char(kOnHeap);
}

Key::Key(Key&& other) noexcept {
    std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
    other.m_bytes[kLengthByte] = 0;
}

Key& Key::operator=(const Key& other) {
    if (this != &other)
        *this = Key(other);
    return *this;
}

Key& Key::operator=(Key&& other) noexcept {
    if (this != &other) {
        if (onHeap())
            delete[] heapBlock();
        std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
        other.m_bytes[kLengthByte] = 0;
    }
    return *this;
}

Key::~Key() {
    if (onHeap())
        delete[] heapBlock();
}

char* Key::heapBlock() const noexcept {
    char* block = nullptr;
    std::memcpy(&block, m_bytes, sizeof block);
    return block;
}

std::string_view Key::view() const noexcept {
    if (!onHeap())
        return {m_bytes, std::size_t(static_cast<unsigned char>(m_bytes[kLengthByte]))};
    const char* block = heapBlock();
    std::size_t length = 0;
    std::memcpy(&length, block, sizeof length);
    return {block + sizeof length, length};
}

Dictionary::Dictionary() = default;
Dictionary::~Dictionary() = default;
Dictionary::Dictionary(const Dictionary&) = default;
Dictionary::Dictionary(Dictionary&&) noexcept = default;
Dictionary& Dictionary::operator=(const Dictionary&) = default;
Dictionary& Dictionary::operator=(Dictionary&&) noexcept = default;
std::size_t Dictionary::size() const {
    return m_entries.size();
}
bool Dictionary::empty() const {
    return m_entries.empty();
}

Dictionary::Dictionary(std::vector<Entry> entries) {
    m_entries.reserve(entries.size());
    for (Entry& e : entries)
        insert(std::move(e.key), std::move(e.value));
}

Dictionary Dictionary::adopt(std::vector<Entry> entries) {
    Dictionary d;
    d.m_entries = std::move(entries);
    return d;
}

const Value* Dictionary::find(std::string_view key) const {
    for (const Entry& e : m_entries)
        if (e.key == key)
            return &e.value;
    return nullptr;
}

Value* Dictionary::find(std::string_view key) {
    return const_cast<Value*>(std::as_const(*this).find(key));
}

void Dictionary::insert(Key key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    m_entries.push_back({std::move(key), std::move(value)});
}

bool Dictionary::remove(std::string_view key) {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.key == key; });
    if (it == m_entries.end())
        return false;
    m_entries.erase(it);
    return true;
}

bool Dictionary::operator==(const Dictionary& other) const {
    const std::size_t n = m_entries.size();
    if (n != other.m_entries.size())
        return false;
    // Files written by the same writer keep the same key order: try the same
    // position first, then fall back to a search.
    constexpr std::size_t kLinear = 32;
    std::vector<const Entry*> sorted;
    for (std::size_t i = 0; i < n; ++i) {
        const Entry& mine = m_entries[i];
        const Entry* theirs = nullptr;
        if (other.m_entries[i].key == mine.key) {
            theirs = &other.m_entries[i];
        } else if (n <= kLinear) {
            for (const Entry& e : other.m_entries)
                if (e.key == mine.key) {
                    theirs = &e;
                    break;
                }
        } else {
            if (sorted.empty()) {
                sorted.reserve(n);
                for (const Entry& e : other.m_entries)
                    sorted.push_back(&e);
                std::sort(sorted.begin(), sorted.end(), [](const Entry* a, const Entry* b) {
                    return a->key.view() < b->key.view();
                });
            }
            const auto it = std::lower_bound(
                sorted.begin(), sorted.end(), mine.key.view(),
                [](const Entry* e, std::string_view k) { return e->key.view() < k; });
            if (it != sorted.end() && (*it)->key == mine.key)
                theirs = *it;
        }
        if (!theirs || !(theirs->value == mine.value))
            return false;
    }
    return true;
}

bool Value::operator==(const Value& other) const {
    if (m_v.index() != other.m_v.index())
        return false;
    if (const double* d = real())
        return std::bit_cast<std::uint64_t>(*d) == std::bit_cast<std::uint64_t>(*other.real());
    return m_v == other.m_v;
}

namespace {

// Days from 1970-01-01 to the given civil date (Gregorian, proleptic).
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

constexpr std::int64_t kEpochDays = daysFromCivil(2001, 1, 1);
// Beyond this many years the day count could overflow before the range check.
constexpr std::int64_t kMaxYear = 300'000'000'000;

} // namespace

std::optional<std::int64_t> secondsFromCivil(const CivilTime& t) {
    if (t.year > kMaxYear || t.year < -kMaxYear)
        return std::nullopt;
    const std::int64_t days =
        daysFromCivil(t.year, unsigned(t.month), unsigned(t.day)) - kEpochDays;
    std::int64_t timeOfDay = t.hour * 3600 + t.minute * 60 + t.second;
    // Before the epoch, count from the next midnight back, so the earliest
    // representable second does not overflow on the way.
    const std::int64_t wholeDays = days < 0 ? days + 1 : days;
    if (days < 0)
        timeOfDay -= 86400;
    std::int64_t seconds = 0;
    if (__builtin_mul_overflow(wholeDays, std::int64_t(86400), &seconds) ||
        __builtin_add_overflow(seconds, timeOfDay, &seconds))
        return std::nullopt;
    return seconds;
}

CivilTime civilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rem = seconds % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    // Shift to days since 0000-03-01 (Hinnant's civil_from_days); kEpochDays is
    // small, so this cannot overflow for any 64-bit second count.
    const std::int64_t z = days + kEpochDays + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = int(doy - (153 * mp + 2) / 5 + 1);
    t.month = int(mp < 10 ? mp + 3 : mp - 9);
    t.year = std::int64_t(yoe) + era * 400 + (t.month <= 2);
    t.hour = int(rem / 3600);
    t.minute = int(rem / 60 % 60);
    t.second = int(rem % 60);
    return t;
}

} // namespace kd::plist
