#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

namespace kd {

// The languages the launcher speaks besides English.
QStringList translatedLanguages();

// Puts the texts of `language` into the running application while it lives:
// the launcher's own (translations/kaleidrome-launcher_<language>.qm in the
// resource folder) and Qt's (qtbase_<language>.qm), so standard buttons and
// file panels speak the same language. English needs neither.
class Translations {
public:
    Translations(const QString& resourcePath, const QString& language);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // What could not be loaded, one entry per file; empty when all was.
    const QStringList& missing() const { return m_missing; }

private:
    QTranslator m_own;
    QTranslator m_qt;
    QStringList m_missing;
};

} // namespace kd
