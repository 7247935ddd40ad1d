#include "log/logsearch.h"

#include <QChar>
#include <QList>
#include <cstring>

namespace kd {

namespace {

char32_t fold(char32_t c) {
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    return QChar::toCaseFolded(c);
}

// The code point at `pos` and where the next one starts. The log holds valid
// UTF-8; a stray byte still reads as one replacement character.
char32_t decodeAt(const LogText& text, qint64 pos, qint64& next) {
    const auto lead = static_cast<unsigned char>(text.at(pos));
    next = pos + 1;
    if (lead < 0x80)
        return lead;
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || pos + length > text.size())
        return 0xFFFD;
    char32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (static_cast<unsigned char>(text.at(pos + i)) & 0x3F);
    next = pos + length;
    return c;
}

// The first byte of `c` in UTF-8.
unsigned char leadByte(char32_t c) {
    if (c < 0x80)
        return static_cast<unsigned char>(c);
    if (c < 0x800)
        return static_cast<unsigned char>(0xC0 | (c >> 6));
    if (c < 0x10000)
        return static_cast<unsigned char>(0xE0 | (c >> 12));
    return static_cast<unsigned char>(0xF0 | (c >> 18));
}

// ASCII letters to lower case, the rest as it is; written so that the
// compiler does it many bytes at a time.
void foldAscii(const unsigned char* __restrict in, unsigned char* __restrict out, size_t n) {
    for (size_t i = 0; i < n; ++i)
        out[i] =
            static_cast<unsigned char>(in[i] + (static_cast<unsigned char>(in[i] - 'A') < 26) * 32);
}

// The characters whose case folding is not themselves, with their folding.
const std::vector<std::pair<char32_t, char32_t>>& foldedCharacters() {
    static const std::vector<std::pair<char32_t, char32_t>> all = [] {
        std::vector<std::pair<char32_t, char32_t>> found;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c == 0xD800)
                c = 0xE000; // no surrogates in UTF-8
            if (const char32_t folded = fold(c); folded != c)
                found.emplace_back(c, folded);
        }
        return found;
    }();
    return all;
}

// Marks the first bytes of every character that folds to `folded`.
void markLeadBytes(std::array<bool, 256>& lead, char32_t folded) {
    lead[leadByte(folded)] = true;
    for (const auto& [c, f] : foldedCharacters())
        if (f == folded)
            lead[leadByte(c)] = true;
}

} // namespace

LogSearch::LogSearch(const QString& needle, Qt::CaseSensitivity sensitivity)
    : m_caseSensitive(sensitivity == Qt::CaseSensitive) {
    if (m_caseSensitive) {
        m_bytes = needle.toUtf8();
        return;
    }
    for (const char32_t c : needle.toUcs4())
        m_folded.push_back(fold(c));
    // Every character that folds to the needle's first one may start a match;
    // after one of a single byte, the next byte must be able to start the second.
    if (!m_folded.empty())
        markLeadBytes(m_lead, m_folded[0]);
    if (m_folded.size() > 1)
        markLeadBytes(m_second, m_folded[1]);
    else
        m_second.fill(true);
    if (std::all_of(m_folded.begin(), m_folded.end(), [](char32_t c) { return c < 0x80; })) {
        for (const char32_t c : m_folded)
            m_foldedAscii.append(char(c));
        // Characters of more than one byte that fold into the needle's (the
        // Kelvin sign, the long s): a window holding one is searched the slow way.
        for (const auto& [c, folded] : foldedCharacters()) {
            if (c < 0x80 || folded >= 0x80 || !m_foldedAscii.contains(char(folded)))
                continue;
            if (m_variantCount == int(m_variantStarts.size())) {
                m_foldedAscii.clear(); // more than foreseen: all the slow way
                break;
            }
            const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
            m_variantStarts[size_t(m_variantCount++)] = {static_cast<unsigned char>(bytes[0]),
                                                         static_cast<unsigned char>(bytes[1])};
        }
        if (m_variantCount == 1)
            m_variantStarts[1] = m_variantStarts[0];
    }
}

qint64 LogSearch::matchAt(const LogText& text, qint64 pos) const {
    if (m_caseSensitive) {
        const qint64 end = pos + m_bytes.size();
        if (m_bytes.isEmpty() || end > text.size())
            return -1;
        bool same = true;
        text.forEachSpan(pos, end, [&](const char* data, qint64 length, qint64 at) {
            same = std::memcmp(data, m_bytes.constData() + (at - pos), size_t(length)) == 0;
            return same;
        });
        return same ? end : -1;
    }
    if (m_folded.empty())
        return -1;
    qint64 at = pos;
    for (const char32_t wanted : m_folded) {
        if (at >= text.size())
            return -1;
        if (fold(decodeAt(text, at, at)) != wanted)
            return -1;
    }
    return at;
}

