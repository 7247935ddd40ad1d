// Opening the history file: what is looked at before anything is written, the
// schema and its migrations, and the check of every page off the main thread.
#include "catalogue/playhistory.h"
#include "catalogue/playhistory_p.h"
#include "settings/launcherpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace kd {

using history_detail::errorText;

namespace {

// Migration N brings the schema from user_version N-1 to N.
//
// `games` keeps the figures of each game up to date in the same transactions
// that change `runs`, so start-up reads one row per game, not every run.
const std::vector<std::vector<const char*>> kMigrations{
    {
        R"(CREATE TABLE runs (
               id INTEGER PRIMARY KEY,
               name TEXT NOT NULL,
               rom_path TEXT NOT NULL,
               arguments TEXT NOT NULL,
               started INTEGER NOT NULL,
               ended INTEGER,
               status INTEGER,
               signalled INTEGER))",
        R"(CREATE TABLE games (
               name TEXT PRIMARY KEY,
               favourite INTEGER NOT NULL DEFAULT 0,
               times_played INTEGER NOT NULL DEFAULT 0,
               last_played INTEGER,
               play_ms INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID)",
        R"(CREATE TABLE recent_roms (
               rom_path TEXT PRIMARY KEY,
               last_run INTEGER NOT NULL) WITHOUT ROWID)",
    },
    // When a run was last seen going, so that a crash of the launcher keeps
    // its play time; the open runs found without reading every run; runs of a
    // game found by start, for merging imports.
    {
        "ALTER TABLE runs ADD COLUMN last_seen INTEGER",
        "CREATE INDEX open_runs ON runs (id) WHERE ended IS NULL",
        "CREATE INDEX runs_by_game ON runs (name, started)",
    },
};
static_assert(PlayHistory::SchemaVersion == 2, "one migration per version");

const QByteArray kHeader("SQLite format 3\0", 16);

// Why the file at `path` is not one to open; empty when it is a database, or
// empty (SQLite makes an empty file a new database).
QString headerProblem(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read it: ") + file.errorString();
    const QByteArray start = file.read(kHeader.size());
    if (!start.isEmpty() && start != kHeader)
        return QStringLiteral("it is not an SQLite database");
    return {};
}

// A new file of the user's alone, in a folder made for it. One that appears
// meanwhile is kept and looked at like any other.
QString createFile(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder ") + folder;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST)
        return QStringLiteral("cannot create it: ") + QString::fromLocal8Bit(std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
    return {};
}

// Every object of a database's schema, in one order.
QStringList schemaOf(const QSqlDatabase& db, QString& error) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QStringList objects;
    if (!query.exec(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master "
                                   "ORDER BY type, name"))) {
        error = errorText(query);
        return objects;
    }
    while (query.next())
        objects << QStringList{query.value(0).toString(), query.value(1).toString(),
                               query.value(2).toString(), query.value(3).toString()}
                       .join(u'\n');
    if (query.lastError().isValid())
        error = errorText(query);
    return objects;
}

// What the migrations up to `version` make, as schemaOf gives it.
QStringList schemaOfVersion(int version) {
    static std::atomic<quint64> made{0};
    const QString connection = QStringLiteral("kd-history-schema-%1").arg(++made);
    QStringList objects;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        for (int step = 0; step < version; ++step)
            for (const char* statement : kMigrations[std::size_t(step)])
                QSqlQuery(db).exec(QString::fromLatin1(statement));
        QString error;
        objects = schemaOf(db, error);
    }
    QSqlDatabase::removeDatabase(connection);
    return objects;
}

// The first column of the first row of `sql`, or nothing with the error.
std::optional<QVariant> scalar(const QSqlDatabase& db, const QString& sql, QString& error) {
    QSqlQuery query(db);
    if (query.exec(sql) && query.next())
        return query.value(0);
    error = query.lastError().isValid() ? errorText(query) : QStringLiteral("no answer");
    return std::nullopt;
}

} // namespace

QString PlayHistory::defaultFilePath() {
    return LauncherPaths::userDataFolder() + QStringLiteral("/history.sqlite");
}

PlayHistory::PlayHistory(const QString& path, QObject* parent) : QObject(parent), m_path(path) {
    if (m_path.isEmpty()) {
        m_problem = QStringLiteral("no file for it");
        return;
    }
    const QString problem = open();
    if (!problem.isEmpty()) {
        close();
        m_problem = m_path + QStringLiteral(": ") + problem;
        m_stats.clear();
        m_recentRoms.clear();
        return;
    }
    m_replaceable = false;
    startCheck();
}

PlayHistory::~PlayHistory() {
    if (m_check.joinable())
        m_check.join();
    waitForCopy();
    close();
}

void PlayHistory::close() {
    m_db.reset();
}

void PlayHistory::fail(const QString& why) {
    if (!m_db)
        return;
    close();
    m_problem = m_path + QStringLiteral(": ") + why;
    emit failed();
}

