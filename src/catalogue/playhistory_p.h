#pragma once

#include "catalogue/playhistory.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <memory>

namespace kd {

namespace history_detail {

inline QString errorText(const QSqlQuery& query) {
    return query.lastError().text();
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
              endRun(db), addPlayTime(db), favourite(db), clearRoms(db), recentRuns(db) {}
        QSqlQuery begin, commit, insertRun, countStart, noteRom, trimRoms, endRun, addPlayTime,
            favourite, clearRoms, recentRuns;
    };
    // Empty, or why a statement cannot be prepared.
    QString prepare();

    QString connection;
    QSqlDatabase db;
    std::unique_ptr<Statements> sql;
};

} // namespace kd
