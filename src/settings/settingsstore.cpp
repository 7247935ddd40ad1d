#include "settings/settingsstore.h"

#include "settings/settingskeys.h"

#include <QDir>
#include <QStandardPaths>

namespace kd {

SettingsStore::SettingsStore(const QString& filePath, QObject* parent)
    : QObject(parent), m_settings(filePath, QSettings::IniFormat) {}

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
    m_settings.setValue(key, value);
    emit valueChanged(key);
}

void SettingsStore::removeObjectForKey(const QString& key) {
    m_settings.remove(key);
    emit valueChanged(key);
}

void SettingsStore::synchronize() { m_settings.sync(); }

} // namespace kd
