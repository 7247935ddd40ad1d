#include "platform/uilanguage.h"

namespace kd {

namespace {

// "de_AT.UTF-8@euro" -> "de"; "C" and "POSIX" are no language.
QString languageOf(const QString& locale) {
    const QString language =
        locale.section(u'_', 0, 0).section(u'.', 0, 0).section(u'@', 0, 0).toLower();
    return language == u"c" || language == u"posix" ? QString() : language;
}

} // namespace

QString chooseUiLanguage(const QStringList& translated,
                         const std::function<QString(const char*)>& variable) {
    const QString english = QStringLiteral("en");
    QStringList candidates = variable("LANGUAGE").split(u':', Qt::SkipEmptyParts);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        // The first of these that is set is the locale; the others do not count.
        if (const QString value = variable(name); !value.isEmpty()) {
            candidates << value;
            break;
        }
    }
    for (const QString& candidate : candidates) {
        const QString language = languageOf(candidate);
        if (language == english || translated.contains(language))
            return language;
    }
    return english;
}

QString uiLanguage(const QStringList& translated) {
    return chooseUiLanguage(translated,
                            [](const char* name) { return qEnvironmentVariable(name); });
}

} // namespace kd
