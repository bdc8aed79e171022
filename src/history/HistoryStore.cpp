#include "HistoryStore.h"

#include "DaySummaries.h"
#include "TextCodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <limits>

namespace quintaro::history {

namespace {

// Each version's step, applied to a file of the version before: its
// statements, then the work that fills what they made from what the file
// holds. A later version appends its step; no step is ever changed once
// released.
struct MigrationStep
{
    QStringList statements;
    bool (*fill)(QSqlDatabase &db, QString *error, StoreFault *fault) = nullptr;
};

const MigrationStep &migrationStep(int toVersion)
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
    // The daily summaries, built from the reports already there.
    static const MigrationStep step1{version1};
    static const MigrationStep step2{{daySummariesTableStatement()}, rebuildDaySummaries};
    static const MigrationStep none;
    return toVersion == 1 ? step1 : toVersion == 2 ? step2 : none;
}

bool run(QSqlDatabase &db, const QString &statement, QString *error, StoreFault *fault = nullptr)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = describeError(query.lastError());
    if (fault)
        *fault = faultOf(query.lastError());
    return false;
}

// The write lock from the start: a deferred transaction that reads first
// and then writes fails at once, without waiting, when another writer
// committed in between; an immediate one waits its busy timeout for the lock.
bool beginWriting(QSqlDatabase &db, QString *error, StoreFault *fault)
{
    return run(db, QStringLiteral("BEGIN IMMEDIATE"), error, fault);
}

bool commit(QSqlDatabase &db, QString *error, StoreFault *fault)
{
    if (run(db, QStringLiteral("COMMIT"), error, fault))
        return true;
    run(db, QStringLiteral("ROLLBACK"), nullptr);
    return false;
}

void rollback(QSqlDatabase &db)
{
    run(db, QStringLiteral("ROLLBACK"), nullptr);
}

// Expired reports removed per transaction: a month's backlog of a busy
// channel goes in steps that each hold the lock briefly.
constexpr int kRemovedPerTransaction = 5000;

} // namespace

StoreFault faultOf(const QSqlError &error)
{
    // The driver gives SQLite's result code; its low byte is the primary code.
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    if (!ok)
        return StoreFault::Other;
    switch (code) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return StoreFault::Locked;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return StoreFault::Damaged;
    case 13: // SQLITE_FULL
        return StoreFault::Full;
    case 10: // SQLITE_IOERR, also for a quota or a file-size limit
        return StoreFault::Io;
    case 3:  // SQLITE_PERM
    case 8:  // SQLITE_READONLY
    case 14: // SQLITE_CANTOPEN
        return StoreFault::ReadOnly;
    default:
        return StoreFault::Other;
    }
}

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

namespace {

// What identification found wrong, as a check's kind: a lock passes, damage
// is the store's own only where the file says it is a weather history.
StoreCheck failedCheck(const QSqlQuery &query, bool ours)
{
    StoreCheck check;
    check.detail = describeError(query.lastError());
    switch (faultOf(query.lastError())) {
    case StoreFault::Locked:
        check.kind = StoreKind::Locked;
        break;
    case StoreFault::Damaged:
        check.kind = ours ? StoreKind::Damaged : StoreKind::NotAStore;
        check.detail = QStringLiteral("SQLite cannot read it: ") + check.detail;
        break;
    default:
        check.kind = StoreKind::Unreadable;
        break;
    }
    return check;
}

void checkEveryPage(QSqlDatabase &db, StoreCheck &check)
{
    QSqlQuery query(db);
    // What the check reads is not read again.
    query.exec(QStringLiteral("PRAGMA cache_size = -256"));
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next()) {
        check = failedCheck(query, true);
        return;
    }
    if (query.value(0).toString() == QLatin1String("ok"))
        return;
    check.kind = StoreKind::Damaged;
    check.detail =
        query.value(0).toString().remove(QStringLiteral("*** in database main ***")).simplified();
}

// The tables of a version-1 store, before the mark was known.
const QStringList kVersion1Tables = {QStringLiteral("recorders"), QStringLiteral("reports"),
                                     QStringLiteral("settings")};

} // namespace

