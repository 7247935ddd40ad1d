// The values of an XML property list and the document around them, read
// through the tokenizer in plistxmltokenizer.cpp.
#include "catalogue/plistxmlreader_p.h"
#include "platform/utf8text.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <unordered_set>

namespace kd::plist::detail {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

int base64Digit(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

bool XmlReader::readInteger(Value& out, const StartTag& tag) {
    m_scratch.clear();
    if (!tag.empty && !readText(m_scratch, tag))
        return false;
    std::string_view s = trimmed(m_scratch);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (ec == std::errc::result_out_of_range)
        return fail(tag.at,
                    "integer " + std::string(trimmed(m_scratch)) + " is beyond the 64-bit range");
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return fail(tag.at, "malformed integer \"" + m_scratch + "\"");
    if (negative && magnitude > (std::uint64_t(1) << 63))
        return fail(tag.at, "integer -" + std::string(s) + " is beyond the 64-bit range");
    out = Value(Integer{magnitude, negative && magnitude != 0});
    return true;
}

bool XmlReader::readReal(Value& out, const StartTag& tag) {
    m_scratch.clear();
    if (!tag.empty && !readText(m_scratch, tag))
        return false;
    std::string_view s = trimmed(m_scratch);
    // from_chars takes no leading '+'.
    if (s.size() > 1 && s[0] == '+' && s[1] != '-')
        s.remove_prefix(1);
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec == std::errc::result_out_of_range)
        return fail(tag.at, "real " + std::string(s) + " is beyond the range of a double");
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return fail(tag.at, "malformed real \"" + m_scratch + "\"");
    out = Value(d);
    return true;
}

// YYYY-MM-DDTHH:MM:SS[.fraction]Z, the year with four or more digits and an
// optional sign; the fraction is kept to the nanosecond.
bool XmlReader::readDate(Value& out, const StartTag& tag) {
    m_scratch.clear();
    if (!tag.empty && !readText(m_scratch, tag))
        return false;
    const std::string_view s = trimmed(m_scratch);
    const auto bad = [&] {
        return fail(tag.at, "malformed date \"" + std::string(s) + "\"");
    };
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    auto number = [&](std::size_t minDigits, std::size_t maxDigits, std::int64_t& v) {
        const std::size_t start = i;
        v = 0;
        while (i < s.size() && i - start < maxDigits && s[i] >= '0' && s[i] <= '9')
            v = v * 10 + (s[i++] - '0');
        return i - start >= minDigits && (i >= s.size() || s[i] < '0' || s[i] > '9');
    };
    auto expect = [&](char c) {
        return i < s.size() && s[i++] == c;
    };
    std::int64_t year, month, day, hour, minute, second;
    if (!number(4, 12, year) || !expect('-') || !number(2, 2, month) || !expect('-') ||
        !number(2, 2, day) || !expect('T') || !number(2, 2, hour) || !expect(':') ||
        !number(2, 2, minute) || !expect(':') || !number(2, 2, second))
        return bad();
    std::uint32_t nanos = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        const std::size_t start = i;
        std::uint32_t scale = 100'000'000;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            if (scale == 0) {
                if (s[i] != '0')
                    return fail(tag.at, "date " + std::string(s) +
                                            " is finer than a nanosecond and cannot be kept");
                continue;
            }
            nanos += std::uint32_t(s[i] - '0') * scale;
            scale /= 10;
        }
        if (i == start)
            return bad();
    }
    if (!expect('Z') || i != s.size())
        return bad();
    if (negative)
        year = -year;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && leap ? 1 : 0) || hour > 23 || minute > 59 ||
        second > 59)
        return fail(tag.at, "date " + std::string(s) + " does not exist");
    const auto seconds =
        secondsFromCivil({year, int(month), int(day), int(hour), int(minute), int(second)});
    if (!seconds)
        return fail(tag.at, "date " + std::string(s) + " is beyond the 64-bit range");
    out = Value(Date{*seconds, nanos});
    return true;
}

