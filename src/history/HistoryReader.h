#pragma once

#include "DaySummary.h"
#include "StoreFiles.h"
#include "WeatherReport.h"

#include <QString>

class QSqlQuery;

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quintaro::history {

// One stored report of a station, its values in the report's own units.
struct StoredReport
{
    std::int64_t id = 0;
    std::int64_t heardUtc = 0; // seconds since 1970
    weather::WeatherReport values;
};

// A Quintaro that records, or did: the engine host it records from, its
// process, when it started and when it last said it is alive.
struct RecorderRow
{
    QString host;
    std::int64_t pid = 0;
    std::int64_t startedUtc = 0;
    std::int64_t heartbeatUtc = 0;
};

// Reads the history store for a display, on the thread that made it. It
// never writes, never creates the file and never waits long for a lock:
// when a writer holds one, a read fails and is tried again at the next look.
// Every query is finished before it returns, so that the writers'
// checkpoints can complete.
class HistoryReader
{
public:
    HistoryReader();
    ~HistoryReader();
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    // Opens the store at `path`; false, with the reason in error(), when it
    // is missing, unreadable, not a history store or of a later version.
    bool open(const QString &path);
    bool isOpen() const { return m_open; }
    void close();
    // Why the store could not be opened, or why the last read failed.
    QString error() const { return m_error; }
    // The store could not be opened, or the last read failed, because SQLite
    // found the file damaged: it is closed so that Quintaro may move it
    // aside, and opened again later.
    bool damaged() const { return m_damaged; }
    // Whether `path` still names the file opened: a store replaced, restored
    // from a backup or moved aside is another file, read anew.
    bool pathNamesOpenFile(const QString &path) const;

    // The call's reports heard at or after `fromUtc` whose id is above
    // `afterId`, oldest first; nothing when the read failed (see error()).
    // The call is the radio's bytes.
    std::optional<std::vector<StoredReport>> reports(std::string_view call, std::int64_t fromUtc,
                                                     std::int64_t afterId = 0);
    // When the call was last heard at or after `fromUtc`; 0 when it was not,
    // nothing when the read failed.
    std::optional<std::int64_t> lastHeard(std::string_view call, std::int64_t fromUtc);
    // Changes whenever another connection has changed the file: a cheap
    // question to ask every second.
    std::optional<std::int64_t> dataVersion();
    // Every recorder's row, the most recent heartbeat first.
    std::optional<std::vector<RecorderRow>> recorders();
    // The call's daily summaries, oldest day first; none in a store of
    // version 1, which no Quintaro has written to since this one.
    std::optional<std::vector<DaySummary>> daySummaries(std::string_view call);
    // Whether the store keeps daily summaries (version 2 on): a Quintaro
    // may have brought it there since it was opened. Nothing when the store
    // cannot be asked.
    std::optional<bool> keepsDaySummaries();

private:
    void fail(const QSqlQuery &query);

    QString m_connection;
    QString m_error;
    std::optional<FileIdentity> m_identity;
    bool m_open = false;
    bool m_damaged = false;
    int m_version = 0;
};

} // namespace quintaro::history
