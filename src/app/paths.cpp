// The emulator, data file and artwork paths, packaged or chosen by the user.
#include "app/appdelegate.h"
#include "settings/pathops.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>

namespace kd {

namespace {

struct PackagedRow {
    const char* userPathKey;
    const char* displayText;
};

// Rows by toggle tag: the key of the user's own path and what the field shows
// while the packaged location is in use (for the eyes only, never a path).
constexpr PackagedRow PackagedRows[] = {
    {keys::ExecutionPath, "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Kaleidrome"},
    {keys::SnapPath, "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps"},
    {keys::IconPath, "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Icons"},
};

// A packaged toggle counts as on in any state but off.
bool toggleOn(const QCheckBox* box) {
    return box->checkState() != Qt::Unchecked;
}

} // namespace

QString AppDelegate::packagedPath(const char* relative) const {
    return m_resourcePath + u'/' + QString::fromLatin1(relative);
}

QString AppDelegate::pathOfExecFile() const {
    if (toggleOn(button_exe))
        return packagedPath("kdromepak/Kaleidrome");
    return textfild_exe->text();
}

QString AppDelegate::pathOfCurrentDir() const {
    return path::deleteLastComponent(pathOfExecFile());
}

std::optional<QString> AppDelegate::pathOfDataFile() const {
    const QString candidate = packagedPath("Kaleidrome.xml");
    if (!QFileInfo::exists(candidate))
        return std::nullopt;
    return candidate;
}

bool AppDelegate::ExefileCheck() const {
    return file_FoundCheck(pathOfExecFile());
}

bool AppDelegate::file_FoundCheck(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool AppDelegate::folder_FoundCheck(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void AppDelegate::PackagePathChange(QObject* sender) {
    const int tag = tagOf(sender);
    if (tag < 0 || tag > 2)
        return;
    QCheckBox* toggles[] = {button_exe, button_snapfolder, button_Iconfolder};
    QLineEdit* fields[] = {textfild_exe, textfild_snaps, textfild_icons};
    QLineEdit* field = fields[tag];
    const bool packaged = toggleOn(toggles[tag]);
    // Display only: setText does not write the key.
    field->setText(packaged
                       ? QString::fromLatin1(PackagedRows[tag].displayText)
                       : m_store.stringForKey(QString::fromLatin1(PackagedRows[tag].userPathKey))
                             .value_or(QString()));
}

void AppDelegate::PackagePath_ini() {
    PackagePathChange(button_exe);
    PackagePathChange(button_snapfolder);
    PackagePathChange(button_Iconfolder);
}

} // namespace kd
