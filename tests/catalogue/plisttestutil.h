#pragma once

#include "catalogue/plistreader.h"

#include <gtest/gtest.h>
#include <string>

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

// The error a document gives, or "" when it reads.
inline std::string readError(std::string_view bytes) {
    ReadResult r = read(bytes);
    return r.value ? std::string() : r.error.toStdString();
}

inline Dictionary dict(std::initializer_list<std::pair<const char*, Value>> items) {
    Dictionary d;
    for (const auto& [k, v] : items)
        d.insert(k, v);
    return d;
}

} // namespace kd::plist::test
