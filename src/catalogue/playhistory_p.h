#pragma once

#include "catalogue/playhistory.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <limits>
#include <memory>

namespace kd {

namespace history_detail {

inline QString errorText(const QSqlQuery& query) {
    return query.lastError().text();
}

inline qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

// A time read from the file, within what dates can show (years 1970 to 9999),
// so that a hostile file cannot make the sums and differences overflow.
inline constexpr qint64 kLatestMs = 253402300799999;
inline qint64 timeMs(const QVariant& value) {
    return std::clamp<qint64>(value.toLongLong(), 0, kLatestMs);
}

// Binds `values` in order and runs the statement; the error text on failure.
inline bool run(QSqlQuery& query, const QVariantList& values, QString& error) {
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (query.exec())
        return true;
    error = errorText(query);
    return false;
}

} // namespace history_detail

// The connection, opened in playhistoryfile.cpp; its statements are prepared
// once the schema is current, beside the code that runs them.
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
              endRun(db), addPlayTime(db), favourite(db), clearRoms(db), recentRuns(db), seen(db),
              closeRun(db), setPlayMs(db), hasRun(db), importRun(db), runTimes(db), setFigures(db),
              rollback(db) {}
        QSqlQuery begin, commit, insertRun, countStart, noteRom, trimRoms, endRun, addPlayTime,
            favourite, clearRoms, recentRuns, seen, closeRun, setPlayMs, hasRun, importRun,
            runTimes, setFigures, rollback;
    };
    // Empty, or why a statement cannot be prepared.
    QString prepare();

    QString connection;
    QSqlDatabase db;
    std::unique_ptr<Statements> sql;
};

} // namespace kd
