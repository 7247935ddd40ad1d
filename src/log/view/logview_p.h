#pragma once

#include "log/logtext.h"

namespace kd::logview_detail {

// Shared by the painting and the selection, so both count cells alike.
inline constexpr int kMargin = 4;
inline constexpr int kTabWidth = 8;

inline bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Walks the characters of [from, to), which must start a line, calling
// f(position, firstCell, endCell) for each; f returns false to stop. Returns
// the cell reached.
template <typename F> qint64 walkCells(const LogText& text, qint64 from, qint64 to, F&& f) {
    qint64 cell = 0;
    text.forEachSpan(from, to, [&](const char* data, qint64 length, qint64 position) {
        for (qint64 i = 0; i < length; ++i) {
            if (isContinuation(data[i]))
                continue;
            const qint64 end = data[i] == '\t' ? (cell / kTabWidth + 1) * kTabWidth : cell + 1;
            if (!f(position + i, cell, end))
                return false;
            cell = end;
        }
        return true;
    });
    return cell;
}

} // namespace kd::logview_detail
