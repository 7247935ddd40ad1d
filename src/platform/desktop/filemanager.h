#pragma once

#include <QString>
#include <functional>
#include <optional>

class QDBusConnection;

namespace kd {

// What to ask the file manager for: ShowItems highlights an item in its
// folder, ShowFolders just shows a folder.
struct RevealTarget {
    QString method; // "ShowItems" or "ShowFolders"
    QString path;   // absolute local path of the item or folder
    QString folder; // the folder to open when no file manager answers
};

// `item` is a full path, a bare name inside `root`, or empty for `root` itself.
// Nothing when no absolute place results.
std::optional<RevealTarget> revealTargetFor(const QString& item, const QString& root);

// Sends org.freedesktop.FileManager1 the request on `bus` without waiting for
// the answer. `fallback` runs at once when the bus is not connected or nothing
// on it provides the service, and later when the service fails or does not
// answer within `timeoutMs`. Returns false only when the fallback ran at once
// and failed.
bool requestReveal(const QDBusConnection& bus, const RevealTarget& target,
                   std::function<bool()> fallback, int timeoutMs = 1500);

} // namespace kd
