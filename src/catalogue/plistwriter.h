#pragma once

#include "catalogue/plistvalue.h"

#include <QString>
#include <span>
#include <string>

namespace kd::plist {

// Serialises to an XML property list, version 1.0, tab-indented, in UTF-8.
// Everything written reads back equal. Values the format cannot hold are
// refused rather than altered: strings that are not valid UTF-8 or contain
// characters XML forbids (most control characters), NaNs carrying a payload,
// nesting deeper than kMaxDepth. On failure `out` is unspecified and `error`
// says which value was refused.
bool writeXml(const Value& root, std::string& out, QString* error = nullptr);
// The same for an array root given as its elements, so a list need not be
// copied into a Value first.
bool writeXmlArray(std::span<const Value> elements, std::string& out, QString* error = nullptr);

} // namespace kd::plist
