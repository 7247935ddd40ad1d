#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
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
    // Blocks and index pages are one huge page (2 MiB) each: first touches
    // of fresh memory, not copying, are what a flood of output costs most.
    static constexpr int kBlockBits = 21;
    static constexpr qint64 kBlockSize = qint64(1) << kBlockBits;
    static constexpr int kPageBits = 18; // line starts per index page
    static constexpr qint64 kPageSize = qint64(1) << kPageBits;

    LogText();

    void append(QByteArrayView utf8);
    void clear();

    qint64 size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // Always at least 1: an empty text, or one ending in a line end, has an
    // empty last line.
    qint64 lineCount() const { return m_lineCount; }
    qint64 lineStart(qint64 line) const { return page(line >> kPageBits)[line & (kPageSize - 1)]; }
    // End of the line's content, before its line end.
    qint64 lineEnd(qint64 line) const;
    // The line holding byte `pos` (the last line for pos == size()).
    qint64 lineOf(qint64 pos) const;
    // An upper bound of the longest line's length in bytes.
    qint64 longestLineBytes() const { return std::max(m_longestLine, m_size - m_lastLineStart); }
    // Display cells of the last line (a tab advances to the next multiple of 8).
    qint64 lastLineCells() const { return m_lastLineCells; }

    char at(qint64 pos) const { return block(pos >> kBlockBits)[pos & (kBlockSize - 1)]; }
    QByteArray bytes(qint64 from, qint64 to) const;
    // Calls f(const char* data, qint64 length, qint64 position) for each
    // contiguous piece of [from, to); stops early when f returns false.
    template <typename F> void forEachSpan(qint64 from, qint64 to, F&& f) const;

    // Bytes held for text and index together.
    qint64 capacity() const;

private:
    // 2 MiB of uninitialised memory, aligned for a huge page where possible.
    struct Block {
        explicit Block(void* memory, bool mapped) : data(memory), mapped(mapped) {}
        Block(Block&& other) noexcept;
        Block& operator=(Block&&) = delete;
        ~Block();
        static Block allocate();
        void* data;
        bool mapped;
    };
    static_assert(kBlockSize == kPageSize * qint64(sizeof(qint64)));

    char* block(qint64 index) const { return static_cast<char*>(m_blocks[size_t(index)].data); }
    qint64* page(qint64 index) const { return static_cast<qint64*>(m_pages[size_t(index)].data); }
    void pushLineStart(qint64 start);
    void copyIn(const char* data, qint64 length);
    void countLastLineCells(const char* data, qint64 length);

    std::vector<Block> m_blocks;
    std::vector<Block> m_pages;
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
        if (!f(block(from >> kBlockBits) + offset, length, from))
            return;
        from += length;
    }
}

} // namespace kd
