#pragma once

#include <QDateTime>
#include <QString>

namespace kd {

// Header kinds of the log; any other value is a marker.
enum LogHeaderType : int { GameRunHeader = 0, CommandOptionHeader = 1, MarkerHeader = 2 };

// What a header says: its kind (a LogHeaderType, any other value a marker) and
// the text after the date.
struct LogHeaderRequest {
    int type = MarkerHeader;
    QString poster;
};

// "2024/12/07 Saturday  12:16:55": English weekday names whatever the locale,
// two blanks before the hour.
QString formatLogDate(const QDateTime& when);

// The header text appended to the log before a run or as a marker, line feeds
// included. `poster` is copied verbatim (a "%" in it is plain text).
QString formatLogHeader(int type, const QString& poster, const QDateTime& when);

} // namespace kd