// Reading every page would hold start-up for a large history, so it happens
// on a thread of its own while the launcher goes on; what it finds arrives
// through the event loop. The destructor waits for it, so `this` outlives it.
void PlayHistory::startCheck() {
    m_check = std::thread([this, path = m_path] {
        const QString problem = checkFile(path);
        if (!problem.isEmpty())
            QMetaObject::invokeMethod(
                this,
                [this, problem] {
                    m_replaceable = m_db != nullptr;
                    fail(problem);
                },
                Qt::QueuedConnection);
    });
}

QString PlayHistory::checkFile(const QString& path) {
    static std::atomic<quint64> checks{0};
    const QString connection = QStringLiteral("kd-history-check-%1").arg(++checks);
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
        QString error;
        if (!db.open()) {
            problem = QStringLiteral("it cannot be opened: ") + db.lastError().text();
        } else {
            QSqlQuery(db).exec(QStringLiteral("PRAGMA cell_size_check = ON"));
            const std::optional<QVariant> check =
                scalar(db, QStringLiteral("PRAGMA quick_check"), error);
            if (!check)
                problem = QStringLiteral("it is damaged: ") + error;
            else if (check->toString() != QStringLiteral("ok"))
                problem = QStringLiteral("it is damaged (") + check->toString() + u')';
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return problem;
}

QString PlayHistory::open() {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed");
    if (!QFileInfo::exists(m_path) && !QFileInfo(m_path).isSymLink()) {
        if (const QString why = createFile(m_path); !why.isEmpty())
            return why;
    }
    // Only a regular file (through links): a FIFO would hold the launcher, and
    // a link to nothing would make SQLite create a file somewhere else.
    if (!QFileInfo(m_path).isFile())
        return QStringLiteral("it is not a regular file");
    if (const QString why = headerProblem(m_path); !why.isEmpty()) {
        m_replaceable = QFile::exists(m_path) && QFileInfo(m_path).size() > 0;
        return why;
    }

    m_db = std::make_unique<Database>(m_path);
    QSqlDatabase& db = m_db->db;
    if (!db.open())
        return QStringLiteral("cannot open it: ") + db.lastError().text();
    // From here on, what stops the opening is in the file itself.
    m_replaceable = true;

    // Looked at before anything is written: a file this launcher does not
    // understand is left exactly as it is.
    QString error;
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cell_size_check = ON"));
    const std::optional<QVariant> version =
        scalar(db, QStringLiteral("PRAGMA user_version"), error);
    if (!version)
        return QStringLiteral("it does not read as a database: ") + error;
    const int schema = version->toInt();
    m_replaceable = schema >= 0 && schema <= SchemaVersion;
    if (!m_replaceable)
        return QStringLiteral("it was written by a newer launcher (schema version %1; this one "
                              "knows up to %2)")
            .arg(schema)
            .arg(SchemaVersion);
    // Exactly the tables its version has, and nothing else: no trigger, view or
    // index of anyone else's runs when this launcher writes.
    const QStringList tables = schemaOf(db, error);
    if (!error.isEmpty())
        return QStringLiteral("it does not read as a database: ") + error;
    if (tables != schemaOfVersion(schema))
        return QStringLiteral("it holds tables this launcher did not make");

    // What it holds is read before anything is written, so that a file with
    // pages that cannot be read is not changed either.
    std::vector<AbandonedRun> abandoned;
    if (schema >= 1) {
        if (const QString why = load(); !why.isEmpty())
            return why;
        if (const QString why = readAbandonedRuns(schema >= 2, abandoned); !why.isEmpty())
            return why;
    }
    // The schema is brought up to date in the rollback journal, so that a file
    // refused halfway is rolled back to its bytes as they were (switching to
    // WAL first would have changed its header already).
    for (int next = schema + 1; next <= SchemaVersion; ++next) {
        QSqlQuery step(db);
        bool ok = step.exec(QStringLiteral("BEGIN IMMEDIATE"));
        for (const char* statement : kMigrations[std::size_t(next - 1)])
            ok = ok && step.exec(QString::fromLatin1(statement));
        // The version is this launcher's own number, never outside input.
        ok = ok && step.exec(QStringLiteral("PRAGMA user_version = %1").arg(next)) &&
             step.exec(QStringLiteral("COMMIT"));
        if (!ok) {
            const QString why = errorText(step);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return QStringLiteral("cannot bring it to schema version %1: ").arg(next) + why;
        }
    }
    // Readers never wait for the writer, and a commit costs no flush to disk
    // (a crash of the launcher loses nothing committed; a power cut may lose
    // the last runs, never the database).
    QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    if (const QString why = m_db->prepare(); !why.isEmpty())
        return QStringLiteral("cannot prepare its statements: ") + why;
    return closeAbandonedRuns(abandoned);
}

} // namespace kd
