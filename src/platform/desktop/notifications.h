#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <map>

namespace kd {

// Desktop notifications through the freedesktop notification server on a bus.
// Nothing here waits for the server: without one nothing is shown.
class Notifications : public QObject {
    Q_OBJECT
public:
    explicit Notifications(QDBusConnection bus, QObject* parent = nullptr);

    // Shows `summary` and `body` (plain text) with one action; `onAction` runs
    // when the user picks it.
    void notify(const QString& summary, const QString& body, const QString& actionLabel,
                std::function<void()> onAction);

private slots:
    void actionInvoked(uint id, const QString& action);
    void closed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    bool m_listening = false;
    std::map<uint, std::function<void()>> m_actions; // by notification id
};

} // namespace kd
