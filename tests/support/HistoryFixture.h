#pragma once

#include "HistoryStore.h"

#include <QSqlQuery>
#include <QTest>

#include <vector>

namespace testsupport {

// A history store prepared by a test: the schema, then the reports and
// recorders it adds, written as Quintaro writes them. Link quintaro_history.
class HistoryFixture
{
public:
    explicit HistoryFixture(const QString &path)
        : m_connection(QStringLiteral("history-fixture-") + path)
    {
        m_db = quintaro::history::openConnection(m_connection, path, 5000, false);
        QString error;
        if (!m_db.isOpen() || !quintaro::history::migrate(m_db, &error))
            qWarning("history fixture: %s", qPrintable(error));
    }
    ~HistoryFixture()
    {
        m_db = QSqlDatabase();
        quintaro::history::closeConnection(m_connection);
    }

    bool addReports(const std::vector<quintaro::history::PendingReport> &reports)
    {
        QString error;
        if (quintaro::history::insertReports(m_db, reports, m_recent, &error))
            return true;
        qWarning("history fixture: %s", qPrintable(error));
        return false;
    }
    bool addRecorder(const QString &host, qint64 pid, qint64 startedUtc, qint64 heartbeatUtc)
    {
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("INSERT INTO recorders (host, pid, started_utc, "
                                     "heartbeat_utc) VALUES (?, ?, ?, ?)"));
        for (const QVariant &value :
             {QVariant(host), QVariant(pid), QVariant(startedUtc), QVariant(heartbeatUtc)})
            query.addBindValue(value);
        return query.exec();
    }
    bool execute(const QString &statement)
    {
        QSqlQuery query(m_db);
        return query.exec(statement);
    }
    QSqlDatabase &database() { return m_db; }

private:
    QString m_connection;
    QSqlDatabase m_db;
    quintaro::history::RecentReports m_recent;
};

} // namespace testsupport
