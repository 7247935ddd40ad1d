#include "log/logtext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kd {

namespace {

#if !defined(__SSE2__)
// True when some byte of the word is below 0x0E, i.e. could be "\n" or "\r".
bool mayHoldLineEnd(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    return ((word - ones * 0x0E) & ~word & highs) != 0;
}
#endif

} // namespace

LogText::Block::Block(Block&& other) noexcept : data(other.data), mapped(other.mapped) {
    other.data = nullptr;
}

LogText::Block::~Block() {
    if (!data)
        return;
    if (mapped)
        munmap(data, size_t(kBlockSize));
    else
        std::free(data);
}

LogText::Block LogText::Block::allocate() {
    // Map twice the size and trim to an aligned block, so that the kernel can
    // back it with one huge page instead of faulting in 512 small ones.
    const auto size = size_t(kBlockSize);
    void* area =
        mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area != MAP_FAILED) {
        const auto start = reinterpret_cast<std::uintptr_t>(area);
        const std::uintptr_t aligned = (start + size - 1) & ~std::uintptr_t(size - 1);
        if (aligned > start)
            munmap(area, aligned - start);
        if (aligned + size < start + 2 * size)
            munmap(reinterpret_cast<void*>(aligned + size), start + size - aligned);
        void* block = reinterpret_cast<void*>(aligned);
        madvise(block, size, MADV_HUGEPAGE); // a hint; small pages work too
        return Block(block, true);
    }
    void* memory = std::malloc(size);
    if (!memory)
        throw std::bad_alloc();
    return Block(memory, false);
}

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
        m_pages.push_back(Block::allocate());
    this->page(qint64(page))[m_lineCount & (kPageSize - 1)] = start;
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

    auto lineEndAt = [&](qsizetype i) {
        if (p[i] == '\r') {
            pushLineStart(base + i + 1);
            return;
        }
        const char before = i > 0 ? p[i - 1] : m_lastByte;
        if (before != '\r') {
            pushLineStart(base + i + 1);
            return;
        }
        // Same line end as the "\r" just before: move its line start on.
        const qint64 line = m_lineCount - 1;
        page(line >> kPageBits)[line & (kPageSize - 1)] = base + i + 1;
        m_lastLineStart = base + i + 1;
        if (line > 0)
            m_longestLine = std::max(m_longestLine, m_lastLineStart - lineStart(line - 1));
    };

    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        unsigned mask =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        while (mask) {
            lineEndAt(i + __builtin_ctz(mask));
            mask &= mask - 1;
        }
    }
#else
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (!mayHoldLineEnd(word))
            continue;
        for (qsizetype j = i; j < i + 8; ++j) {
            if (p[j] == '\n' || p[j] == '\r')
                lineEndAt(j);
        }
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\n' || p[i] == '\r')
            lineEndAt(i);
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
            m_blocks.push_back(Block::allocate());
        const qint64 take = std::min(length, kBlockSize - offset);
        std::memcpy(block(m_size >> kBlockBits) + offset, data, size_t(take));
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
