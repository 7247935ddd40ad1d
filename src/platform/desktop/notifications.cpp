#include "platform/desktop/notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace kd {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString ActionKey = QStringLiteral("show-log");
// A server that does not answer is given up after this; nothing waits for it.
constexpr int CallTimeoutMs = 5000;

// The body is markup for servers that support it: ours is text from outside.
QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace

Notifications::Notifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {}

void Notifications::notify(const QString& summary, const QString& body, const QString& actionLabel,
                           std::function<void()> onAction) {
    if (!m_bus.isConnected())
        return;
    if (!m_listening) {
        m_listening = m_bus.connect(Service, Path, Service, QStringLiteral("ActionInvoked"), this,
                                    SLOT(actionInvoked(uint, QString))) &&
                      m_bus.connect(Service, Path, Service, QStringLiteral("NotificationClosed"),
                                    this, SLOT(closed(uint, uint)));
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    message << QStringLiteral("Kaleidrome Launcher") << uint(0)
            << QStringLiteral("kaleidrome-launcher") << summary << escaped(body)
            << QStringList{ActionKey, actionLabel}
            << QVariantMap{{QStringLiteral("desktop-entry"),
                            QStringLiteral("org.example.KaleidromeLauncher")}}
            << int(-1);
    const QDBusPendingCall call = m_bus.asyncCall(message, CallTimeoutMs);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, onAction = std::move(onAction)](QDBusPendingCallWatcher* self) {
                const QDBusPendingReply<uint> reply = *self;
                if (!reply.isError())
                    m_actions[reply.value()] = onAction;
                self->deleteLater();
            });
}

void Notifications::actionInvoked(uint id, const QString& action) {
    const auto found = m_actions.find(id);
    if (found == m_actions.end() || action != ActionKey)
        return;
    const std::function<void()> onAction = found->second;
    m_actions.erase(found);
    onAction();
}

void Notifications::closed(uint id, uint reason) {
    Q_UNUSED(reason);
    m_actions.erase(id);
}

} // namespace kd
