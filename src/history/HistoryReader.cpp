#include "HistoryReader.h"

#include "DaySummaries.h"
#include "HistoryStore.h"
#include "StoreFiles.h"
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
    m_damaged = faultOf(query.lastError()) == StoreFault::Damaged;
}

void HistoryReader::close()
{
    closeConnection(m_connection);
    m_open = m_damaged = false;
    m_identity.reset();
}

bool HistoryReader::pathNamesOpenFile(const QString &path) const
{
    return m_open && m_identity && fileIdentity(path) == m_identity;
}

bool HistoryReader::open(const QString &path)
{
    close();
    const auto refuse = [&](const QString &text, bool damaged = false) {
        closeConnection(m_connection);
        m_identity.reset();
        m_error = text;
        m_damaged = damaged;
        return false;
    };
    const QString cannotRead =
        QStringLiteral("the history file ") + path + QStringLiteral(" cannot be read: ");
    if (const std::optional<StoreCheck> told = identifyFile(path)) {
        if (told->kind == StoreKind::NotAStore)
            return refuse(notAStoreText(path, told->detail));
        if (told->kind == StoreKind::Unreadable)
            return refuse(cannotRead + told->detail);
        if (!QFileInfo::exists(path))
            return refuse(QStringLiteral("there is no history file at ") + path);
    }
    m_identity = fileIdentity(path);
    StoreCheck check;
    {
        QSqlDatabase db = openConnection(m_connection, path, kReaderBusyTimeoutMs, true);
        if (!db.isOpen())
            return refuse(cannotRead + describeError(db.lastError()));
        check = identifyConnection(db);
    }
    switch (check.kind) {
    case StoreKind::New:
        return refuse(QStringLiteral("the file ") + path +
                      QStringLiteral(" holds no weather history (yet)"));
    case StoreKind::NotAStore:
        return refuse(notAStoreText(path, check.detail));
    case StoreKind::Damaged:
    case StoreKind::Locked:
    case StoreKind::Unreadable:
        return refuse(cannotRead + check.detail, check.kind == StoreKind::Damaged);
    case StoreKind::Quintaro:
        break;
    }
    if (check.version > kSchemaVersion)
        return refuse(QStringLiteral("the history file was written by a newer Quintaro (schema "
                                     "version %1; this one reads up to %2)")
                          .arg(check.version)
                          .arg(kSchemaVersion));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // A display reads a station's span once and then a report at a time:
    // a cache of more than a few pages would only hold what it has read,
    // which the system's own file cache keeps anyway.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -64"));
    m_error.clear();
    m_version = check.version;
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

std::optional<std::int64_t> HistoryReader::lastHeard(std::string_view call, std::int64_t fromUtc)
{
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT MAX(heard_utc) FROM reports WHERE call = ? AND "
                                 "heard_utc >= ?"));
    query.addBindValue(fromRadioBytes(call));
    query.addBindValue(qint64(fromUtc));
    if (!query.exec() || !query.next()) {
        fail(query);
        return std::nullopt;
    }
    const std::int64_t heard = query.value(0).toLongLong();
    query.finish();
    return heard;
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

std::optional<std::vector<DaySummary>> HistoryReader::daySummaries(std::string_view call)
{
    if (!m_open)
        return std::nullopt;
    const std::optional<bool> kept = keepsDaySummaries();
    if (!kept)
        return std::nullopt;
    if (!*kept)
        return std::vector<DaySummary>();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlError error;
    std::optional<std::vector<DaySummary>> found = readDaySummaries(db, call, &error);
    if (!found) {
        m_error = describeError(error);
        m_damaged = faultOf(error) == StoreFault::Damaged;
    }
    return found;
}

std::optional<bool> HistoryReader::keepsDaySummaries()
{
    if (!m_open)
        return std::nullopt;
    if (m_version < 2) {
        QSqlQuery version(QSqlDatabase::database(m_connection, false));
        if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
            fail(version);
            return std::nullopt;
        }
        m_version = version.value(0).toInt();
    }
    return m_version >= 2;
}

} // namespace quintaro::history
