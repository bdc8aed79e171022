// Writes made-up weather into a history store as Quintaro writes it, for the
// display's benchmark, the twenty-display script and screenshots while no
// radio is at hand:
//
//   history_writer STORE CALL[,CALL...] --days D [--interval S] [--gap-hours H]
//                  [--summary-days Y]
//       D days of reports ending now, one every S seconds (default 300), with
//       a silence of H hours (default 0) two days ago; with Y, the daily
//       summaries of Y days before the first day of reports too, as if their
//       reports had been kept once and removed since
//   history_writer STORE CALL[,CALL...] --live SECONDS [--interval S] [--host HOST]
//       a recorder row for HOST (default 127.0.0.1) whose heartbeat is
//       written every 10 s, and a report of each call every S seconds
//       (default 5), for SECONDS; prints "wrote CALL UTC" for each report
//
// The values follow a day's course (warmest in the afternoon), the pressure
// drifts, the wind gusts now and then and it rains on some days.

#include "DaySummaries.h"
#include "HistoryStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using quintaro::history::PendingReport;

namespace {

std::string infoField(std::int64_t utc, int station, std::mt19937 &random)
{
    const double day = double(utc % 86400) / 86400.0;
    const double days = double(utc) / 86400.0;
    const double temperatureF =
        50 + station * 2 + 12 * std::sin((day - 0.375) * 2 * M_PI) + 4 * std::sin(days / 3.0);
    const double pressure = 1013 + 9 * std::sin(days / 2.3 + station) + 2 * std::sin(days * 7);
    std::uniform_real_distribution<double> unit(0, 1);
    const double wind = std::max(0.0, 6 + 5 * std::sin(days * 5 + station) + 3 * unit(random));
    const double gust = wind + 4 * unit(random);
    const int humidity = std::clamp(int(75 - (temperatureF - 50) * 1.5), 5, 100) % 100;
    const double wet = std::sin(days * 1.7 + station) - 0.8;
    const int rainHour = wet > 0 ? int(wet * 150 * (0.8 + 0.4 * unit(random))) : 0;
    const int direction = (int(200 + 90 * std::sin(days * 3)) + 360) % 360;
    const QDateTime when = QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
    char temperature[8];
    const int t = int(std::lround(temperatureF));
    std::snprintf(temperature, sizeof temperature, "%03d", t); // "-05" below zero
    char info[96];
    std::snprintf(info, sizeof info, "_%02d%02d%02d%02dc%03ds%03dg%03dt%sr%03dp%03dP%03dh%02db%05d",
                  when.date().month(), when.date().day(), when.time().hour(), when.time().minute(),
                  direction, int(wind), int(gust), temperature, rainHour, rainHour * 3,
                  rainHour * 2, humidity, int(std::lround(pressure * 10)));
    return info;
}

// Summaries of the days from `days` days before the reports' first day up
// to it, made from the same made-up weather every `step` seconds.
std::vector<quintaro::history::DaySummary> summaries(const QStringList &calls, double days,
                                                     std::int64_t reportsFrom, int step,
                                                     std::mt19937 &random)
{
    using quintaro::history::DaySummary;
    const std::int64_t end = quintaro::history::localDayOf(reportsFrom).startUtc;
    std::vector<DaySummary> made;
    for (int s = 0; s < calls.size(); ++s) {
        std::optional<DaySummary> day;
        for (std::int64_t t = end - std::int64_t(days * 86400); t < end; t += step) {
            if (!day || t >= day->day.endUtc) {
                if (day)
                    made.push_back(*day);
                day = DaySummary();
                day->call = calls[s].toStdString();
                day->day = quintaro::history::localDayOf(t);
            }
            day->add(t, quintaro::weather::decodeWeatherReport(infoField(t, s, random)));
        }
        if (day)
            made.push_back(*day);
    }
    return made;
}

int fail(const QString &text)
{
    std::fprintf(stderr, "history_writer: %s\n", qPrintable(text));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return fail(
            QStringLiteral("usage: history_writer STORE CALLS --days D | --live SECONDS "
                           "[--interval S] [--gap-hours H] [--summary-days Y] [--host HOST]"));
    const QString store = args[1];
    const QStringList calls = args[2].split(QLatin1Char(','));
    double days = 0;
    int live = 0;
    int interval = 0;
    double gapHours = 0;
    double summaryDays = 0;
    QString host = QStringLiteral("127.0.0.1");
    for (int i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--days"))
            days = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--live"))
            live = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--interval"))
            interval = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--summary-days"))
            summaryDays = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--gap-hours"))
            gapHours = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--host"))
            host = args[i + 1];
        else
            return fail(QStringLiteral("unknown option ") + args[i]);
    }

    QSqlDatabase db =
        quintaro::history::openConnection(QStringLiteral("writer"), store, 5000, false);
    QString error;
    if (!db.isOpen() || !quintaro::history::migrate(db, &error))
        return fail(QStringLiteral("cannot open ") + store + QStringLiteral(": ") + error);
    // Quintaro's store is in write-ahead mode, where readers never wait for
    // the writer.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    std::mt19937 random(7);
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    quintaro::history::RecentReports recent;

    if (days > 0) {
        const int step = interval > 0 ? interval : 300;
        const std::int64_t gapEnd = now - 2 * 86400;
        const std::int64_t gapStart = gapEnd - std::int64_t(gapHours * 3600);
        std::vector<PendingReport> reports;
        for (std::int64_t t = now - std::int64_t(days * 86400); t <= now; t += step) {
            if (t > gapStart && t < gapEnd)
                continue;
            for (int s = 0; s < calls.size(); ++s)
                reports.push_back({calls[s].toStdString(), t, "WIDE2-1", infoField(t, s, random)});
        }
        if (!quintaro::history::insertReports(db, reports, recent, &error))
            return fail(error);
        std::printf("wrote %zu reports\n", reports.size());
        if (summaryDays > 0) {
            const auto made =
                summaries(calls, summaryDays, now - std::int64_t(days * 86400), step, random);
            if (!quintaro::history::writeDaySummaries(db, made, &error, nullptr))
                return fail(error);
            std::printf("wrote %zu daily summaries\n", made.size());
        }
    }

    if (live > 0) {
        const int step = interval > 0 ? interval : 5;
        QSqlQuery add(db);
        add.prepare(QStringLiteral("INSERT INTO recorders (host, pid, started_utc, heartbeat_utc) "
                                   "VALUES (?, ?, ?, ?)"));
        add.addBindValue(host);
        add.addBindValue(qint64(::getpid()));
        add.addBindValue(qint64(now));
        add.addBindValue(qint64(now));
        if (!add.exec())
            return fail(quintaro::history::describeError(add.lastError()));
        const qint64 row = add.lastInsertId().toLongLong();
        const std::int64_t end = now + live;
        std::int64_t nextReport = now;
        std::int64_t nextBeat = now;
        for (std::int64_t t = now; t < end; t = QDateTime::currentSecsSinceEpoch()) {
            if (t >= nextBeat) {
                QSqlQuery beat(db);
                beat.prepare(
                    QStringLiteral("UPDATE recorders SET heartbeat_utc = ? WHERE rowid = ?"));
                beat.addBindValue(qint64(t));
                beat.addBindValue(row);
                beat.exec();
                nextBeat = t + 10;
            }
            if (t >= nextReport) {
                std::vector<PendingReport> reports;
                for (int s = 0; s < calls.size(); ++s)
                    reports.push_back(
                        {calls[s].toStdString(), t, "WIDE2-1", infoField(t, s, random)});
                if (!quintaro::history::insertReports(db, reports, recent, &error))
                    return fail(error);
                for (const QString &call : calls)
                    std::printf("wrote %s %lld\n", qPrintable(call), static_cast<long long>(t));
                std::fflush(stdout);
                nextReport = t + step;
            }
            QThread::msleep(200);
        }
    }
    db = QSqlDatabase();
    quintaro::history::closeConnection(QStringLiteral("writer"));
    return 0;
}
