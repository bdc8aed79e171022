#include "HistoryReader.h"

#include "HistoryStore.h"
#include "TextCodec.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace quintaro::history {

namespace {

// A display that waits longer than this for a writer's lock would freeze its
// window; it reads again at its next look instead.
constexpr int kReaderBusyTimeoutMs = 100;

QString selectedColumns()
{
    QString columns = QStringLiteral("id, heard_utc");
    for (const char *column : kValueColumns)
        columns += QStringLiteral(", ") + QLatin1String(column);
    return columns;
}

StoredReport readRow(const QSqlQuery &query)
{
    StoredReport report;
    report.id = query.value(0).toLongLong();
    report.heardUtc = query.value(1).toLongLong();
    for (int f = 0; f < weather::kFieldCount; ++f) {
        const QVariant value = query.value(2 + f);
        if (!value.isNull())
            report.values.set(weather::Field(f), value.toDouble());
    }
    return report;
}

} // namespace

HistoryReader::HistoryReader()
{
    static std::atomic<int> next{0};
    m_connection = QStringLiteral("quintaro-history-reader-") + QString::number(++next);
}

HistoryReader::~HistoryReader()
{
    closeConnection(m_connection);
}

void HistoryReader::fail(const QSqlQuery &query)
{
    m_error = describeError(query.lastError());
}

bool HistoryReader::open(const QString &path)
{
    closeConnection(m_connection);
    m_open = false;
    const QFileInfo file(path);
    if (!file.exists()) {
        m_error = QStringLiteral("there is no history file at ") + path;
        return false;
    }
    if (!file.isFile() || !file.isReadable()) {
        m_error = QStringLiteral("the history file ") + path + QStringLiteral(" cannot be read");
        return false;
    }
    QSqlDatabase db = openConnection(m_connection, path, kReaderBusyTimeoutMs, true);
    if (!db.isOpen()) {
        m_error = describeError(db.lastError());
        return false;
    }
    const int version = schemaVersion(db);
    if (version < 0) {
        m_error = QStringLiteral("the history file ") + path + QStringLiteral(" cannot be read: ") +
                  describeError(db.lastError());
        return false;
    }
    if (version == 0) {
        m_error =
            QStringLiteral("the file ") + path + QStringLiteral(" holds no weather history (yet)");
        return false;
    }
    if (version > kSchemaVersion) {
        m_error = QStringLiteral("the history file was written by a newer Quintaro (schema "
                                 "version %1; this one reads up to %2)")
                      .arg(version)
                      .arg(kSchemaVersion);
        return false;
    }
    // A display reads a station's month once and then a report at a time:
    // SQLite's default cache of 2 MB would only hold what it has read.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -256"));
    m_error.clear();
    m_open = true;
    return true;
}

std::optional<std::vector<StoredReport>>
HistoryReader::reports(std::string_view call, std::int64_t fromUtc, std::int64_t afterId)
{
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + selectedColumns() +
                  QStringLiteral(" FROM reports WHERE call = ? AND heard_utc >= ? AND id > ?"
                                 " ORDER BY heard_utc, id"));
    query.addBindValue(fromRadioBytes(call));
    query.addBindValue(qint64(fromUtc));
    query.addBindValue(qint64(afterId));
    if (!query.exec()) {
        fail(query);
        return std::nullopt;
    }
    std::vector<StoredReport> found;
    while (query.next())
        found.push_back(readRow(query));
    if (query.lastError().isValid()) {
        fail(query);
        return std::nullopt;
    }
    return found;
}

std::optional<std::int64_t> HistoryReader::dataVersion()
{
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next()) {
        fail(query);
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::optional<std::vector<RecorderRow>> HistoryReader::recorders()
{
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT host, pid, started_utc, heartbeat_utc FROM recorders"
                                   " ORDER BY heartbeat_utc DESC"))) {
        fail(query);
        return std::nullopt;
    }
    std::vector<RecorderRow> rows;
    while (query.next())
        rows.push_back({query.value(0).toString(), query.value(1).toLongLong(),
                        query.value(2).toLongLong(), query.value(3).toLongLong()});
    if (query.lastError().isValid()) {
        fail(query);
        return std::nullopt;
    }
    return rows;
}

} // namespace quintaro::history