// The first match that starts in [from, to).
qint64 LogSearch::firstIn(const LogText& text, qint64 from, qint64 to) const {
    if (!m_caseSensitive)
        return m_foldedAscii.isEmpty() ? scanFirst(text, from, to) : foldedFirst(text, from, to);
    qint64 found = -1;
    const qint64 n = m_bytes.size();
    text.forEachSpan(from, to, [&](const char* data, qint64 length, qint64 at) {
        if (const void* hit = ::memmem(data, size_t(length), m_bytes.constData(), size_t(n))) {
            found = at + (static_cast<const char*>(hit) - data);
            return false;
        }
        // Matches that run on past the end of this piece.
        for (qint64 i = std::max<qint64>(0, length - n + 1); i < length; ++i) {
            if (matchAt(text, at + i) >= 0) {
                found = at + i;
                return false;
            }
        }
        return true;
    });
    return found;
}

// The last match that starts in [from, to).
qint64 LogSearch::lastIn(const LogText& text, qint64 from, qint64 to) const {
    if (!m_caseSensitive)
        return m_foldedAscii.isEmpty() ? scanLast(text, from, to) : foldedLast(text, from, to);
    const qint64 n = m_bytes.size();
    // One block at a time, the last block first.
    for (qint64 hi = to; hi > from;) {
        const qint64 lo = std::max(from, (hi - 1) & ~(LogText::kBlockSize - 1));
        qint64 found = -1;
        text.forEachSpan(lo, hi, [&](const char* data, qint64 length, qint64 at) {
            // Matches that run on past the end of this piece come last.
            for (qint64 i = length - 1; i >= 0 && i > length - n; --i) {
                if (matchAt(text, at + i) >= 0) {
                    found = at + i;
                    return false;
                }
            }
            for (const char* p = data;;) {
                const auto* hit = static_cast<const char*>(
                    ::memmem(p, size_t(data + length - p), m_bytes.constData(), size_t(n)));
                if (!hit)
                    break;
                found = at + (hit - data);
                p = hit + 1;
            }
            return false;
        });
        if (found >= 0)
            return found;
        hi = lo;
    }
    return -1;
}

// Without case, byte by byte: a look at the first one or two bytes, then the
// whole comparison where they could start a match.
qint64 LogSearch::scanFirst(const LogText& text, qint64 from, qint64 to) const {
    qint64 found = -1;
    text.forEachSpan(from, to, [&](const char* data, qint64 length, qint64 at) {
        for (qint64 i = 0; i < length; ++i) {
            if (mayStartAt(data, i, length) && matchAt(text, at + i) >= 0) {
                found = at + i;
                return false;
            }
        }
        return true;
    });
    return found;
}

qint64 LogSearch::scanLast(const LogText& text, qint64 from, qint64 to) const {
    for (qint64 hi = to; hi > from;) {
        const qint64 lo = std::max(from, (hi - 1) & ~(LogText::kBlockSize - 1));
        qint64 found = -1;
        text.forEachSpan(lo, hi, [&](const char* data, qint64 length, qint64 at) {
            for (qint64 i = length - 1; i >= 0; --i) {
                if (mayStartAt(data, i, length) && matchAt(text, at + i) >= 0) {
                    found = at + i;
                    break;
                }
            }
            return false;
        });
        if (found >= 0)
            return found;
        hi = lo;
    }
    return -1;
}

// A needle that folds to ASCII is found in a copy of the text with its ASCII
// letters folded, a window at a time, by the same fast search as with case. A
// window that holds a character of more than one byte folding into the
// needle's (the Kelvin sign, the long s) is scanned the slow way instead.
qint64 LogSearch::foldWindow(const LogText& text, qint64 from, qint64 to,
                             std::vector<char>& window) const {
    const qint64 end = std::min(text.size(), to + m_foldedAscii.size() - 1);
    window.resize(size_t(end - from));
    char* out = window.data();
    text.forEachSpan(from, end, [&](const char* data, qint64 length, qint64) {
        foldAscii(reinterpret_cast<const unsigned char*>(data),
                  reinterpret_cast<unsigned char*>(out), size_t(length));
        out += length;
        return true;
    });
    return mayHoldVariant(reinterpret_cast<const unsigned char*>(window.data()), window.size())
               ? -1
               : end - from;
}

