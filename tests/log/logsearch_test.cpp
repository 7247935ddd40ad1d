// Finding text in the log: the search against a plain scan of the text. The
// find bar as the user drives it is in logview_test.cpp.
#include "log/logsearch.h"

#include <QByteArrayList>
#include <QList>
#include <gtest/gtest.h>
#include <random>

namespace kd {
namespace {

// Every match start: each code-point-aligned place where the text, as QString,
// starts with the needle.
QList<qint64> allMatches(const QByteArray& text, const QString& needle, Qt::CaseSensitivity cs) {
    QList<qint64> starts;
    for (qsizetype at = 0; at < text.size(); ++at) {
        // A needle of n UTF-16 units matches at most n code points of 4 bytes.
        const QString piece = QString::fromUtf8(text.mid(at, 4 * needle.size()));
        if ((uchar(text[at]) & 0xC0) != 0x80 && piece.startsWith(needle, cs))
            starts << at;
    }
    return starts;
}

LogSearch::State search(LogSearch& search, const LogText& text, qint64 start,
                        LogSearch::Direction direction, qint64 budget) {
    search.begin(text, start, direction);
    while (search.step(text, budget) == LogSearch::State::Searching) {
    }
    return search.state();
}

TEST(LogSearch, FindsWhatAPlainScanFindsInBothDirectionsAndCases) {
    // Letters whose case folding is not plain ASCII (Kelvin sign, long s, é É),
    // a character of four bytes.
    const QByteArrayList pieces = QByteArray("a|A|b|k|K|\xE2\x84\xAA|s|\xC5\xBF|\xC3\xA9|\xC3\x89|"
                                             "\xE6\x97\xA5|\xF0\x9F\x8E\xAE|\n| |\t")
                                      .split('|');
    const QString needles[] = {"a",       "ab",     "AB",         "k",       "K",  "sk", "\u00e9",
                               "\u00c9b", "\u65e5", "\U0001F3AE", "a\u00e9", " a", "zz", "aAaA"};
    std::mt19937 random(2026);
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes;
        const int length = 1 + int(random() % 80);
        for (int i = 0; i < length; ++i)
            bytes += pieces[qsizetype(random() % pieces.size())];
        LogText text;
        // Pieces of random sizes, as the log is filled.
        for (qsizetype at = 0; at < bytes.size();) {
            const qsizetype n = std::min<qsizetype>(1 + random() % 7, bytes.size() - at);
            text.append(QByteArrayView(bytes).sliced(at, n));
            at += n;
        }
        for (const QString& needle : needles) {
            for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
                const QList<qint64> expected = allMatches(bytes, needle, cs);
                LogSearch finder(needle, cs);
                const qint64 start = qint64(random() % (bytes.size() + 1));
                const qint64 budget = 1 + qint64(random() % 9);
                SCOPED_TRACE(bytes.toStdString() + " / " + needle.toStdString() + " from " +
                             std::to_string(start) + (cs == Qt::CaseSensitive ? " cs" : " ci"));
                // The first match at or after the start, else (wrapped) the first of
                // all; backwards the last before the start, else the last of all.
                const qsizetype next =
                    std::lower_bound(expected.begin(), expected.end(), start) - expected.begin();
                for (const auto direction :
                     {LogSearch::Direction::Forward, LogSearch::Direction::Backward}) {
                    ASSERT_EQ(search(finder, text, start, direction, budget),
                              expected.isEmpty() ? LogSearch::State::NotFound
                                                 : LogSearch::State::Found);
                    if (expected.isEmpty())
                        continue;
                    const bool forward = direction == LogSearch::Direction::Forward;
                    const bool wraps = forward ? next == expected.size() : next == 0;
                    EXPECT_EQ(finder.matchStart(),
                              forward ? expected.value(wraps ? 0 : next)
                                      : expected.value(wraps ? expected.size() - 1 : next - 1));
                    EXPECT_EQ(finder.wrapped(), wraps);
                    EXPECT_EQ(finder.matchEnd(), finder.matchAt(text, finder.matchStart()));
                    EXPECT_EQ(QString::fromUtf8(text.bytes(finder.matchStart(), finder.matchEnd()))
                                  .compare(needle, cs),
                              0);
                }
            }
        }
    }
}

// A log of several blocks, with matches across the seams between them.
TEST(LogSearch, MatchesAcrossBlockSeams) {
    LogText text;
    const qint64 seam = LogText::kBlockSize;
    const qint64 first = seam - 3;
    const qint64 second = 2 * seam + 6;
    text.append(QByteArray(first, '.'));
    text.append("Game \xC3\x89nd");     // runs across the first seam
    text.append(QByteArray(seam, '.')); // the next seam has nothing
    text.append("GAME \xC3\xA9nd");
    const struct {
        const char* needle;
        Qt::CaseSensitivity cs;
        qint64 forward, backward;
    } cases[] = {
        {"Game \xC3\x89nd", Qt::CaseSensitive, first, first},
        {"Game \xC3\x89nd", Qt::CaseInsensitive, first, second},
        {"gAME", Qt::CaseInsensitive, first, second},
        {"ame", Qt::CaseSensitive, first + 1, first + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.needle);
        LogSearch finder(QString::fromUtf8(c.needle), c.cs);
        ASSERT_EQ(search(finder, text, 0, LogSearch::Direction::Forward, seam / 3),
                  LogSearch::State::Found);
        EXPECT_EQ(finder.matchStart(), c.forward);
        ASSERT_EQ(search(finder, text, text.size(), LogSearch::Direction::Backward, seam / 3),
                  LogSearch::State::Found);
        EXPECT_EQ(finder.matchStart(), c.backward);
    }
}

TEST(LogSearch, NothingToFindAndTextsClearedMeanwhileEndTheSearch) {
    LogText text;
    LogSearch empty(QString(), Qt::CaseInsensitive);
    empty.begin(text, 0, LogSearch::Direction::Forward);
    EXPECT_EQ(empty.state(), LogSearch::State::NotFound);

    text.append(QByteArray(3 * LogText::kBlockSize, 'x'));
    LogSearch finder("needle", Qt::CaseInsensitive);
    finder.begin(text, 0, LogSearch::Direction::Forward);
    EXPECT_EQ(finder.step(text, 1024), LogSearch::State::Searching);
    text.clear();
    text.append("needle");
    EXPECT_EQ(finder.step(text, 1024), LogSearch::State::NotFound);
}

} // namespace
} // namespace kd
