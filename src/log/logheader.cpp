#include "log/logheader.h"

#include <QLocale>

namespace kd {

QString formatLogDate(const QDateTime& when) {
    return QLocale::c().toString(when, QStringLiteral("yyyy/MM/dd dddd  HH:mm:ss"));
}

QString formatLogHeader(int type, const QString& poster, const QDateTime& when) {
    const QString date = formatLogDate(when);
    // Plain concatenation: the poster must never be scanned for placeholders.
    switch (type) {
    case GameRunHeader:
        return u"\n===== " + date + u" / Kaleidrome [" + poster + u"] =====\n\n";
    case CommandOptionHeader:
        return u"\n" + date + u" / Command option [" + poster + u"]\n\n";
    default:
        return u"\n----- " + date + u"  [" + poster + u"] -----\n";
    }
}

} // namespace kd
