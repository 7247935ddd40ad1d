// Feeds arbitrary arguments (the input split at NUL bytes) to the launcher's
// command line. Whatever it answers must be one of its answers: a one-line
// error with status 2, help or version text, or at most one absolute path made
// from an argument. Where the arguments are only ROM paths and the known
// options, the answer must be the one a plain reading of them gives.

#include "app/launchercommandline.h"
#include "check.h"

#include <QUrl>
#include <algorithm>
#include <cstdint>
#include <string_view>

namespace kd::fuzz {

void checkCommandLine(std::string_view input) {
    using Action = LauncherCommandLine::Action;
    const QString cwd = QStringLiteral("/home/ana/ROMs");
    auto absolute = [&](const QString& argument) {
        return argument.startsWith(u'/') ? argument : cwd + u'/' + argument;
    };
    QStringList arguments{QStringLiteral("kaleidrome-launcher")};
    for (const QByteArray& argument : QByteArray(input.data(), qsizetype(input.size())).split('\0'))
        arguments << QString::fromLocal8Bit(argument);
    if (input.empty())
        arguments.removeLast();

    const LauncherCommandLine result = parseLauncherCommandLine(arguments, cwd);
    const LauncherCommandLine again = parseLauncherCommandLine(arguments, cwd);
    if (again.action != result.action || again.romPaths != result.romPaths ||
        again.text != result.text)
        broken("two readings differ");
    if (result.exitStatus() != (result.action == Action::Fail ? 2 : 0))
        broken("wrong exit status");
    if (result.action == Action::Fail && (result.text.isEmpty() || result.text.contains(u'\n')))
        broken("an error that is not one line");
    if ((result.action == Action::ShowHelp || result.action == Action::ShowVersion) &&
        result.text.isEmpty())
        broken("nothing to show");
    if (result.action != Action::Start && !result.romPaths.isEmpty())
        broken("paths with an answer that starts nothing");
    if (result.romPaths.size() > 1)
        broken("more than one path");
    for (const QString& path : result.romPaths) {
        if (!path.startsWith(u'/'))
            broken("a path that is not absolute");
        const bool fromArgument =
            std::any_of(arguments.begin() + 1, arguments.end(), [&](const QString& argument) {
                if (argument.startsWith(u"file://") && QUrl(argument).isLocalFile() &&
                    QUrl(argument).toLocalFile() == path)
                    return true;
                return absolute(argument) == path;
            });
        if (!fromArgument)
            broken("a path made from no argument");
    }

    // The plain reading, where every argument is a known option or a path.
    const QStringList help{"-h", "--help", "-?"};
    const QStringList version{"-v", "--version"};
    QStringList positional;
    bool wantsHelp = false;
    bool wantsVersion = false;
    bool plain = true;
    bool optionsEnd = false;
    for (const QString& argument : arguments.mid(1)) {
        if (!optionsEnd && argument == u"--")
            optionsEnd = true;
        else if (!optionsEnd && help.contains(argument))
            wantsHelp = true;
        else if (!optionsEnd && version.contains(argument))
            wantsVersion = true;
        else if (argument.startsWith(u"file://"))
            plain = false; // a URL: its path is checked above
        else if (optionsEnd || !argument.startsWith(u'-'))
            positional << argument;
        else
            plain = false;
    }
    if (!plain)
        return;
    Action expected = wantsHelp      ? Action::ShowHelp
                      : wantsVersion ? Action::ShowVersion
                      : positional.size() > 1 || positional.contains(QString()) ? Action::Fail
                                                                                : Action::Start;
    if (result.action != expected)
        broken("a plain command line read otherwise");
    if (expected == Action::Start && positional.size() == 1 &&
        result.romPaths != QStringList{absolute(positional[0])})
        broken("the path is not the argument's");
}

} // namespace kd::fuzz
