#include "DaySummaries.h"

#include "TextCodec.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>

namespace quintaro::history {

namespace {

struct ExtremeColumns
{
    const char *value;
    const char *utc;
    std::optional<Extreme> Extremes::*member;
};
constexpr ExtremeColumns kExtremeColumns[] = {
    {"temperature_high_f", "temperature_high_utc", &Extremes::temperatureHigh},
    {"temperature_low_f", "temperature_low_utc", &Extremes::temperatureLow},
    {"dew_point_high_f", "dew_point_high_utc", &Extremes::dewPointHigh},
    {"dew_point_low_f", "dew_point_low_utc", &Extremes::dewPointLow},
    {"humidity_high_pct", "humidity_high_utc", &Extremes::humidityHigh},
    {"humidity_low_pct", "humidity_low_utc", &Extremes::humidityLow},
    {"pressure_high_hpa", "pressure_high_utc", &Extremes::pressureHigh},
    {"pressure_low_hpa", "pressure_low_utc", &Extremes::pressureLow},
    {"gust_high_mph", "gust_utc", &Extremes::gust},
};
constexpr int kFirstExtreme = 7;
constexpr int kAfterExtremes = kFirstExtreme + 2 * int(std::size(kExtremeColumns));

QStringList columnNames()
{
    QStringList names = {QStringLiteral("call"),      QStringLiteral("day"),
                         QStringLiteral("start_utc"), QStringLiteral("end_utc"),
                         QStringLiteral("reports"),   QStringLiteral("first_utc"),
                         QStringLiteral("last_utc")};
    for (const ExtremeColumns &c : kExtremeColumns)
        names << QLatin1String(c.value) << QLatin1String(c.utc);
    names << QStringLiteral("gust_direction_deg") << QStringLiteral("wind_mean_mph")
          << QStringLiteral("wind_reports") << QStringLiteral("rain_in")
          << QStringLiteral("rain_from") << QStringLiteral("rain_midnight_high_in")
          << QStringLiteral("rain_hourly_in") << QStringLiteral("rain_hourly_last_utc")
          << QStringLiteral("rain_24h_in") << QStringLiteral("rain_24h_utc");
    return names;
}

const QString &columns()
{
    static const QString joined = columnNames().join(QStringLiteral(", "));
    return joined;
}

QVariant nullable(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

QVariant nullable(const std::optional<std::int64_t> &value)
{
    return value ? QVariant(qint64(*value)) : QVariant(QMetaType(QMetaType::LongLong));
}

std::optional<double> realOf(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

std::optional<std::int64_t> integerOf(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<std::int64_t>(value.toLongLong());
}

void bindSummary(QSqlQuery &query, const DaySummary &s)
{
    int i = 0;
    const auto bind = [&](const QVariant &value) { query.bindValue(i++, value); };
    bind(fromRadioBytes(s.call));
    bind(s.day.date.toString(Qt::ISODate));
    bind(qint64(s.day.startUtc));
    bind(qint64(s.day.endUtc));
    bind(qint64(s.reports));
    bind(qint64(s.firstUtc));
    bind(qint64(s.lastUtc));
    for (const ExtremeColumns &c : kExtremeColumns) {
        const std::optional<Extreme> &e = s.extremes.*c.member;
        bind(nullable(e ? std::optional<double>(e->value) : std::nullopt));
        bind(nullable(e ? std::optional<std::int64_t>(e->utc) : std::nullopt));
    }
    bind(nullable(s.extremes.gustDirection));
    bind(nullable(s.extremes.windMean()));
    bind(qint64(s.extremes.windReports));
    bind(nullable(storedValue(s.rain())));
    const char *source = rainSourceWord(s.rainSource());
    bind(source ? QVariant(QLatin1String(source)) : QVariant(QMetaType(QMetaType::QString)));
    bind(nullable(s.rainSinceMidnightHigh));
    bind(s.rainLastHourUtc ? QVariant(s.rainLastHourSum) : QVariant(QMetaType(QMetaType::Double)));
    bind(nullable(s.rainLastHourUtc));
    bind(nullable(s.rain24hLast ? std::optional<double>(s.rain24hLast->value) : std::nullopt));
    bind(nullable(s.rain24hLast ? std::optional<std::int64_t>(s.rain24hLast->utc) : std::nullopt));
}

DaySummary readSummary(const QSqlQuery &query)
{
    DaySummary s;
    s.call = toRadioBytes(query.value(0).toString());
    s.day = {QDate::fromString(query.value(1).toString(), Qt::ISODate), query.value(2).toLongLong(),
             query.value(3).toLongLong()};
    s.reports = query.value(4).toLongLong();
    s.firstUtc = query.value(5).toLongLong();
    s.lastUtc = query.value(6).toLongLong();
    int i = kFirstExtreme;
    for (const ExtremeColumns &c : kExtremeColumns) {
        const std::optional<double> value = realOf(query.value(i));
        const std::optional<std::int64_t> utc = integerOf(query.value(i + 1));
        if (value && utc)
            s.extremes.*c.member = Extreme{*value, *utc};
        i += 2;
    }
    s.extremes.gustDirection = realOf(query.value(i));
    s.extremes.windReports = query.value(i + 2).toLongLong();
    s.extremes.windSum = realOf(query.value(i + 1)).value_or(0) * double(s.extremes.windReports);
    // i + 3, i + 4: the day's rain and its source, worked out from the rest.
    s.rainSinceMidnightHigh = realOf(query.value(i + 5));
    s.rainLastHourUtc = integerOf(query.value(i + 7));
    s.rainLastHourSum = s.rainLastHourUtc ? query.value(i + 6).toDouble() : 0;
    const std::optional<double> day24 = realOf(query.value(i + 8));
    const std::optional<std::int64_t> day24Utc = integerOf(query.value(i + 9));
    if (day24 && day24Utc)
        s.rain24hLast = Extreme{*day24, *day24Utc};
    return s;
}

bool failed(const QSqlQuery &query, QString *error, StoreFault *fault)
{
    if (error)
        *error = describeError(query.lastError());
    if (fault)
        *fault = faultOf(query.lastError());
    return false;
}

QString valueColumns()
{
    QString names = QStringLiteral("heard_utc");
    for (const char *column : kValueColumns)
        names += QStringLiteral(", ") + QLatin1String(column);
    return names;
}

// A reports row's time and values, from column `first` on.
SummarizedReport readReport(const QSqlQuery &query, int first)
{
    SummarizedReport report;
    report.heardUtc = query.value(first).toLongLong();
    for (int f = 0; f < weather::kFieldCount; ++f) {
        const QVariant value = query.value(first + 1 + f);
        if (!value.isNull())
            report.values.set(weather::Field(f), value.toDouble());
    }
    return report;
}

DaySummary newSummary(std::string call, const LocalDay &day)
{
    DaySummary summary;
    summary.call = std::move(call);
    summary.day = day;
    return summary;
}

// Which local day each report falls on: reports come in runs of one day,
// so the time zone is asked once a run.
class DayKeys
{
public:
    const LocalDay &of(std::int64_t utc)
    {
        if (!m_last || utc < m_last->startUtc || utc >= m_last->endUtc)
            m_last = localDayOf(utc);
        return *m_last;
    }

private:
    std::optional<LocalDay> m_last;
};

// The day built anew from the reports the store holds of it.
std::optional<DaySummary> rebuildDay(QSqlDatabase &db, const std::string &call, const LocalDay &day,
                                     QString *error, StoreFault *fault)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + valueColumns() +
                  QStringLiteral(" FROM reports WHERE call = ? AND heard_utc >= ? AND heard_utc "
                                 "< ? ORDER BY heard_utc, id"));
    query.addBindValue(fromRadioBytes(call));
    query.addBindValue(qint64(day.startUtc));
    query.addBindValue(qint64(day.endUtc));
    if (!query.exec()) {
        failed(query, error, fault);
        return std::nullopt;
    }
    DaySummary summary = newSummary(call, day);
    while (query.next()) {
        const SummarizedReport report = readReport(query, 0);
        summary.add(report.heardUtc, report.values);
    }
    if (query.lastError().isValid()) {
        failed(query, error, fault);
        return std::nullopt;
    }
    return summary;
}

} // namespace

QString daySummariesTableStatement()
{
    QString statement = QStringLiteral(
        "CREATE TABLE daily_summaries ("
        " call TEXT NOT NULL, day TEXT NOT NULL, start_utc INTEGER NOT NULL,"
        " end_utc INTEGER NOT NULL, reports INTEGER NOT NULL, first_utc INTEGER NOT NULL,"
        " last_utc INTEGER NOT NULL,");
    for (const ExtremeColumns &c : kExtremeColumns)
        statement += QStringLiteral(" %1 REAL, %2 INTEGER,")
                         .arg(QLatin1String(c.value), QLatin1String(c.utc));
    statement += QStringLiteral(
        " gust_direction_deg REAL, wind_mean_mph REAL, wind_reports INTEGER NOT NULL,"
        " rain_in REAL, rain_from TEXT, rain_midnight_high_in REAL, rain_hourly_in REAL,"
        " rain_hourly_last_utc INTEGER, rain_24h_in REAL, rain_24h_utc INTEGER,"
        " PRIMARY KEY (call, day)) WITHOUT ROWID");
    return statement;
}

bool storeDaySummaries(QSqlDatabase &db, std::span<const DaySummary> summaries, QString *error,
                       StoreFault *fault)
{
    QSqlQuery store(db);
    QString marks = QStringLiteral("?");
    for (int i = 1; i < kAfterExtremes + 10; ++i)
        marks += QStringLiteral(", ?");
    if (!store.prepare(QStringLiteral("INSERT OR REPLACE INTO daily_summaries (") + columns() +
                       QStringLiteral(") VALUES (") + marks + QLatin1Char(')')))
        return failed(store, error, fault);
    for (const DaySummary &summary : summaries) {
        bindSummary(store, summary);
        if (!store.exec())
            return failed(store, error, fault);
    }
    return true;
}

bool addToDaySummaries(QSqlDatabase &db, std::span<const SummarizedReport> reports, QString *error,
                       StoreFault *fault)
{
    // The batch's reports by station and day, each run in the order heard.
    std::map<std::pair<std::string_view, std::int64_t>, std::vector<const SummarizedReport *>> days;
    std::map<std::int64_t, LocalDay> dayOfStart;
    DayKeys keys;
    for (const SummarizedReport &report : reports) {
        const LocalDay &day = keys.of(report.heardUtc);
        dayOfStart.emplace(day.startUtc, day);
        days[{report.call, day.startUtc}].push_back(&report);
    }
    QSqlQuery stored(db);
    stored.setForwardOnly(true);
    if (!stored.prepare(QStringLiteral("SELECT ") + columns() +
                        QStringLiteral(" FROM daily_summaries WHERE call = ? AND day = ?")))
        return failed(stored, error, fault);
    std::vector<DaySummary> updated;
    updated.reserve(days.size());
    for (auto &[key, run] : days) {
        std::stable_sort(run.begin(), run.end(),
                         [](const SummarizedReport *a, const SummarizedReport *b) {
                             return a->heardUtc < b->heardUtc;
                         });
        const LocalDay &day = dayOfStart[key.second];
        stored.bindValue(0, fromRadioBytes(key.first));
        stored.bindValue(1, day.date.toString(Qt::ISODate));
        if (!stored.exec())
            return failed(stored, error, fault);
        DaySummary summary = newSummary(std::string(key.first), day);
        const bool known = stored.next();
        if (known)
            summary = readSummary(stored);
        if (stored.lastError().isValid())
            return failed(stored, error, fault);
        stored.finish();
        if (known && run.front()->heardUtc < summary.lastUtc) {
            const std::optional<DaySummary> rebuilt =
                rebuildDay(db, summary.call, day, error, fault);
            if (!rebuilt)
                return false;
            if (rebuilt->reports >= summary.reports + std::int64_t(run.size())) {
                updated.push_back(*rebuilt);
                continue;
            }
        }
        for (const SummarizedReport *report : run)
            summary.add(report->heardUtc, report->values);
        updated.push_back(std::move(summary));
    }
    return storeDaySummaries(db, updated, error, fault);
}

bool rebuildDaySummaries(QSqlDatabase &db, QString *error, StoreFault *fault)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT call, ") + valueColumns() +
                    QStringLiteral(" FROM reports ORDER BY call, heard_utc, id")))
        return failed(query, error, fault);
    // Written a thousand days at a time: a store of many stations' months
    // is summed up in bounded memory.
    constexpr std::size_t kWrittenAtOnce = 1000;
    DaySummarizer days;
    QString call;
    std::string callBytes;
    while (query.next()) {
        if (const QString rowCall = query.value(0).toString(); rowCall != call) {
            call = rowCall;
            callBytes = toRadioBytes(call);
        }
        const SummarizedReport report = readReport(query, 1);
        days.add(callBytes, report.heardUtc, report.values);
        if (days.finished() >= kWrittenAtOnce &&
            !storeDaySummaries(db, days.take(false), error, fault))
            return false;
    }
    if (query.lastError().isValid())
        return failed(query, error, fault);
    query.finish();
    return storeDaySummaries(db, days.take(true), error, fault);
}

