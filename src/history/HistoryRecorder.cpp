#include "HistoryRecorder.h"

#include "DaySummaries.h"
#include "HistoryStore.h"
#include "StoreFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace quintaro::history {

// QT_LOGGING_RULES="quintaro.history.debug=true" shows when the writer
// opens, checks and follows its store.
Q_LOGGING_CATEGORY(lcHistory, "quintaro.history", QtWarningMsg)

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A reader sees a report within about two seconds: one to wait for the next
// transaction, and the time to write it.
constexpr auto kWriteInterval = std::chrono::seconds(1);
constexpr auto kHeartbeatInterval = std::chrono::seconds(10);
constexpr auto kRetentionInterval = std::chrono::hours(1);
// How often the writer asks which file its path names: a store replaced
// under it is followed within this time.
constexpr auto kFollowInterval = std::chrono::seconds(1);
// A fault that may pass (a full disk, a failing one, permissions) is tried
// again after these waits, doubling from the first to the last.
constexpr auto kFirstRetry = std::chrono::seconds(2);
constexpr auto kLongestRetry = std::chrono::minutes(4);
// A damaged store that other programs (displays) still have open is left
// for them to close for this long before history goes for the run.
constexpr auto kInUseGrace = std::chrono::seconds(30);
// After a flood the log is cut back to this size at the next checkpoint,
// instead of keeping its largest size on the disk.
constexpr int kJournalSizeLimit = 4 << 20;
// The writer only appends: SQLite's default cache of 2 MB would hold what
// the start-up check read, and nothing it needs again.
constexpr int kCacheKilobytes = 256;

std::int64_t nowUtc()
{
    return QDateTime::currentSecsSinceEpoch();
}

QString clockTime(const QDateTime &when)
{
    return when.toString(QStringLiteral("HH:mm:ss"));
}

// "1 234": the user reads the count, not copies it.
QString grouped(quint64 n)
{
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(' '));
    return digits;
}

QString reportsText(quint64 n)
{
    return grouped(n) + (n == 1 ? QStringLiteral(" report") : QStringLiteral(" reports"));
}

} // namespace

class RecorderWriter
{
public:
    explicit RecorderWriter(HistoryRecorder *owner) : m_owner(owner)
    {
        static std::atomic<int> next{0};
        m_connection = QStringLiteral("quintaro-history-writer-") + QString::number(++next);
    }
    ~RecorderWriter();

    void start(const QString &path);
    void stop(milliseconds within);
    void setEngineHost(const QString &host);
    void record(std::string_view call, std::string_view path, std::string_view info,
                std::int64_t heardUtc);

    QString problem() const
    {
        std::lock_guard lock(m_mutex);
        return m_problem;
    }
    quint64 recorded() const { return m_recorded.load(); }
    quint64 dropped() const { return m_dropped.load(); }
    std::size_t waiting() const
    {
        std::lock_guard lock(m_mutex);
        return m_pendingCount;
    }

private:
    // Closed: no connection, opened (again) at m_nextOpen; Off: no history
    // for the rest of the run.
    enum class Phase { Closed, Open, Off };

    void run();
    bool waitForWork(Clock::time_point lastWrite, Clock::time_point nextHeartbeat,
                     Clock::time_point nextRetention);
    void openStore();
    bool prepareConnection(QSqlDatabase &db);
    void followPath();
    void writeBatch();
    void carryOver();
    QString salvage(const QString &movedTo);
    void heartbeat();
    void removeExpired();
    void finish();
    bool limitWait(Clock::time_point deadline);
    void written();
    void handleFault(StoreFault fault, const QString &error);
    void handleDamage(const QString &error);
    void pause(const QString &reason);
    void goOff(const QString &reason);
    void closeStore();
    void forget(bool lost);
    void publish();

    HistoryRecorder *m_owner;
    QString m_connection;

    // Shared with the caller's thread, under m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<PendingReport> m_queue;
    std::size_t m_pendingCount = 0; // queued, and in the writer's batch
    std::size_t m_pendingBytes = 0;
    QString m_host;
    bool m_hostChanged = false;
    bool m_stopping = false;
    Clock::time_point m_finishBy;
    QString m_problem;
    std::atomic<bool> m_off{false};
    std::atomic<quint64> m_recorded{0};
    std::atomic<quint64> m_dropped{0};
    QString m_path;
    std::thread m_thread;

