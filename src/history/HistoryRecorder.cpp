#include "HistoryRecorder.h"

#include "HistoryStore.h"
#include "StoreFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quintaro::history {

namespace {

using Clock = std::chrono::steady_clock;

// A reader sees a report within about two seconds: one to wait for the next
// transaction, and the time to write it.
constexpr auto kWriteInterval = std::chrono::seconds(1);
constexpr auto kHeartbeatInterval = std::chrono::seconds(10);
constexpr auto kRetentionInterval = std::chrono::hours(1);
// Closing waits at most this long for the last reports to be written while
// another writer holds the lock.
constexpr auto kFinishTime = std::chrono::seconds(10);
// After a flood the log is cut back to this size at the next checkpoint,
// instead of keeping its largest size on the disk.
constexpr int kJournalSizeLimit = 4 << 20;

std::int64_t nowUtc()
{
    return QDateTime::currentSecsSinceEpoch();
}

// As this process is allowed, not as the user who started it.
bool mayWrite(const QString &path)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
}

// A missing or empty file is a store not yet made; any other begins with
// SQLite's header.
bool looksLikeSqlite(const QString &path)
{
    QFile file(path);
    if (!file.exists() || file.size() == 0)
        return true;
    static const QByteArray header("SQLite format 3", 16);
    return file.open(QIODevice::ReadOnly) && file.read(header.size()) == header;
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
    void stop();
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
    enum class Phase { Closed, Open, Off };

    void run();
    bool waitForWork(Clock::time_point lastWrite, Clock::time_point nextHeartbeat,
                     Clock::time_point nextRetention, Clock::time_point nextOpen);
    void openStore();
    bool prepareConnection(QSqlDatabase &db);
    void writeBatch();
    void heartbeat();
    void removeExpired();
    void finish();
    void handleFault(StoreFault fault, const QString &error);
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
    QString m_problem;
    std::atomic<bool> m_off{false};
    std::atomic<quint64> m_recorded{0};
    std::atomic<quint64> m_dropped{0};
    QString m_path;
    std::thread m_thread;

    // The writer thread's own.
    Phase m_phase = Phase::Closed;
    std::vector<PendingReport> m_batch;
    RecentReports m_recent;
    std::int64_t m_rowId = -1;
    std::int64_t m_startedUtc = 0;
    QString m_offReason;
    QString m_notice;
    bool m_movedAside = false;
    QDateTime m_lockedSince;
    bool m_heartbeatDue = true;
    bool m_retentionDue = true;
    quint64 m_droppedSeen = 0;
    quint64 m_droppedSlow = 0;
    quint64 m_droppedLocked = 0;
    QStringList m_printed;
};

RecorderWriter::~RecorderWriter()
{
    stop();
}

