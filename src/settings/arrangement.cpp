#include "settings/arrangement.h"

#include "settings/settingsstore.h"

#include <QHeaderView>
#include <QSplitter>

namespace kd::arrangement {

namespace {

QString keyOf(const QString& name) {
    return QStringLiteral("Arrangement/") + name;
}

QString columnsKeyOf(const QString& name) {
    return keyOf(name) + QStringLiteral("Columns");
}

// Only bytes count as a stored state; a value of another kind is garbage.
QByteArray storedState(const SettingsStore& store, const QString& name) {
    const std::optional<QVariant> value = store.objectForKey(keyOf(name));
    return value && value->typeId() == QMetaType::QByteArray ? value->toByteArray() : QByteArray();
}

} // namespace

void saveGeometry(SettingsStore& store, const QString& name, const QWidget& window) {
    store.setObject(window.saveGeometry(), keyOf(name));
}

bool restoreGeometry(const SettingsStore& store, const QString& name, QWidget& window) {
    const QByteArray state = storedState(store, name);
    // Qt moves a place that no screen shows onto the nearest available one.
    return !state.isEmpty() && window.restoreGeometry(state);
}

void saveSplitter(SettingsStore& store, const QString& name, const QSplitter& splitter) {
    store.setObject(splitter.saveState(), keyOf(name));
}

bool restoreSplitter(const SettingsStore& store, const QString& name, QSplitter& splitter) {
    const QByteArray state = storedState(store, name);
    return !state.isEmpty() && splitter.restoreState(state);
}

void saveHeader(SettingsStore& store, const QString& name, const QHeaderView& header,
                const QString& columns) {
    store.setObject(header.saveState(), keyOf(name));
    store.setObject(columns, columnsKeyOf(name));
}

bool restoreHeader(const SettingsStore& store, const QString& name, QHeaderView& header,
                   const QString& columns) {
    if (store.stringForKey(columnsKeyOf(name)) != columns)
        return false;
    const QByteArray state = storedState(store, name);
    if (state.isEmpty() || !header.restoreState(state))
        return false;
    if (header.sortIndicatorSection() != -1)
        header.setSortIndicator(-1, Qt::AscendingOrder);
    return true;
}

} // namespace kd::arrangement
