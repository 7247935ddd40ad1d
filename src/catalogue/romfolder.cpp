#include "catalogue/romfolder.h"

#include "catalogue/gamelist.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <algorithm>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace kd {

namespace {

constexpr std::string_view kExtension = ".zip";

bool isRegularFile(int dirFd, const char* name) {
    struct stat st {};
    return ::fstatat(dirFd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

} // namespace

RomArchiveNames listRomArchives(const QString& folder) {
    RomArchiveNames names;
    if (folder.isEmpty())
        return names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    // Room for about as many names as the folder's size suggests (an entry
    // takes some 20 to 40 bytes of it): growing the table rehashes every name.
    struct stat st {};
    if (::fstat(::dirfd(dir), &st) == 0 && st.st_size > 0)
        names.reserve(std::size_t(std::min<off_t>(st.st_size / 32, off_t(1) << 24)));
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() <= kExtension.size() || !name.ends_with(kExtension))
            continue;
        // The entry's type says it all but for links and file systems that do not tell.
        const bool regular =
            entry->d_type == DT_REG || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                        isRegularFile(::dirfd(dir), entry->d_name));
        if (regular)
            names.emplace(name.substr(0, name.size() - kExtension.size()));
    }
    ::closedir(dir);
    return names;
}

void markAvailable(const std::vector<plist::Value>& records, std::size_t first, std::size_t last,
                   const QString& folder, const RomArchiveNames& archives,
                   std::vector<bool>& available) {
    available.resize(records.size(), false);
    last = std::min(last, records.size());
    for (std::size_t i = first; i < last; ++i) {
        const std::string* name = folder.isEmpty() ? nullptr : gameNameBytes(records[i]);
        if (!name || !nameStaysInFolder(*name))
            available[i] = false;
        else if (name->find('/') == std::string::npos)
            available[i] = archives.contains(*name);
        else
            available[i] =
                QFileInfo(folder + u'/' + *gameName(records[i]) + QStringLiteral(".zip")).isFile();
    }
}

std::vector<bool> availabilityOf(const std::vector<plist::Value>& records, const QString& folder,
                                 const RomArchiveNames& archives) {
    std::vector<bool> available;
    markAvailable(records, 0, records.size(), folder, archives, available);
    return available;
}

plist::Value newGameRecord(const QString& name) {
    QString title = name;
    title.replace(u'_', u' ').replace(u'-', u' ');
    QStringList words = title.split(u' ', Qt::SkipEmptyParts);
    for (QString& word : words)
        word[0] = word[0].toUpper();
    plist::Dictionary record;
    record.insert("name", plist::Value(name.toStdString()));
    record.insert("title", plist::Value((words.isEmpty() ? name : words.join(u' ')).toStdString()));
    return plist::Value(std::move(record));
}

// What a listing thread shares with its watcher: it hands its result over only
// while the watcher still exists.
struct RomFolderWatcher::Shared {
    std::mutex mutex;
    RomFolderWatcher* watcher = nullptr;
};

RomFolderWatcher::RomFolderWatcher(QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->watcher = this;
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &RomFolderWatcher::rescan);
}

RomFolderWatcher::~RomFolderWatcher() {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->watcher = nullptr;
}

void RomFolderWatcher::setFolder(const QString& folder) {
    if (folder == m_folder && m_generation > 0)
        return;
    m_folder = folder;
    watch();
    rescan();
}

void RomFolderWatcher::watch() {
    delete m_watcher;
    m_watcher = nullptr;
    if (m_folder.isEmpty() || !QFileInfo(m_folder).isDir())
        return;
    m_watcher = new QFileSystemWatcher({m_folder}, this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_settle.start(settleDelay); });
}

void RomFolderWatcher::rescan() {
    m_settle.stop();
    const quint64 generation = ++m_generation;
    // A slow or hung file system must never hold the window.
    std::thread([shared = m_shared, folder = m_folder, generation] {
        auto archives = std::make_shared<const RomArchiveNames>(listRomArchives(folder));
        const std::lock_guard lock(shared->mutex);
        if (RomFolderWatcher* watcher = shared->watcher)
            QMetaObject::invokeMethod(watcher, [watcher, folder, generation, archives] {
                // Only the newest listing counts.
                if (generation == watcher->m_generation)
                    emit watcher->listed(folder, archives);
            });
    }).detach();
}

} // namespace kd