    // The writer thread's own.
    Phase m_phase = Phase::Closed;
    Clock::time_point m_nextOpen;
    Clock::time_point m_nextFollow;
    std::vector<PendingReport> m_batch;
    RecentReports m_recent;
    std::int64_t m_rowId = -1;
    std::int64_t m_startedUtc = 0;
    // The file the connection has open, and the last one whose every page
    // was checked: a store is checked once, and again only when replaced.
    std::optional<FileIdentity> m_openFile;
    std::optional<FileIdentity> m_checkedFile;
    QString m_offReason;
    QString m_notice;
    bool m_movedAside = false;
    // Summaries read from a damaged store moved aside, for the new one.
    std::vector<DaySummary> m_carried;
    QDateTime m_lockedSince;
    // While a fault that may pass keeps the store from being written.
    QDateTime m_pausedSince;
    QString m_pauseReason;
    Clock::duration m_retryDelay{};
    QDateTime m_nextTry;
    std::optional<Clock::time_point> m_inUseSince;
    QString m_resumed;
    bool m_heartbeatDue = true;
    bool m_retentionDue = true;
    bool m_triedOpening = false;
    bool m_closing = false;
    quint64 m_droppedSeen = 0;
    quint64 m_droppedSlow = 0;
    quint64 m_droppedLocked = 0;
    quint64 m_droppedPaused = 0;
    QStringList m_printed;
};

RecorderWriter::~RecorderWriter()
{
    stop(HistoryRecorder::kFinishTime);
}

void RecorderWriter::stop(milliseconds within)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_stopping)
            m_finishBy = Clock::now() + std::min(within, HistoryRecorder::kFinishTime);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    m_off = true;
    std::lock_guard lock(m_mutex);
    m_dropped += m_queue.size();
    m_queue.clear();
    m_pendingCount = m_pendingBytes = 0;
}

void RecorderWriter::start(const QString &path)
{
    if (m_thread.joinable() || m_off)
        return;
    m_path = path;
    m_startedUtc = nowUtc();
    m_nextOpen = Clock::now();
    // Qt looks for its SQLite driver on this thread, never first on the
    // writer's: the search matches file names against a pattern, which
    // leaves per-thread data of Qt's that MinGW's runtime frees out of order
    // when the thread ends, crashing a Windows program as it closes.
    QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"));
    m_thread = std::thread([this] { run(); });
}

void RecorderWriter::setEngineHost(const QString &host)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_host == host)
            return;
        m_host = host;
        m_hostChanged = true;
    }
    m_wake.notify_one();
}

void RecorderWriter::record(std::string_view call, std::string_view path, std::string_view info,
                            std::int64_t heardUtc)
{
    if (m_off.load(std::memory_order_relaxed)) {
        ++m_dropped;
        return;
    }
    const std::size_t bytes = sizeof(PendingReport) + call.size() + path.size() + info.size();
    PendingReport report{std::string(call), heardUtc, std::string(path), std::string(info)};
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_pendingCount >= HistoryRecorder::kQueueLimit ||
            m_pendingBytes + bytes > HistoryRecorder::kQueueByteLimit) {
            ++m_dropped;
            return;
        }
        wake = m_queue.empty();
        m_queue.push_back(std::move(report));
        ++m_pendingCount;
        m_pendingBytes += bytes;
    }
    if (wake)
        m_wake.notify_one();
}

bool RecorderWriter::waitForWork(Clock::time_point lastWrite, Clock::time_point nextHeartbeat,
                                 Clock::time_point nextRetention)
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        Clock::time_point due = Clock::time_point::max();
        if (m_phase == Phase::Closed) {
            due = m_nextOpen;
        } else if (m_phase == Phase::Open) {
            due = std::min({nextHeartbeat, nextRetention, m_nextFollow});
            if (!m_queue.empty() || !m_batch.empty() || m_hostChanged)
                due = std::min(due, lastWrite + kWriteInterval);
        }
        if (Clock::now() >= due)
            break;
        if (due == Clock::time_point::max())
            m_wake.wait(lock);
        else
            m_wake.wait_until(lock, due);
    }
    // What waits goes behind what the writer still holds, in the order heard.
    if (m_batch.empty()) {
        m_batch.swap(m_queue);
    } else {
        std::move(m_queue.begin(), m_queue.end(), std::back_inserter(m_batch));
        m_queue.clear();
    }
    if (m_hostChanged)
        m_heartbeatDue = true;
    return m_stopping;
}

