#pragma once

#include "WeatherReport.h"

#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <span>
#include <string>

namespace quintaro::history {

// The schema this program writes and reads. A store of a later version was
// written by a newer Quintaro: it is read by nobody here and never changed.
inline constexpr int kSchemaVersion = 1;
// How long reports are kept when the store names no period of its own.
inline constexpr int kDefaultRetentionDays = 30;
// The settings table's key for the period, in whole days.
inline constexpr char kRetentionDaysKey[] = "retention_days";

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

// The schema's version as recorded in the file: 0 for a new, empty file.
int schemaVersion(QSqlDatabase &db);

// Brings the file's schema to kSchemaVersion, one version at a time, each
// step in a transaction of its own that also records the version reached.
// False, with the reason in `error`, when a step fails (that step is rolled
// back) or the file is of a later version.
bool migrate(QSqlDatabase &db, QString *error);

// A weather report as heard, waiting to be stored: the radio's bytes.
struct PendingReport
{
    std::string call;
    std::int64_t heardUtc = 0; // seconds since 1970
    std::string path;          // the digipeaters it came through, as monitored
    std::string info;          // the APRS information field
};

// Stores the reports, their values decoded from the information field, in
// one transaction. False, with the reason in `error`, when it fails; then
// nothing of them is stored.
bool insertReports(QSqlDatabase &db, std::span<const PendingReport> reports, QString *error);

// A statement's failure in words, for the user: the driver's text, which
// names SQLite's reason ("database is locked", "disk I/O error", ...).
QString describeError(const QSqlError &error);

} // namespace quintaro::history
