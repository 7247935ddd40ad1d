#include "settings/pathops.h"

namespace kd::path {

namespace {
// Trailing separators removed, but a lone "/" stays.
QString withoutTrailingSeparators(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    return path.left(end);
}
} // namespace

QString appendComponent(const QString& folder, const QString& component) {
    qsizetype start = 0;
    while (start < component.size() && component.at(start) == u'/')
        ++start;
    const QString tail = component.mid(start);
    if (folder.isEmpty())
        return tail;
    const QString head = withoutTrailingSeparators(folder);
    if (head == u"/")
        return head + tail;
    return tail.isEmpty() ? head : head + u'/' + tail;
}

QString appendExtension(const QString& path, const QString& extension) {
    return path + u'.' + extension;
}

QString deleteLastComponent(const QString& path) {
    const QString trimmed = withoutTrailingSeparators(path);
    if (trimmed == u"/")
        return trimmed;
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return withoutTrailingSeparators(trimmed.left(slash));
}

QString lastComponent(const QString& path) {
    const QString trimmed = withoutTrailingSeparators(path);
    if (trimmed == u"/")
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

} // namespace kd::path
