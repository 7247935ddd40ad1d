#include "platform/desktop/filemanager.h"

#include <QDBusConnection>
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

namespace {

const QString FileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// False only when the bus says that nothing provides the file manager, running
// or ready to be started; then the fallback can run at once and its failure be
// told to the caller instead of being lost in a late answer.
bool fileManagerMayAnswer(const QDBusConnection& bus, int timeoutMs) {
    auto ask = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus.call(message, QDBus::Block, timeoutMs);
        return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0) : QVariant();
    };
    const QVariant owned = ask(QStringLiteral("NameHasOwner"), {FileManagerService});
    if (!owned.isValid() || owned.toBool())
        return true;
    const QVariant activatable = ask(QStringLiteral("ListActivatableNames"), {});
    return !activatable.isValid() || activatable.toStringList().contains(FileManagerService);
}

} // namespace

bool requestReveal(const QDBusConnection& bus, const RevealTarget& target,
                   std::function<bool()> fallback, int timeoutMs) {
    // A disconnected bus finishes the call at once and never tells a watcher.
    if (!bus.isConnected() || !fileManagerMayAnswer(bus, timeoutMs))
        return fallback();

    QDBusMessage message = QDBusMessage::createMethodCall(
        FileManagerService, QStringLiteral("/org/freedesktop/FileManager1"), FileManagerService,
        target.method);
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
