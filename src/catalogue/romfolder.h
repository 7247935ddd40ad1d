#pragma once

#include "catalogue/plistvalue.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class QFileSystemWatcher;

namespace kd {

// The base names of a folder's entries `<name>.zip` that are regular files
// (links to regular files count), spelled as the file system has them.
using RomArchiveNames = std::unordered_set<std::string>;

// Reads the folder once; an unreadable or missing folder has none.
RomArchiveNames listRomArchives(const QString& folder);

// For records [first, last): whether `<folder>/<name>.zip` exists as a regular
// file, into `available` (sized to the records). Names with a separator are
// looked up on disk, the others in `archives`; one that leads out of the
// folder (`nameStaysInFolder`) is never there.
void markAvailable(const std::vector<plist::Value>& records, std::size_t first, std::size_t last,
                   const QString& folder, const RomArchiveNames& archives,
                   std::vector<bool>& available);
// The same for every record.
std::vector<bool> availabilityOf(const std::vector<plist::Value>& records, const QString& folder,
                                 const RomArchiveNames& archives);

// A record for a game found only as an archive: its `name`, and a title made
// from it ("bolt_runner-2" -> "Bolt Runner 2").
plist::Value newGameRecord(const QString& name);

// Lists a ROM folder off the main thread, and again when another folder is set
// or the folder's contents change (changes that come in a burst, such as a
// copy of many archives, are listed once they settle).
class RomFolderWatcher : public QObject {
    Q_OBJECT
public:
    explicit RomFolderWatcher(QObject* parent = nullptr);
    ~RomFolderWatcher() override;

    void setFolder(const QString& folder);
    QString folder() const { return m_folder; }
    // Lists the folder again now.
    void rescan();

    // How long the folder must stay quiet before it is listed again.
    std::chrono::milliseconds settleDelay{250};

signals:
    // `archives` is what the folder held when the last listing began.
    void listed(const QString& folder, std::shared_ptr<const RomArchiveNames> archives);

private:
    struct Shared;
    void watch();

    QString m_folder;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_settle;
    quint64 m_generation = 0;
    std::shared_ptr<Shared> m_shared;
};

} // namespace kd
