#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kd::plist {

// Integers span both the signed and the unsigned 64-bit range, so they are kept
// as a magnitude and a sign: -1 and 2^64-1 stay distinct. Zero is never negative.
struct Integer {
    std::uint64_t magnitude = 0;
    bool negative = false;

    static Integer fromSigned(std::int64_t v);
    static Integer fromUnsigned(std::uint64_t v) { return {v, false}; }
    std::optional<std::int64_t> toSigned() const;
    std::string toString() const;
    bool operator==(const Integer&) const = default;
};

// Whole seconds since 2001-01-01T00:00:00Z plus nanoseconds (0..999,999,999).
// 64-bit seconds reach far beyond any calendar year a file can hold.
struct Date {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    bool operator==(const Date&) const = default;
};

// Byte string, kept apart from text so the two kinds never compare equal.
using Data = std::vector<std::byte>;

class Value;
struct Entry;

// A dictionary key. Keys are short and repeat in every record of a list, so up
// to 15 bytes are kept in place and only longer ones on the heap: half the
// size of a std::string, which a large list feels in every entry it holds.
class Key {
public:
    Key() noexcept { m_bytes[kLengthByte] = 0; }
    Key(std::string_view text);
    Key(const std::string& text) : Key(std::string_view(text)) {}
    Key(const char* text) : Key(std::string_view(text)) {}
    Key(const Key& other) : Key(other.view()) {}
    Key(Key&& other) noexcept;
    Key& operator=(const Key& other);
    Key& operator=(Key&& other) noexcept;
    ~Key();

    std::string_view view() const noexcept;
    operator std::string_view() const noexcept { return view(); }
    std::size_t size() const noexcept { return view().size(); }
    std::string str() const { return std::string(view()); }

    friend bool operator==(const Key& a, std::string_view b) noexcept { return a.view() == b; }

private:
    static constexpr std::size_t kLengthByte = 15;
    // In place: bytes 0..14 hold the key, byte 15 its length. On the heap: the
    // first bytes point at [length][bytes] and byte 15 is kOnHeap.
    static constexpr unsigned char kOnHeap = 0xFF;
    bool onHeap() const noexcept {
        return static_cast<unsigned char>(m_bytes[kLengthByte]) == kOnHeap;
    }
    char* heapBlock() const noexcept;

    alignas(8) char m_bytes[16];
};
using Array = std::vector<Value>;

// Keys keep the order they were read or inserted in (the writer keeps it);
// equality ignores that order. Keys are unique: insert() replaces.
class Dictionary {
public:
    // Defined where Entry is complete, so the header compiles with any
    // standard library.
    Dictionary();
    ~Dictionary();
    Dictionary(const Dictionary&);
    Dictionary(Dictionary&&) noexcept;
    Dictionary& operator=(const Dictionary&);
    Dictionary& operator=(Dictionary&&) noexcept;
    explicit Dictionary(std::vector<Entry> entries); // a later duplicate key wins
    // Takes entries whose keys the caller has already checked to be unique.
    static Dictionary adopt(std::vector<Entry> entries);

    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    void insert(Key key, Value value);
    bool remove(std::string_view key);

    const std::vector<Entry>& entries() const { return m_entries; }
    std::size_t size() const;
    bool empty() const;

    bool operator==(const Dictionary& other) const;

private:
    std::vector<Entry> m_entries;
};

enum class Kind : std::uint8_t { String, Integer, Real, Boolean, Date, Data, Array, Dictionary };

// One property-list value of any kind. Copies are deep. Equality is deep; reals
// compare bit for bit (-0.0 != 0.0, a NaN equals the same NaN bits).
class Value {
public:
    Value() = default;
    Value(std::string s) : m_v(std::move(s)) {}
    Value(const char* s) : m_v(std::string(s)) {}
    Value(Integer i) : m_v(i) {}
    Value(std::int64_t i) : m_v(Integer::fromSigned(i)) {}
    Value(int i) : m_v(Integer::fromSigned(i)) {}
    Value(double d) : m_v(d) {}
    Value(bool b) : m_v(b) {}
    Value(Date d) : m_v(d) {}
    Value(Data d) : m_v(std::move(d)) {}
    Value(Array a) : m_v(std::move(a)) {}
    Value(Dictionary d) : m_v(std::move(d)) {}

    Kind kind() const { return static_cast<Kind>(m_v.index()); }

    const std::string* string() const { return std::get_if<std::string>(&m_v); }
    const Integer* integer() const { return std::get_if<Integer>(&m_v); }
    const double* real() const { return std::get_if<double>(&m_v); }
    const bool* boolean() const { return std::get_if<bool>(&m_v); }
    const Date* date() const { return std::get_if<Date>(&m_v); }
    const Data* data() const { return std::get_if<Data>(&m_v); }
    const Array* array() const { return std::get_if<Array>(&m_v); }
    Array* array() { return std::get_if<Array>(&m_v); }
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&m_v); }
    Dictionary* dictionary() { return std::get_if<Dictionary>(&m_v); }

    bool operator==(const Value& other) const;

private:
    // Alternative order matches Kind.
    std::variant<std::string, Integer, double, bool, Date, Data, Array, Dictionary> m_v;
};

struct Entry {
    Key key;
    Value value;
};
static_assert(sizeof(Key) == 16);

// Deepest nesting the reader builds and the writer and equality accept; keeps
// every recursive walk far from the stack's end.
inline constexpr int kMaxDepth = 512;

// Proleptic Gregorian calendar, UTC, relative to 2001-01-01. Fails only when
// the result leaves the 64-bit range.
struct CivilTime {
    std::int64_t year = 2001;
    int month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
std::optional<std::int64_t> secondsFromCivil(const CivilTime& t);
CivilTime civilFromSeconds(std::int64_t seconds);

} // namespace kd::plist
