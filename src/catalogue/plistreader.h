#pragma once

#include "catalogue/plistvalue.h"

#include <QString>
#include <functional>
#include <optional>
#include <string_view>

namespace kd::plist {

// Reads XML property lists (version 1.0, UTF-8, optional byte-order mark) and
// binary ones ("bplist00"). Nothing is changed on the way in: anything the
// value type cannot hold exactly (integers beyond 64 bits, dates finer than a
// nanosecond, invalid UTF-8, malformed base64, unknown elements, entity
// declarations, duplicate dictionary keys, nesting deeper than kMaxDepth) is an
// error whose message names the line (XML) or offset (binary).
struct ReadResult {
    std::optional<Value> value;
    QString error; // empty when value is set
};
ReadResult read(std::string_view bytes);

// For a document whose root is an array: hands each element to `element` as
// soon as it is complete, so a caller can consume a large list without holding
// a second copy of it.
enum class ArrayStatus { Ok, NotAnArray, Error };
struct ArrayReadResult {
    ArrayStatus status = ArrayStatus::Error;
    QString error; // why it is not an array, or the read error
};
// `readUpTo`, when set, is told after each element how many bytes of the
// document are read: the XML reader goes on from there and looks back only to
// number the line of an error. The binary form is read whole before any element.
ArrayReadResult readArray(std::string_view bytes, const std::function<void(Value&&)>& element,
                          const std::function<void(std::size_t)>& readUpTo = {});

} // namespace kd::plist