void RecorderWriter::run()
{
    Clock::time_point lastWrite = Clock::now() - kWriteInterval;
    Clock::time_point nextHeartbeat = Clock::now();
    Clock::time_point nextRetention = Clock::now();
    for (;;) {
        if (waitForWork(lastWrite, nextHeartbeat, nextRetention))
            return finish();
        if (m_phase == Phase::Closed && Clock::now() >= m_nextOpen) {
            const Clock::time_point planned = m_nextOpen;
            openStore();
            // Whatever kept it closed and named no time is tried again soon.
            if (m_phase == Phase::Closed && m_nextOpen == planned)
                m_nextOpen = Clock::now() + kWriteInterval;
        }
        if (m_phase == Phase::Open && Clock::now() >= m_nextFollow)
            followPath();
        // This copy's row goes in before its first report: another writer
        // then knows to look for copies of what it stores.
        if (m_phase == Phase::Open && (m_heartbeatDue || Clock::now() >= nextHeartbeat)) {
            heartbeat();
            // A heartbeat that met a lock is tried again with the next write.
            nextHeartbeat = Clock::now() + (m_heartbeatDue ? kWriteInterval : kHeartbeatInterval);
        }
        if (m_phase == Phase::Open && !m_carried.empty())
            carryOver();
        // Transactions begin a second apart, however long each takes. The
        // carried summaries go in first: a batch adds to a day's summary,
        // where they would replace it.
        if (m_phase == Phase::Open && !m_batch.empty() && m_carried.empty()) {
            lastWrite = Clock::now();
            writeBatch();
        }
        if (m_phase == Phase::Open && (m_retentionDue || Clock::now() >= nextRetention)) {
            removeExpired();
            nextRetention = Clock::now() + kRetentionInterval;
        }
        if (m_phase == Phase::Off && !m_batch.empty())
            forget(true);
        publish();
    }
}

void RecorderWriter::openStore()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return goOff(QStringLiteral("the folder %1 cannot be made").arg(folder));
    if (const std::optional<QString> kind = networkFileSystemOf(m_path))
        return goOff(QStringLiteral("%1 is on a network file system (%2), where SQLite's "
                                    "write-ahead log is unsafe; set QUINTARO_HISTORY to a file on "
                                    "a local disk")
                         .arg(m_path, *kind));
    // The log and its index are made beside the file.
    if (!mayWrite(folder))
        return pause(QStringLiteral("the folder %1 may not be written").arg(folder));

    // Nothing is opened for writing before the file is known to be a store
    // of this Quintaro's, or a new one, and undamaged. Every page is checked
    // once for each file, so that a damaged store is put aside as it was
    // found; another file at the path is checked again.
    m_triedOpening = true;
    const std::optional<FileIdentity> file = fileIdentity(m_path);
    const bool checkPages = !m_closing && (!file || file != m_checkedFile);
    if (checkPages)
        qCDebug(lcHistory, "checking every page of %s", qPrintable(m_path));
    const StoreCheck check = identifyStore(m_path, HistoryRecorder::kBusyTimeoutMs, checkPages);
    switch (check.kind) {
    case StoreKind::NotAStore:
        return goOff(notAStoreText(m_path, check.detail));
    case StoreKind::Locked:
        return handleFault(StoreFault::Locked, check.detail);
    case StoreKind::Damaged:
        return handleDamage(check.detail);
    case StoreKind::Unreadable:
        return pause(QStringLiteral("%1 cannot be read (%2)").arg(m_path, check.detail));
    case StoreKind::New:
    case StoreKind::Quintaro:
        break;
    }
    if (check.version > kSchemaVersion)
        return goOff(QStringLiteral("%1: the history file was written by a newer Quintaro (schema "
                                    "version %2; this one knows up to %3)")
                         .arg(m_path)
                         .arg(check.version)
                         .arg(kSchemaVersion));
    if (QFileInfo::exists(m_path) && !mayWrite(m_path))
        return pause(QStringLiteral("the file %1 may not be written").arg(m_path));
    if (check.kind == StoreKind::Quintaro)
        m_checkedFile = file;

    QSqlDatabase db = openConnection(m_connection, m_path, HistoryRecorder::kBusyTimeoutMs, false);
    if (!db.isOpen()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        return handleFault(faultOf(error), describeError(error));
    }
    m_openFile = fileIdentity(m_path);
    // A new file holds nothing to check.
    if (check.kind == StoreKind::New)
        m_checkedFile = m_openFile;
    if (!prepareConnection(db))
        return;
    qCDebug(lcHistory, "recording into %s", qPrintable(m_path));
    m_phase = Phase::Open;
    m_nextFollow = Clock::now() + kFollowInterval;
    m_lockedSince = QDateTime();
    m_inUseSince.reset();
    m_heartbeatDue = m_retentionDue = true;
}

