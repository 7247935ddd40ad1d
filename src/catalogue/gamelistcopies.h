#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

namespace kd {

// A dated copy of the game list, kept when the exit save replaced it.
struct GameListCopy {
    QString path;
    QDateTime taken;   // local time, from the copy's name
    qint64 games = -1; // -1: the copy does not read as a list
};

// Keeps the file at `listPath` in `folder` (made when missing) under a dated
// name, then removes all but the newest `keep` copies. A hard link when the
// folder is on the same file system (the save then renames a new file over
// the path, so the link keeps the old content), a copy otherwise.
bool keepGameListCopy(const QString& listPath, const QString& folder, int keep,
                      QString* error = nullptr);

// The copies in `folder`, newest first, each counted.
std::vector<GameListCopy> gameListCopies(const QString& folder);

struct GameListRestore {
    bool restored = false;
    QString setAside; // where the file that was at the list's path is kept now
    QString error;
};

// Puts the copy at `listPath` atomically. A file already there is kept first
// beside it as "Kaleidrome.<why>-<date>.xml"; when it cannot be kept, nothing
// is replaced. `beforeSettingAside` runs once the copy has been read whole (it
// may write the list, and that save may remove the oldest copy).
GameListRestore restoreGameListCopy(const QString& copyPath, const QString& listPath,
                                    const QString& why,
                                    const std::function<void()>& beforeSettingAside = {});

} // namespace kd
