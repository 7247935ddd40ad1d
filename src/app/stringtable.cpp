#include "app/stringtable.h"

#include "platform/showntext.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace kd {

StringTable StringTable::load(const QString& filePath, QString* error) {
    StringTable table;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return table;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        if (error)
            *error = parseError.errorString();
        return table;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        if (it.value().isString())
            table.m_texts.insert(it.key(), it.value().toString());
    return table;
}

QString StringTable::text(const QString& key) const {
    const auto found = m_texts.constFind(key);
    if (found == m_texts.cend())
        return key;
    return QCoreApplication::translate("StringTable", found->toUtf8().constData(),
                                       key.toUtf8().constData());
}

QString formatText(const QString& format, qint64 number, const QString& text) {
    QString result;
    result.reserve(format.size() + 16);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%' || i + 1 >= format.size()) {
            result += c;
            continue;
        }
        const QStringView rest = QStringView(format).mid(i + 1);
        if (rest.startsWith(u'%')) {
            result += u'%';
            i += 1;
        } else if (rest.startsWith(u'@')) {
            result += shownText(text);
            i += 1;
        } else if (rest.startsWith(u'd') || rest.startsWith(u'i')) {
            result += QString::number(number);
            i += 1;
        } else if (rest.startsWith(u"ld")) {
            result += QString::number(number);
            i += 2;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace kd
