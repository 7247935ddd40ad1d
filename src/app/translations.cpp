#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace kd {

QStringList translatedLanguages() {
    return {QStringLiteral("de")};
}

Translations::Translations(const QString& resourcePath, const QString& language) {
    if (language == u"en")
        return;
    const struct {
        QTranslator& translator;
        QString name;
        QString folder;
    } files[] = {
        {m_own, QStringLiteral("kaleidrome-launcher_") + language,
         resourcePath + QStringLiteral("/translations")},
        {m_qt, QStringLiteral("qtbase_") + language,
         QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
    };
    for (const auto& file : files) {
        if (file.translator.load(file.name, file.folder))
            QCoreApplication::installTranslator(&file.translator);
        else
            m_missing << file.folder + u'/' + file.name + QStringLiteral(".qm");
    }
}

Translations::~Translations() {
    QCoreApplication::removeTranslator(&m_qt);
    QCoreApplication::removeTranslator(&m_own);
}

} // namespace kd
