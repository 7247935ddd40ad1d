#include "app/appdelegate.h"

#include "platform/desktop.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QMenu>
#include <QWidget>

namespace kd {

namespace {
const char* const TagProperty = "kdTag";
} // namespace

AppDelegate::AppDelegate(Desktop& desktop, SettingsStore& store, const QString& resourcePath,
                         QObject* parent)
    : QObject(parent), m_desktop(desktop), m_store(store), m_defaults(store),
      m_resourcePath(resourcePath) {
    // The initial values must be in place before any control is bound.
    initialize(m_defaults, m_store);
    QString error;
    m_strings =
        StringTable::load(m_resourcePath + QStringLiteral("/strings/Localizable.json"), &error);
    if (m_strings.isEmpty())
        m_desktop.systemLog(QStringLiteral("String table not loaded: ") + error);
    buildActions();
    buildPreferencesWindow();
    buildLogWindow();
    buildMainWindows();
    attachGameList();
    addActionsToWindows();
    buildTrayIcon();
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::initialize(DefaultsController& defaults, SettingsStore& store) {
    QVariantMap initialValues;
    for (const SettingKey& key : settingKeys())
        initialValues.insert(QString::fromLatin1(key.name), key.initialValue);
    defaults.setInitialValues(initialValues);
    store.synchronize();
}

int AppDelegate::tagOf(const QObject* control) {
    if (!control)
        return 0;
    bool ok = false;
    const int tag = control->property(TagProperty).toInt(&ok);
    return ok ? tag : 0;
}

void AppDelegate::setTag(QObject* control, int tag) {
    control->setProperty(TagProperty, tag);
}

} // namespace kd
