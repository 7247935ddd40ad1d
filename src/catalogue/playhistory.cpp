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
using history_detail::run;
using history_detail::saturatingAdd;
using history_detail::timeMs;

namespace {

qint64 nonNegative(const QVariant& value) {
    return std::max<qint64>(value.toLongLong(), 0);
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
        {&s->seen, "UPDATE runs SET last_seen = ? WHERE id = ? AND ended IS NULL"},
        {&s->closeRun, "UPDATE runs SET ended = ?, status = NULL, signalled = NULL "
                       "WHERE id = ? AND ended IS NULL"},
        {&s->setPlayMs, "UPDATE games SET play_ms = ? WHERE name = ?"},
        {&s->hasRun, "SELECT 1 FROM runs WHERE name = ? AND started = ? LIMIT 1"},
        {&s->importRun, "INSERT INTO runs (name, rom_path, arguments, started, ended, status, "
                        "signalled) VALUES (?, ?, ?, ?, ?, ?, ?)"},
        {&s->runTimes, "SELECT CAST(started AS INTEGER), CAST(ended AS INTEGER) FROM runs "
                       "WHERE name = ?"},
        {&s->setFigures, "INSERT INTO games (name, times_played, last_played, play_ms) "
                         "VALUES (?, ?, ?, ?) ON CONFLICT (name) DO UPDATE SET "
                         "times_played = excluded.times_played, "
                         "last_played = excluded.last_played, play_ms = excluded.play_ms"},
        {&s->rollback, "ROLLBACK"},
    };
    for (const auto& [query, text] : all) {
        if (!query->prepare(QString::fromLatin1(text)))
            return errorText(*query);
    }
    s->recentRuns.setForwardOnly(true);
    s->hasRun.setForwardOnly(true);
    s->runTimes.setForwardOnly(true);
    sql = std::move(s);
    return {};
}

// Reads the figures and the recent archives (the same in every schema).
QString PlayHistory::load() {
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

void PlayHistory::recordSeen(qint64 id, qint64 nowMs) {
    if (!m_db || id <= 0 || !m_openRuns.contains(id))
        return;
    QString error;
    if (!run(m_db->sql->seen, {nowMs, id}, error))
        fail(QStringLiteral("noting a running game failed: ") + error);
}

// Runs still open when the file is opened were left by a launcher that ended
// during them (this one is the only writer): each ends at the last time it was
// seen running, and that time counts.
QString PlayHistory::readAbandonedRuns(bool withLastSeen, std::vector<AbandonedRun>& runs) {
    QSqlQuery open(m_db->db);
    open.setForwardOnly(true);
    if (!open.exec(QStringLiteral("SELECT id, CAST(name AS TEXT), CAST(started AS INTEGER), ") +
                   (withLastSeen ? QStringLiteral("last_seen") : QStringLiteral("NULL")) +
                   QStringLiteral(" FROM runs WHERE ended IS NULL")))
        return QStringLiteral("cannot read its open runs: ") + errorText(open);
    while (open.next()) {
        const qint64 started = timeMs(open.value(2));
        const qint64 seen = open.value(3).isNull() ? started : timeMs(open.value(3));
        const qint64 ended = std::max(seen, started);
        runs.push_back(
            {open.value(0).toLongLong(), open.value(1).toString(), ended, ended - started});
    }
    if (open.lastError().isValid())
        return QStringLiteral("cannot read its open runs: ") + errorText(open);
    return {};
}

QString PlayHistory::closeAbandonedRuns(const std::vector<AbandonedRun>& runs) {
    if (runs.empty())
        return {};
    Database::Statements& s = *m_db->sql;
    GameStatsByName stats = m_stats;
    QString error;
    bool ok = run(s.begin, {}, error);
    for (const AbandonedRun& a : runs) {
        if (!ok)
            break;
        ok = run(s.closeRun, {a.endedMs, a.id}, error);
        if (ok && s.closeRun.numRowsAffected() == 1) {
            GameStats& game = stats[a.name.toStdString()];
            game.playMs = saturatingAdd(game.playMs, a.playMs);
            ok = run(s.setPlayMs, {game.playMs, a.name}, error);
        }
    }
    ok = ok && run(s.commit, {}, error);
    if (!ok) {
        QString ignored;
        run(s.rollback, {}, ignored);
        return QStringLiteral("cannot close the runs left open: ") + error;
    }
    m_stats = std::move(stats);
    return {};
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
            r.end->launcherEnded = query.value(6).isNull();
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