// The write-ahead log, synchronous=NORMAL and the schema.
bool RecorderWriter::prepareConnection(QSqlDatabase &db)
{
    QSqlQuery query(db);
    const auto failed = [&](StoreFault fault, const QString &error) {
        query = QSqlQuery();
        db = QSqlDatabase();
        handleFault(fault, error);
        return false;
    };
    const auto statementFailed = [&] {
        const QSqlError error = query.lastError();
        return failed(faultOf(error), describeError(error));
    };
    if (!query.exec(QStringLiteral("PRAGMA cache_size = -") + QString::number(kCacheKilobytes)))
        return statementFailed();
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next())
        return statementFailed();
    if (query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        query = QSqlQuery();
        db = QSqlDatabase();
        goOff(QStringLiteral("%1 cannot keep a write-ahead log").arg(m_path));
        return false;
    }
    if (!query.exec(QStringLiteral("PRAGMA synchronous = NORMAL")) ||
        !query.exec(QStringLiteral("PRAGMA journal_size_limit = ") +
                    QString::number(kJournalSizeLimit)))
        return statementFailed();
    query.finish();
    QString error;
    StoreFault fault = StoreFault::None;
    if (!migrate(db, &error, &fault))
        return failed(fault, error);
    return true;
}

// A store replaced under the writer (a backup restored, the file removed)
// is left for the one the path names now. Its log stays where it is, beside
// the new file, whose first connection would take it for its own: what it
// holds goes into the old file first, and it is emptied.
void RecorderWriter::followPath()
{
    m_nextFollow = Clock::now() + kFollowInterval;
    if (!m_openFile || fileIdentity(m_path) == m_openFile)
        return;
    QSqlQuery(QSqlDatabase::database(m_connection, false))
        .exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    std::fprintf(stderr,
                 "quintaro: History: %s was replaced or removed; recording into the file "
                 "there now\n",
                 qPrintable(m_path));
    closeStore();
    m_nextOpen = Clock::now();
    openStore();
}

void RecorderWriter::writeBatch()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    WriteOutcome outcome;
    if (insertReports(db, m_batch, m_recent, &error, &outcome)) {
        m_recorded += outcome.stored + outcome.skipped;
        forget(false);
        m_lockedSince = QDateTime();
        written();
        return;
    }
    db = QSqlDatabase();
    handleFault(outcome.fault, error);
}

void RecorderWriter::heartbeat()
{
    QString host;
    {
        std::lock_guard lock(m_mutex);
        host = m_host;
        m_hostChanged = false;
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    const auto failed = [&] {
        const QSqlError error = query.lastError();
        query = QSqlQuery();
        if (faultOf(error) == StoreFault::Locked) {
            m_heartbeatDue = true;
            return;
        }
        handleFault(faultOf(error), describeError(error));
    };
    const std::int64_t now = nowUtc();
    if (m_rowId < 0) {
        // Rows of Quintaros that ended without removing theirs would tell a
        // reader that someone records when nobody does.
        query.prepare(QStringLiteral("DELETE FROM recorders WHERE heartbeat_utc < ?"));
        query.addBindValue(qint64(now - kStaleRecorderSeconds));
        if (!query.exec())
            return failed();
    } else {
        query.prepare(
            QStringLiteral("UPDATE recorders SET heartbeat_utc = ?, host = ? WHERE rowid = ?"));
        query.addBindValue(qint64(now));
        query.addBindValue(host);
        query.addBindValue(qint64(m_rowId));
        if (!query.exec())
            return failed();
        if (query.numRowsAffected() > 0) {
            m_heartbeatDue = false;
            written();
            return;
        }
        // Another Quintaro took this row for stale while the store was
        // locked for long: it is made again.
    }
    query.prepare(QStringLiteral(
        "INSERT INTO recorders (host, pid, started_utc, heartbeat_utc) VALUES (?, ?, ?, ?)"));
    query.addBindValue(host);
    query.addBindValue(qint64(QCoreApplication::applicationPid()));
    query.addBindValue(qint64(m_startedUtc));
    query.addBindValue(qint64(now));
    if (!query.exec())
        return failed();
    m_rowId = query.lastInsertId().toLongLong();
    m_heartbeatDue = false;
    written();
}

void RecorderWriter::removeExpired()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    StoreFault fault = StoreFault::None;
    if (removeExpiredReports(db, nowUtc(), &error, &fault) >= 0 || fault == StoreFault::Locked) {
        // A locked pass waits for the next hour: nothing grows much by then.
        m_retentionDue = false;
        return;
    }
    db = QSqlDatabase();
    handleFault(fault, error);
}

