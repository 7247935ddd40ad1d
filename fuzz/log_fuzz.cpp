// Emulator output on its way to the log window: random bytes in chunks the
// input chooses go through the UTF-8 stream decoder into the log text and the
// log view, as a run's output does. Checked against one decoding of the
// whole stream by a reference decoder written from the Unicode table of
// well-formed sequences: the same bytes come out however the stream is cut,
// every valid byte is kept, lines start where the line ends are (a "\r\n" cut
// in two included), and the view's text, selection and drawn lines hold
// every character.
//
// Input: the first byte chooses the chunking, the second where a selection
// starts and ends, the rest is the stream.

#include "check.h"
#include "log/logtext.h"
#include "log/utf8streamdecoder.h"
#include "log/view/logview.h"
#include "platform/utf8text.h"

#include <QScrollBar>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace kd::fuzz {

namespace {

// Table 3-7 of the Unicode standard, row by row: the byte ranges of each
// well-formed sequence.
struct Row {
    int length;
    unsigned char low[4], high[4];
};
constexpr Row kWellFormed[] = {
    {1, {0x00}, {0x7F}},
    {2, {0xC2, 0x80}, {0xDF, 0xBF}},
    {3, {0xE0, 0xA0, 0x80}, {0xE0, 0xBF, 0xBF}},
    {3, {0xE1, 0x80, 0x80}, {0xEC, 0xBF, 0xBF}},
    {3, {0xED, 0x80, 0x80}, {0xED, 0x9F, 0xBF}},
    {3, {0xEE, 0x80, 0x80}, {0xEF, 0xBF, 0xBF}},
    {4, {0xF0, 0x90, 0x80, 0x80}, {0xF0, 0xBF, 0xBF, 0xBF}},
    {4, {0xF1, 0x80, 0x80, 0x80}, {0xF3, 0xBF, 0xBF, 0xBF}},
    {4, {0xF4, 0x80, 0x80, 0x80}, {0xF4, 0x8F, 0xBF, 0xBF}},
};

// Valid sequences copied, each maximal subpart of an ill-formed one (the
// longest start of some well-formed sequence, at least one byte) replaced by
// one U+FFFD.
QByteArray referenceDecode(QByteArrayView in) {
    QByteArray out;
    qsizetype i = 0;
    while (i < in.size()) {
        int longest = 0;
        bool whole = false;
        for (const Row& row : kWellFormed) {
            int k = 0;
            while (k < row.length && i + k < in.size() &&
                   static_cast<unsigned char>(in[i + k]) >= row.low[k] &&
                   static_cast<unsigned char>(in[i + k]) <= row.high[k])
                ++k;
            if (k > longest) {
                longest = k;
                whole = k == row.length;
            }
        }
        if (whole)
            out.append(in.sliced(i, longest));
        else
            out.append(Utf8StreamDecoder::kReplacement);
        i += std::max(longest, 1);
    }
    return out;
}

// Line starts the slow, obvious way: after "\n", and after "\r" not followed by "\n".
std::vector<qint64> referenceLineStarts(const QByteArray& text) {
    std::vector<qint64> starts{0};
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            starts.push_back(i + 1);
    return starts;
}

// Display cells: one per character, a tab up to the next multiple of 8.
qint64 referenceCells(QByteArrayView utf8) {
    qint64 cells = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            cells = c == '\t' ? (cells / 8 + 1) * 8 : cells + 1;
    return cells;
}

// A small deterministic generator, so a finding replays the same chunks.
class Chunker {
public:
    explicit Chunker(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    qsizetype next(qsizetype limit) {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return 1 + qsizetype(m_state % std::uint64_t(limit));
    }

private:
    std::uint64_t m_state;
};

// Cuts `bytes` into pieces of 1..limit bytes.
std::vector<QByteArrayView> chunks(QByteArrayView bytes, Chunker& chunker, qsizetype limit) {
    std::vector<QByteArrayView> out;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype n = std::min(chunker.next(limit), bytes.size() - at);
        out.push_back(bytes.sliced(at, n));
        at += n;
    }
    return out;
}

// What the decoder hands out for the stream fed in `pieces`; each piece it
// hands out goes to `sink` as well.
template <typename Sink>
QByteArray decodeInPieces(const std::vector<QByteArrayView>& pieces, Sink&& sink) {
    Utf8StreamDecoder decoder;
    QByteArray out;
    auto collect = [&](QByteArrayView valid) {
        require(!valid.isEmpty(), "the decoder handed out an empty piece");
        out.append(valid);
        sink(valid);
    };
    for (const QByteArrayView piece : pieces)
        decoder.decode(piece, collect);
    decoder.finish(collect);
    require(!decoder.hasPending(), "the decoder holds bytes after finishing");
    return out;
}

void checkLines(const LogText& text, const QByteArray& expected) {
    require(text.size() == expected.size() && text.bytes(0, text.size()) == expected,
            "the log text differs from the decoded stream");
    const std::vector<qint64> starts = referenceLineStarts(expected);
    require(text.lineCount() == qint64(starts.size()), "the log has a wrong number of lines");
    qint64 longest = 0;
    for (std::size_t line = 0; line < starts.size(); ++line) {
        const qint64 start = starts[line];
        const qint64 next = line + 1 < starts.size() ? starts[line + 1] : expected.size();
        qint64 end = next;
        if (line + 1 < starts.size())
            end -= next >= 2 && expected[next - 1] == '\n' && expected[next - 2] == '\r' ? 2 : 1;
        require(text.lineStart(qint64(line)) == start, "a line starts in the wrong place");
        require(text.lineEnd(qint64(line)) == end, "a line ends in the wrong place");
        const qint64 last = line + 1 < starts.size() ? next - 1 : next;
        require(text.lineOf(start) == qint64(line) && text.lineOf(last) == qint64(line),
                "a position is placed on the wrong line");
        longest = std::max(longest, end - start);
    }
    require(text.longestLineBytes() >= longest, "the longest line is longer than said");
    require(text.lastLineCells() == referenceCells(QByteArrayView(expected).sliced(starts.back())),
            "the last line's width is wrong");
}

// The view holds one decoding of the stream; what it draws of each line has
// every character of the line, one per cell.
void checkView(const std::vector<QByteArrayView>& decodedPieces, const QByteArray& expected,
               unsigned char choice) {
    LogView view;
    for (const QByteArrayView piece : decodedPieces)
        view.appendUtf8(piece);
    const QString text = view.text();
    require(view.utf8() == expected, "the log view holds other bytes than the decoded stream");
    require(text.toUtf8() == expected, "the log view's text lost or changed a character");
    require(view.lineCount() == qint64(referenceLineStarts(expected).size()),
            "the log view has a wrong number of lines");

    const qsizetype size = expected.size();
    qint64 from = size ? (choice >> 4) * size / 15 : 0;
    qint64 to = size ? (choice & 0x0F) * size / 15 : 0;
    view.setSelection(from, to);
    auto boundary = [&](qint64 pos) {
        while (pos > 0 && pos < size && (static_cast<unsigned char>(expected[pos]) & 0xC0) == 0x80)
            --pos;
        return pos;
    };
    from = boundary(from);
    to = boundary(to);
    require(view.selectedText().toUtf8() == expected.mid(std::min(from, to), std::abs(to - from)),
            "the selection's text is not the selected bytes");

    auto isBlankOrSymbol = [](QChar c) {
        return c == u' ' || c == u'\t' || c.unicode() < 0x20 || c.unicode() == 0x7F ||
               (c.unicode() >= 0x2400 && c.unicode() <= 0x2421);
    };
    const std::vector<qint64> starts = referenceLineStarts(expected);
    for (std::size_t line = 0; line < starts.size() && line < 256; ++line) {
        const qint64 start = starts[line];
        const qint64 next = line + 1 < starts.size() ? starts[line + 1] : size;
        QByteArrayView bytes = QByteArrayView(expected).sliced(start, next - start);
        while (!bytes.isEmpty() && (bytes.back() == '\n' || bytes.back() == '\r'))
            bytes.chop(1);
        const QString shown = LogView::shownText(bytes, 0);
        qint64 cells = 0;
        QString visible;
        for (const QChar c : shown) {
            cells += !c.isLowSurrogate();
            if (!isBlankOrSymbol(c))
                visible.append(c);
        }
        require(cells == referenceCells(bytes), "a drawn line is not as wide as its cells");
        QString characters;
        for (const QChar c : textFromUtf8(bytes))
            if (!isBlankOrSymbol(c))
                characters.append(c);
        require(visible == characters, "a drawn line lost or changed a character");
    }

    // Now and then draw it too, scrolled somewhere the input chooses.
    if ((choice & 0x07) == 0) {
        view.resize(160, 80);
        view.verticalScrollBar()->setValue(int(from % std::max<qint64>(1, view.lineCount())));
        view.horizontalScrollBar()->setValue(int(to % 64));
        (void)view.grab();
    }
}

} // namespace

