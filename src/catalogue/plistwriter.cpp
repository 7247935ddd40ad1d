#include "catalogue/plistwriter.h"

#include "catalogue/plistreader_p.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace kd::plist {

namespace {

constexpr std::string_view kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                     "<plist version=\"1.0\">\n";
constexpr std::string_view kFooter = "</plist>\n";

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class Writer {
public:
    explicit Writer(std::string& out) : m_out(out) {}

    bool value(const Value& v, int depth);
    bool arrayElements(std::span<const Value> items, int depth);
    QString error() const { return QString::fromStdString(m_error); }

private:
    bool fail(std::string message) {
        m_error = std::move(message);
        return false;
    }
    void indent(int depth) { m_out.append(std::size_t(depth), '\t'); }
    bool text(std::string_view s);
    void date(const Date& d);
    void data(const Data& bytes, int depth);

    std::string& m_out;
    std::string m_error;
};

// Escapes & < > and writes a carriage return as a reference, since XML
// readers turn a literal one into a line feed.
bool Writer::text(std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    const char* run = p;
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        const char* repl = nullptr;
        if (c == '&')
            repl = "&amp;";
        else if (c == '<')
            repl = "&lt;";
        else if (c == '>')
            repl = "&gt;";
        else if (c == '\r')
            repl = "&#13;";
        else if (c < 0x20 && c != '\t' && c != '\n')
            return fail("the string \"" + std::string(s.substr(0, 40)) +
                        "\" holds a control character that XML cannot carry");
        if (repl) {
            m_out.append(run, p);
            m_out.append(repl);
            run = ++p;
        } else if (c >= 0x80) {
            const std::size_t n = detail::utf8SequenceLength(p, end);
            // U+FFFE and U+FFFF are not XML characters either.
            if (n == 0 || (n == 3 && c == 0xEF && static_cast<unsigned char>(p[1]) == 0xBF &&
                           static_cast<unsigned char>(p[2]) >= 0xBE))
                return fail("a string is not valid UTF-8 or holds a character XML cannot carry");
            p += n;
        } else {
            ++p;
        }
    }
    m_out.append(run, p);
    return true;
}

void Writer::date(const Date& d) {
    const CivilTime t = civilFromSeconds(d.seconds);
    char buf[64];
    char* p = buf;
    std::int64_t year = t.year;
    if (year < 0) {
        *p++ = '-';
        year = -year;
    }
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, year);
    for (auto n = r.ptr - digits; n < 4; ++n)
        *p++ = '0';
    p = std::copy(digits, r.ptr, p);
    auto two = [&](char sep, int v) {
        *p++ = sep;
        *p++ = char('0' + v / 10);
        *p++ = char('0' + v % 10);
    };
    two('-', t.month);
    two('-', t.day);
    two('T', t.hour);
    two(':', t.minute);
    two(':', t.second);
    if (d.nanoseconds) {
        *p++ = '.';
        std::uint32_t ns = d.nanoseconds;
        char frac[9];
        for (int i = 8; i >= 0; --i, ns /= 10)
            frac[i] = char('0' + ns % 10);
        int len = 9;
        while (frac[len - 1] == '0')
            --len;
        p = std::copy(frac, frac + len, p);
    }
    *p++ = 'Z';
    m_out.append(buf, p);
}

void Writer::data(const Data& bytes, int depth) {
    constexpr std::size_t kLine = 76; // characters of base64 per line
    std::size_t column = 0;
    const std::size_t n = bytes.size();
    auto put = [&](char c) {
        if (column == 0)
            indent(depth);
        m_out += c;
        if (++column == kLine) {
            m_out += '\n';
            column = 0;
        }
    };
    for (std::size_t i = 0; i < n; i += 3) {
        const std::uint32_t b0 = std::uint32_t(bytes[i]);
        const std::uint32_t b1 = i + 1 < n ? std::uint32_t(bytes[i + 1]) : 0;
        const std::uint32_t b2 = i + 2 < n ? std::uint32_t(bytes[i + 2]) : 0;
        const std::uint32_t v = (b0 << 16) | (b1 << 8) | b2;
        put(kBase64[(v >> 18) & 63]);
        put(kBase64[(v >> 12) & 63]);
        put(i + 1 < n ? kBase64[(v >> 6) & 63] : '=');
        put(i + 2 < n ? kBase64[v & 63] : '=');
    }
    if (column)
        m_out += '\n';
}

bool Writer::arrayElements(std::span<const Value> items, int depth) {
    for (const Value& item : items)
        if (!value(item, depth))
            return false;
    return true;
}

bool Writer::value(const Value& v, int depth) {
    if (depth > kMaxDepth)
        return fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    indent(depth - 1);
    switch (v.kind()) {
    case Kind::String:
        m_out += "<string>";
        if (!text(*v.string()))
            return false;
        m_out += "</string>\n";
        return true;
    case Kind::Integer:
        m_out += "<integer>";
        m_out += v.integer()->toString();
        m_out += "</integer>\n";
        return true;
    case Kind::Real: {
        const double d = *v.real();
        const auto bits = std::bit_cast<std::uint64_t>(d);
        if (std::isnan(d) && (bits & ~(std::uint64_t(1) << 63)) != 0x7FF8000000000000u)
            return fail("a real NaN carrying a payload has no text form");
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, d);
        m_out += "<real>";
        m_out.append(buf, r.ptr);
        m_out += "</real>\n";
        return true;
    }
    case Kind::Boolean:
        m_out += *v.boolean() ? "<true/>\n" : "<false/>\n";
        return true;
    case Kind::Date:
        m_out += "<date>";
        date(*v.date());
        m_out += "</date>\n";
        return true;
    case Kind::Data:
        m_out += "<data>\n";
        data(*v.data(), depth - 1);
        indent(depth - 1);
        m_out += "</data>\n";
        return true;
    case Kind::Array:
        if (v.array()->empty()) {
            m_out += "<array/>\n";
            return true;
        }
        m_out += "<array>\n";
        if (!arrayElements(*v.array(), depth + 1))
            return false;
        indent(depth - 1);
        m_out += "</array>\n";
        return true;
    case Kind::Dictionary:
        if (v.dictionary()->empty()) {
            m_out += "<dict/>\n";
            return true;
        }
        m_out += "<dict>\n";
        for (const Entry& e : v.dictionary()->entries()) {
            indent(depth);
            m_out += "<key>";
            if (!text(e.key))
                return false;
            m_out += "</key>\n";
            if (!value(e.value, depth + 1))
                return false;
        }
        indent(depth - 1);
        m_out += "</dict>\n";
        return true;
    }
    return fail("unknown value kind");
}

} // namespace

bool writeXml(const Value& root, std::string& out, QString* error) {
    out.assign(kHeader);
    Writer w(out);
    if (!w.value(root, 1)) {
        if (error)
            *error = w.error();
        return false;
    }
    out += kFooter;
    return true;
}

bool writeXmlArray(std::span<const Value> elements, std::string& out, QString* error) {
    out.assign(kHeader);
    if (elements.empty()) {
        out += "<array/>\n";
    } else {
        out += "<array>\n";
        Writer w(out);
        if (!w.arrayElements(elements, 2)) {
            if (error)
                *error = w.error();
            return false;
        }
        out += "</array>\n";
    }
    out += kFooter;
    return true;
}

} // namespace kd::plist
