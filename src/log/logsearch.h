#pragma once

#include "log/logtext.h"

#include <QString>
#include <algorithm>
#include <array>
#include <vector>

namespace kd {

// Finds a text in a LogText a slice at a time, so that a search across
// hundreds of megabytes never holds the event loop for long: begin(), then
// step() until it no longer says Searching.
//
// The search runs from a position to one end of the text, then wraps to the
// other end and comes back to where it began. Without case, letters match by
// their simple case folding ("É" finds "é", the Kelvin sign finds "k").
class LogSearch {
public:
    enum class Direction { Forward, Backward };
    enum class State { Searching, Found, NotFound };

    LogSearch(const QString& needle, Qt::CaseSensitivity sensitivity);

    // Forward: the first match that starts at or after `start`, else the first
    // from the top. Backward: the last match that starts before `start`, else
    // the last of the text. Only text present now is searched.
    void begin(const LogText& text, qint64 start, Direction direction);
    // Looks at about `budget` more bytes of the text.
    State step(const LogText& text, qint64 budget);
    // Runs the search to its end.
    State run(const LogText& text);

    State state() const { return m_state; }
    Direction direction() const { return m_direction; }
    // The bytes [from, to) of the match found.
    qint64 matchStart() const { return m_matchStart; }
    qint64 matchEnd() const { return m_matchEnd; }
    // True when the match lies beyond the end the search wrapped around.
    bool wrapped() const { return m_wrapped; }

    // The end of a match that starts at `pos`, or -1.
    qint64 matchAt(const LogText& text, qint64 pos) const;

private:
    qint64 firstIn(const LogText& text, qint64 from, qint64 to) const;
    qint64 lastIn(const LogText& text, qint64 from, qint64 to) const;
    qint64 scanFirst(const LogText& text, qint64 from, qint64 to) const;
    qint64 scanLast(const LogText& text, qint64 from, qint64 to) const;
    qint64 foldWindow(const LogText& text, qint64 from, qint64 to, std::vector<char>& window) const;
    bool mayHoldVariant(const unsigned char* window, size_t n) const;
    qint64 foldedFirst(const LogText& text, qint64 from, qint64 to) const;
    qint64 foldedLast(const LogText& text, qint64 from, qint64 to) const;
    bool finished(qint64 found, const LogText& text);
    // Whether a match without case may start at data[i], by one or two bytes.
    bool mayStartAt(const char* data, qint64 i, qint64 length) const {
        const auto first = static_cast<unsigned char>(data[i]);
        return m_lead[first] && (first >= 0x80 || i + 1 >= length ||
                                 m_second[static_cast<unsigned char>(data[i + 1])]);
    }

    // Bytes folded and searched at a time without case.
    static constexpr qint64 WindowBytes = 64 * 1024;

    QByteArray m_bytes;             // the needle as UTF-8, when case counts
    std::vector<char32_t> m_folded; // the needle folded, when it does not
    QByteArray m_foldedAscii;       // the same as bytes, when it is all ASCII
    // The first two bytes of the other characters that fold into those.
    std::array<std::array<unsigned char, 2>, 2> m_variantStarts{};
    int m_variantCount = 0;
    std::array<bool, 256> m_lead{};   // first bytes a match may start with
    std::array<bool, 256> m_second{}; // first bytes of the second character, without case
    bool m_caseSensitive;

    Direction m_direction = Direction::Forward;
    State m_state = State::NotFound;
    qint64 m_start = 0; // where the search began
    qint64 m_end = 0;   // the text's size when it began
    qint64 m_pos = 0;   // next position to look at (forward) or below which to look
    bool m_wrapped = false;
    qint64 m_matchStart = -1;
    qint64 m_matchEnd = -1;
};

} // namespace kd
