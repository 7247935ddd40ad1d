#include "settings/arrangement.h"

#include "settings/settingsstore.h"

namespace kd::arrangement {

namespace {

QString keyOf(const QString& name) {
    return QStringLiteral("Arrangement/") + name;
}

QString columnsKeyOf(const QString& name) {
    return keyOf(name) + QStringLiteral("Columns");
}

} // namespace

QByteArray savedState(const SettingsStore& store, const QString& name) {
    // Only bytes count as a stored state; a value of another kind is garbage.
    const std::optional<QVariant> value = store.objectForKey(keyOf(name));
    return value && value->typeId() == QMetaType::QByteArray ? value->toByteArray() : QByteArray();
}

void saveState(SettingsStore& store, const QString& name, const QByteArray& state) {
    store.setObject(state, keyOf(name));
}

QByteArray savedHeaderState(const SettingsStore& store, const QString& name,
                            const QString& columns) {
    if (store.stringForKey(columnsKeyOf(name)) != columns)
        return QByteArray();
    return savedState(store, name);
}

void saveHeaderState(SettingsStore& store, const QString& name, const QByteArray& state,
                     const QString& columns) {
    saveState(store, name, state);
    store.setObject(columns, columnsKeyOf(name));
}

} // namespace kd::arrangement
