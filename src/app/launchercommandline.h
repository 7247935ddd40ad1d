#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kd {

// What the launcher's own command line asks for:
//   kaleidrome-launcher [--help] [--version] [--search-service] [ROM.zip]
struct LauncherCommandLine {
    enum class Action { Start, ShowHelp, ShowVersion, Fail };
    Action action = Action::Start;
    // Start: the ROM archive to start, absolute; none, or one.
    QStringList romPaths;
    // Start: started by the session bus for a desktop search; no window is
    // shown until the user picks a result.
    bool searchService = false;
    // ShowHelp, ShowVersion: what to print; Fail: the one-line error.
    QString text;
    int exitStatus() const { return action == Action::Fail ? 2 : 0; }
};

// Reads `arguments` (the program first, as QCoreApplication::arguments() gives
// them). A relative path is taken from `workingFolder`, a "file://" URL as its
// local file. Nothing is checked on the disk here.
// The local file of a "file://" URL with an absolute path, as file managers
// pass them; nothing for any other argument, which is a path as it stands.
std::optional<QString> fileUrlPath(const QString& argument);

LauncherCommandLine parseLauncherCommandLine(const QStringList& arguments,
                                             const QString& workingFolder);

} // namespace kd
