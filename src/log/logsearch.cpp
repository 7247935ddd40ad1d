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

} // namespace

LogSearch::LogSearch(const QString& needle, Qt::CaseSensitivity sensitivity)
    : m_caseSensitive(sensitivity == Qt::CaseSensitive) {
    if (m_caseSensitive) {
        m_bytes = needle.toUtf8();
        if (!m_bytes.isEmpty())
            m_lead[static_cast<unsigned char>(m_bytes[0])] = true;
        return;
    }
    for (const char32_t c : needle.toUcs4())
        m_folded.push_back(fold(c));
    if (m_folded.empty())
        return;
    // Every character that folds to the needle's first one may start a match.
    const char32_t first = m_folded.front();
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c == 0xD800)
            c = 0xE000; // no surrogates in UTF-8
        if (fold(c) == first)
            m_lead[leadByte(c)] = true;
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
    qint64 found = -1;
    const qint64 n = m_bytes.size();
    text.forEachSpan(from, to, [&](const char* data, qint64 length, qint64 at) {
        if (m_caseSensitive) {
            if (const void* hit = ::memmem(data, size_t(length), m_bytes.constData(), size_t(n))) {
                found = at + (static_cast<const char*>(hit) - data);
                return false;
            }
            // Matches that run on past the end of this piece.
            for (qint64 i = std::max<qint64>(0, length - n + 1); i < length; ++i) {
                if (m_lead[static_cast<unsigned char>(data[i])] && matchAt(text, at + i) >= 0) {
                    found = at + i;
                    return false;
                }
            }
            return true;
        }
        for (qint64 i = 0; i < length; ++i) {
            if (m_lead[static_cast<unsigned char>(data[i])] && matchAt(text, at + i) >= 0) {
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
    const qint64 n = m_bytes.size();
    // One block at a time, the last block first.
    for (qint64 hi = to; hi > from;) {
        const qint64 lo = std::max(from, (hi - 1) & ~(LogText::kBlockSize - 1));
        qint64 found = -1;
        text.forEachSpan(lo, hi, [&](const char* data, qint64 length, qint64 at) {
            qint64 i = length;
            if (m_caseSensitive) {
                // Matches that run on past the end of this piece come last.
                for (; i > 0 && i > length - n + 1; --i) {
                    if (m_lead[static_cast<unsigned char>(data[i - 1])] &&
                        matchAt(text, at + i - 1) >= 0) {
                        found = at + i - 1;
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
            }
            for (; i > 0; --i) {
                if (m_lead[static_cast<unsigned char>(data[i - 1])] &&
                    matchAt(text, at + i - 1) >= 0) {
                    found = at + i - 1;
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
