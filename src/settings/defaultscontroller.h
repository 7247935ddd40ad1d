#pragma once

#include "settings/settingskeys.h"

#include <QObject>
#include <QVariant>

namespace kd {

class SettingsStore;

// Stands between the settings store and the preferences form: holds the initial
// values (never written into the store), answers what the form shows for a key,
// and writes a user's edit into the store at once.
class DefaultsController : public QObject {
    Q_OBJECT
public:
    explicit DefaultsController(SettingsStore& store, QObject* parent = nullptr);

    void setInitialValues(const QVariantMap& initialValues);
    const QVariantMap& initialValues() const { return m_initialValues; }

    // What the form shows for the key: the stored value, else the initial value.
    QVariant value(const QString& key) const;
    // A user's edit: stored and flushed.
    void setValue(const QString& key, const QVariant& value);
    // Every key with an initial value follows that value again; the store is flushed.
    void revertToInitialValues();

    // The same through typed keys: a stored value of another kind counts as not
    // stored, and a key without an initial value reads as its type's empty value.
    template <SettingKind K> typename SettingValue<K>::Type value(TypedKey<K> key) const {
        if (const auto stored = coerceTo<K>(value(key.name())))
            return *stored;
        return coerceTo<K>(m_initialValues.value(key.name()))
            .value_or(typename SettingValue<K>::Type{});
    }
    template <SettingKind K> void setValue(TypedKey<K> key, typename SettingValue<K>::Type value) {
        setValue(key.name(), QVariant::fromValue(value));
    }

    SettingsStore& store() const { return m_store; }

signals:
    // What the form shows for `key` may have changed (a write, a removal, the reset,
    // new initial values).
    void valueChanged(const QString& key);

private:
    SettingsStore& m_store;
    QVariantMap m_initialValues;
};

} // namespace kd
