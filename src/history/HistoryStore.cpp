#include "HistoryStore.h"

#include "TextCodec.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <cmath>

namespace quintaro::history {

namespace {

// Each version's statements, applied in order to a file of the version
// before. A later version appends its step; no step is ever changed once
// released.
const QStringList &migrationStep(int toVersion)
{
    static const QStringList version1 = {
        QStringLiteral("CREATE TABLE reports ("
                       " id INTEGER PRIMARY KEY,"
                       " call TEXT NOT NULL,"
                       " heard_utc INTEGER NOT NULL,"
                       " path TEXT,"
                       " info BLOB NOT NULL,"
                       " temperature_f REAL,"
                       " wind_direction_deg REAL,"
                       " wind_speed_mph REAL,"
                       " wind_gust_mph REAL,"
                       " rain_1h_in REAL,"
                       " rain_24h_in REAL,"
                       " rain_midnight_in REAL,"
                       " humidity_pct REAL,"
                       " pressure_hpa REAL,"
                       " luminosity_wm2 REAL,"
                       " snow_24h_in REAL)"),
        QStringLiteral("CREATE INDEX reports_by_call ON reports (call, heard_utc)"),
        QStringLiteral("CREATE TABLE recorders ("
                       " host TEXT,"
                       " pid INTEGER,"
                       " started_utc INTEGER,"
                       " heartbeat_utc INTEGER)"),
        QStringLiteral("CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT)"),
        QStringLiteral("INSERT INTO settings (key, value) VALUES ('%1', '%2')")
            .arg(QLatin1String(kRetentionDaysKey), QString::number(kDefaultRetentionDays)),
    };
    static const QStringList none;
    return toVersion == 1 ? version1 : none;
}

bool run(QSqlDatabase &db, const QString &statement, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = describeError(query.lastError());
    return false;
}

} // namespace

QString historyFilePath()
{
    const QString named = qEnvironmentVariable("QUINTARO_HISTORY");
    if (!named.isEmpty())
        return named;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/quintaro/history.sqlite");
}

QSqlDatabase openConnection(const QString &connectionName, const QString &path, int busyTimeoutMs,
                            bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=") + QString::number(busyTimeoutMs);
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    db.open();
    return db;
}

void closeConnection(const QString &connectionName)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

int schemaVersion(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return -1;
    return query.value(0).toInt();
}

bool migrate(QSqlDatabase &db, QString *error)
{
    const int found = schemaVersion(db);
    if (found < 0) {
        if (error)
            *error = describeError(db.lastError());
        return false;
    }
    if (found > kSchemaVersion) {
        if (error)
            *error = QStringLiteral("the history file was written by a newer Quintaro "
                                    "(schema version %1; this one knows up to %2)")
                         .arg(found)
                         .arg(kSchemaVersion);
        return false;
    }
    for (int version = found + 1; version <= kSchemaVersion; ++version) {
        if (!db.transaction()) {
            if (error)
                *error = describeError(db.lastError());
            return false;
        }
        bool ok = true;
        for (const QString &statement : migrationStep(version)) {
            if (!(ok = run(db, statement, error)))
                break;
        }
        // PRAGMA takes no bound values; the number is ours.
        if (ok)
            ok =
                run(db, QStringLiteral("PRAGMA user_version = ") + QString::number(version), error);
        if (ok && !db.commit()) {
            if (error)
                *error = describeError(db.lastError());
            ok = false;
        }
        if (!ok) {
            db.rollback();
            return false;
        }
    }
    return true;
}

bool insertReports(QSqlDatabase &db, std::span<const PendingReport> reports, QString *error)
{
    if (!db.transaction()) {
        if (error)
            *error = describeError(db.lastError());
        return false;
    }
    QSqlQuery insert(db);
    QString columns = QStringLiteral("call, heard_utc, path, info");
    QString values = QStringLiteral("?, ?, ?, ?");
    for (const char *column : kValueColumns) {
        columns += QStringLiteral(", ") + QLatin1String(column);
        values += QStringLiteral(", ?");
    }
    bool ok = insert.prepare(QStringLiteral("INSERT INTO reports (") + columns +
                             QStringLiteral(") VALUES (") + values + QLatin1Char(')'));
    for (std::size_t i = 0; ok && i < reports.size(); ++i) {
        const PendingReport &report = reports[i];
        const weather::WeatherReport values = weather::decodeWeatherReport(report.info);
        // Calls and paths are the radio's bytes, one character each: stored
        // as text, so that a query by call finds them.
        insert.bindValue(0, fromRadioBytes(report.call));
        insert.bindValue(1, qint64(report.heardUtc));
        insert.bindValue(2, fromRadioBytes(report.path));
        insert.bindValue(3, QByteArray(report.info.data(), qsizetype(report.info.size())));
        for (int f = 0; f < weather::kFieldCount; ++f) {
            // Decoded values are floats; what the report wrote had at most
            // two decimals, which is what a query of the file should show.
            const std::optional<double> value = values.value(weather::Field(f));
            insert.bindValue(4 + f, value ? QVariant(std::round(*value * 1e4) / 1e4)
                                          : QVariant(QMetaType(QMetaType::Double)));
        }
        ok = insert.exec();
    }
    if (ok && !db.commit()) {
        if (error)
            *error = describeError(db.lastError());
        db.rollback();
        return false;
    }
    if (!ok) {
        if (error)
            *error = describeError(insert.lastError());
        insert.finish();
        db.rollback();
    }
    return ok;
}

QString describeError(const QSqlError &error)
{
    const QString text = error.driverText().isEmpty()     ? error.databaseText()
                         : error.databaseText().isEmpty() ? error.driverText()
                                                          : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

} // namespace quintaro::history