StoreCheck identifyConnection(QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA application_id")) || !query.next())
        return failedCheck(query, false);
    const bool ours = query.value(0).toLongLong() == kApplicationId;
    const bool unmarked = query.value(0).toLongLong() == 0;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return failedCheck(query, ours);
    StoreCheck check;
    check.version = query.value(0).toInt();
    if (!query.exec(QStringLiteral("SELECT type, name FROM sqlite_master"
                                   " WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\'")))
        return failedCheck(query, ours);
    QStringList tables;
    bool empty = true;
    while (query.next()) {
        empty = false;
        if (query.value(0).toString() == QLatin1String("table"))
            tables << query.value(1).toString();
    }
    if (query.lastError().isValid())
        return failedCheck(query, ours);
    tables.sort();
    if (ours) {
        check.kind = StoreKind::Quintaro;
        check.stamped = true;
    } else if (unmarked && empty && check.version == 0) {
        check.kind = StoreKind::New;
    } else if (unmarked && check.version == 1 && tables == kVersion1Tables) {
        check.kind = StoreKind::Quintaro;
    } else {
        check.kind = StoreKind::NotAStore;
        check.detail = QStringLiteral("it is another program's SQLite database");
        check.version = 0;
    }
    return check;
}

std::optional<StoreCheck> identifyFile(const QString &path)
{
    StoreCheck check;
    const QFileInfo info(path);
    if (!info.exists())
        return check;
    if (info.isDir() || !info.isFile()) {
        check.kind = StoreKind::NotAStore;
        check.detail = info.isDir() ? QStringLiteral("it is a folder")
                                    : QStringLiteral("it is not a regular file");
        return check;
    }
    if (info.size() == 0)
        return check;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        check.kind = StoreKind::Unreadable;
        check.detail = file.errorString();
        return check;
    }
    // Every SQLite file begins so; there is nothing to ask SQLite of any
    // other, and it might take a log beside it for its own.
    if (file.read(16) != QByteArray("SQLite format 3", 16)) {
        check.kind = StoreKind::NotAStore;
        check.detail = QStringLiteral("it is not an SQLite database");
        return check;
    }
    return std::nullopt;
}

StoreCheck identifyStore(const QString &path, int busyTimeoutMs, bool checkPages)
{
    if (const std::optional<StoreCheck> told = identifyFile(path))
        return *told;
    StoreCheck check;
    static std::atomic<int> next{0};
    const QString name = QStringLiteral("quintaro-history-check-") + QString::number(++next);
    {
        QSqlDatabase db = openConnection(name, path, busyTimeoutMs, true);
        if (!db.isOpen()) {
            check.kind = faultOf(db.lastError()) == StoreFault::Locked ? StoreKind::Locked
                                                                       : StoreKind::Unreadable;
            check.detail = describeError(db.lastError());
        } else {
            check = identifyConnection(db);
            if (checkPages && check.kind == StoreKind::Quintaro)
                checkEveryPage(db, check);
        }
    }
    closeConnection(name);
    return check;
}

QString notAStoreText(const QString &path, const QString &what)
{
    return QStringLiteral("%1 is not a Quintaro weather history (%2); name another file with "
                          "QUINTARO_HISTORY")
        .arg(path, what);
}

bool migrate(QSqlDatabase &db, QString *error, StoreFault *fault, int upToVersion)
{
    StoreFault found = StoreFault::None;
    StoreFault *kind = fault ? fault : &found;
    *kind = StoreFault::None;
    const auto refuse = [&](StoreFault why, const QString &text) {
        rollback(db);
        if (error)
            *error = text;
        *kind = why;
        return false;
    };
    for (;;) {
        if (!beginWriting(db, error, kind))
            return false;
        // Told under the lock: another writer may have just done this step.
        const StoreCheck check = identifyConnection(db);
        switch (check.kind) {
        case StoreKind::New:
        case StoreKind::Quintaro:
            break;
        case StoreKind::NotAStore:
            return refuse(StoreFault::NotAStore, check.detail);
        case StoreKind::Locked:
            return refuse(StoreFault::Locked, check.detail);
        case StoreKind::Damaged:
            return refuse(StoreFault::Damaged, check.detail);
        case StoreKind::Unreadable:
            return refuse(StoreFault::Other, check.detail);
        }
        if (check.version > kSchemaVersion)
            return refuse(StoreFault::NewerVersion,
                          QStringLiteral("the history file was written by a newer Quintaro "
                                         "(schema version %1; this one knows up to %2)")
                              .arg(check.version)
                              .arg(kSchemaVersion));
        // PRAGMA takes no bound values; the numbers are ours.
        if (!check.stamped &&
            !run(db, QStringLiteral("PRAGMA application_id = ") + QString::number(kApplicationId),
                 error, kind)) {
            rollback(db);
            return false;
        }
        if (check.version >= std::min(upToVersion, kSchemaVersion))
            return commit(db, error, kind);
        const MigrationStep &step = migrationStep(check.version + 1);
        bool ok = true;
        for (const QString &statement : step.statements) {
            if (!(ok = run(db, statement, error, kind)))
                break;
        }
        if (ok && step.fill)
            ok = step.fill(db, error, kind);
        if (ok)
            ok = run(db,
                     QStringLiteral("PRAGMA user_version = ") + QString::number(check.version + 1),
                     error, kind);
        if (!ok) {
            rollback(db);
            return false;
        }
        if (!commit(db, error, kind))
            return false;
    }
}