void RecorderWriter::stop()
{
    {
        std::lock_guard lock(m_mutex);
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
                                 Clock::time_point nextRetention, Clock::time_point nextOpen)
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        Clock::time_point due = Clock::time_point::max();
        if (m_phase == Phase::Closed) {
            due = nextOpen;
        } else if (m_phase == Phase::Open) {
            due = std::min(nextHeartbeat, nextRetention);
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
    Clock::time_point nextOpen = Clock::now();
    for (;;) {
        if (waitForWork(lastWrite, nextHeartbeat, nextRetention, nextOpen))
            return finish();
        if (m_phase == Phase::Closed && Clock::now() >= nextOpen) {
            openStore();
            // A damaged store moved aside is started anew at once; a locked
            // one is tried again a little later.
            nextOpen = Clock::now() + (m_phase == Phase::Closed && m_lockedSince.isValid()
                                           ? kWriteInterval
                                           : Clock::duration::zero());
        }
        // This copy's row goes in before its first report: another writer
        // then knows to look for copies of what it stores.
        if (m_phase == Phase::Open && (m_heartbeatDue || Clock::now() >= nextHeartbeat)) {
            heartbeat();
            // A heartbeat that met a lock is tried again with the next write.
            nextHeartbeat = Clock::now() + (m_heartbeatDue ? kWriteInterval : kHeartbeatInterval);
        }
        // Transactions begin a second apart, however long each takes.
        if (m_phase == Phase::Open && !m_batch.empty()) {
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
        return goOff(QStringLiteral("the folder %1 may not be written").arg(folder));
    if (QFileInfo::exists(m_path) && !mayWrite(m_path))
        return goOff(QStringLiteral("the file %1 may not be written").arg(m_path));

    // Told apart before SQLite opens it: SQLite would take a -wal beside it
    // for its own, and delete it on closing.
    if (!looksLikeSqlite(m_path))
        return handleFault(StoreFault::Damaged, QStringLiteral("file is not a database"));

    QSqlDatabase db = openConnection(m_connection, m_path, HistoryRecorder::kBusyTimeoutMs, false);
    if (!db.isOpen()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        return handleFault(faultOf(error), describeError(error));
    }
    if (!prepareConnection(db))
        return;
    m_phase = Phase::Open;
    m_lockedSince = QDateTime();
    m_heartbeatDue = m_retentionDue = true;
}

// A check of every page before anything is written, so that a damaged
// store is put aside as it was found; then the write-ahead log,
// synchronous=NORMAL and the schema.
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
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next())
        return statementFailed();
    if (query.value(0).toString() != QLatin1String("ok"))
        return failed(StoreFault::Damaged, query.value(0)
                                               .toString()
                                               .remove(QStringLiteral("*** in database main ***"))
                                               .simplified());
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

void RecorderWriter::writeBatch()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    WriteOutcome outcome;
    if (insertReports(db, m_batch, &error, &outcome, &m_recent)) {
        m_recorded += outcome.stored + outcome.skipped;
        forget(false);
        m_lockedSince = QDateTime();
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

// What is queued, and this copy's row, get further tries while another
// writer holds the lock, within a bound that closing the window can bear.
void RecorderWriter::finish()
{
    const Clock::time_point deadline = Clock::now() + kFinishTime;
    while (m_phase != Phase::Off && Clock::now() < deadline) {
        if (m_phase == Phase::Closed)
            openStore();
        if (m_phase == Phase::Open && m_rowId < 0 && !m_batch.empty())
            heartbeat();
        if (m_phase == Phase::Open && m_rowId < 0 && m_batch.empty())
            break;
        if (m_phase == Phase::Open && !m_batch.empty())
            writeBatch();
        if (m_phase == Phase::Open && m_batch.empty() && m_rowId >= 0) {
            QSqlQuery query(QSqlDatabase::database(m_connection, false));
            query.prepare(QStringLiteral("DELETE FROM recorders WHERE rowid = ?"));
            query.addBindValue(qint64(m_rowId));
            if (query.exec() || faultOf(query.lastError()) != StoreFault::Locked)
                break;
        }
        if (m_phase == Phase::Closed && !m_lockedSince.isValid() && m_batch.empty())
            break;
    }
    if (!m_batch.empty()) {
        std::fprintf(stderr, "quintaro: History: %s not recorded at the end: %s\n",
                     qPrintable(reportsText(m_batch.size())),
                     m_phase == Phase::Off ? qPrintable(m_offReason)
                                           : "another program kept the store locked");
        forget(true);
    }
    closeStore();
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
        if (m_phase == Phase::Closed)
            closeStore();
        return;
    case StoreFault::Damaged: {
        closeStore();
        if (m_movedAside)
            return goOff(QStringLiteral("%1 was found damaged again (%2)").arg(m_path, error));
        if (storeInUse(m_path))
            return goOff(QStringLiteral("%1 is damaged (%2) and another program has it open; "
                                        "it was left as it is")
                             .arg(m_path, error));
        QString movedTo;
        QString why;
        if (!moveAside(m_path, QDateTime::currentDateTime(), &movedTo, &why))
            return goOff(QStringLiteral("%1 is damaged (%2) and %3").arg(m_path, error, why));
        m_movedAside = true;
        m_notice = QStringLiteral("History: %1 was damaged (%2); it was moved aside as %3 and a "
                                  "new one was started")
                       .arg(m_path, error, QFileInfo(movedTo).fileName());
        return;
    }
    case StoreFault::NewerVersion:
        return goOff(QStringLiteral("%1: %2").arg(m_path, error));
    case StoreFault::Full:
        return goOff(QStringLiteral("the disk that holds %1 is full (%2)").arg(m_path, error));
    case StoreFault::ReadOnly:
    case StoreFault::Other:
        return goOff(QStringLiteral("%1 cannot be written (%2)").arg(m_path, error));
    }
}

void RecorderWriter::goOff(const QString &reason)
{
    closeStore();
    m_phase = Phase::Off;
    m_off = true;
    m_offReason = QStringLiteral("History is not kept in this run: ") + reason;
    m_lockedSince = QDateTime();
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
    if (m_phase != Phase::Off && dropped > m_droppedSeen)
        (m_lockedSince.isValid() ? m_droppedLocked : m_droppedSlow) += dropped - m_droppedSeen;
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
        if (m_lockedSince.isValid())
            add(QStringLiteral("locked"),
                QStringLiteral("History: %1 is locked by another program since %2; %3 wait to "
                               "be written")
                    .arg(m_path, m_lockedSince.toString(QStringLiteral("HH:mm:ss")),
                         reportsText(waiting())));
        if (m_droppedSlow > 0)
            add(QStringLiteral("slow"),
                QStringLiteral("History: %1 not recorded: the disk is slower than the reports")
                    .arg(reportsText(m_droppedSlow)));
        if (m_droppedLocked > 0)
            add(QStringLiteral("locked-dropped"),
                QStringLiteral("History: %1 not recorded while another program locked the store")
                    .arg(reportsText(m_droppedLocked)));
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

void HistoryRecorder::stop()
{
    m_writer->stop();
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
