#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kd::test {

// A throwaway copy of the built bundle's resource folder (demo emulator, game
// list, placeholders, strings), so a test may change or remove anything in it.
class TestBundle {
public:
    TestBundle();
    QString resources() const { return m_resources; }
    QString path(const QString& relative) const { return m_resources + u'/' + relative; }
    bool isValid() const { return m_valid; }

private:
    QTemporaryDir m_dir;
    QString m_resources;
    bool m_valid = false;
};

// Copies a folder tree; symbolic links are copied as links.
bool copyTree(const QString& from, const QString& to);
// Writes a file, creating its folder; returns false on failure.
bool writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);

} // namespace kd::test
