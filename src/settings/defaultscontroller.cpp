#include "settings/defaultscontroller.h"

#include "settings/settingsstore.h"

namespace kd {

DefaultsController::DefaultsController(SettingsStore& store, QObject* parent)
    : QObject(parent), m_store(store) {
    connect(&m_store, &SettingsStore::valueChanged, this, &DefaultsController::valueChanged);
}

void DefaultsController::setInitialValues(const QVariantMap& initialValues) {
    m_initialValues = initialValues;
    for (auto it = m_initialValues.cbegin(); it != m_initialValues.cend(); ++it)
        emit valueChanged(it.key());
}

QVariant DefaultsController::value(const QString& key) const {
    if (const std::optional<QVariant> stored = m_store.objectForKey(key))
        return *stored;
    return m_initialValues.value(key);
}

void DefaultsController::setValue(const QString& key, const QVariant& value) {
    m_store.setObject(value, key);
    m_store.synchronize();
}

void DefaultsController::revertToInitialValues() {
    for (auto it = m_initialValues.cbegin(); it != m_initialValues.cend(); ++it)
        m_store.removeObjectForKey(it.key());
    m_store.synchronize();
}

} // namespace kd
