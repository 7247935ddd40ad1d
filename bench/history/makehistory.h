// A play history of many runs, written straight into a database the launcher
// made, so that a benchmark needs seconds, not the minutes of recording each run.
#pragma once

#include "catalogue/playhistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <cstdio>

namespace kd::bench {

// The argument list of a typical game run.
inline QStringList typicalArguments(const QString& romPath) {
    return {romPath,
            QStringLiteral("-freq=66"),
            QStringLiteral("-threads"),
            QStringLiteral("-gpu-multithreaded"),
            QStringLiteral("-res=1280,960"),
            QStringLiteral("-window"),
            QStringLiteral("-no-wide-screen"),
            QStringLiteral("-multi-texture"),
            QStringLiteral("-no-throttle"),
            QStringLiteral("-crosshairs=1"),
            QStringLiteral("-vert-shader=/home/player/shaders/crt.vert"),
            QStringLiteral("-frag-shader=/home/player/shaders/crt.frag"),
            QStringLiteral("-sound-volume=100"),
            QStringLiteral("-music-volume=90"),
            QStringLiteral("-balance=0"),
            QStringLiteral("-input-system=sdl"),
            QStringLiteral("-force-feedback")};
}

// `runs` ended runs of `games` invented games, one a minute, every seventh
// ending with status 5 and every thirteenth killed by signal 11, with the
// figures of each game and the recent archives as the launcher keeps them.
inline bool makeHistory(const QString& path, int runs, int games = 2000) {
    {
        const PlayHistory schema(path);
        if (!schema.isOpen()) {
            std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(path),
                         qPrintable(schema.problem()));
            return false;
        }
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                    QStringLiteral("kd-bench-history"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("BEGIN"));
        QSqlQuery insert(db);
        ok = ok && insert.prepare(QStringLiteral(
                       "INSERT INTO runs (name, rom_path, arguments, started, ended, status, "
                       "signalled) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        const qint64 first = 1'600'000'000'000;
        for (int i = 0; ok && i < runs; ++i) {
            const QString name = QStringLiteral("game%1").arg(i * 7919 % games, 5, 10, QChar(u'0'));
            const QString rom =
                QStringLiteral("/home/player/roms/") + name + QStringLiteral(".zip");
            const qint64 started = first + qint64(i) * 60'000;
            const bool killed = i % 13 == 0;
            insert.bindValue(0, name);
            insert.bindValue(1, rom);
            insert.bindValue(2, QString::fromUtf8(
                                    QJsonDocument(QJsonArray::fromStringList(typicalArguments(rom)))
                                        .toJson(QJsonDocument::Compact)));
            insert.bindValue(3, started);
            insert.bindValue(4, started + 20'000 + (i % 40) * 1000);
            insert.bindValue(5, killed ? 11 : i % 7 == 0 ? 5 : 0);
            insert.bindValue(6, killed ? 1 : 0);
            ok = insert.exec();
        }
        ok = ok &&
             query.exec(QStringLiteral(
                 "INSERT INTO games (name, favourite, times_played, last_played, play_ms) "
                 "SELECT name, id % 3 = 0, count(*), max(started), sum(ended - started) FROM runs "
                 "GROUP BY name")) &&
             query.exec(QStringLiteral("INSERT INTO recent_roms (rom_path, last_run) SELECT "
                                       "rom_path, max(id) FROM runs GROUP BY rom_path ORDER BY "
                                       "max(id) DESC LIMIT 10")) &&
             query.exec(QStringLiteral("COMMIT"));
        if (!ok)
            std::fprintf(stderr, "cannot fill %s\n", qPrintable(path));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("kd-bench-history"));
    return ok;
}

} // namespace kd::bench
