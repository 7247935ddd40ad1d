#pragma once

#include "settings/settingskeys.h"

#include <QString>
#include <optional>

namespace kd {

class DefaultsController;
class SettingsStore;

// The three things the launcher can take from its bundle or from the user: the
// emulator, the snapshot folder and the icon folder. The values are the tags of
// their check boxes.
enum class PackagedItem { Emulator = 0, Snapshots = 1, Icons = 2 };

// The chooser buttons by tag: which path each one fills.
enum class ChooserTag {
    Emulator = 1,
    Roms = 2,
    Snapshots = 3,
    Icons = 4,
    VertexShader = 5,
    FragmentShader = 6
};

// The buttons that show a path in the file manager, by tag.
enum class RevealTag { Emulator = 1, Roms = 2, Snapshots = 3, Icons = 4 };

// What a chooser panel offers: files, folders, and the folder it opens in
// (empty: wherever the desktop puts it).
struct ChooserRequest {
    bool chooseFile = true;
    bool chooseDirect = false;
    QString directory;
};

// The key a chooser fills: chooser tags 1, 5 and 6 choose files, 2 to 4 folders.
// Nothing for a tag of the other kind or an unknown tag.
std::optional<TextKey> chooserKey(ChooserTag tag, bool folder);

// The places the launcher uses, as the preferences form says now: packaged in
// the bundle's resource folder or chosen by the user.
class LauncherPaths {
public:
    // `workingFolder` is the launcher's own (the current folder when it started).
    LauncherPaths(const DefaultsController& form, const QString& resourcePath);
    LauncherPaths(const DefaultsController& form, const QString& resourcePath,
                  const QString& workingFolder);

    const QString& resourcePath() const { return m_resourcePath; }
    // `relative` inside the resource folder.
    QString packaged(QAnyStringView relative) const;

    // Whether the item's box is on: the packaged one is used.
    bool usesPackaged(PackagedItem item) const;
    // The emulator executable; the user's path, possibly empty, while its box is off.
    QString executable() const;
    // The executable's folder.
    QString currentDir() const;
    // The game list read at start: the user's own (see listSaveFile) once it
    // exists, else Kaleidrome.xml in the resource folder, when either is there.
    std::optional<QString> dataFile() const;
    // Where the exit save writes the list: the user's own once it exists; the
    // resource folder's while that can be written; else the user's own, seeded
    // so from the packaged list (a system-wide install stays as packaged).
    QString listSaveFile() const;
    // `$XDG_DATA_HOME/Kaleidrome/Kaleidrome Launcher` (`~/.local/share` when
    // the variable is unset or relative): the user's own list and its copies.
    static QString userDataFolder();
    static QString userListFile();
    static QString listCopiesFolder();
    // `$XDG_CACHE_HOME/Kaleidrome/Kaleidrome Launcher/game-list.cache`
    // (`~/.cache` when the variable is unset or relative): the list as last
    // read, kept only to read it faster.
    static QString listCacheFile();
    QString snapshotFolder() const;
    QString iconFolder() const;
    // The ROMs folder as its field shows it, resolved(): the run, the ROM column
    // and the open panel all mean this one place. Empty while the field is.
    QString romsFolder() const;
    // A path the user typed, as the launcher means it: a relative one lies in the
    // launcher's working folder, never in the emulator's, which runs elsewhere.
    QString resolved(const QString& path) const;
    // What the path field of `item` shows: a fixed text while the packaged one
    // is used (for the eyes only, never a path), else the user's stored path.
    QString shownPath(PackagedItem item) const;
    // The keys of the item's box and of the user's own path.
    static BoolKey toggleKey(PackagedItem item);
    static TextKey userPathKey(PackagedItem item);

    // Something, file or folder, exists at the path.
    static bool fileFound(const QString& path);
    // A folder exists at the path.
    static bool folderFound(const QString& path);
    // The folder a panel for `path` opens in: that folder, or the file's, or the
    // nearest one above it that exists; the home folder when none does.
    static QString panelFolder(const QString& path, bool isFile);

private:
    const DefaultsController& m_form;
    QString m_resourcePath;
    QString m_workingFolder;
};

} // namespace kd
