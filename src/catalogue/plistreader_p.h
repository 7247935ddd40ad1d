#pragma once

#include "catalogue/plistreader.h"

#include <cstddef>
#include <string>

namespace kd::plist::detail {

// Shared by both readers: when `element` is set and the root is an array, the
// elements go there one by one and `root` is not filled.
ArrayReadResult readXml(std::string_view doc, Value* root,
                        const std::function<void(Value&&)>* element,
                        const std::function<void(std::size_t)>* readUpTo = nullptr);
ArrayReadResult readBinary(std::string_view doc, Value* root,
                           const std::function<void(Value&&)>* element);

// Length of the valid UTF-8 sequence at p (1..4), or 0 when it is invalid.
std::size_t utf8SequenceLength(const char* p, const char* end);
bool isValidUtf8(std::string_view s);
void appendUtf8(std::string& out, char32_t cp);

} // namespace kd::plist::detail
