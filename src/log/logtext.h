#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <memory>
#include <vector>

namespace kd {

// An append-only UTF-8 text with an index of line starts, built for logs of
// hundreds of megabytes: bytes live in fixed blocks that are never moved or
// reallocated, line starts in fixed pages, so an append costs a copy and one
// scan and memory stays close to the text's own size.
//
// Lines end at "\n", "\r" or "\r\n"; a "\r\n" split between two appends is
// still one line end. Positions are byte offsets.
class LogText {
public:
    static constexpr int kBlockBits = 18; // 256 KiB
    static constexpr qint64 kBlockSize = qint64(1) << kBlockBits;
    static constexpr int kPageBits = 13; // 8192 line starts
    static constexpr qint64 kPageSize = qint64(1) << kPageBits;

    LogText();

    void append(QByteArrayView utf8);
    void clear();

    qint64 size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // Always at least 1: an empty text, or one ending in a line end, has an
    // empty last line.
    qint64 lineCount() const { return m_lineCount; }
    qint64 lineStart(qint64 line) const {
        return m_pages[size_t(line >> kPageBits)][line & (kPageSize - 1)];
    }
    // End of the line's content, before its line end.
    qint64 lineEnd(qint64 line) const;
    // The line holding byte `pos` (the last line for pos == size()).
    qint64 lineOf(qint64 pos) const;
    // An upper bound of the longest line's length in bytes.
    qint64 longestLineBytes() const { return std::max(m_longestLine, m_size - m_lastLineStart); }
    // Display cells of the last line (a tab advances to the next multiple of 8).
    qint64 lastLineCells() const { return m_lastLineCells; }

    char at(qint64 pos) const {
        return m_blocks[size_t(pos >> kBlockBits)][pos & (kBlockSize - 1)];
    }
    QByteArray bytes(qint64 from, qint64 to) const;
    // Calls f(const char* data, qint64 length, qint64 position) for each
    // contiguous piece of [from, to); stops early when f returns false.
    template <typename F> void forEachSpan(qint64 from, qint64 to, F&& f) const;

    // Bytes held for text and index together.
    qint64 capacity() const;

private:
    void pushLineStart(qint64 start);
    void copyIn(const char* data, qint64 length);
    void countLastLineCells(const char* data, qint64 length);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::unique_ptr<qint64[]>> m_pages;
    qint64 m_size = 0;
    qint64 m_lineCount = 0;
    qint64 m_lastLineStart = 0;
    qint64 m_longestLine = 0;
    qint64 m_lastLineCells = 0;
    char m_lastByte = 0;
};

template <typename F> void LogText::forEachSpan(qint64 from, qint64 to, F&& f) const {
    from = std::max<qint64>(from, 0);
    to = std::min(to, m_size);
    while (from < to) {
        const qint64 offset = from & (kBlockSize - 1);
        const qint64 length = std::min(to - from, kBlockSize - offset);
        if (!f(m_blocks[size_t(from >> kBlockBits)].get() + offset, length, from))
            return;
        from += length;
    }
}

} // namespace kd
