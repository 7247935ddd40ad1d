#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace kd {

// User-facing texts looked up by key; a key with no entry yields the key itself.
class StringTable {
public:
    StringTable() = default;
    // Reads a JSON object of key -> text; a missing or broken file leaves the table empty.
    static StringTable load(const QString& filePath, QString* error = nullptr);
    // The English table `folder`/Localizable.json with the texts of
    // `folder`/<language>/Localizable.json over it: a key the language lacks
    // keeps its English text. English needs no second table.
    static StringTable load(const QString& folder, const QString& language, QString* error);

    QString text(const QString& key) const;
    void insert(const QString& key, const QString& text) { m_texts.insert(key, text); }
    bool isEmpty() const { return m_texts.isEmpty(); }
    QStringList keys() const {
        QStringList all = m_texts.keys();
        all.sort();
        return all;
    }

private:
    QHash<QString, QString> m_texts;
};

// Fills a format in which "%d", "%i" or "%ld" stands for `number` and "%@" for
// `text`; "%%" is a literal percent sign. Anything else is copied as it is.
QString formatText(const QString& format, qint64 number = 0, const QString& text = QString());

} // namespace kd
