// The emulator, data file and artwork paths, packaged or chosen by the user.
#include "app/appdelegate.h"
#include "app/windows/preferenceswindow.h"

namespace kd {

QString AppDelegate::pathOfExecFile() const {
    return m_paths.executable();
}

QString AppDelegate::pathOfCurrentDir() const {
    return m_paths.currentDir();
}

std::optional<QString> AppDelegate::pathOfDataFile() const {
    return m_paths.dataFile();
}

bool AppDelegate::ExefileCheck() const {
    return file_FoundCheck(pathOfExecFile());
}

bool AppDelegate::file_FoundCheck(const QString& path) {
    return LauncherPaths::fileFound(path);
}

bool AppDelegate::folder_FoundCheck(const QString& path) {
    return LauncherPaths::folderFound(path);
}

// Display only: the field shows what is in force and the key is not written.
void AppDelegate::PackagePathChange(PackagedItem item) {
    if (int(item) < 0 || int(item) > 2)
        return;
    preferencesWindow->showPackagedPath(item);
}

void AppDelegate::PackagePath_ini() {
    PackagePathChange(PackagedItem::Emulator);
    PackagePathChange(PackagedItem::Snapshots);
    PackagePathChange(PackagedItem::Icons);
}

} // namespace kd