// Another writer's lock is waited for only until `deadline`; false when
// that has come.
bool RecorderWriter::limitWait(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("PRAGMA busy_timeout = ") + QString::number(left));
}

// What is queued, and this copy's row, get further tries while another
// writer holds the lock, until a bound that closing the window can bear. A
// store that could not be opened is not tried again, and none is checked
// page by page; one closed before the writer came to open it is opened.
void RecorderWriter::finish()
{
    const Clock::time_point deadline = m_finishBy;
    m_closing = true;
    if (m_phase == Phase::Closed && !m_triedOpening && !m_batch.empty())
        openStore();
    while (m_phase == Phase::Open && limitWait(deadline)) {
        if (!m_carried.empty()) {
            carryOver();
            continue;
        }
        if (!m_batch.empty()) {
            if (m_rowId < 0)
                heartbeat();
            else
                writeBatch();
            continue;
        }
        if (m_rowId < 0)
            break;
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.prepare(QStringLiteral("DELETE FROM recorders WHERE rowid = ?"));
        query.addBindValue(qint64(m_rowId));
        if (query.exec() || faultOf(query.lastError()) != StoreFault::Locked)
            break;
    }
    if (!m_batch.empty()) {
        QString why = QStringLiteral("another program kept the store locked");
        if (m_phase == Phase::Off)
            why = m_offReason;
        else if (m_pausedSince.isValid())
            why = m_pauseReason;
        std::fprintf(stderr, "quintaro: History: %s not recorded at the end: %s\n",
                     qPrintable(reportsText(m_batch.size())), qPrintable(why));
        forget(true);
    }
    closeStore();
}

// Something was written: a pause is over.
void RecorderWriter::written()
{
    m_inUseSince.reset();
    if (!m_pausedSince.isValid())
        return;
    m_resumed = QStringLiteral("History resumed at %1 after a pause since %2")
                    .arg(clockTime(QDateTime::currentDateTime()), clockTime(m_pausedSince));
    m_pausedSince = QDateTime();
    m_pauseReason.clear();
    m_retryDelay = {};
}

void RecorderWriter::handleFault(StoreFault fault, const QString &error)
{
    switch (fault) {
    case StoreFault::None:
        return;
    case StoreFault::Locked:
        // The batch stays for the next try; the queue bounds what waits.
        if (!m_lockedSince.isValid())
            m_lockedSince = QDateTime::currentDateTime();
        if (m_phase == Phase::Closed) {
            closeStore();
            m_nextOpen = Clock::now() + kWriteInterval;
        }
        return;
    case StoreFault::Damaged:
        return handleDamage(error);
    case StoreFault::NewerVersion:
        return goOff(QStringLiteral("%1: %2").arg(m_path, error));
    case StoreFault::NotAStore:
        return goOff(notAStoreText(m_path, error));
    case StoreFault::Full:
        return pause(QStringLiteral("the disk that holds %1 is full (%2)").arg(m_path, error));
    case StoreFault::Io:
        return pause(QStringLiteral("%1 cannot be written or read (%2)").arg(m_path, error));
    case StoreFault::ReadOnly:
    case StoreFault::Other:
        return pause(QStringLiteral("%1 cannot be written (%2)").arg(m_path, error));
    }
}