namespace {

// The rows a writer reads at its first batch: far more than a minute of a
// busy channel, and little enough to read in a moment.
constexpr int kRecentRowsAtStart = 20000;

std::string copyKey(std::string_view call, std::string_view info)
{
    std::string key;
    key.reserve(call.size() + 1 + info.size());
    key.append(call).append(1, '\0').append(info);
    return key;
}

// Adds what others stored since `recent` last looked. The caller holds the
// write lock, so nobody adds rows meanwhile.
bool readOthersReports(QSqlDatabase &db, RecentReports &recent, QSqlQuery &query)
{
    query = QSqlQuery(db);
    query.setForwardOnly(true);
    if (recent.seenUpTo < 0) {
        query.prepare(QStringLiteral("SELECT id, call, info, heard_utc FROM reports WHERE id >"
                                     " (SELECT coalesce(max(id), 0) FROM reports) - ?"));
        query.addBindValue(kRecentRowsAtStart);
    } else {
        query.prepare(QStringLiteral("SELECT id, call, info, heard_utc FROM reports WHERE id > ?"));
        query.addBindValue(qint64(recent.seenUpTo));
    }
    if (!query.exec())
        return false;
    std::int64_t seen = std::max<std::int64_t>(recent.seenUpTo, 0);
    while (query.next()) {
        seen = std::max<std::int64_t>(seen, query.value(0).toLongLong());
        const QByteArray info = query.value(2).toByteArray();
        recent.add(copyKey(toRadioBytes(query.value(1).toString()),
                           std::string_view(info.constData(), std::size_t(info.size()))),
                   query.value(3).toLongLong());
    }
    if (query.lastError().isValid())
        return false;
    query.finish();
    recent.seenUpTo = seen;
    return true;
}

} // namespace

bool RecentReports::contains(const std::string &key, std::int64_t heardUtc) const
{
    const auto found = m_heard.find(key);
    if (found == m_heard.end())
        return false;
    for (const std::int64_t heard : found->second) {
        if (weather::withinRepeatWindow(heardUtc, heard))
            return true;
    }
    return false;
}

void RecentReports::add(std::string key, std::int64_t heardUtc)
{
    m_heard[std::move(key)].push_back(heardUtc);
    ++m_count;
}

void RecentReports::forgetBefore(std::int64_t heardUtc)
{
    for (auto it = m_heard.begin(); it != m_heard.end();) {
        std::vector<std::int64_t> &times = it->second;
        m_count -= std::erase_if(times, [&](std::int64_t t) { return t < heardUtc; });
        it = times.empty() ? m_heard.erase(it) : std::next(it);
    }
    if (m_count > kLimit) {
        m_heard.clear();
        m_count = 0;
    }
}

bool insertReports(QSqlDatabase &db, std::span<const PendingReport> reports, RecentReports &recent,
                   QString *error, WriteOutcome *outcome)
{
    WriteOutcome counts;
    WriteOutcome &result = outcome ? *outcome : counts;
    result = WriteOutcome();
    if (!beginWriting(db, error, &result.fault))
        return false;
    {
        QSqlQuery others;
        if (!readOthersReports(db, recent, others)) {
            if (error)
                *error = describeError(others.lastError());
            result.fault = faultOf(others.lastError());
            others = QSqlQuery();
            rollback(db);
            return false;
        }
        std::int64_t oldest = std::numeric_limits<std::int64_t>::max();
        for (const PendingReport &report : reports)
            oldest = std::min(oldest, report.heardUtc);
        recent.forgetBefore(oldest - weather::kRepeatWindowSeconds);
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
    std::vector<SummarizedReport> summarized;
    summarized.reserve(reports.size());
    for (std::size_t i = 0; ok && i < reports.size(); ++i) {
        const PendingReport &report = reports[i];
        // Calls and paths are the radio's bytes, one character each: stored
        // as text, so that a query by call finds them.
        const QString call = fromRadioBytes(report.call);
        const QByteArray info(report.info.data(), qsizetype(report.info.size()));
        std::string key = copyKey(report.call, report.info);
        if (recent.contains(key, report.heardUtc)) {
            ++result.skipped;
            continue;
        }
        recent.add(std::move(key), report.heardUtc);
        const weather::WeatherReport decoded = weather::decodeWeatherReport(report.info);
        insert.bindValue(0, call);
        insert.bindValue(1, qint64(report.heardUtc));
        insert.bindValue(2, fromRadioBytes(report.path));
        insert.bindValue(3, info);
        for (int f = 0; f < weather::kFieldCount; ++f) {
            const std::optional<double> value = storedValue(decoded.value(weather::Field(f)));
            insert.bindValue(4 + f,
                             value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double)));
        }
        if ((ok = insert.exec())) {
            ++result.stored;
            summarized.push_back({report.call, report.heardUtc, decoded});
        }
    }
    if (!ok) {
        if (error)
            *error = describeError(insert.lastError());
        result.fault = faultOf(insert.lastError());
    }
    // In the same transaction: a summary never counts a report the file
    // lacks, nor misses one it holds.
    const qint64 lastId = insert.lastInsertId().toLongLong();
    insert.finish();
    if (ok)
        ok = addToDaySummaries(db, summarized, error, &result.fault);
    if (!ok) {
        rollback(db);
    } else {
        ok = commit(db, error, &result.fault);
        // Every row up to this writer's last is known: the others' were read
        // under the lock, the rest are its own, added as they went in.
        if (ok && result.stored > 0)
            recent.seenUpTo = lastId;
    }
    if (!ok) {
        result.stored = result.skipped = 0;
        // It holds this batch's reports, which are not stored after all: the
        // next batch reads what the file holds anew.
        recent = RecentReports();
    }
    return ok;
}