std::optional<std::vector<DaySummary>> readDaySummaries(QSqlDatabase &db, std::string_view call,
                                                        QSqlError *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + columns() + QStringLiteral(" FROM daily_summaries") +
                  (call.empty() ? QString() : QStringLiteral(" WHERE call = ?")) +
                  QStringLiteral(" ORDER BY call, day"));
    if (!call.empty())
        query.addBindValue(fromRadioBytes(call));
    std::vector<DaySummary> found;
    if (query.exec()) {
        while (query.next())
            found.push_back(readSummary(query));
    }
    if (query.lastError().isValid()) {
        if (error)
            *error = query.lastError();
        return std::nullopt;
    }
    return found;
}

namespace {

std::vector<DaySummary> salvageFrom(QSqlDatabase &db, bool *complete, QString *error)
{
    std::vector<DaySummary> found;
    const auto scan = [&](const QString &sql, auto &&take) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (query.exec(sql)) {
            while (query.next() && take(query)) {
            }
        }
        if (!query.lastError().isValid())
            return true;
        if (error)
            *error = describeError(query.lastError());
        return false;
    };
    bool table = false;
    *complete = scan(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = "
                                    "'daily_summaries'"),
                     [&](const QSqlQuery &) { return table = true; });
    if (!*complete || !table)
        return found;
    const QString select = QStringLiteral("SELECT ") + columns() +
                           QStringLiteral(" FROM daily_summaries ORDER BY call ");
    *complete = scan(select + QStringLiteral("ASC, day ASC"), [&](const QSqlQuery &query) {
        found.push_back(readSummary(query));
        return true;
    });
    if (*complete)
        return found;
    // Past the damage from the other end, up to the rows already read.
    std::set<std::pair<std::string, QDate>> seen;
    for (const DaySummary &s : found)
        seen.emplace(s.call, s.day.date);
    scan(select + QStringLiteral("DESC, day DESC"), [&](const QSqlQuery &query) {
        DaySummary s = readSummary(query);
        if (seen.count({s.call, s.day.date}))
            return false;
        found.push_back(std::move(s));
        return true;
    });
    return found;
}

} // namespace

std::vector<DaySummary> salvageDaySummaries(const QString &path, bool *complete, QString *error)
{
    static std::atomic<int> next{0};
    const QString name = QStringLiteral("quintaro-history-salvage-") + QString::number(++next);
    std::vector<DaySummary> found;
    {
        QSqlDatabase db = openConnection(name, path, 1000, true);
        if (db.isOpen()) {
            found = salvageFrom(db, complete, error);
        } else {
            *complete = false;
            if (error)
                *error = describeError(db.lastError());
        }
    }
    closeConnection(name);
    return found;
}

bool writeDaySummaries(QSqlDatabase &db, std::span<const DaySummary> summaries, QString *error,
                       StoreFault *fault)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed(query, error, fault);
    if (storeDaySummaries(db, summaries, error, fault) && query.exec(QStringLiteral("COMMIT")))
        return true;
    if (query.lastError().isValid())
        failed(query, error, fault);
    query.exec(QStringLiteral("ROLLBACK"));
    return false;
}

} // namespace quintaro::history
