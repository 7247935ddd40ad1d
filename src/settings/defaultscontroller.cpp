#include "settings/defaultscontroller.h"

#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace kd {

DefaultsController::DefaultsController(SettingsStore& store, QObject* parent)
    : QObject(parent), m_store(store) {
    connect(&m_store, &SettingsStore::valueChanged, this, &DefaultsController::showValue);
}

void DefaultsController::setInitialValues(const QVariantMap& initialValues) {
    m_initialValues = initialValues;
    for (auto it = m_initialValues.cbegin(); it != m_initialValues.cend(); ++it)
        showValue(it.key());
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

void DefaultsController::bind(QCheckBox* box, const QString& key, bool inverted) {
    m_bindings.insert(key, {box, inverted});
    show({box, inverted}, value(key));
    connect(box, &QCheckBox::clicked, this, [this, box, key, inverted] {
        if (box->checkState() != Qt::PartiallyChecked)
            setValue(key, box->isChecked() != inverted);
    });
}

void DefaultsController::bind(QLineEdit* field, const QString& key) {
    m_bindings.insert(key, {field, false});
    show({field, false}, value(key));
    connect(field, &QLineEdit::textEdited, this,
            [this, key](const QString& text) { setValue(key, text); });
}

void DefaultsController::bind(QComboBox* popUp, const QString& key) {
    m_bindings.insert(key, {popUp, false});
    show({popUp, false}, value(key));
    connect(popUp, &QComboBox::activated, this, [this, key](int index) { setValue(key, index); });
}

void DefaultsController::showValue(const QString& key) {
    const QVariant current = value(key);
    const auto range = m_bindings.equal_range(key);
    for (auto it = range.first; it != range.second; ++it)
        show(it.value(), current);
}

void DefaultsController::show(const Binding& binding, const QVariant& value) {
    QWidget* control = binding.control;
    if (!control)
        return;
    const QSignalBlocker blocker(control);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        box->setChecked(value.toBool() != binding.inverted);
    } else if (auto* field = qobject_cast<QLineEdit*>(control)) {
        const QString text = value.toString();
        if (field->text() != text)
            field->setText(text);
    } else if (auto* popUp = qobject_cast<QComboBox*>(control)) {
        bool ok = false;
        const int index = value.toInt(&ok);
        popUp->setCurrentIndex(ok && index >= 0 && index < popUp->count() ? index : -1);
    }
}

} // namespace kd