void RecorderWriter::handleDamage(const QString &error)
{
    closeStore();
    if (m_movedAside)
        return goOff(QStringLiteral("%1 was found damaged again (%2)").arg(m_path, error));
    if (storeInUse(m_path)) {
        // Displays close a store they find damaged, and open it again later.
        if (!m_inUseSince)
            m_inUseSince = Clock::now();
        if (Clock::now() - *m_inUseSince < kInUseGrace)
            return pause(QStringLiteral("%1 is damaged (%2) and another program has it open; it "
                                        "is moved aside once that program lets go of it")
                             .arg(m_path, error));
        return goOff(QStringLiteral("%1 is damaged (%2) and another program has it open; "
                                    "it was left as it is")
                         .arg(m_path, error));
    }
    QString movedTo;
    QString why;
    if (!moveAside(m_path, QDateTime::currentDateTime(), &movedTo, &why))
        return goOff(QStringLiteral("%1 is damaged (%2) and %3").arg(m_path, error, why));
    m_movedAside = true;
    m_inUseSince.reset();
    m_nextOpen = Clock::now();
    m_notice = QStringLiteral("History: %1 was damaged (%2); it was moved aside as %3 and a "
                              "new one was started")
                   .arg(m_path, error, QFileInfo(movedTo).fileName()) +
               salvage(movedTo);
}

// The daily summaries are kept for years, the reports for weeks: what can
// be read of them goes into the new store. Returns what the user is told.
QString RecorderWriter::salvage(const QString &movedTo)
{
    bool complete = false;
    QString why;
    m_carried = salvageDaySummaries(movedTo, &complete, &why);
    const QString count = grouped(m_carried.size());
    if (complete)
        return m_carried.empty() ? QString()
                                 : QStringLiteral("; its %1 daily summaries are carried into the "
                                                  "new one")
                                       .arg(count);
    if (m_carried.empty())
        return QStringLiteral("; its daily summaries could not be read (%1) and were not carried "
                              "over")
            .arg(why);
    return QStringLiteral("; %1 of its daily summaries are carried into the new one, the rest "
                          "could not be read (%2)")
        .arg(count, why);
}

void RecorderWriter::carryOver()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    StoreFault fault = StoreFault::None;
    if (writeDaySummaries(db, m_carried, &error, &fault)) {
        m_carried.clear();
        return;
    }
    // Tried again with the next batch; a fault that lasts is told as any.
    db = QSqlDatabase();
    if (fault != StoreFault::Locked)
        handleFault(fault, error);
}

// Reports wait in the queue (dropped once it is full) while the store is
// tried again, less and less often.
void RecorderWriter::pause(const QString &reason)
{
    closeStore();
    // Programs that have a damaged store open let go of it within seconds.
    if (m_inUseSince)
        m_retryDelay = kWriteInterval;
    else if (!m_pausedSince.isValid())
        m_retryDelay = kFirstRetry;
    else
        m_retryDelay = std::min<Clock::duration>(m_retryDelay * 2, kLongestRetry);
    if (!m_pausedSince.isValid())
        m_pausedSince = QDateTime::currentDateTime();
    m_pauseReason = reason;
    m_nextOpen = Clock::now() + m_retryDelay;
    m_nextTry = QDateTime::currentDateTime().addMSecs(
        std::chrono::duration_cast<milliseconds>(m_retryDelay).count());
}

void RecorderWriter::goOff(const QString &reason)
{
    closeStore();
    m_phase = Phase::Off;
    m_off = true;
    m_offReason = QStringLiteral("History is not kept in this run: ") + reason;
    m_lockedSince = m_pausedSince = QDateTime();
    forget(true);
    std::lock_guard lock(m_mutex);
    m_dropped += m_queue.size();
    m_pendingCount -= m_queue.size();
    m_pendingBytes = 0;
    m_queue.clear();
}

void RecorderWriter::closeStore()
{
    m_recent = RecentReports();
    if (m_phase == Phase::Open)
        m_phase = Phase::Closed;
    m_rowId = -1;
    m_openFile.reset();
    closeConnection(m_connection);
}

