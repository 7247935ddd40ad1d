#pragma once

#include "catalogue/plistreader_p.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kd::plist::detail {

enum class Tag { String, Key, Integer, Real, True, False, Date, Data, Array, Dict, Plist, Other };

struct StartTag {
    Tag tag = Tag::Other;
    std::string_view name;
    bool empty = false; // <x/>
    const char* at = nullptr;
    std::string_view version; // only read on <plist>
};

inline bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The reader of the XML form. Its tokenizer (prolog, tags, references,
// character data) is in plistxmltokenizer.cpp; the values and the document
// are read in plistxmlreader.cpp.
class XmlReader {
public:
    explicit XmlReader(std::string_view doc)
        : m_begin(doc.data()), m_p(doc.data()), m_end(doc.data() + doc.size()),
          m_dictScratch(kMaxDepth + 2), m_arrayScratch(kMaxDepth + 2) {}

    ArrayReadResult parse(Value* root, const std::function<void(Value&&)>* element,
                          const std::function<void(std::size_t)>* readUpTo);

private:
    bool fail(const char* at, std::string message);
    bool startsWith(std::string_view s) const {
        return std::size_t(m_end - m_p) >= s.size() && std::memcmp(m_p, s.data(), s.size()) == 0;
    }
    void skipSpace() {
        while (m_p < m_end && isXmlSpace(*m_p))
            ++m_p;
    }
    bool skipPast(std::string_view terminator, const char* what);
    bool skipMisc();
    bool readXmlDeclaration();
    bool readDoctype();
    bool readName(std::string_view& name);
    bool readStartTag(StartTag& tag);
    bool readEndTag(std::string_view name);
    bool nextChild(StartTag& tag, std::string_view parent, bool& ended);
    bool readText(std::string& out, const StartTag& tag);
    bool readReference(std::string& out);
    bool appendCdata(std::string& out);
    bool readValue(Value& out, const StartTag& tag, int depth);
    bool readArrayBody(Array& out, int depth);
    bool readDictBody(Dictionary& out, int depth);
    bool readInteger(Value& out, const StartTag& tag);
    bool readReal(Value& out, const StartTag& tag);
    bool readDate(Value& out, const StartTag& tag);
    bool readData(Value& out, const StartTag& tag);

    const char* m_begin;
    const char* m_p;
    const char* m_end;
    std::string m_error;
    const char* m_errorAt = nullptr;
    std::string m_scratch;
    // One reusable buffer per depth, so containers end up allocated at their
    // exact size instead of at the growth policy's.
    std::vector<std::vector<Entry>> m_dictScratch;
    std::vector<Array> m_arrayScratch;
};

} // namespace kd::plist::detail
