#include "log/logtext.h"

#include <cstdint>
#include <cstring>

namespace kd {

namespace {

// True when some byte of the word is below 0x0E, i.e. could be "\n" or "\r".
bool mayHoldLineEnd(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    return ((word - ones * 0x0E) & ~word & highs) != 0;
}

} // namespace

LogText::LogText() {
    pushLineStart(0);
}

void LogText::clear() {
    m_blocks.clear();
    m_pages.clear();
    m_size = 0;
    m_lineCount = 0;
    m_lastLineStart = 0;
    m_longestLine = 0;
    m_lastLineCells = 0;
    m_lastByte = 0;
    pushLineStart(0);
}

void LogText::pushLineStart(qint64 start) {
    const auto page = size_t(m_lineCount >> kPageBits);
    if (page == m_pages.size())
        m_pages.push_back(std::make_unique_for_overwrite<qint64[]>(size_t(kPageSize)));
    m_pages[page][m_lineCount & (kPageSize - 1)] = start;
    ++m_lineCount;
    m_longestLine = std::max(m_longestLine, start - m_lastLineStart);
    m_lastLineStart = start;
}

void LogText::append(QByteArrayView utf8) {
    const char* p = utf8.data();
    const qsizetype n = utf8.size();
    if (n == 0)
        return;
    const qint64 base = m_size;
    const qint64 lastStartBefore = m_lastLineStart;

    qsizetype i = 0;
    while (i < n) {
        // Skip eight bytes at a time while none of them can end a line.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (!mayHoldLineEnd(word)) {
                i += 8;
                continue;
            }
        }
        const char c = p[i];
        if (c == '\r') {
            pushLineStart(base + i + 1);
        } else if (c == '\n') {
            const char before = i > 0 ? p[i - 1] : m_lastByte;
            if (before == '\r') {
                // Same line end as the "\r" just before: move its line start on.
                const qint64 line = m_lineCount - 1;
                m_pages[size_t(line >> kPageBits)][line & (kPageSize - 1)] = base + i + 1;
                m_lastLineStart = base + i + 1;
                if (line > 0)
                    m_longestLine = std::max(m_longestLine, m_lastLineStart - lineStart(line - 1));
            } else {
                pushLineStart(base + i + 1);
            }
        }
        ++i;
    }

    copyIn(p, n);
    m_lastByte = p[n - 1];
    if (m_lastLineStart != lastStartBefore)
        m_lastLineCells = 0;
    const qint64 tailFrom = std::max(m_lastLineStart, base);
    countLastLineCells(p + (tailFrom - base), m_size - tailFrom);
}

void LogText::countLastLineCells(const char* data, qint64 length) {
    qint64 cells = m_lastLineCells;
    for (qint64 i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if ((c & 0xC0) == 0x80)
            continue; // continuation byte: same character
        cells = c == '\t' ? (cells / 8 + 1) * 8 : cells + 1;
    }
    m_lastLineCells = cells;
}

void LogText::copyIn(const char* data, qint64 length) {
    while (length > 0) {
        const qint64 offset = m_size & (kBlockSize - 1);
        if (offset == 0 && size_t(m_size >> kBlockBits) == m_blocks.size())
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size_t(kBlockSize)));
        const qint64 take = std::min(length, kBlockSize - offset);
        std::memcpy(m_blocks[size_t(m_size >> kBlockBits)].get() + offset, data, size_t(take));
        data += take;
        length -= take;
        m_size += take;
    }
}

qint64 LogText::lineEnd(qint64 line) const {
    if (line + 1 >= m_lineCount)
        return m_size;
    const qint64 next = lineStart(line + 1);
    // A "\r" before a "\n" always belongs to the same line end.
    if (at(next - 1) == '\n' && next - 2 >= lineStart(line) && at(next - 2) == '\r')
        return next - 2;
    return next - 1;
}

qint64 LogText::lineOf(qint64 pos) const {
    qint64 low = 0;
    qint64 high = m_lineCount - 1;
    while (low < high) {
        const qint64 mid = low + (high - low + 1) / 2;
        if (lineStart(mid) <= pos)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

QByteArray LogText::bytes(qint64 from, qint64 to) const {
    from = std::clamp<qint64>(from, 0, m_size);
    to = std::clamp<qint64>(to, from, m_size);
    QByteArray out(qsizetype(to - from), Qt::Uninitialized);
    char* dest = out.data();
    forEachSpan(from, to, [&dest](const char* data, qint64 length, qint64) {
        std::memcpy(dest, data, size_t(length));
        dest += length;
        return true;
    });
    return out;
}

qint64 LogText::capacity() const {
    return qint64(m_blocks.size()) * kBlockSize +
           qint64(m_pages.size()) * kPageSize * qint64(sizeof(qint64));
}

} // namespace kd
