#include "log/logheader.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace kd {
namespace {

const QDateTime kSaturday(QDate(2024, 12, 7), QTime(12, 16, 55));

TEST(LogHeader, DateUsesEnglishWeekdayAndTwoBlanksWhateverTheLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(formatLogDate(kSaturday), u"2024/12/07 Saturday  12:16:55");
    EXPECT_EQ(formatLogDate(QDateTime(QDate(2025, 1, 5), QTime(3, 4, 5))),
              u"2025/01/05 Sunday  03:04:05");
    EXPECT_EQ(formatLogDate(QDateTime(QDate(2025, 1, 6), QTime(23, 59, 59))),
              u"2025/01/06 Monday  23:59:59");
    QLocale::setDefault(before);
}

TEST(LogHeader, ThreeShapes) {
    const QString date = QStringLiteral("2024/12/07 Saturday  12:16:55");
    EXPECT_EQ(formatLogHeader(0, QStringLiteral("Perform a lunch task"), kSaturday),
              u"\n===== " + date + u" / Kaleidrome [Perform a lunch task] =====\n\n");
    EXPECT_EQ(formatLogHeader(1, QStringLiteral("-listroms  now"), kSaturday),
              u"\n" + date + u" / Command option [-listroms  now]\n\n");
    for (int type : {2, 3, -1, INT_MAX, INT_MIN})
        EXPECT_EQ(formatLogHeader(type, QStringLiteral("Marker"), kSaturday),
                  u"\n----- " + date + u"  [Marker] -----\n")
            << type;
}

TEST(LogHeader, PosterIsVerbatimEvenWithFormatCharacters) {
    const QString poster = QStringLiteral("100% %@ %d %1 %%");
    EXPECT_EQ(formatLogHeader(2, poster, kSaturday),
              u"\n----- 2024/12/07 Saturday  12:16:55  [" + poster + u"] -----\n");
    EXPECT_EQ(formatLogHeader(0, QString(), kSaturday),
              u"\n===== 2024/12/07 Saturday  12:16:55 / Kaleidrome [] =====\n\n");
}

} // namespace
} // namespace kd
