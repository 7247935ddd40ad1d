#include "catalogue/playhistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace kd {

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
};
static_assert(PlayHistory::SchemaVersion == 1, "one migration per version");

const QByteArray kHeader("SQLite format 3\0", 16);

qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

qint64 nonNegative(const QVariant& value) {
    return std::max<qint64>(value.toLongLong(), 0);
}

// A time read from the file, within what dates can show (years 1970 to 9999),
// so that a hostile file cannot make the sums and differences overflow.
qint64 timeMs(const QVariant& value) {
    constexpr qint64 kLatest = 253402300799999;
    return std::clamp<qint64>(value.toLongLong(), 0, kLatest);
}

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

QString errorText(const QSqlQuery& query) {
    return query.lastError().text();
}

} // namespace

QString romGameName(const QString& romPath) {
    QString name = romPath.mid(romPath.lastIndexOf(u'/') + 1);
    if (name.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

struct PlayHistory::Database {
    explicit Database(const QString& path)
        : connection(QStringLiteral("kd-history-%1").arg(quintptr(this))),
          db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection)) {
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
    }
    ~Database() {
        sql.reset();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }

    // The statements of the current schema.
    struct Statements {
        explicit Statements(const QSqlDatabase& db)
            : begin(db), commit(db), insertRun(db), countStart(db), noteRom(db), trimRoms(db),
              endRun(db), addPlayTime(db), favourite(db), clearRoms(db), recentRuns(db) {}
        QSqlQuery begin, commit, insertRun, countStart, noteRom, trimRoms, endRun, addPlayTime,
            favourite, clearRoms, recentRuns;
    };
    // Empty, or why a statement cannot be prepared.
    QString prepare() {
        auto s = std::make_unique<Statements>(db);
        const std::pair<QSqlQuery*, const char*> all[] = {
            {&s->begin, "BEGIN IMMEDIATE"},
            {&s->commit, "COMMIT"},
            {&s->insertRun,
             "INSERT INTO runs (name, rom_path, arguments, started) VALUES (?, ?, ?, ?)"},
            {&s->countStart, "INSERT INTO games (name, times_played, last_played) VALUES (?, 1, ?) "
                             "ON CONFLICT (name) DO UPDATE SET times_played = times_played + 1, "
                             "last_played = excluded.last_played"},
            {&s->noteRom, "INSERT INTO recent_roms (rom_path, last_run) VALUES (?, ?) "
                          "ON CONFLICT (rom_path) DO UPDATE SET last_run = excluded.last_run"},
            {&s->trimRoms, "DELETE FROM recent_roms WHERE rom_path NOT IN "
                           "(SELECT rom_path FROM recent_roms ORDER BY last_run DESC LIMIT ?)"},
            {&s->endRun, "UPDATE runs SET ended = ?, status = ?, signalled = ? "
                         "WHERE id = ? AND ended IS NULL"},
            {&s->addPlayTime, "UPDATE games SET play_ms = play_ms + ? WHERE name = ?"},
            {&s->favourite, "INSERT INTO games (name, favourite) VALUES (?, ?) "
                            "ON CONFLICT (name) DO UPDATE SET favourite = excluded.favourite"},
            {&s->clearRoms, "DELETE FROM recent_roms"},
            {&s->recentRuns, "SELECT id, CAST(name AS TEXT), CAST(rom_path AS TEXT), "
                             "CAST(arguments AS TEXT), CAST(started AS INTEGER), "
                             "CAST(ended AS INTEGER), CAST(status AS INTEGER), signalled "
                             "FROM runs ORDER BY id DESC LIMIT ?"},
        };
        for (const auto& [query, text] : all) {
            if (!query->prepare(QString::fromLatin1(text)))
                return errorText(*query);
        }
        s->recentRuns.setForwardOnly(true);
        sql = std::move(s);
        return {};
    }

    QString connection;
    QSqlDatabase db;
    std::unique_ptr<Statements> sql;
};

