#include "settings/launcherpaths.h"

#include "settings/defaultscontroller.h"
#include "settings/pathops.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace kd {

namespace {

struct PackagedRow {
    BoolKey toggle;
    TextKey userPath;
    const char* relative;
    const char* shownText;
};

// By tag: the box's key, the key of the user's own path, the packaged place
// and what the field shows while it is used.
constexpr PackagedRow PackagedRows[] = {
    {keys::Button_packege1, keys::ExecutionPath, "kdromepak/Kaleidrome",
     "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Kaleidrome"},
    {keys::Button_packege2, keys::SnapPath, "kdromepak/Snaps",
     "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps"},
    {keys::Button_packege3, keys::IconPath, "kdromepak/Icons",
     "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Icons"},
};

const PackagedRow& rowOf(PackagedItem item) {
    return PackagedRows[int(item)];
}

} // namespace

std::optional<TextKey> chooserKey(ChooserTag tag, bool folder) {
    switch (tag) {
    case ChooserTag::Emulator:
        return folder ? std::nullopt : std::optional(keys::ExecutionPath);
    case ChooserTag::VertexShader:
        return folder ? std::nullopt : std::optional(keys::VertexShader);
    case ChooserTag::FragmentShader:
        return folder ? std::nullopt : std::optional(keys::FragmentShader);
    case ChooserTag::Roms:
        return folder ? std::optional(keys::RomsPath) : std::nullopt;
    case ChooserTag::Snapshots:
        return folder ? std::optional(keys::SnapPath) : std::nullopt;
    case ChooserTag::Icons:
        return folder ? std::optional(keys::IconPath) : std::nullopt;
    }
    return std::nullopt;
}

LauncherPaths::LauncherPaths(const DefaultsController& form, const QString& resourcePath)
    : LauncherPaths(form, resourcePath, QDir::currentPath()) {}

LauncherPaths::LauncherPaths(const DefaultsController& form, const QString& resourcePath,
                             const QString& workingFolder)
    : m_form(form), m_resourcePath(resourcePath), m_workingFolder(workingFolder) {}

QString LauncherPaths::packaged(QAnyStringView relative) const {
    return m_resourcePath + u'/' + relative.toString();
}

bool LauncherPaths::usesPackaged(PackagedItem item) const {
    return m_form.value(rowOf(item).toggle);
}

BoolKey LauncherPaths::toggleKey(PackagedItem item) {
    return rowOf(item).toggle;
}

TextKey LauncherPaths::userPathKey(PackagedItem item) {
    return rowOf(item).userPath;
}

QString LauncherPaths::executable() const {
    if (usesPackaged(PackagedItem::Emulator))
        return packaged(QLatin1StringView(rowOf(PackagedItem::Emulator).relative));
    return m_form.value(keys::ExecutionPath);
}

QString LauncherPaths::currentDir() const {
    return path::deleteLastComponent(executable());
}

std::optional<QString> LauncherPaths::dataFile() const {
    for (const QString& candidate : {userListFile(), packaged(u"Kaleidrome.xml")})
        if (QFileInfo::exists(candidate))
            return candidate;
    return std::nullopt;
}

QString LauncherPaths::listSaveFile() const {
    const QString user = userListFile();
    if (QFileInfo::exists(user))
        return user;
    // The save renames a new file over the one a link ends at, in its folder.
    const QFileInfo list(packaged(u"Kaleidrome.xml"));
    const QString target = list.exists() ? list.canonicalFilePath() : list.absoluteFilePath();
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const bool writable =
        ::access(folder.constData(), W_OK | X_OK) == 0 &&
        (!list.exists() || ::access(QFile::encodeName(target).constData(), W_OK) == 0);
    return writable ? packaged(u"Kaleidrome.xml") : user;
}

QString LauncherPaths::userDataFolder() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/Kaleidrome/Kaleidrome Launcher");
}

QString LauncherPaths::listCacheFile() {
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/Kaleidrome/Kaleidrome Launcher/game-list.cache");
}

QString LauncherPaths::userListFile() {
    return userDataFolder() + QStringLiteral("/Kaleidrome.xml");
}

QString LauncherPaths::listCopiesFolder() {
    return userDataFolder() + QStringLiteral("/backups/game-list");
}

QString LauncherPaths::snapshotFolder() const {
    const PackagedRow& row = rowOf(PackagedItem::Snapshots);
    return usesPackaged(PackagedItem::Snapshots) ? packaged(QLatin1StringView(row.relative))
                                                 : m_form.value(row.userPath);
}

QString LauncherPaths::iconFolder() const {
    const PackagedRow& row = rowOf(PackagedItem::Icons);
    return usesPackaged(PackagedItem::Icons) ? packaged(QLatin1StringView(row.relative))
                                             : m_form.value(row.userPath);
}

QString LauncherPaths::romsFolder() const {
    return resolved(m_form.value(keys::RomsPath));
}

QString LauncherPaths::resolved(const QString& path) const {
    // Joined as it is, not cleaned: "a/../b" through a link is not "b".
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return path::appendComponent(m_workingFolder, path);
}

QString LauncherPaths::shownPath(PackagedItem item) const {
    const PackagedRow& row = rowOf(item);
    if (usesPackaged(item))
        return QString::fromLatin1(row.shownText);
    return m_form.store().stringForKey(row.userPath).value_or(QString());
}

bool LauncherPaths::fileFound(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool LauncherPaths::folderFound(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString LauncherPaths::panelFolder(const QString& path, bool isFile) {
    QString folder = isFile ? path::deleteLastComponent(path) : path;
    // The root folder stands for nothing the user chose.
    while (QDir::isAbsolutePath(folder) && QDir::cleanPath(folder) != QStringLiteral("/")) {
        if (QFileInfo(folder).isDir())
            return QDir::cleanPath(folder);
        folder = path::deleteLastComponent(folder);
    }
    return QDir::homePath();
}

} // namespace kd
