#pragma once

#include "WeatherReport.h"

#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quintaro::history {

// The schema this program writes and reads. A store of a later version was
// written by a newer Quintaro: it is read by nobody here and never changed.
inline constexpr int kSchemaVersion = 2;
// Marks a file as a Quintaro weather history (PRAGMA application_id, "QNTR"),
// so that no other program's database is ever taken for one.
inline constexpr std::int32_t kApplicationId = 0x514e5452;
// How long reports are kept when the store names no period of its own.
inline constexpr int kDefaultRetentionDays = 30;
// The settings table's key for the period, in whole days.
inline constexpr char kRetentionDaysKey[] = "retention_days";
// Ten years: a longer period is more likely a typing slip than a wish.
inline constexpr int kMaxRetentionDays = 3650;

// The reports table's column for each weather value, in the order of
// weather::Field; values in the units the reports carry.
inline constexpr const char *kValueColumns[weather::kFieldCount] = {
    "wind_direction_deg", "wind_speed_mph", "wind_gust_mph",    "temperature_f",
    "rain_1h_in",         "rain_24h_in",    "rain_midnight_in", "humidity_pct",
    "pressure_hpa",       "luminosity_wm2", "snow_24h_in",
};

// Where the store lives: the file named by QUINTARO_HISTORY, else
// quintaro/history.sqlite in the user's data folder
// (~/.local/share/quintaro/history.sqlite). Quintaro and its displays find
// the same file, whatever their program names.
QString historyFilePath();

// Opens a connection of the calling thread to the SQLite file at `path`,
// under a name of its own; a Qt SQL connection belongs to the thread that
// made it. `busyTimeoutMs` is how long a statement waits for another
// connection's lock before it gives up. With `readOnly`, a missing file is
// not created. The connection is returned open or with its error set.
QSqlDatabase openConnection(const QString &connectionName, const QString &path, int busyTimeoutMs,
                            bool readOnly);
// Closes and forgets the connection; every query on it must be gone.
void closeConnection(const QString &connectionName);

// What kind of trouble a statement met, which decides what a writer does
// next: try again later, move a damaged file aside, or go without history.
enum class StoreFault {
    None,
    Locked,       // another connection holds the lock longer than the busy timeout
    Damaged,      // SQLite found the file malformed, or not a database at all
    Full,         // no room left on the disk
    Io,           // the disk failed a read or write (a quota or file-size limit too)
    ReadOnly,     // the file or its folder may not be written
    NewerVersion, // written by a newer Quintaro, so left alone
    NotAStore,    // not a Quintaro weather history, so left alone
    Other,
};
StoreFault faultOf(const QSqlError &error);

// What a file at the store's path is, told without changing it.
enum class StoreKind {
    New,        // nothing there yet, an empty file, or an SQLite file with nothing in it
    Quintaro,   // a weather history
    Damaged,    // a weather history that SQLite finds damaged
    NotAStore,  // a folder, another kind of file, another program's database
    Locked,     // another connection held a lock for longer than the wait
    Unreadable, // it may not be read, or SQLite cannot open it
};
struct StoreCheck
{
    StoreKind kind = StoreKind::New;
    int version = 0;      // the schema's version, of a weather history
    bool stamped = false; // marked with kApplicationId
    QString detail;       // what it is instead, or SQLite's reason
};
// What the file at `path` is when the file alone tells: nothing there or an
// empty file (New), a folder or another kind of file (NotAStore), one that
// may not be read; nothing when it is an SQLite file, which SQLite tells.
std::optional<StoreCheck> identifyFile(const QString &path);
// Tells what the file at `path` is on a read-only connection of its own,
// through SQLite, which also reads what its log still holds: a weather
// history is marked with kApplicationId, or made before the mark was known,
// of version 1 with just its three tables. With `checkPages`, every page of
// a weather history is checked too (PRAGMA quick_check, a read of the whole
// file), on that connection: a damaged store's log stays as it was found.
StoreCheck identifyStore(const QString &path, int busyTimeoutMs, bool checkPages = false);
// The same on a connection already open.
StoreCheck identifyConnection(QSqlDatabase &db);
// Why a file is never used as the history: "<path> is not a Quintaro weather
// history (<what>); name another file with QUINTARO_HISTORY".
QString notAStoreText(const QString &path, const QString &what);