namespace {

// Binds `values` in order and runs the statement; the error text on failure.
bool run(QSqlQuery& query, const QVariantList& values, QString& error) {
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (query.exec())
        return true;
    error = errorText(query);
    return false;
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
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/Kaleidrome/Kaleidrome Launcher/history.sqlite");
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
    startCheck();
}

PlayHistory::~PlayHistory() {
    if (m_check.joinable())
        m_check.join();
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
                this, [this, problem] { fail(problem); }, Qt::QueuedConnection);
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
    if (const QString why = headerProblem(m_path); !why.isEmpty())
        return why;

    m_db = std::make_unique<Database>(m_path);
    QSqlDatabase& db = m_db->db;
    if (!db.open())
        return QStringLiteral("cannot open it: ") + db.lastError().text();

    // Looked at before anything is written: a file this launcher does not
    // understand is left exactly as it is.
    QString error;
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cell_size_check = ON"));
    const std::optional<QVariant> version =
        scalar(db, QStringLiteral("PRAGMA user_version"), error);
    if (!version)
        return QStringLiteral("it does not read as a database: ") + error;
    const int schema = version->toInt();
    if (schema > SchemaVersion || schema < 0)
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
    if (schema == SchemaVersion) {
        if (const QString why = load(); !why.isEmpty())
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
    return schema < SchemaVersion ? load() : QString();
}

// Prepares the statements and reads the figures and the recent archives.
QString PlayHistory::load() {
    if (const QString why = m_db->prepare(); !why.isEmpty())
        return QStringLiteral("cannot prepare its statements: ") + why;
    const QSqlDatabase& db = m_db->db;
    QString error;
    QSqlQuery games(db);
    games.setForwardOnly(true);
    if (!games.exec(QStringLiteral(
            "SELECT CAST(name AS TEXT), CAST(favourite AS INTEGER), CAST(times_played AS INTEGER), "
            "CAST(last_played AS INTEGER), CAST(play_ms AS INTEGER) FROM games "
            "WHERE name IS NOT NULL")))
        return QStringLiteral("cannot read its games: ") + errorText(games);
    while (games.next()) {
        GameStats& stats = m_stats[games.value(0).toString().toStdString()];
        stats.favourite = games.value(1).toLongLong() != 0;
        stats.timesPlayed = nonNegative(games.value(2));
        stats.lastPlayedMs = timeMs(games.value(3));
        stats.playMs = nonNegative(games.value(4));
    }
    if (games.lastError().isValid())
        return QStringLiteral("cannot read its games: ") + errorText(games);

    QSqlQuery roms(db);
    roms.setForwardOnly(true);
    roms.prepare(QStringLiteral("SELECT CAST(rom_path AS TEXT) FROM recent_roms "
                                "WHERE rom_path IS NOT NULL ORDER BY last_run DESC LIMIT ?"));
    if (!run(roms, {RecentRomLimit}, error))
        return QStringLiteral("cannot read its recent archives: ") + error;
    while (roms.next())
        m_recentRoms << roms.value(0).toString();
    if (roms.lastError().isValid())
        return QStringLiteral("cannot read its recent archives: ") + errorText(roms);
    return {};
}

qint64 PlayHistory::recordStart(const QString& name, const QString& romPath,
                                const QStringList& arguments, qint64 startedMs) {
    qint64 id = 0;
    if (m_db) {
        Database::Statements& s = *m_db->sql;
        const QString argumentText = QString::fromUtf8(
            QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact));
        QString error;
        const bool ok = run(s.begin, {}, error) &&
                        run(s.insertRun, {name, romPath, argumentText, startedMs}, error) &&
                        (id = s.insertRun.lastInsertId().toLongLong()) > 0 &&
                        run(s.countStart, {name, startedMs}, error) &&
                        run(s.noteRom, {romPath, id}, error) &&
                        run(s.trimRoms, {RecentRomLimit}, error) && run(s.commit, {}, error);
        if (!ok) {
            fail(QStringLiteral("recording the start of a run failed: ") + error);
            id = 0;
        }
    }
    if (id <= 0)
        id = m_nextMemoryRun--;
    m_openRuns[id] = {name.toStdString(), startedMs};
    GameStats& stats = m_stats[name.toStdString()];
    stats.timesPlayed = saturatingAdd(stats.timesPlayed, 1);
    stats.lastPlayedMs = startedMs;
    noteRecentRom(romPath);
    return id;
}

