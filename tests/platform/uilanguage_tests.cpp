#include "platform/uilanguage.h"

#include <QHash>
#include <gtest/gtest.h>

namespace kd {
namespace {

TEST(UiLanguage, FirstEnglishOrTranslatedChoiceOfTheLocaleVariablesWins) {
    const struct {
        QHash<QString, QString> variables;
        const char* expected;
    } cases[] = {
        {{}, "en"},
        {{{"LANG", "de_DE.UTF-8"}}, "de"},
        {{{"LANG", "de_AT@euro"}}, "de"},
        {{{"LANG", "fr_FR.UTF-8"}}, "en"},
        {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "de"}}, "de"},
        {{{"LANGUAGE", "fr:de_CH:en"}}, "de"},
        {{{"LANGUAGE", "en_GB:de"}, {"LANG", "de_DE"}}, "en"},
        {{{"LANGUAGE", "fr:it"}, {"LANG", "de_DE"}}, "de"},
        {{{"LC_ALL", "C"}, {"LC_MESSAGES", "de_DE"}, {"LANG", "de_DE"}}, "en"},
        {{{"LC_MESSAGES", "de_DE"}, {"LANG", "en_US"}}, "de"},
        {{{"LC_ALL", "DE_de"}}, "de"},
    };
    for (const auto& c : cases) {
        const QString chosen = chooseUiLanguage(
            {"de"}, [&](const char* name) { return c.variables.value(QString::fromLatin1(name)); });
        EXPECT_EQ(chosen.toStdString(), c.expected)
            << QStringList(c.variables.keys()).join(' ').toStdString();
    }
}

} // namespace
} // namespace kd