// The batch is done with: written, or `lost`.
void RecorderWriter::forget(bool lost)
{
    if (lost)
        m_dropped += m_batch.size();
    std::lock_guard lock(m_mutex);
    m_pendingCount -= m_batch.size();
    std::size_t bytes = 0;
    for (const PendingReport &report : m_batch)
        bytes +=
            sizeof(PendingReport) + report.call.size() + report.path.size() + report.info.size();
    m_pendingBytes -= std::min(bytes, m_pendingBytes);
    m_batch.clear();
}

void RecorderWriter::publish()
{
    // Reports refused since the last look are put down to what held the
    // writer up meanwhile.
    const quint64 dropped = m_dropped.load();
    if (m_phase != Phase::Off && dropped > m_droppedSeen) {
        quint64 &cause = m_pausedSince.isValid()   ? m_droppedPaused
                         : m_lockedSince.isValid() ? m_droppedLocked
                                                   : m_droppedSlow;
        cause += dropped - m_droppedSeen;
    }
    m_droppedSeen = dropped;

    QStringList parts;
    QStringList kinds; // what each part is, for standard error
    const auto add = [&](const QString &kind, const QString &text) {
        kinds << kind;
        parts << text;
    };
    if (!m_offReason.isEmpty())
        add(QStringLiteral("off"), m_offReason);
    if (!m_notice.isEmpty())
        add(QStringLiteral("moved"), m_notice);
    if (m_phase != Phase::Off) {
        if (m_pausedSince.isValid())
            add(QStringLiteral("paused"),
                QStringLiteral("History paused since %1: %2; %3 wait to be written, %4 dropped; "
                               "next try at %5")
                    .arg(clockTime(m_pausedSince), m_pauseReason, reportsText(waiting()),
                         grouped(m_droppedPaused), clockTime(m_nextTry)));
        else if (!m_resumed.isEmpty())
            add(QStringLiteral("resumed"), m_resumed);
        if (m_lockedSince.isValid())
            add(QStringLiteral("locked"),
                QStringLiteral("History: %1 is locked by another program since %2; %3 wait to "
                               "be written")
                    .arg(m_path, clockTime(m_lockedSince), reportsText(waiting())));
        if (m_droppedSlow > 0)
            add(QStringLiteral("slow"),
                QStringLiteral("History: %1 not recorded: the disk is slower than the reports")
                    .arg(reportsText(m_droppedSlow)));
        if (m_droppedLocked > 0)
            add(QStringLiteral("locked-dropped"),
                QStringLiteral("History: %1 not recorded while another program locked the store")
                    .arg(reportsText(m_droppedLocked)));
        if (m_droppedPaused > 0 && !m_pausedSince.isValid())
            add(QStringLiteral("paused-dropped"),
                QStringLiteral("History: %1 not recorded while history was paused")
                    .arg(reportsText(m_droppedPaused)));
    }
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        if (!m_printed.contains(kinds[i]))
            std::fprintf(stderr, "quintaro: %s\n", qPrintable(parts[i]));
    }
    m_printed = kinds;

    const QString text = parts.join(QLatin1Char('\n'));
    {
        std::lock_guard lock(m_mutex);
        if (text == m_problem)
            return;
        m_problem = text;
    }
    HistoryRecorder *owner = m_owner;
    QMetaObject::invokeMethod(
        owner, [owner, text] { emit owner->problemChanged(text); }, Qt::QueuedConnection);
}

HistoryRecorder::HistoryRecorder(QObject *parent)
    : QObject(parent), m_writer(std::make_unique<RecorderWriter>(this))
{
}

HistoryRecorder::~HistoryRecorder() = default;

void HistoryRecorder::start(const QString &path)
{
    m_writer->start(path);
}

void HistoryRecorder::stop(std::chrono::milliseconds within)
{
    m_writer->stop(within);
}

void HistoryRecorder::setEngineHost(const QString &host)
{
    m_writer->setEngineHost(host);
}

void HistoryRecorder::record(std::string_view call, std::string_view path,
                             std::string_view infoField, std::int64_t heardUtc)
{
    m_writer->record(call, path, infoField, heardUtc);
}

QString HistoryRecorder::problem() const
{
    return m_writer->problem();
}

quint64 HistoryRecorder::recorded() const
{
    return m_writer->recorded();
}

quint64 HistoryRecorder::dropped() const
{
    return m_writer->dropped();
}

std::size_t HistoryRecorder::waiting() const
{
    return m_writer->waiting();
}

} // namespace quintaro::history
