#include "log/logheader.h"
#include "log/logtext.h"
#include "support/runhelpers.h"

#include <QList>
#include <QLocale>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace kd {
namespace {

// Line ends of every kind, where each position lies and how wide the last line
// is are checked against a reference for every line by the log fuzz seeds
// (FuzzReplay in fuzz_replay_tests); here what an append that ends in "\r" leaves.
TEST(LogText, CarriageReturnLineFeedSplitBetweenAppendsIsOneLineEnd) {
    LogText text;
    text.append("progress 50%\r");
    EXPECT_EQ(text.lineCount(), 2);
    text.append("\nnext\r");
    text.append("\n");
    QList<QByteArray> lines;
    for (qint64 line = 0; line < text.lineCount(); ++line)
        lines.append(text.bytes(text.lineStart(line), text.lineEnd(line)));
    EXPECT_EQ(lines, (QList<QByteArray>{"progress 50%", "next", ""}));
    EXPECT_EQ(text.bytes(0, text.size()), "progress 50%\r\nnext\r\n");
    // A "\r" on its own, then text: two line ends, not one.
    text.append("\r");
    text.append("x\ty");
    EXPECT_EQ(text.lineCount(), 4);
    EXPECT_EQ(text.lastLineCells(), 9); // a tab reaches the next multiple of 8
}

TEST(LogText, RandomChunkingGivesTheSameTextAndLines) {
    QRandomGenerator random(77);
    const char* pieces[] = {
        "\n", "\r", "\r\n", "\t", "abc", "0123456789abcdef", "\xC3\xA9", "\xF0\x9F\x98\x80", " "};
    QByteArray whole;
    while (whole.size() < 3 * LogText::kBlockSize)
        whole.append(pieces[random.bounded(int(std::size(pieces)))]);
    // Line starts the slow, obvious way: after "\n", after "\r" not followed by "\n".
    QList<qint64> expected{0};
    for (qsizetype i = 0; i < whole.size(); ++i)
        if (whole[i] == '\n' ||
            (whole[i] == '\r' && (i + 1 == whole.size() || whole[i + 1] != '\n')))
            expected.append(i + 1);

    LogText text;
    for (qsizetype at = 0; at < whole.size();) {
        const qsizetype length = 1 + random.bounded(random.bounded(2) ? 40 : 70000);
        text.append(QByteArrayView(whole).sliced(at, std::min(length, whole.size() - at)));
        at += length;
    }
    ASSERT_EQ(text.size(), whole.size());
    EXPECT_EQ(text.bytes(0, text.size()), whole);
    QList<qint64> starts;
    for (qint64 line = 0; line < text.lineCount(); ++line)
        starts.append(text.lineStart(line));
    EXPECT_EQ(starts, expected);
    // Pieces across block boundaries come back intact.
    const qint64 edge = LogText::kBlockSize;
    EXPECT_EQ(text.bytes(edge - 5, edge + 5), whole.mid(edge - 5, 10));
    EXPECT_GE(text.longestLineBytes(), 70);
}

TEST(LogText, MemoryStaysCloseToTheTextSize) {
    LogText text;
    const QByteArray line = QByteArray(79, 'x') + '\n';
    QByteArray chunk;
    for (int i = 0; i < 512; ++i)
        chunk.append(line);
    while (text.size() < 16 * 1024 * 1024)
        text.append(chunk);
    EXPECT_GE(text.capacity(), text.size());
    // The text and 8 bytes of index per line, plus at most one partly filled
    // block and one partly filled index page.
    const qint64 index = text.lineCount() * 8;
    EXPECT_LE(text.capacity(), text.size() + index + 2 * LogText::kBlockSize);
    EXPECT_LT(double(text.capacity()) / double(text.size()), 1.1 + 8.0 / 80 + 0.15);

    text.clear();
    EXPECT_EQ(text.size(), 0);
    EXPECT_EQ(text.lineCount(), 1);
    EXPECT_LE(text.capacity(), LogText::kPageSize * 8);
}

// Dates are in local time, with English weekdays and two blanks before the hour
// whatever the locale: checked in a zone half an hour off UTC (a POSIX rule, so
// no zone database is needed) and in German.
TEST(LogHeader, LocalDatesAndTheThreeShapes) {
    const test::ScopedEnv zone("TZ", "KDT-5:30");
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto utc = [](int day, QTime time) {
        return QDateTime(QDate(2024, 12, day), time, Qt::UTC).toLocalTime();
    };
    EXPECT_EQ(formatLogDate(utc(7, QTime(21, 30))), u"2024/12/08 Sunday  03:00:00");
    EXPECT_EQ(formatLogDate(utc(9, QTime(18, 29, 59))), u"2024/12/09 Monday  23:59:59");

    const QDateTime saturday = utc(7, QTime(6, 46, 55));
    const QString date = "2024/12/07 Saturday  12:16:55";
    EXPECT_EQ(formatLogHeader(0, "Perform a lunch task", saturday),
              u"\n===== " + date + u" / Kaleidrome [Perform a lunch task] =====\n\n");
    EXPECT_EQ(formatLogHeader(0, QString(), saturday),
              u"\n===== " + date + u" / Kaleidrome [] =====\n\n");
    EXPECT_EQ(formatLogHeader(1, "-listroms  now", saturday),
              u"\n" + date + u" / Command option [-listroms  now]\n\n");
    for (int type : {2, 3, -1, INT_MAX, INT_MIN})
        EXPECT_EQ(formatLogHeader(type, "Marker", saturday),
                  u"\n----- " + date + u"  [Marker] -----\n")
            << type;
    // A "%" in the poster is plain text.
    const QString poster = "100% %@ %d %1 %%";
    EXPECT_EQ(formatLogHeader(2, poster, saturday),
              u"\n----- " + date + u"  [" + poster + u"] -----\n");
    QLocale::setDefault(before);
}

} // namespace
} // namespace kd
