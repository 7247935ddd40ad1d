// The binary property-list reader on its own, on any bytes (the reader does
// not need the magic; the launcher only sends it files that have one). What
// it reads is checked against a second, independent encoding: the value
// written again in the simplest binary form (no shared objects, the smallest
// widths) must read back equal. The whole and streamed reads must agree, the
// public reader must give the same for a file with the magic, and the
// documented bounds of the expanded tree must hold.

#include "catalogue/plistreader.h"
#include "catalogue/plistreader_p.h"
#include "catalogue/plistwriter.h"
#include "check.h"
#include "platform/utf8text.h"

#include <QRegularExpression>
#include <bit>
#include <cstdint>
#include <limits>

namespace kd::fuzz {

using namespace kd::plist;

namespace {

int bytesFor(std::uint64_t v) {
    int n = 1;
    while (n < 8 && (v >> (8 * n)) != 0)
        n *= 2;
    return n;
}

void appendBigEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += char((v >> (8 * i)) & 0xFF);
}

// The simplest binary form of a value: every node its own object, numbered
// depth first (a dictionary's keys before its values), counts and references
// as narrow as they fit.
class BinaryEncoder {
public:
    std::string encode(const Value& root) {
        number(root);
        const int refSize = bytesFor(m_nodes.size() - 1);
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const Node& node : m_nodes) {
            offsets.push_back(out.size());
            writeObject(out, node, refSize);
        }
        const std::uint64_t table = out.size();
        const int offsetSize = bytesFor(offsets.back());
        for (const std::uint64_t offset : offsets)
            appendBigEndian(out, offset, offsetSize);
        out += std::string(6, '\0') + char(offsetSize) + char(refSize);
        appendBigEndian(out, m_nodes.size(), 8);
        appendBigEndian(out, 0, 8);
        appendBigEndian(out, table, 8);
        return out;
    }

private:
    struct Node {
        const Value* value = nullptr;
        const Key* key = nullptr; // a dictionary key, when value is null
        std::vector<std::uint64_t> refs;
    };

    std::uint64_t number(const Value& v) {
        const std::size_t index = m_nodes.size();
        m_nodes.push_back({&v, nullptr, {}});
        std::vector<std::uint64_t> refs;
        if (const Array* a = v.array()) {
            for (const Value& item : *a)
                refs.push_back(number(item));
        } else if (const Dictionary* d = v.dictionary()) {
            for (const Entry& e : d->entries()) {
                refs.push_back(m_nodes.size());
                m_nodes.push_back({nullptr, &e.key, {}});
            }
            for (const Entry& e : d->entries())
                refs.push_back(number(e.value));
        }
        m_nodes[index].refs = std::move(refs);
        return index;
    }

    static void writeCount(std::string& out, unsigned marker, std::uint64_t n) {
        if (n < 15) {
            out += char(marker | n);
            return;
        }
        out += char(marker | 0x0F);
        const int width = bytesFor(n);
        out += char(0x10 | std::countr_zero(unsigned(width)));
        appendBigEndian(out, n, width);
    }

    static void writeString(std::string& out, std::string_view s) {
        bool ascii = true;
        for (const char c : s)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) {
            writeCount(out, 0x50, s.size());
            out += s;
            return;
        }
        const QString text = textFromUtf8(s);
        writeCount(out, 0x60, std::uint64_t(text.size()));
        for (const QChar unit : text)
            appendBigEndian(out, unit.unicode(), 2);
    }

    static void writeObject(std::string& out, const Node& node, int refSize) {
        if (node.key) {
            writeString(out, *node.key);
            return;
        }
        const Value& v = *node.value;
        if (const std::string* s = v.string()) {
            writeString(out, *s);
        } else if (const Integer* i = v.integer()) {
            if (i->negative) {
                out += '\x13';
                appendBigEndian(out, i->magnitude == 0 ? 0 : ~(i->magnitude - 1), 8);
            } else if (i->magnitude > std::uint64_t(std::numeric_limits<std::int64_t>::max())) {
                out += '\x14';
                appendBigEndian(out, 0, 8);
                appendBigEndian(out, i->magnitude, 8);
            } else {
                const int width = bytesFor(i->magnitude);
                out += char(0x10 | std::countr_zero(unsigned(width)));
                appendBigEndian(out, i->magnitude, width);
            }
        } else if (const double* d = v.real()) {
            out += '\x23';
            appendBigEndian(out, std::bit_cast<std::uint64_t>(*d), 8);
        } else if (const bool* b = v.boolean()) {
            out += *b ? '\x09' : '\x08';
        } else if (const Date* t = v.date()) {
            // The reader keeps only whole 512ths of a second; the sum is exact.
            const double seconds = double(t->seconds) + double(t->nanoseconds / 1'953'125u) / 512;
            out += '\x33';
            appendBigEndian(out, std::bit_cast<std::uint64_t>(seconds), 8);
        } else if (const Data* data = v.data()) {
            writeCount(out, 0x40, data->size());
            for (const std::byte b : *data)
                out += char(b);
        } else {
            const bool dict = v.dictionary() != nullptr;
            writeCount(out, dict ? 0xD0 : 0xA0, node.refs.size() / (dict ? 2 : 1));
            for (const std::uint64_t ref : node.refs)
                appendBigEndian(out, ref, refSize);
        }
    }

    std::vector<Node> m_nodes;
};