int retentionDays(QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT value FROM settings WHERE key = ?"));
    query.addBindValue(QLatin1String(kRetentionDaysKey));
    if (!query.exec() || !query.next())
        return kDefaultRetentionDays;
    const std::optional<int> days = parseRetentionDays(query.value(0).toString().toStdString());
    return days ? *days : kDefaultRetentionDays;
}

bool setRetentionDays(QSqlDatabase &db, int days, QString *error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO settings (key, value) VALUES (?, ?)"
                                 " ON CONFLICT (key) DO UPDATE SET value = excluded.value"));
    query.addBindValue(QLatin1String(kRetentionDaysKey));
    query.addBindValue(QString::number(days));
    if (query.exec())
        return true;
    if (error)
        *error = describeError(query.lastError());
    return false;
}

std::int64_t removeExpiredReports(QSqlDatabase &db, std::int64_t nowUtc, QString *error,
                                  StoreFault *fault)
{
    StoreFault found = StoreFault::None;
    StoreFault *kind = fault ? fault : &found;
    *kind = StoreFault::None;
    const std::int64_t before = nowUtc - std::int64_t(retentionDays(db)) * 86400;
    std::int64_t removed = 0;
    for (;;) {
        if (!beginWriting(db, error, kind))
            return -1;
        QSqlQuery remove(db);
        remove.prepare(QStringLiteral("DELETE FROM reports WHERE id IN (SELECT id FROM reports"
                                      " WHERE heard_utc < ? LIMIT %1)")
                           .arg(kRemovedPerTransaction));
        remove.addBindValue(qint64(before));
        if (!remove.exec()) {
            if (error)
                *error = describeError(remove.lastError());
            *kind = faultOf(remove.lastError());
            rollback(db);
            return -1;
        }
        const int count = remove.numRowsAffected();
        remove.finish();
        if (!commit(db, error, kind))
            return -1;
        removed += count;
        if (count < kRemovedPerTransaction)
            return removed;
    }
}

std::optional<int> parseRetentionDays(std::string_view text)
{
    int days = 0;
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        days = days * 10 + (c - '0');
    }
    if (days < 1 || days > kMaxRetentionDays)
        return std::nullopt;
    return days;
}

bool storeRetentionDays(const QString &path, int days, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("the folder %1 cannot be made").arg(folder);
        return false;
    }
    const StoreCheck check = identifyStore(path, 5000);
    if (check.kind == StoreKind::NotAStore || check.kind == StoreKind::Damaged ||
        check.kind == StoreKind::Unreadable) {
        if (error)
            *error = check.kind == StoreKind::NotAStore
                         ? notAStoreText(path, check.detail)
                         : QStringLiteral("%1 cannot be used (%2)").arg(path, check.detail);
        return false;
    }
    static std::atomic<int> next{0};
    const QString name = QStringLiteral("quintaro-history-settings-") + QString::number(++next);
    bool ok = false;
    {
        QSqlDatabase db = openConnection(name, path, 5000, false);
        if (!db.isOpen()) {
            if (error)
                *error = describeError(db.lastError());
        } else {
            ok = migrate(db, error) && setRetentionDays(db, days, error);
        }
    }
    closeConnection(name);
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
