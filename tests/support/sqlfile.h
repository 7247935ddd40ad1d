#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace kd::test {

// Runs `statements` on the SQLite file at `path` through a connection of its
// own, as another program would; the first error, or "" when all ran.
inline QString runSql(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("kd-test-sql");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            error = db.lastError().text();
        for (const QString& statement : statements) {
            QSqlQuery query(db);
            if (error.isEmpty() && !query.exec(statement))
                error = statement + QStringLiteral(": ") + query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

// The first column of the first row of `statement`; invalid on any failure.
inline QVariant sqlValue(const QString& path, const QString& statement) {
    const QString name = QStringLiteral("kd-test-sql");
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec(statement) && query.next())
            value = query.value(0);
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

} // namespace kd::test
