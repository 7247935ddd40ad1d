#include "log/logheader.h"
#include "support/runhelpers.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace kd {
namespace {

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
