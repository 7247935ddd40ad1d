#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace kd {

// The language of the user interface, from the variables that choose the
// language of messages, in this order: LANGUAGE (a list such as "fr:de"),
// LC_ALL, LC_MESSAGES, LANG. The first entry whose language is English or one
// of `translated` ("de") wins; English ("en") when none does.
QString chooseUiLanguage(const QStringList& translated,
                         const std::function<QString(const char*)>& variable);

// The same on the process's environment.
QString uiLanguage(const QStringList& translated);

} // namespace kd
