#include "settings/settingsstore.h"

#include "platform/regularfile.h"
#include "settings/settingskeys.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kd {

namespace {

// A launcher killed while it took the settings file's lock can leave the lock
// file empty; QSettings then waits 30 s for it to go stale, with the window
// frozen. A live writer holds a native lock on that file and fills it at once,
// so an empty one that nobody holds is left over from a crash.
void removeAbandonedLock(const QString& settingsFile) {
    const QByteArray lock = QFile::encodeName(settingsFile + QStringLiteral(".lock"));
    constexpr int GraceMs = 20; // covers a writer between creating the file and locking it
    for (int waited = 0;; waited += 5) {
        struct stat st {};
        if (::stat(lock.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0)
            return;
        const int fd = ::open(lock.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (!held && waited >= GraceMs)
            ::unlink(lock.constData());
        ::close(fd);
        if (held || waited >= GraceMs)
            return;
        ::usleep(5000);
    }
}

// Why QSettings must not open `file`, whose read would block on a FIFO (and
// not even end on SIGTERM); empty when it may.
QString usableFileProblem(const QString& file) {
    QString error;
    if (readRegularFile(file, nullptr, &error) != RegularFile::Refused)
        return QString();
    return error + QStringLiteral("; settings are kept only until the launcher quits");
}

} // namespace

SettingsStore::SettingsStore(const QString& filePath, QObject* parent)
    : QObject(parent), m_filePath(filePath), m_problem(usableFileProblem(filePath)),
      m_settings(m_problem.isEmpty() ? filePath : QString(), QSettings::IniFormat) {}

QString SettingsStore::defaultFilePath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Kaleidrome/Kaleidrome Launcher.conf");
}

std::optional<QVariant> SettingsStore::objectForKey(const QString& key) const {
    const QVariant raw = m_settings.value(key);
    if (!raw.isValid())
        return std::nullopt;
    if (const SettingKey* known = findSettingKey(key))
        return coerceToKind(raw, known->kind);
    return raw;
}

std::optional<QString> SettingsStore::stringForKey(const QString& key) const {
    const std::optional<QVariant> value = objectForKey(key);
    if (!value || !value->canConvert<QString>())
        return std::nullopt;
    return value->toString();
}

qint64 SettingsStore::integerForKey(const QString& key) const {
    const std::optional<QVariant> value = objectForKey(key);
    if (!value)
        return 0;
    bool ok = false;
    const qint64 number = value->toLongLong(&ok);
    return ok ? number : 0;
}

void SettingsStore::setObject(const QVariant& value, const QString& key) {
    // QSettings may write the file on its own after this.
    removeAbandonedLock(m_filePath);
    m_settings.setValue(key, value);
    emit valueChanged(key);
}

void SettingsStore::removeObjectForKey(const QString& key) {
    removeAbandonedLock(m_filePath);
    m_settings.remove(key);
    emit valueChanged(key);
}

void SettingsStore::synchronize() {
    removeAbandonedLock(m_filePath);
    m_settings.sync();
}

} // namespace kd
