// Copies of the history file: made with VACUUM INTO on a thread of their own,
// checked before one is offered, and put back in place of a damaged file.
#include "catalogue/playhistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kd {

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd'T'HHmmss'Z'");

QString stamp(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(kStampFormat);
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Flushes a file or a folder to disk; false with errno set on failure.
bool flush(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

bool renameFile(const QString& from, const QString& to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Runs `work` on a read-only connection of its own to `path`, on any thread.
template <typename Work> auto withConnection(const QString& path, Work work) {
    static std::atomic<quint64> made{0};
    const QString connection = QStringLiteral("kd-history-copy-%1").arg(++made);
    decltype(work(std::declval<QSqlDatabase&>())) result{};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        result = db.open() ? work(db) : decltype(result){};
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}

// Makes `target` a consistent copy of the database at `path`: written beside
// it under another name, flushed, then renamed, so that a copy is always whole.
QString makeCopy(const QString& path, const QString& target) {
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder ") + folder;
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    const QString problem = withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery vacuum(db);
        vacuum.prepare(QStringLiteral("VACUUM INTO ?"));
        vacuum.addBindValue(part);
        return vacuum.exec() ? QStringLiteral("") : vacuum.lastError().text();
    });
    if (!problem.isEmpty() || !QFileInfo(part).isFile()) {
        QFile::remove(part);
        return QStringLiteral("cannot copy the database: ") +
               (problem.isNull() ? QStringLiteral("it cannot be opened") : problem);
    }
    if (!flush(part, O_RDONLY) || !renameFile(part, target)) {
        const QString why = systemError();
        QFile::remove(part);
        return QStringLiteral("cannot write the copy: ") + why;
    }
    flush(folder, O_RDONLY | O_DIRECTORY);
    return {};
}

// Leftovers of copies that a crash interrupted, and copies past the limit.
void pruneCopies(const QString& path) {
    const QDir folder(PlayHistory::copyFolder(path));
    for (const QString& part :
         folder.entryList({QStringLiteral("history-*.sqlite.part")}, QDir::Files))
        QFile::remove(folder.filePath(part));
    const std::vector<PlayHistory::Copy> copies = PlayHistory::copiesOf(path);
    for (std::size_t i = PlayHistory::CopyLimit; i < copies.size(); ++i)
        QFile::remove(copies[i].path);
}

} // namespace

QString PlayHistory::copyFolder(const QString& path) {
    return QFileInfo(path).absolutePath() + QStringLiteral("/backups/history");
}

std::vector<PlayHistory::Copy> PlayHistory::copiesOf(const QString& path) {
    const QDir folder(copyFolder(path));
    std::vector<Copy> copies;
    for (const QString& name : folder.entryList({QStringLiteral("history-*.sqlite")}, QDir::Files,
                                                QDir::Name | QDir::Reversed)) {
        // "history-" + stamp + ".sqlite"
        const QDateTime read = QDateTime::fromString(name.mid(8, 16), kStampFormat);
        if (!read.isValid() || name.size() != 8 + 16 + 7)
            continue;
        const QDateTime made(read.date(), read.time(), QTimeZone::utc());
        copies.push_back({folder.filePath(name), made.toMSecsSinceEpoch(), 0});
    }
    return copies;
}

std::optional<PlayHistory::Copy> PlayHistory::newestSoundCopy(const QString& path) {
    for (Copy copy : copiesOf(path)) {
        const std::optional<qint64> runs =
            withConnection(copy.path, [](QSqlDatabase& db) -> std::optional<qint64> {
                QSqlQuery query(db);
                if (!query.exec(QStringLiteral("PRAGMA integrity_check")) || !query.next() ||
                    query.value(0).toString() != QStringLiteral("ok"))
                    return std::nullopt;
                if (!query.exec(QStringLiteral("SELECT count(*) FROM runs")) || !query.next())
                    return std::nullopt;
                return query.value(0).toLongLong();
            });
        if (runs) {
            copy.runs = *runs;
            return copy;
        }
    }
    return std::nullopt;
}

bool PlayHistory::startCopy(qint64 nowMs) {
    if (!m_db || m_copy.joinable())
        return false;
    const std::vector<Copy> copies = copiesOf(m_path);
    if (!copies.empty() && std::abs(nowMs - copies.front().madeMs) < CopyIntervalMs)
        return false;
    const QString target =
        copyFolder(m_path) + QStringLiteral("/history-") + stamp(nowMs) + QStringLiteral(".sqlite");
    m_copy = std::thread([this, path = m_path, target] {
        const QString problem = makeCopy(path, target);
        pruneCopies(path);
        QMetaObject::invokeMethod(
            this,
            [this, problem] {
                if (m_copy.joinable())
                    m_copy.join();
                emit copied(problem);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void PlayHistory::waitForCopy() {
    if (m_copy.joinable())
        m_copy.join();
}

QString PlayHistory::restoreCopy(const QString& path, const QString& copy, qint64 nowMs,
                                 QString* aside) {
    const QFileInfo info(path);
    const QString moved = info.absolutePath() + QStringLiteral("/history-unusable-") +
                          stamp(nowMs) + QStringLiteral(".sqlite");
    const QString incoming = path + QStringLiteral(".restoring");
    QFile::remove(incoming);
    if (!QFile::copy(copy, incoming) || !flush(incoming, O_RDONLY)) {
        QFile::remove(incoming);
        return QStringLiteral("cannot copy ") + copy;
    }
    // The unusable file is kept under another name; its journal goes with it,
    // so that SQLite never applies it to the copy.
    if (info.exists() || info.isSymLink()) {
        if (::link(QFile::encodeName(path).constData(), QFile::encodeName(moved).constData()) !=
                0 &&
            !renameFile(path, moved)) {
            const QString why = systemError();
            QFile::remove(incoming);
            return QStringLiteral("cannot move it aside: ") + why;
        }
    }
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString companion = path + QLatin1String(suffix);
        if (QFileInfo::exists(companion))
            renameFile(companion, moved + QLatin1String(suffix));
    }
    if (!renameFile(incoming, path)) {
        const QString why = systemError();
        QFile::remove(incoming);
        return QStringLiteral("cannot put the copy in place: ") + why;
    }
    flush(info.absolutePath(), O_RDONLY | O_DIRECTORY);
    if (aside)
        *aside = moved;
    return {};
}

} // namespace kd