void PlayHistory::recordEnd(qint64 id, const RunEnd& end) {
    const auto open = m_openRuns.find(id);
    if (open == m_openRuns.end())
        return;
    const std::string name = open->second.name;
    const qint64 playMs = std::max<qint64>(saturatingAdd(end.endedMs, -open->second.startedMs), 0);
    m_openRuns.erase(open);
    if (m_db && id > 0) {
        Database::Statements& s = *m_db->sql;
        QString error;
        const QVariantList ending{end.endedMs, end.status, end.signalled ? 1 : 0, id};
        const bool ok = run(s.begin, {}, error) && run(s.endRun, ending, error) &&
                        (s.endRun.numRowsAffected() != 1 ||
                         run(s.addPlayTime, {playMs, QString::fromStdString(name)}, error)) &&
                        run(s.commit, {}, error);
        if (!ok)
            fail(QStringLiteral("recording the end of a run failed: ") + error);
    }
    GameStats& stats = m_stats[name];
    stats.playMs = saturatingAdd(stats.playMs, playMs);
}

void PlayHistory::setFavourite(const QString& name, bool on) {
    if (m_db) {
        QString error;
        if (!run(m_db->sql->favourite, {name, on ? 1 : 0}, error))
            fail(QStringLiteral("saving a favourite failed: ") + error);
    }
    m_stats[name.toStdString()].favourite = on;
}

GameStats PlayHistory::statsOf(const QString& name) const {
    const auto it = m_stats.find(name.toStdString());
    return it == m_stats.end() ? GameStats() : it->second;
}

void PlayHistory::noteRecentRom(const QString& romPath) {
    m_recentRoms.removeAll(romPath);
    m_recentRoms.prepend(romPath);
    while (m_recentRoms.size() > RecentRomLimit)
        m_recentRoms.removeLast();
}

void PlayHistory::clearRecentRoms() {
    if (m_db) {
        QString error;
        if (!run(m_db->sql->clearRoms, {}, error))
            fail(QStringLiteral("clearing the recent archives failed: ") + error);
    }
    m_recentRoms.clear();
}

std::vector<RunRecord> PlayHistory::recentRuns(int limit) {
    std::vector<RunRecord> runs;
    if (!m_db)
        return runs;
    QSqlQuery& query = m_db->sql->recentRuns;
    QString error;
    if (!run(query, {limit}, error)) {
        fail(QStringLiteral("reading the history failed: ") + error);
        return {};
    }
    while (query.next()) {
        RunRecord& r = runs.emplace_back();
        r.id = query.value(0).toLongLong();
        r.name = query.value(1).toString();
        r.romPath = query.value(2).toString();
        for (const QJsonValue& argument :
             QJsonDocument::fromJson(query.value(3).toString().toUtf8()).array())
            r.arguments << argument.toString();
        r.startedMs = timeMs(query.value(4));
        if (!query.value(5).isNull()) {
            const qint64 status = query.value(6).toLongLong();
            r.end = RunEnd{timeMs(query.value(5)),
                           int(std::clamp<qint64>(status, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max())),
                           query.value(7).toLongLong() != 0};
        }
    }
    const bool failed = query.lastError().isValid();
    error = errorText(query);
    query.finish();
    if (failed) {
        fail(QStringLiteral("reading the history failed: ") + error);
        return {};
    }
    return runs;
}

} // namespace kd