// Whether the window may hold a character of more than one byte that folds
// into the needle, by its first two bytes (the first alone at the end).
bool LogSearch::mayHoldVariant(const unsigned char* window, size_t n) const {
    if (m_variantCount == 0 || n == 0)
        return false;
    const unsigned char a0 = m_variantStarts[0][0];
    const unsigned char b0 = m_variantStarts[0][1];
    const unsigned char a1 = m_variantStarts[1][0];
    const unsigned char b1 = m_variantStarts[1][1];
    unsigned char seen = 0;
    for (size_t i = 0; i + 1 < n; ++i)
        seen |= ((window[i] == a0) & (window[i + 1] == b0)) |
                ((window[i] == a1) & (window[i + 1] == b1));
    return seen || window[n - 1] == a0 || window[n - 1] == a1;
}

qint64 LogSearch::foldedFirst(const LogText& text, qint64 from, qint64 to) const {
    std::vector<char> window;
    for (qint64 lo = from; lo < to; lo += WindowBytes) {
        const qint64 hi = std::min(to, lo + WindowBytes);
        const qint64 length = foldWindow(text, lo, hi, window);
        if (length < 0) {
            if (const qint64 found = scanFirst(text, lo, hi); found >= 0)
                return found;
            continue;
        }
        const auto* hit = static_cast<const char*>(::memmem(window.data(), size_t(length),
                                                            m_foldedAscii.constData(),
                                                            size_t(m_foldedAscii.size())));
        if (hit && hit - window.data() < hi - lo)
            return lo + (hit - window.data());
    }
    return -1;
}

qint64 LogSearch::foldedLast(const LogText& text, qint64 from, qint64 to) const {
    std::vector<char> window;
    for (qint64 hi = to; hi > from;) {
        const qint64 lo = std::max(from, hi - WindowBytes);
        const qint64 length = foldWindow(text, lo, hi, window);
        qint64 found = -1;
        if (length < 0) {
            found = scanLast(text, lo, hi);
        } else {
            for (const char* p = window.data();;) {
                const auto* hit = static_cast<const char*>(
                    ::memmem(p, size_t(window.data() + length - p), m_foldedAscii.constData(),
                             size_t(m_foldedAscii.size())));
                if (!hit || hit - window.data() >= hi - lo)
                    break;
                found = lo + (hit - window.data());
                p = hit + 1;
            }
        }
        if (found >= 0)
            return found;
        hi = lo;
    }
    return -1;
}

void LogSearch::begin(const LogText& text, qint64 start, Direction direction) {
    m_direction = direction;
    m_end = text.size();
    m_start = std::clamp<qint64>(start, 0, m_end);
    m_pos = m_start;
    m_wrapped = false;
    m_matchStart = m_matchEnd = -1;
    const bool empty = m_caseSensitive ? m_bytes.isEmpty() : m_folded.empty();
    m_state = empty || m_end == 0 ? State::NotFound : State::Searching;
}

bool LogSearch::finished(qint64 found, const LogText& text) {
    if (found < 0)
        return false;
    m_matchStart = found;
    m_matchEnd = matchAt(text, found);
    m_state = State::Found;
    return true;
}

LogSearch::State LogSearch::step(const LogText& text, qint64 budget) {
    // A text cleared meanwhile holds none of the places the search knows.
    if (m_state == State::Searching && text.size() < m_end)
        m_state = State::NotFound;
    while (m_state == State::Searching && budget > 0) {
        if (m_direction == Direction::Forward) {
            // [m_start, m_end), then [0, m_start).
            const qint64 limit = m_wrapped ? m_start : m_end;
            const qint64 to = std::min(limit, m_pos + budget);
            budget -= to - m_pos;
            if (finished(firstIn(text, m_pos, to), text))
                break;
            m_pos = to;
            if (m_pos < limit)
                continue;
            if (m_wrapped || m_start == 0)
                m_state = State::NotFound;
            m_wrapped = true;
            m_pos = 0;
        } else {
            // [0, m_start) from its end down, then [m_start, m_end) the same way.
            const qint64 limit = m_wrapped ? m_start : 0;
            const qint64 from = std::max(limit, m_pos - budget);
            budget -= m_pos - from;
            if (finished(lastIn(text, from, m_pos), text))
                break;
            m_pos = from;
            if (m_pos > limit)
                continue;
            if (m_wrapped || m_start == m_end)
                m_state = State::NotFound;
            m_wrapped = true;
            m_pos = m_end;
        }
    }
    return m_state;
}

LogSearch::State LogSearch::run(const LogText& text) {
    while (step(text, LogText::kBlockSize * 8) == State::Searching) {
    }
    return m_state;
}

} // namespace kd