struct Extent {
    std::uint64_t objects = 0; // values and dictionary keys
    std::uint64_t bytes = 0;   // of strings, keys and data
    int depth = 0;
};

void measure(const Value& v, int depth, Extent& extent) {
    ++extent.objects;
    extent.depth = std::max(extent.depth, depth);
    if (const std::string* s = v.string())
        extent.bytes += s->size();
    else if (const Data* d = v.data())
        extent.bytes += d->size();
    else if (const Array* a = v.array())
        for (const Value& item : *a)
            measure(item, depth + 1, extent);
    else if (const Dictionary* d = v.dictionary())
        for (const Entry& e : d->entries()) {
            ++extent.objects;
            extent.bytes += e.key.size();
            measure(e.value, depth + 1, extent);
        }
}

} // namespace

void checkBinaryPlist(std::string_view bytes) {
    Value root;
    const ArrayReadResult whole = detail::readBinary(bytes, &root, nullptr);
    std::vector<Value> elements;
    const std::function<void(Value &&)> element = [&](Value&& v) {
        elements.push_back(std::move(v));
    };
    const ArrayReadResult streamed = detail::readBinary(bytes, nullptr, &element);
    require(whole.status == streamed.status && whole.error == streamed.error,
            "the whole and streamed binary reads disagree");

    if (bytes.substr(0, 8) == "bplist00") {
        const ReadResult r = read(bytes);
        require(r.value.has_value() == (whole.status != ArrayStatus::Error) &&
                    (r.value ? *r.value == root : r.error == whole.error),
                "the public reader does not give what the binary reader gives");
    }

    if (whole.status == ArrayStatus::Error) {
        // Errors name a place inside the file.
        static const QRegularExpression offset(QStringLiteral("^offset (\\d+): ."));
        const QRegularExpressionMatch m = offset.match(whole.error);
        require(m.hasMatch() && m.captured(1).toULongLong() <= bytes.size(),
                "an error does not name an offset in the file");
        return;
    }
    if (whole.status == ArrayStatus::Ok)
        require(root.array() && *root.array() == elements,
                "the streamed elements differ from the whole array");
    else
        require(!root.array() && elements.empty(), "what is not an array was streamed");

    Extent extent;
    measure(root, 1, extent);
    require(extent.depth <= kMaxDepth, "a value nests deeper than the limit");
    require(extent.objects <= 2 * bytes.size() + 65536,
            "shared objects expanded beyond their bound");
    require(extent.bytes <= 8 * std::uint64_t(bytes.size()) + (std::uint64_t(64) << 20),
            "shared strings expanded beyond their bound");

    const std::string again = BinaryEncoder().encode(root);
    Value back;
    const ArrayReadResult reread = detail::readBinary(again, &back, nullptr);
    require(reread.status == whole.status && back == root,
            "a value written again in binary reads back different");

    std::string xml;
    if (writeXml(root, xml)) {
        const ReadResult fromXml = read(xml);
        require(fromXml.value && *fromXml.value == root,
                "a value written as XML reads back different");
    }
}

} // namespace kd::fuzz
