#include "app/launchercommandline.h"

#include "settings/pathops.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QUrl>

namespace kd {

std::optional<QString> fileUrlPath(const QString& argument) {
    if (!argument.startsWith(u"file://"))
        return std::nullopt;
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    return path.startsWith(u'/') ? std::optional<QString>(path) : std::nullopt;
}

LauncherCommandLine parseLauncherCommandLine(const QStringList& arguments,
                                             const QString& workingFolder) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "LauncherCommandLine",
        "Keeps a list of arcade games and starts them in the Kaleidrome emulator.\n"
        "A second start hands its ROM archive to the launcher that already runs."));
    // Not addHelpOption(): its --help-all speaks of options that are not read here.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
        QCoreApplication::translate("LauncherCommandLine", "Shows this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption searchService(
        QStringLiteral("search-service"),
        QCoreApplication::translate("LauncherCommandLine",
                                    "Answers the desktop's search without showing a window "
                                    "(the session bus starts it so)."));
    parser.addOption(searchService);
    parser.addPositionalArgument(
        QStringLiteral("ROM.zip"),
        QCoreApplication::translate("LauncherCommandLine", "A ROM archive to start."),
        QStringLiteral("[ROM.zip]"));

    LauncherCommandLine result;
    auto fail = [&result](const QString& why) {
        result.action = LauncherCommandLine::Action::Fail;
        // One line, whatever the text the parser or the arguments bring.
        result.text =
            QString(why).replace(u'\n', u' ') + u' ' +
            QCoreApplication::translate("LauncherCommandLine", "(--help lists the options)");
        return result;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.action = LauncherCommandLine::Action::ShowHelp;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = LauncherCommandLine::Action::ShowVersion;
        result.text = QCoreApplication::applicationName() + u' ' +
                      QCoreApplication::applicationVersion() + u'\n';
        return result;
    }
    result.searchService = parser.isSet(searchService);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return fail(QCoreApplication::translate("LauncherCommandLine",
                                                "Only one ROM archive can be started at a time."));
    for (const QString& argument : positional) {
        const QString path = fileUrlPath(argument).value_or(argument);
        if (path.isEmpty())
            return fail(QCoreApplication::translate("LauncherCommandLine",
                                                    "An empty ROM archive path was given."));
        // Not QDir: it takes a name starting with ':' for an absolute resource path.
        result.romPaths << (path.startsWith(u'/') ? path
                                                  : path::appendComponent(workingFolder, path));
    }
    return result;
}

} // namespace kd
