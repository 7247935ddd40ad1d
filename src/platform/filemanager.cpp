#include "platform/filemanager.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kd {

std::optional<RevealTarget> revealTargetFor(const QString& item, const QString& root) {
    if (item.isEmpty()) {
        if (root.isEmpty() || QDir::isRelativePath(root))
            return std::nullopt;
        const QString folder = QDir::cleanPath(root);
        return RevealTarget{QStringLiteral("ShowFolders"), folder, folder};
    }
    if (QDir::isRelativePath(item) && (root.isEmpty() || QDir::isRelativePath(root)))
        return std::nullopt;
    const QString path =
        QDir::isAbsolutePath(item) ? QDir::cleanPath(item) : QDir::cleanPath(root + u'/' + item);
    const QString folder = root.isEmpty() ? QFileInfo(path).path() : QDir::cleanPath(root);
    return RevealTarget{QStringLiteral("ShowItems"), path, folder};
}

bool requestReveal(const QDBusConnection& bus, const RevealTarget& target,
                   std::function<bool()> fallback, int timeoutMs) {
    // A disconnected bus finishes the call at once and never tells a watcher.
    if (!bus.isConnected())
        return fallback();

    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), target.method);
    message << QStringList{QString::fromUtf8(QUrl::fromLocalFile(target.path).toEncoded())}
            << QString();
    // The default timeout would leave the fallback waiting 25 s for a hung service.
    const QDBusPendingCall call = bus.asyncCall(message, timeoutMs);
    if (call.isFinished())
        return call.isError() ? fallback() : true;

    auto* watcher = new QDBusPendingCallWatcher(call);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallback = std::move(fallback)](QDBusPendingCallWatcher* self) {
                         if (self->isError())
                             fallback();
                         self->deleteLater();
                     });
    return true;
}

} // namespace kd