bool XmlReader::readData(Value& out, const StartTag& tag) {
    m_scratch.clear();
    if (!tag.empty && !readText(m_scratch, tag))
        return false;
    Data bytes;
    bytes.reserve(m_scratch.size() / 4 * 3 + 3);
    std::uint32_t acc = 0;
    int bits = 0;
    int pad = 0;
    std::size_t digits = 0;
    for (const char ch : m_scratch) {
        if (isXmlSpace(ch))
            continue;
        if (ch == '=') {
            ++pad;
            continue;
        }
        const int d = base64Digit(static_cast<unsigned char>(ch));
        if (d < 0 || pad > 0)
            return fail(tag.at, "malformed base64 in <data>");
        ++digits;
        acc = (acc << 6) | std::uint32_t(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(std::byte((acc >> bits) & 0xFF));
        }
    }
    // Padding is optional, but a lone final digit or surplus '=' is not base64.
    if (digits % 4 == 1 || pad > 2 || (pad > 0 && (digits + std::size_t(pad)) % 4 != 0))
        return fail(tag.at, "malformed base64 in <data>");
    out = Value(std::move(bytes));
    return true;
}

bool XmlReader::readValue(Value& out, const StartTag& tag, int depth) {
    if (depth > kMaxDepth)
        return fail(tag.at, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    switch (tag.tag) {
    case Tag::String: {
        std::string s;
        if (!tag.empty && !readText(s, tag))
            return false;
        out = Value(std::move(s));
        return true;
    }
    case Tag::Integer:
        return readInteger(out, tag);
    case Tag::Real:
        return readReal(out, tag);
    case Tag::True:
    case Tag::False:
        if (!tag.empty) {
            m_scratch.clear();
            if (!readText(m_scratch, tag))
                return false;
            if (!trimmed(m_scratch).empty()) {
                // Appended, not "<" + std::string: GCC 12 at -O3 warns falsely (-Wrestrict).
                std::string message = "<";
                message.append(tag.name).append("> must be empty");
                return fail(tag.at, message);
            }
        }
        out = Value(tag.tag == Tag::True);
        return true;
    case Tag::Date:
        return readDate(out, tag);
    case Tag::Data:
        return readData(out, tag);
    case Tag::Array: {
        Array a;
        if (!tag.empty && !readArrayBody(a, depth + 1))
            return false;
        out = Value(std::move(a));
        return true;
    }
    case Tag::Dict: {
        Dictionary d;
        if (!tag.empty && !readDictBody(d, depth + 1))
            return false;
        out = Value(std::move(d));
        return true;
    }
    case Tag::Key:
        return fail(tag.at, "<key> outside a dictionary");
    case Tag::Plist:
        return fail(tag.at, "<plist> inside a property list");
    case Tag::Other:
        break;
    }
    return fail(tag.at, "unknown element <" + std::string(tag.name) + ">");
}

bool XmlReader::readArrayBody(Array& out, int depth) {
    Array& items = m_arrayScratch[std::size_t(depth)];
    items.clear();
    for (;;) {
        StartTag child;
        bool ended = false;
        if (!nextChild(child, "array", ended))
            return false;
        if (ended)
            break;
        Value v;
        if (!readValue(v, child, depth))
            return false;
        items.push_back(std::move(v));
    }
    out.reserve(items.size());
    std::move(items.begin(), items.end(), std::back_inserter(out));
    items.clear();
    return true;
}

bool XmlReader::readDictBody(Dictionary& out, int depth) {
    std::vector<Entry>& entries = m_dictScratch[std::size_t(depth)];
    entries.clear();
    std::unordered_set<std::string> seen; // only for large dictionaries
    constexpr std::size_t kLinear = 32;
    for (;;) {
        StartTag keyTag;
        bool ended = false;
        if (!nextChild(keyTag, "dict", ended))
            return false;
        if (ended)
            break;
        if (keyTag.tag != Tag::Key)
            return fail(keyTag.at,
                        "expected <key> in <dict>, found <" + std::string(keyTag.name) + ">");
        std::string key;
        if (!keyTag.empty && !readText(key, keyTag))
            return false;
        bool duplicate = false;
        if (entries.size() < kLinear) {
            for (const Entry& e : entries)
                duplicate = duplicate || e.key == key;
        } else {
            if (seen.empty())
                for (const Entry& e : entries)
                    seen.insert(e.key.str());
            duplicate = !seen.insert(key).second;
        }
        if (duplicate)
            return fail(keyTag.at, "duplicate key \"" + key + "\" in <dict>");
        StartTag valueTag;
        if (!nextChild(valueTag, "dict", ended))
            return false;
        if (ended || valueTag.tag == Tag::Key)
            return fail(keyTag.at, "key \"" + key + "\" has no value");
        Value v;
        if (!readValue(v, valueTag, depth))
            return false;
        entries.push_back({std::move(key), std::move(v)});
    }
    std::vector<Entry> exact;
    exact.reserve(entries.size());
    std::move(entries.begin(), entries.end(), std::back_inserter(exact));
    entries.clear();
    out = Dictionary::adopt(std::move(exact));
    return true;
}

// Kept whole: one pass in document order (byte-order mark, declaration,
// doctype, <plist>, the root value or the root array's elements one by one,
// then what follows) in a lambda whose every early return reaches the one
// place below that turns the first error into a line number.
ArrayReadResult XmlReader::parse(Value* root, const std::function<void(Value&&)>* element,
                                 const std::function<void(std::size_t)>* readUpTo) {
    ArrayReadResult result;
    std::string_view rootName;
    auto run = [&]() -> bool {
        if (startsWith("\xEF\xBB\xBF"))
            m_p += 3;
        else if (startsWith("\xFE\xFF") || startsWith("\xFF\xFE"))
            return fail(m_p, "UTF-16 documents are not read (only UTF-8)");
        if (startsWith("<?xml") && std::size_t(m_end - m_p) > 5 && isXmlSpace(m_p[5]) &&
            !readXmlDeclaration())
            return false;
        bool doctypeSeen = false;
        for (;;) {
            if (!skipMisc())
                return false;
            if (!startsWith("<!DOCTYPE"))
                break;
            if (doctypeSeen)
                return fail(m_p, "a second document type declaration");
            doctypeSeen = true;
            if (!readDoctype())
                return false;
        }
        if (m_p >= m_end || *m_p != '<')
            return fail(m_p, "not an XML property list (no <plist> element)");
        StartTag plistTag;
        if (!readStartTag(plistTag))
            return false;
        if (plistTag.tag != Tag::Plist)
            return fail(plistTag.at,
                        "the root element is <" + std::string(plistTag.name) + ">, not <plist>");
        if (!plistTag.version.empty() && plistTag.version != "1.0")
            return fail(plistTag.at, "unsupported property-list version \"" +
                                         std::string(plistTag.version) + "\"");
        if (plistTag.empty)
            return fail(plistTag.at, "<plist> holds no value");
        StartTag top;
        bool ended = false;
        if (!nextChild(top, "plist", ended))
            return false;
        if (ended)
            return fail(plistTag.at, "<plist> holds no value");
        result.status = top.tag == Tag::Array ? ArrayStatus::Ok : ArrayStatus::NotAnArray;
        rootName = top.name;
        if (top.tag == Tag::Array && element) {
            if (!top.empty) {
                for (;;) {
                    StartTag child;
                    if (!nextChild(child, "array", ended))
                        return false;
                    if (ended)
                        break;
                    Value v;
                    if (!readValue(v, child, 2))
                        return false;
                    (*element)(std::move(v));
                    if (readUpTo)
                        (*readUpTo)(std::size_t(m_p - m_begin));
                }
            }
        } else {
            Value v;
            if (!readValue(v, top, 1))
                return false;
            if (root)
                *root = std::move(v);
        }
        StartTag extra;
        if (!nextChild(extra, "plist", ended))
            return false;
        if (!ended)
            return fail(extra.at, "<plist> holds more than one value");
        if (!skipMisc())
            return false;
        if (m_p != m_end)
            return fail(m_p, "content after </plist>");
        return true;
    };
    if (!run()) {
        const auto line = 1 + std::count(m_begin, m_errorAt, '\n');
        result.status = ArrayStatus::Error;
        result.error = QStringLiteral("line %1: %2").arg(line).arg(QString::fromUtf8(m_error));
    } else if (result.status == ArrayStatus::NotAnArray) {
        result.error = QStringLiteral("the root of the property list is <%1>, not an array")
                           .arg(textFromUtf8(rootName));
    }
    return result;
}

ArrayReadResult readXml(std::string_view doc, Value* root,
                        const std::function<void(Value&&)>* element,
                        const std::function<void(std::size_t)>* readUpTo) {
    return XmlReader(doc).parse(root, element, readUpTo);
}

} // namespace kd::plist::detail
