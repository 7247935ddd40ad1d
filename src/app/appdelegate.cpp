#include "app/appdelegate.h"

#include "app/translations.h"
#include "platform/desktop.h"
#include "platform/uilanguage.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QMenu>
#include <QTimer>
#include <QWidget>

namespace kd {

namespace {
const char* const TagProperty = "kdTag";
} // namespace

AppDelegate::AppDelegate(Desktop& desktop, SettingsStore& store, const QString& resourcePath,
                         QObject* parent)
    : QObject(parent), m_desktop(desktop), m_store(store), m_defaults(store),
      m_resourcePath(resourcePath), m_language(uiLanguage(translatedLanguages())) {
    // The initial values must be in place before any control is bound.
    initialize(m_defaults, m_store);
    QString error;
    m_strings = StringTable::load(m_resourcePath + QStringLiteral("/strings"), m_language, &error);
    if (!error.isEmpty())
        m_desktop.systemLog(QStringLiteral("String table not loaded: ") + error);
    // Kept in memory until start-up opens the database.
    m_history = std::make_unique<PlayHistory>(QString());
    m_statusClock.setInterval(1000);
    connect(&m_statusClock, &QTimer::timeout, this, &AppDelegate::refreshStatusLine);
    buildActions();
    buildPreferencesWindow();
    buildLogWindow();
    buildMainWindows();
    buildHistoryWindow();
    buildAboutWindow();
    attachGameList();
    addActionsToWindows();
    buildTrayIcon();
    restoreArrangement();
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::initialize(DefaultsController& defaults, SettingsStore& store) {
    QVariantMap initialValues;
    for (const SettingKey& key : settingKeys())
        initialValues.insert(QString::fromLatin1(key.name), key.initialValue);
    defaults.setInitialValues(initialValues);
    store.synchronize();
}

int AppDelegate::runAlert(const AlertRequest& request) {
    ++m_modalDepth;
    const int answer = m_desktop.runAlert(request);
    endModal();
    return answer;
}

std::optional<QString> AppDelegate::runOpenPanel(const OpenPanelRequest& request) {
    ++m_modalDepth;
    std::optional<QString> answer = m_desktop.runOpenPanel(request);
    endModal();
    return answer;
}

std::optional<QString> AppDelegate::runSavePanel(const SavePanelRequest& request) {
    ++m_modalDepth;
    std::optional<QString> answer = m_desktop.runSavePanel(request);
    endModal();
    return answer;
}

void AppDelegate::endModal() {
    if (--m_modalDepth == 0 && !m_waitingReactions.empty())
        QTimer::singleShot(0, this, &AppDelegate::handleWaitingReactions);
}

// While an alert or a panel is up, the launcher's reactions to the ends of runs
// wait, and are handled after it has closed in the order they came: alerts come
// one after another, never one over another, and no stop step runs inside one.
void AppDelegate::react(std::function<void()> reaction) {
    m_waitingReactions.push_back(std::move(reaction));
    handleWaitingReactions();
}

void AppDelegate::handleWaitingReactions() {
    if (m_modalDepth > 0 || m_handlingReactions)
        return;
    m_handlingReactions = true;
    while (!m_waitingReactions.empty() && m_modalDepth == 0) {
        const std::function<void()> next = std::move(m_waitingReactions.front());
        m_waitingReactions.pop_front();
        next();
    }
    m_handlingReactions = false;
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
