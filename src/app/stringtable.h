#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace kd {

// User-facing texts looked up by key; a key with no entry yields the key itself.
// The table holds the English texts. The installed translators give each in the
// user's language, under context "StringTable" with the key as disambiguation
// so that equal English texts may differ; a key they lack keeps its English text.
class StringTable {
public:
    StringTable() = default;
    // Reads a JSON object of key -> English text; a missing or broken file leaves
    // the table empty.
    static StringTable load(const QString& filePath, QString* error = nullptr);

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
// `text` (a name, path or reason from outside, so as much of it as is shown:
// shownText); "%%" is a literal percent sign. Anything else is copied as it is.
QString formatText(const QString& format, qint64 number = 0, const QString& text = QString());

} // namespace kd
