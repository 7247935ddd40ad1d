#include "app/windows/numberproblem.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace kd {

QString numberProblem(const QString& text, int min, int max) {
    // The texts belong to the preferences window, whose fields they describe.
    const auto say = [min, max](const char* problem) {
        return QCoreApplication::translate("kd::PreferencesWindow", problem).arg(min).arg(max);
    };
    static const QRegularExpression whole(QStringLiteral("^[-+]?[0-9]+$"));
    if (text.isEmpty())
        return say(QT_TRANSLATE_NOOP("kd::PreferencesWindow",
                                     "Empty: enter a whole number from %1 to %2."));
    if (!whole.match(text).hasMatch())
        return say(QT_TRANSLATE_NOOP("kd::PreferencesWindow",
                                     "Not a whole number: enter one from %1 to %2."));
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok || number < min || number > max)
        return say(QT_TRANSLATE_NOOP("kd::PreferencesWindow",
                                     "Out of range: enter a whole number from %1 to %2."));
    return QString();
}

} // namespace kd
