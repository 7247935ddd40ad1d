#pragma once

#include <QString>
#include <QStringList>

namespace kd {

// What the launcher's own command line asks for:
//   kaleidrome-launcher [--help] [--version] [ROM.zip]
struct LauncherCommandLine {
    enum class Action { Start, ShowHelp, ShowVersion, Fail };
    Action action = Action::Start;
    // Start: the ROM archive to start, absolute; none, or one.
    QStringList romPaths;
    // ShowHelp, ShowVersion: what to print; Fail: the one-line error.
    QString text;
    int exitStatus() const { return action == Action::Fail ? 2 : 0; }
};

// Reads `arguments` (the program first, as QCoreApplication::arguments() gives
// them). A relative path is taken from `workingFolder`, a "file:" URL as its
// local file. Nothing is checked on the disk here.
LauncherCommandLine parseLauncherCommandLine(const QStringList& arguments,
                                             const QString& workingFolder);

} // namespace kd
