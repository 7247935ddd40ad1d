#include "platform/showntext.h"

#include <algorithm>

namespace kd {

QString shownText(const QString& text, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    qsizetype cut = std::max<qsizetype>(limit, 0);
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + u'\u2026';
}

QString plainToolTip(const QString& text) {
    if (text.isEmpty())
        return text;
    // pre-wrap keeps line breaks and runs of spaces as the value has them.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + shownText(text).toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace kd
