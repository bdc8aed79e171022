#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace quintaro::history {

class RecorderWriter;

// Records the weather reports Quintaro hears into the history store. The
// window calls it; a writer thread of its own opens the store, writes what
// was handed over in one transaction at most every second, keeps this
// copy's row in the recorders table alive and removes expired reports at
// start and hourly. The window never waits on the database: record() only
// appends to a bounded queue.
//
// Faults never stop the caller. A store locked by another program is tried
// again every second while reports wait in the queue; one that cannot be
// written for now (a full or failing disk, permissions) is tried again at
// growing intervals, the reports waiting too; a store SQLite finds damaged
// is moved aside and started anew. Only what cannot pass by itself leaves
// the recorder without history for the run: a file that is not a Quintaro
// weather history (never changed), a newer Quintaro's store, a network file
// system, a folder that cannot be made. A store replaced under the writer is
// followed to the file the path names now. problem() says in words what is
// wrong; each new problem is also printed once on standard error.
class HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    // At most this many reports wait for the writer, and at most this many
    // bytes of them: hours of a busy 1200-baud channel's weather while the
    // store is locked, and the ingest benchmark's flood of 20 000 weather
    // frames, within about 10 MB. A report handed over while the queue is
    // full is not recorded and counts as dropped; what is queued stays,
    // so the store keeps an unbroken run up to the moment it fell behind.
    static constexpr std::size_t kQueueLimit = 20000;
    static constexpr std::size_t kQueueByteLimit = std::size_t(8) << 20;
    // How long the writer waits for another program's lock in one try; it
    // runs off the window's thread, so it may wait longer than a reader.
    static constexpr int kBusyTimeoutMs = 2000;
    // From the moment it is asked to, closing waits at most this long for
    // the last reports to be written while another writer holds the lock.
    static constexpr std::chrono::milliseconds kFinishTime{10000};

    explicit HistoryRecorder(QObject *parent = nullptr);
    // Calls stop().
    ~HistoryRecorder() override;
    HistoryRecorder(const HistoryRecorder &) = delete;
    HistoryRecorder &operator=(const HistoryRecorder &) = delete;

    // Starts the writer on the store at `path` (historyFilePath() for the
    // user's): opening, migrating and the first retention pass happen in the
    // writer thread. Reports recorded before are kept for it. Once only.
    void start(const QString &path);
    // Writes what is queued, removes this copy's recorders row and ends the
    // writer thread, within `within` (at most kFinishTime) of the call while
    // another program holds the lock; a store that could not be opened is not tried again, and none
    // is checked page by page. What is not written is counted on standard error. Reports recorded
    // afterwards count as dropped.
    void stop(std::chrono::milliseconds within = kFinishTime);
    // The engine host written in this copy's recorders row.
    void setEngineHost(const QString &host);

    // One weather report of a listed station, repeats already filtered out
    // by the caller. The views are copied; never waits on the writer or the
    // database.
    void record(std::string_view call, std::string_view path, std::string_view infoField,
                std::int64_t heardUtc);

    // Empty while all is well; else, in words for the user, why history is
    // not (fully) kept in this run.
    QString problem() const;
    // Reports now in the store through this recorder, including those
    // another writer had already stored.
    quint64 recorded() const;
    // Reports handed over that will not be in the store: refused while the
    // queue was full, or not written because the store could not be used.
    quint64 dropped() const;
    // Reports handed over and not yet written.
    std::size_t waiting() const;

signals:
    // On the thread that made the recorder, when problem() has changed: at
    // most once a second, and once with an empty text when it is gone.
    void problemChanged(const QString &text);

private:
    std::unique_ptr<RecorderWriter> m_writer;
};

} // namespace quintaro::history
