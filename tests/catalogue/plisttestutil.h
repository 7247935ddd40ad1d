#pragma once

#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/plistreader.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kd::plist::test {

// A complete XML property list around `body`.
inline std::string document(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" +
           std::string(body) + "\n</plist>\n";
}

inline Value parsed(std::string_view bytes) {
    ReadResult r = read(bytes);
    EXPECT_TRUE(r.value.has_value()) << r.error.toStdString();
    return r.value ? std::move(*r.value) : Value();
}

inline std::vector<const Value*> pointers(const std::vector<Value>& values) {
    std::vector<const Value*> out;
    for (const Value& v : values)
        out.push_back(&v);
    return out;
}

inline Dictionary dict(std::initializer_list<std::pair<const char*, Value>> items) {
    Dictionary d;
    for (const auto& [k, v] : items)
        d.insert(k, v);
    return d;
}

// The list's names in the arranged order, "-" for a record without one.
inline QStringList arrangedNames(const GameListController& list) {
    QStringList names;
    for (const Value* v : list.arrangedObjects())
        names << gameName(*v).value_or(QStringLiteral("-"));
    return names;
}

// `v` big-endian in `bytes` bytes (zeros above the 64 bits).
inline std::string be(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += i < 8 ? char((v >> (8 * i)) & 0xFF) : '\0';
    return s;
}

// A binary property list from encoded objects (index = reference), with the
// trailer's fields open to tampering.
struct Bplist {
    std::vector<std::string> objects = {};
    int refSize = 1;
    int offsetSize = 4;
    std::uint64_t top = 0;
    std::optional<std::uint64_t> count = {}, table = {};
    std::vector<std::pair<std::size_t, std::uint64_t>> offsetOverrides = {};

    std::string ref(std::uint64_t r) const { return be(r, refSize); }
    std::string build() const {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const std::string& o : objects) {
            offsets.push_back(out.size());
            out += o;
        }
        for (const auto& [index, offset] : offsetOverrides)
            offsets[index] = offset;
        const std::uint64_t tableAt = out.size();
        for (const std::uint64_t o : offsets)
            out += be(o, offsetSize);
        out += std::string(6, '\0') + char(offsetSize) + char(refSize);
        out += be(count.value_or(objects.size()), 8) + be(top, 8) + be(table.value_or(tableAt), 8);
        return out;
    }
};

inline std::string binaryOf(std::vector<std::string> objects, int refSize = 1) {
    return Bplist{.objects = std::move(objects), .refSize = refSize}.build();
}

// A marker with its count, in the long form when it does not fit the nibble.
inline std::string counted(unsigned marker, std::uint64_t n) {
    if (n < 15)
        return std::string(1, char(marker | n));
    return std::string(1, char(marker | 0x0F)) + '\x13' + be(n, 8);
}

inline std::string ascii(std::string_view s) {
    return counted(0x50, s.size()) + std::string(s);
}

} // namespace kd::plist::test
