// Recording runs and favourites and reading them back; opening the file, its
// checks and its schema are in playhistoryfile.cpp.
#include "catalogue/playhistory.h"

#include "catalogue/playhistory_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <limits>
#include <utility>

namespace kd {

using history_detail::errorText;

namespace {

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

// Binds `values` in order and runs the statement; the error text on failure.
bool run(QSqlQuery& query, const QVariantList& values, QString& error) {
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (query.exec())
        return true;
    error = errorText(query);
    return false;
}

} // namespace

QString romGameName(const QString& romPath) {
    QString name = romPath.mid(romPath.lastIndexOf(u'/') + 1);
    if (name.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

QString PlayHistory::Database::prepare() {
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
                         "FROM runs WHERE ? OR name = ? ORDER BY id DESC LIMIT ?"},
    };
    for (const auto& [query, text] : all) {
        if (!query->prepare(QString::fromLatin1(text)))
            return errorText(*query);
    }
    s->recentRuns.setForwardOnly(true);
    sql = std::move(s);
    return {};
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

std::vector<RunRecord> PlayHistory::recentRuns(int limit, const QString& name) {
    std::vector<RunRecord> runs;
    if (!m_db)
        return runs;
    QSqlQuery& query = m_db->sql->recentRuns;
    QString error;
    if (!run(query, {name.isNull(), name.isNull() ? QString() : name, limit}, error)) {
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