void checkLogStream(std::string_view bytes) {
    if (bytes.size() < 2)
        return;
    const auto knob = static_cast<unsigned char>(bytes[0]);
    const auto choice = static_cast<unsigned char>(bytes[1]);
    const QByteArrayView stream(bytes.data() + 2, qsizetype(bytes.size() - 2));

    const QByteArray expected = referenceDecode(stream);
    require(expected.isValidUtf8(), "the reference decoding is not valid UTF-8");
    if (stream.isValidUtf8())
        require(expected == stream, "valid input did not pass unchanged");
    require(textFromUtf8(expected).toUtf8() == expected,
            "one decoding of the stream does not keep every character");

    // In one piece, byte by byte, and in pieces of 1..N bytes as the input chooses.
    Chunker chunker(knob);
    const qsizetype limit = 1 + (knob & 0x3F);
    std::vector<QByteArrayView> single{stream};
    std::vector<QByteArrayView> bytewise;
    for (qsizetype i = 0; i < stream.size() && stream.size() <= 4096; ++i)
        bytewise.push_back(stream.sliced(i, 1));
    for (const auto* pieces : {&single, &bytewise}) {
        if (pieces->empty() && !stream.isEmpty())
            continue;
        require(decodeInPieces(*pieces, [](QByteArrayView) {}) == expected,
                "a chunking changed the decoded stream");
    }

    // The log text as the launcher fills it, one decoded piece at a time.
    LogText text;
    std::vector<QByteArray> handedOut;
    const QByteArray decoded =
        decodeInPieces(chunks(stream, chunker, limit), [&](QByteArrayView valid) {
            text.append(valid);
            handedOut.emplace_back(valid.toByteArray());
        });
    require(decoded == expected, "a chunking changed the decoded stream");
    checkLines(text, expected);

    // Cut anywhere, also between "\r" and "\n" and inside a character.
    LogText cut;
    for (const QByteArrayView piece : chunks(expected, chunker, 1 + (knob >> 6) * 7))
        cut.append(piece);
    checkLines(cut, expected);

    std::vector<QByteArrayView> pieces(handedOut.begin(), handedOut.end());
    checkView(pieces, expected, choice);
}

} // namespace kd::fuzz