// Brings the file's schema to kSchemaVersion, one version at a time, each
// step in a transaction of its own that also records the version reached,
// and marks the file with kApplicationId. Two writers may start on a new
// file at once: each step holds the write lock from its start and tells the
// file's kind and version again under it. False, with the reason in `error`
// and its kind in `fault`, when a step fails (that step is rolled back), the
// file is of a later version or it is not a weather history. A file is
// brought to `upToVersion` only, for a test that needs an older store.
bool migrate(QSqlDatabase &db, QString *error, StoreFault *fault = nullptr,
             int upToVersion = kSchemaVersion);

// A weather report as heard, waiting to be stored: the radio's bytes.
struct PendingReport
{
    std::string call;
    std::int64_t heardUtc = 0; // seconds since 1970
    std::string path;          // the digipeaters it came through, as monitored
    std::string info;          // the APRS information field
};

struct WriteOutcome
{
    StoreFault fault = StoreFault::None;
    std::size_t stored = 0;
    // Already in the file: another writer, listening to another engine,
    // stored the same call's same information field within
    // weather::kRepeatWindowSeconds. The copy stored first keeps its path.
    std::size_t skipped = 0;
};

// A recorders row whose heartbeat is older than this belongs to a Quintaro
// that ended without removing it (killed, or its machine stopped).
inline constexpr std::int64_t kStaleRecorderSeconds = 600;

// The reports stored lately, as one writer keeps them between its batches:
// it looks for copies there, instead of asking the file once per report,
// which under a flood costs more than the writing itself.
class RecentReports
{
public:
    // More are not kept: under two floods at once, a copy older than what is
    // kept may then be stored a second time.
    static constexpr std::size_t kLimit = 50000;

    bool contains(const std::string &key, std::int64_t heardUtc) const;
    void add(std::string key, std::int64_t heardUtc);
    // Forgets what was heard before `heardUtc`; all of it when more than
    // kLimit stay.
    void forgetBefore(std::int64_t heardUtc);

    // The rows up to this id have been seen; -1 while none has been read.
    std::int64_t seenUpTo = -1;

private:
    std::unordered_map<std::string, std::vector<std::int64_t>> m_heard;
    std::size_t m_count = 0;
};

// Stores the reports, their values decoded from the information field, and
// adds them to their days' summaries (addToDaySummaries), in one
// transaction, leaving out those another writer already stored: the
// same call with the same information field heard within
// weather::kRepeatWindowSeconds. The writer's `recent` reports are compared
// with the rows others stored since its last batch (at the first, the last
// 20 000 rows), read under the write lock, and with its own. False, with the
// reason in `error` and its kind in `outcome`, when it fails; then nothing
// of them is stored.
bool insertReports(QSqlDatabase &db, std::span<const PendingReport> reports, RecentReports &recent,
                   QString *error, WriteOutcome *outcome = nullptr);

// The period the settings table names, in days; kDefaultRetentionDays when it
// names none that makes sense.
int retentionDays(QSqlDatabase &db);
bool setRetentionDays(QSqlDatabase &db, int days, QString *error);
// Removes the reports heard more than retentionDays() before `nowUtc`, a
// bounded number per transaction so that another writer never waits long.
// Their days' summaries stay: they are kept for years.
// The number removed, or -1 with the reason in `error` and `fault`.
std::int64_t removeExpiredReports(QSqlDatabase &db, std::int64_t nowUtc, QString *error,
                                  StoreFault *fault = nullptr);

// A period as the user types it: whole days, 1 to kMaxRetentionDays.
std::optional<int> parseRetentionDays(std::string_view text);
// Keeps the period in the store at `path`, which is made when missing, so
// that every Quintaro recording there applies it from its next hourly pass.
// A file that is not a weather history, or one of a newer Quintaro, is left
// as it is.
bool storeRetentionDays(const QString &path, int days, QString *error);

// A statement's failure in words, for the user: the driver's text, which
// names SQLite's reason ("database is locked", "disk I/O error", ...).
QString describeError(const QSqlError &error);

} // namespace quintaro::history
