#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <utility>

namespace kd::test {

// Calls `use(db)` with a connection of its own to the SQLite file at `path`, as
// another program would have; what it returns.
template <typename Use> auto withSqlFile(const QString& path, Use use) {
    decltype(use(std::declval<QSqlDatabase&>())) result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "kd-test-sql");
        db.setDatabaseName(path);
        result = use(db);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("kd-test-sql"));
    return result;
}

// Runs `statements`; the first error, or "" when all ran.
inline QString runSql(const QString& path, const QStringList& statements) {
    return withSqlFile(path, [&](QSqlDatabase& db) -> QString {
        if (!db.open())
            return db.lastError().text();
        for (const QString& statement : statements)
            if (QSqlQuery query(db); !query.exec(statement))
                return statement + QStringLiteral(": ") + query.lastError().text();
        return QString();
    });
}

// The first column of the first row of `statement`; invalid on any failure.
inline QVariant sqlValue(const QString& path, const QString& statement) {
    return withSqlFile(path, [&](QSqlDatabase& db) -> QVariant {
        QSqlQuery query(db);
        return db.open() && query.exec(statement) && query.next() ? query.value(0) : QVariant();
    });
}

} // namespace kd::test
