#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariant>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

namespace kd {

class SettingsStore;

// Stands between the settings store and the preferences form: holds the initial
// values (never written into the store), shows each key in its control, and
// writes a user's edit into the store at once. A value an operation stores is
// shown in its control at once.
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

    // Two-way bindings. An inverted check box is on when its key is false.
    void bind(QCheckBox* box, const QString& key, bool inverted = false);
    void bind(QLineEdit* field, const QString& key);
    void bind(QComboBox* popUp, const QString& key);

private:
    struct Binding {
        QPointer<QWidget> control;
        bool inverted = false;
    };
    void showValue(const QString& key);
    void show(const Binding& binding, const QVariant& value);

    SettingsStore& m_store;
    QVariantMap m_initialValues;
    QMultiHash<QString, Binding> m_bindings;
};

} // namespace kd
