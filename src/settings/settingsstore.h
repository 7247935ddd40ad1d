#pragma once

#include "settings/settingskeys.h"

#include <QObject>
#include <QSettings>
#include <QVariant>
#include <optional>

namespace kd {

// The per-user settings store. It holds only what has been written into it; the
// initial values live in the DefaultsController. Values read back are checked
// against their key's kind: one of the wrong kind counts as not stored.
class SettingsStore : public QObject {
    Q_OBJECT
public:
    // A file path that holds something other than a regular file (a FIFO, a
    // device) is left alone: the store then keeps its values in memory only,
    // and problem() says why.
    explicit SettingsStore(const QString& filePath, QObject* parent = nullptr);

    // $XDG_CONFIG_HOME/Kaleidrome/Kaleidrome Launcher.conf
    static QString defaultFilePath();
    QString filePath() const { return m_filePath; }
    const QString& problem() const { return m_problem; }

    std::optional<QVariant> objectForKey(const QString& key) const;
    // The stored text, or nothing when nothing (or no text) is stored.
    std::optional<QString> stringForKey(const QString& key) const;
    // The stored integer, or 0.
    qint64 integerForKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void removeObjectForKey(const QString& key);

    // The same through typed keys. A stored value of another kind reads as nothing.
    template <SettingKind K>
    std::optional<typename SettingValue<K>::Type> value(TypedKey<K> key) const {
        const QVariant raw = m_settings.value(key.name());
        return raw.isValid() ? coerceTo<K>(raw) : std::nullopt;
    }
    std::optional<QString> stringForKey(TextKey key) const { return value(key); }
    qint64 integerForKey(IntegerKey key) const { return value(key).value_or(0); }
    template <SettingKind K> void setObject(const QVariant& value, TypedKey<K> key) {
        setObject(value, key.name());
    }
    template <SettingKind K> void removeObjectForKey(TypedKey<K> key) {
        removeObjectForKey(key.name());
    }
    // Writes pending changes to the file (merging with what another launcher wrote).
    void synchronize();

signals:
    void valueChanged(const QString& key);

private:
    QString m_filePath;
    QString m_problem;
    QSettings m_settings;
};

} // namespace kd
