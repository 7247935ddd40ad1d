// The emulator, data file and artwork paths, packaged or chosen by the user.
#include "app/appdelegate.h"
#include "settings/pathops.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>

namespace kd {

namespace {

struct PackagedRow {
    const char* toggleKey;
    const char* userPathKey;
    const char* displayText;
};

// Rows by toggle tag: the toggle's key, the key of the user's own path and
// what the field shows while the packaged location is in use (for the eyes
// only, never a path).
constexpr PackagedRow PackagedRows[] = {
    {keys::Button_packege1, keys::ExecutionPath,
     "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Kaleidrome"},
    {keys::Button_packege2, keys::SnapPath,
     "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Snaps"},
    {keys::Button_packege3, keys::IconPath,
     "Kaleidrome Launcher.app/Contents/Resources/kdromepak/Icons"},
};

// A packaged toggle counts as on in any state but off.
bool toggleOn(const QCheckBox* box) {
    return box->checkState() != Qt::Unchecked;
}

// A field that cannot be typed into looks it: the window's colour behind it.
void setReadOnly(QLineEdit* field, bool readOnly) {
    field->setReadOnly(readOnly);
    QPalette palette = field->palette();
    palette.setBrush(QPalette::Base, QApplication::palette(field).brush(readOnly ? QPalette::Window
                                                                                 : QPalette::Base));
    field->setPalette(palette);
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
    // Display only: setText does not write the key. While the packaged
    // location is used its field cannot be typed into.
    const QString shown =
        packaged ? QString::fromLatin1(PackagedRows[tag].displayText)
                 : m_store.stringForKey(QString::fromLatin1(PackagedRows[tag].userPathKey))
                       .value_or(QString());
    if (field->text() != shown)
        field->setText(shown);
    setReadOnly(field, packaged);
}

// The fields follow their boxes however these change (a chooser, the reset),
// and a path stored while its box is on does not take the fixed text's place.
void AppDelegate::followPackagedToggle(const QString& key) {
    QCheckBox* toggles[] = {button_exe, button_snapfolder, button_Iconfolder};
    for (int tag = 0; tag < 3; ++tag) {
        if (key == QLatin1StringView(PackagedRows[tag].toggleKey) ||
            (key == QLatin1StringView(PackagedRows[tag].userPathKey) && toggleOn(toggles[tag])))
            PackagePathChange(toggles[tag]);
    }
}

void AppDelegate::PackagePath_ini() {
    PackagePathChange(button_exe);
    PackagePathChange(button_snapfolder);
    PackagePathChange(button_Iconfolder);
}

} // namespace kd
