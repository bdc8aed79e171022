// The history store as both programs see it: the schema, a report's way in
// and out, the stores a reader refuses, copies another writer already
// stored, the retention period, the daily summaries the writer and the
// migration make, and the file systems a writer keeps off.

#include "DaySummaries.h"
#include "FileBytes.h"
#include "HistoryFixture.h"
#include "HistoryReader.h"
#include "HistoryStore.h"
#include "LocalZone.h"
#include "StoreFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quintaro;
using history::PendingReport;
using weather::Field;

namespace {

// Reports of IK3WX around `date`, each "HH:MM info" at that local clock
// time, "<HH:MM info" the day before, "HH:MMxN/M info" N reports M minutes
// of real time apart from then.
std::vector<PendingReport> reportsAround(const QDate &date, const QStringList &lines)
{
    std::vector<PendingReport> reports;
    for (const QString &line : lines) {
        const QString when = line.section(QLatin1Char(' '), 0, 0);
        const std::string info = line.section(QLatin1Char(' '), 1).toStdString();
        const bool before = when.startsWith(QLatin1Char('<'));
        const QString clock = when.mid(before ? 1 : 0, 5);
        const int count =
            when.contains(QLatin1Char('x')) ? when.section('x', 1).section('/', 0, 0).toInt() : 1;
        const int step = when.contains(QLatin1Char('/')) ? when.section('/', 1).toInt() : 0;
        const qint64 first = QDateTime(date.addDays(before ? -1 : 0),
                                       QTime::fromString(clock, QStringLiteral("HH:mm")))
                                 .toSecsSinceEpoch();
        for (int i = 0; i < count; ++i)
            reports.push_back({"IK3WX", first + qint64(i) * step * 60, "", info});
    }
    return reports;
}

// A summary as the test reads it: values with their local clock times.
QString describe(const history::DaySummary &s)
{
    const auto at = [](const std::optional<history::Extreme> &e) {
        return QStringLiteral("%1 at %2")
            .arg(e->value, 0, 'f', 1)
            .arg(QDateTime::fromSecsSinceEpoch(e->utc).toString(QStringLiteral("HH:mm")));
    };
    const history::Extremes &x = s.extremes;
    QString text = QStringLiteral("%1 reports").arg(s.reports);
    if (x.temperatureLow)
        text += QStringLiteral(", temperature ") + at(x.temperatureLow) + QStringLiteral(" to ") +
                at(x.temperatureHigh);
    if (x.dewPointLow)
        text += QStringLiteral(", dew point ") + at(x.dewPointLow) + QStringLiteral(" to ") +
                at(x.dewPointHigh);
    if (x.pressureLow)
        text += QStringLiteral(", pressure ") + at(x.pressureLow) + QStringLiteral(" to ") +
                at(x.pressureHigh);
    if (x.gust)
        text += QStringLiteral(", gust ") + at(x.gust) +
                QStringLiteral(" from %1").arg(x.gustDirection.value_or(-1));
    if (x.windMean())
        text += QStringLiteral(", wind %1").arg(*x.windMean(), 0, 'f', 1);
    static const char *const kSources[] = {"", "since midnight", "last hour", "24 hours"};
    if (s.rain())
        text += QStringLiteral(", rain %1 from %2")
                    .arg(*s.rain(), 0, 'f', 2)
                    .arg(QLatin1String(kSources[int(s.rainSource())]));
    return text;
}

// Every summary row as its columns' text, for comparing two stores.
QStringList summaryRows(QSqlDatabase &db)
{
    QStringList rows;
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT * FROM daily_summaries ORDER BY call, day"));
    while (query.next()) {
        QStringList row;
        for (int i = 0; i < query.record().count(); ++i) {
            const QVariant v = query.value(i);
            // Means are kept as means: a sum taken apart and put back may
            // differ in its last bits.
            row << (v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 12)
                                                    : v.toString());
        }
        rows << row.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reportRoundTrip();
    void readerRefuses_data();
    void readerRefuses();
    void schemaRecorded();
    void daySummaries_data();
    void daySummaries();
    void migrationBuildsTheWritersSummaries();
    void copiesAlreadyStored_data();
    void copiesAlreadyStored();
    void expiredReportsRemoved_data();
    void expiredReportsRemoved();
    void retentionAsTyped_data();
    void retentionAsTyped();
    void networkFileSystems_data();
    void networkFileSystems();

private:
    QTemporaryDir m_dir;
};

void TestHistoryStore::initTestCase()
{
    // Days of 23 and 25 hours: on Linux the last Sundays of March and
    // October; Windows' C library, whose local time Qt's is there, reads a
    // zone with summer time by the United States' rules.
#ifdef Q_OS_WIN
    testsupport::setLocalTimeZone("CET-1CEST");
#else
    testsupport::setLocalTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
#endif
}

void TestHistoryStore::reportRoundTrip()
{
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.sqlite"));
    testsupport::HistoryFixture store(path);
    // A comment in Latin-1 after the weather: radio text need not be UTF-8.
    const std::string info = "_12071836c220s004g008t077r001p010P005h50b10132 caf\xe9";
    QVERIFY(store.addReports({
        {"IK3WX-13", 1'765'000'000, "WIDE1-1,WIDE2-1", info},
        {"IK2TWO", 1'765'000'010, "", "_12071836c...s...g...t050"},
        {"IK3WX-13", 1'765'000'300, "", "_12071841c230s005g...t078"},
    }));

    history::HistoryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
    const auto reports = reader.reports("IK3WX-13", 0);
    QVERIFY(reports);
    QCOMPARE(reports->size(), std::size_t(2));
    const history::StoredReport &first = reports->front();
    QCOMPARE(first.heardUtc, 1'765'000'000);
    QCOMPARE(first.values.value(Field::Temperature), std::optional<double>(77));
    QCOMPARE(first.values.value(Field::WindDirection), std::optional<double>(220));
    QCOMPARE(first.values.value(Field::Pressure), std::optional<double>(float(1013.2)));
    QCOMPARE(first.values.value(Field::Luminosity), std::nullopt);
    QCOMPARE(reports->back().values.value(Field::WindGust), std::nullopt);
    // Later reports only, for a display that has the rest.
    QCOMPARE(reader.reports("IK3WX-13", 0, first.id)->size(), std::size_t(1));
    QCOMPARE(reader.reports("IK3WX-13", 1'765'000'001)->size(), std::size_t(1));
    QCOMPARE(reader.reports("IK2TWO", 0)->back().values.value(Field::Temperature),
             std::optional<double>(50));
    QVERIFY(reader.reports("ik3wx-13", 0)->empty());

    // What the user's own tools find.
    QSqlQuery query(store.database());
    QVERIFY(query.exec(QStringLiteral("SELECT typeof(info), info, path, typeof(luminosity_wm2)"
                                      " FROM reports WHERE call = 'IK3WX-13' ORDER BY id")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("blob"));
    QCOMPARE(query.value(1).toByteArray(), QByteArray::fromStdString(info));
    QCOMPARE(query.value(2).toString(), QStringLiteral("WIDE1-1,WIDE2-1"));
    QCOMPARE(query.value(3).toString(), QStringLiteral("null"));
    QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM reports WHERE pressure_hpa = 1013.2")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), 1);
}

void TestHistoryStore::readerRefuses_data()
{
    // "<missing>": no file; "<folder>": a folder; "<contacts>": another
    // program's database; "<nothing>": an SQLite file with no schema.
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("version"); // set after the schema; 0: none made
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("keptAsItIs"); // by --keep-history too
    QTest::newRow("missing") << QByteArray("<missing>") << 0 << "no history file" << false;
    QTest::newRow("not a database")
        << QByteArray(4096, 'x') << 0
        << "is not a Quintaro weather history (it is not an SQLite database); name another file "
           "with QUINTARO_HISTORY"
        << true;
    QTest::newRow("empty file") << QByteArray() << 0 << "holds no weather history" << false;
    QTest::newRow("SQLite file with nothing in it")
        << QByteArray("<nothing>") << 0 << "holds no weather history" << false;
    QTest::newRow("a folder") << QByteArray("<folder>") << 0 << "(it is a folder)" << true;
    QTest::newRow("another program's database")
        << QByteArray("<contacts>") << 0 << "(it is another program's SQLite database)" << true;
    QTest::newRow("later version")
        << QByteArray() << history::kSchemaVersion + 1 << "newer Quintaro" << true;
}

void TestHistoryStore::readerRefuses()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, version);
    QFETCH(QString, reason);
    QFETCH(bool, keptAsItIs);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    if (contents == "<folder>") {
        QVERIFY(QDir().mkpath(path));
    } else if (contents == "<contacts>" || contents == "<nothing>") {
        {
            QSqlDatabase db = history::openConnection(QStringLiteral("other"), path, 1000, false);
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE contacts (name TEXT)")));
            if (contents == "<nothing>")
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE contacts")));
        }
        history::closeConnection(QStringLiteral("other"));
    } else if (contents != "<missing>") {
        QVERIFY(testsupport::writeFile(path, contents));
    }
    if (version > 0) {
        testsupport::HistoryFixture store(path);
        QVERIFY(store.execute(QStringLiteral("PRAGMA user_version = %1").arg(version)));
    }
    const QByteArray before = testsupport::readFile(path);
    history::HistoryReader reader;
    QVERIFY(!reader.open(path));
    QVERIFY2(reader.error().contains(reason), qPrintable(reader.error()));
    QVERIFY(!reader.reports("IK3WX", 0));
    // A reader never makes a store.
    QCOMPARE(QFileInfo::exists(path), contents != "<missing>");

    // Nor does --keep-history write into what is not a store of this
    // Quintaro's; a new one it makes.
    QString error;
    QCOMPARE(history::storeRetentionDays(path, 7, &error), !keptAsItIs);
    if (keptAsItIs) {
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(testsupport::readFile(path), before);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
    } else {
        QVERIFY2(reader.open(path), qPrintable(reader.error()));
    }
}

void TestHistoryStore::schemaRecorded()
{
    const QString path = m_dir.filePath(QStringLiteral("schema.sqlite"));
    testsupport::HistoryFixture store(path);
    QSqlQuery version(store.database());
    QVERIFY(version.exec(QStringLiteral("PRAGMA user_version")) && version.next());
    QCOMPARE(version.value(0).toInt(), history::kSchemaVersion);
    // Migrating a current store changes nothing.
    QString error;
    QVERIFY(history::migrate(store.database(), &error));
    QSqlQuery query(store.database());
    QVERIFY(query.exec(QStringLiteral("SELECT value FROM settings WHERE key = 'retention_days'")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), history::kDefaultRetentionDays);
    QVERIFY(!query.next());
}

void TestHistoryStore::daySummaries_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QStringList>("reports"); // reportsAround()
    QTest::addColumn<int>("batches");         // the reports split into as many, the last first
    QTest::addColumn<QString>("summary");     // of `date`; describe()
    const QDate july(2026, 7, 14);
    const QStringList day = {
        "06:00 _07140600c090s002g005t059h80b10100", "13:00 _07141300c220s010g020t075h40b10150",
        "14:00 _07141400c230s006g020t077h40b10120", "15:00 _07141500c240s004g008t077h45b10120"};
    const QString highsAndLows =
        "4 reports, temperature 59.0 at 06:00 to 77.0 at 14:00, dew point 49.0 at 13:00 to 54.0 at "
        "15:00, pressure 1010.0 at 06:00 to 1015.0 at 13:00, gust 20.0 at 13:00 from 220, wind 5.5";
    QTest::newRow("highs and lows, each first reached") << july << day << 1 << highsAndLows;
    QTest::newRow("the same, stored latest first") << july << day << 4 << highsAndLows;
    QTest::newRow("since midnight: its largest value, before any other")
        << july
        << QStringList{"08:00 _07140800c...s...t060r010P005p050", "12:00 _07141200c...s...t060P020",
                       "16:00 _07141600c...s...t060r000P010"}
        << 1
        << "3 reports, temperature 60.0 at 08:00 to 60.0 at 08:00, rain 0.20 from since midnight";
    // 0.10 an hour from 23:00 to 02:00: the report at midnight tells of the
    // day before.
    QTest::newRow("last hour, summed over the day")
        << july
        << QStringList{"00:00x5/30 _07140000c...s...r010", "02:30x4/30 _07140230c...s...r000"} << 1
        << "9 reports, rain 0.20 from last hour";
    QTest::newRow("last hour after a silence: that hour only")
        << july << QStringList{"10:00 _07141000c...s...r020", "14:00 _07141400c...s...r030"} << 1
        << "2 reports, rain 0.50 from last hour";
    QTest::newRow("last hour, a late report rebuilds the day")
        << july
        << QStringList{"00:00x5/30 _07140000c...s...r010", "02:30x4/30 _07140230c...s...r000"} << 3
        << "9 reports, rain 0.20 from last hour";
    QTest::newRow("24 hours, sent near the day's end")
        << july << QStringList{"12:00 _07141200c...s...p050", "23:30 _07142330c...s...p080"} << 1
        << "2 reports, rain 0.80 from 24 hours";
    QTest::newRow("24 hours, sent too early to tell the day")
        << july << QStringList{"12:00 _07141200c...s...p050"} << 1 << "1 reports";
    QTest::newRow("the second before midnight is the day before's")
        << july
        << QStringList{"<23:59 _07132359c...s...t050", "00:00 _07140000c...s...t070",
                       "23:59 _07142359c...s...t071"}
        << 1 << "2 reports, temperature 70.0 at 00:00 to 71.0 at 23:59";
    // The days the local clock changes in 2026, as this platform has them.
    const auto dayLasting = [](int hours) {
        for (QDate d(2026, 1, 1); d.year() == 2026; d = d.addDays(1)) {
            if (d.startOfDay().secsTo(d.addDays(1).startOfDay()) == hours * 3600)
                return d;
        }
        return QDate();
    };
    QTest::newRow("spring forward: a day of 23 hours")
        << dayLasting(23) << QStringList{"00:00x25/60 _03290000c...s...t050r010"} << 1
        << "23 reports, temperature 50.0 at 00:00 to 50.0 at 00:00, rain 2.20 from last hour";
    QTest::newRow("fall back: a day of 25 hours")
        << dayLasting(25) << QStringList{"00:00x26/60 _10250000c...s...t050r010"} << 1
        << "25 reports, temperature 50.0 at 00:00 to 50.0 at 00:00, rain 2.40 from last hour";
}

void TestHistoryStore::daySummaries()
{
    QFETCH(QDate, date);
    QFETCH(QStringList, reports);
    QFETCH(int, batches);
    QFETCH(QString, summary);
    if (!date.isValid())
        QSKIP("the local clock does not change in 2026 on this platform");
    const QString path = m_dir.filePath(QStringLiteral("summary-") + QTest::currentDataTag());
    testsupport::HistoryFixture store(path);
    const std::vector<PendingReport> all = reportsAround(date, reports);
    const std::size_t size = (all.size() + std::size_t(batches) - 1) / std::size_t(batches);
    for (std::size_t end = all.size(); end > 0; end -= std::min(end, size)) {
        const std::size_t begin = end - std::min(end, size);
        QVERIFY(store.addReports(
            {all.begin() + std::ptrdiff_t(begin), all.begin() + std::ptrdiff_t(end)}));
    }
    history::HistoryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
    const auto days = reader.daySummaries("IK3WX");
    QVERIFY(days);
    const auto day = std::find_if(days->begin(), days->end(),
                                  [&](const history::DaySummary &s) { return s.day.date == date; });
    QVERIFY(day != days->end());
    QCOMPARE(describe(*day), summary);
    QCOMPARE(day->day, history::localDayOfDate(date));
    QCOMPARE(QDateTime::fromSecsSinceEpoch(day->day.endUtc).date(), date.addDays(1));
    QCOMPARE(QDateTime::fromSecsSinceEpoch(day->day.endUtc).time(), QTime(0, 0));
}

void TestHistoryStore::migrationBuildsTheWritersSummaries()
{
    // The writer's summaries, made batch by batch, one of them late.
    const QString written = m_dir.filePath(QStringLiteral("written.sqlite"));
    testsupport::HistoryFixture writer(written);
    const QDate first(2026, 10, 23);
    std::vector<PendingReport> reports =
        reportsAround(first, {"00:00x300/20 _10230000c220s004g010t052r002P010p030h70b10130"});
    const auto more = reportsAround(first, {"03:10x400/15 _10230310c180s012g030t041r010h95b09990"});
    for (std::size_t i = 0; i < more.size(); ++i)
        reports.push_back({i % 2 ? "IK3WX-2" : "IK3WX", more[i].heardUtc, "", more[i].info});
    const auto at = [&](std::size_t third) {
        return reports.begin() + std::ptrdiff_t(reports.size() * third / 3);
    };
    QVERIFY(writer.addReports({at(1), at(2)}));
    QVERIFY(writer.addReports({at(0), at(1)}));
    QVERIFY(writer.addReports({at(2), at(3)}));

    // A version-1 store holding the same reports.
    const QString old = m_dir.filePath(QStringLiteral("version1.sqlite"));
    {
        QSqlDatabase db = history::openConnection(QStringLiteral("v1"), old, 1000, false);
        QString error;
        QVERIFY2(history::migrate(db, &error, nullptr, 1), qPrintable(error));
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("ATTACH '%1' AS written").arg(written)));
        QVERIFY(query.exec(QStringLiteral("INSERT INTO reports SELECT * FROM written.reports")));
        QVERIFY(query.exec(QStringLiteral("DETACH written")));
        QVERIFY(query.exec(QStringLiteral("PRAGMA user_version")) && query.next());
        QCOMPARE(query.value(0).toInt(), 1);
    }
    history::closeConnection(QStringLiteral("v1"));
    history::HistoryReader reader;
    QVERIFY2(reader.open(old), qPrintable(reader.error()));
    QCOMPARE(reader.daySummaries("IK3WX")->size(), std::size_t(0));

    testsupport::HistoryFixture migrated(old);
    QSqlQuery version(migrated.database());
    QVERIFY(version.exec(QStringLiteral("PRAGMA user_version")) && version.next());
    QCOMPARE(version.value(0).toInt(), 2);
    const QStringList rows = summaryRows(migrated.database());
    // Five days, one of 25 hours, for each of two stations.
    QCOMPARE(rows.size(), 10);
    QCOMPARE(rows, summaryRows(writer.database()));
    // A display open meanwhile reads them too.
    QCOMPARE(reader.daySummaries("IK3WX-2")->size(), std::size_t(5));
}

void TestHistoryStore::copiesAlreadyStored_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<int>("later"); // seconds after the copy already stored
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<bool>("stored");
    const QByteArray info = "_12071836c220s004g008t077";
    QTest::newRow("same, 10 s later") << QByteArray("IK3WX") << 10 << info << false;
    QTest::newRow("same, 30 s later") << QByteArray("IK3WX") << 30 << info << false;
    QTest::newRow("same, heard first by the other engine")
        << QByteArray("IK3WX") << -20 << info << false;
    QTest::newRow("same, 31 s later") << QByteArray("IK3WX") << 31 << info << true;
    QTest::newRow("another report") << QByteArray("IK3WX") << 10 << info + "h50" << true;
    QTest::newRow("another station") << QByteArray("IK3WX-1") << 10 << info << true;
}

void TestHistoryStore::copiesAlreadyStored()
{
    QFETCH(QByteArray, call);
    QFETCH(int, later);
    QFETCH(QByteArray, info);
    QFETCH(bool, stored);
    {
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        testsupport::HistoryFixture store(path);
        QVERIFY(
            store.addReports({{"IK3WX", 1'765'000'000, "WIDE1-1", "_12071836c220s004g008t077"}}));

        history::RecentReports recent;
        history::WriteOutcome outcome;
        QString error;
        const std::vector<PendingReport> copy = {
            {call.toStdString(), 1'765'000'000 + later, "IR1UFB-10*", info.toStdString()}};
        QVERIFY2(history::insertReports(store.database(), copy, recent, &error, &outcome),
                 qPrintable(error));
        QCOMPARE(outcome.stored, std::size_t(stored));
        QCOMPARE(outcome.skipped, std::size_t(!stored));
        QSqlQuery query(store.database());
        QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM reports")) && query.next());
        QCOMPARE(query.value(0).toInt(), stored ? 2 : 1);
        // The copy heard first keeps its path.
        QVERIFY(query.exec(QStringLiteral("SELECT path FROM reports ORDER BY id")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("WIDE1-1"));
    }
}

void TestHistoryStore::expiredReportsRemoved_data()
{
    QTest::addColumn<QString>("period");  // as kept in the settings table; empty: none
    QTest::addColumn<QList<int>>("ages"); // days before now
    QTest::addColumn<int>("kept");
    QTest::newRow("30 days unless told") << QString() << QList<int>{31, 29, 0} << 2;
    QTest::newRow("a week") << "7" << QList<int>{8, 6, 0} << 2;
    QTest::newRow("a year") << "365" << QList<int>{300, 31} << 2;
    QTest::newRow("nonsense reads as 30") << "forever" << QList<int>{31, 29} << 1;
    QTest::newRow("0 reads as 30") << "0" << QList<int>{31, 1} << 1;
}

void TestHistoryStore::expiredReportsRemoved()
{
    QFETCH(QString, period);
    QFETCH(QList<int>, ages);
    QFETCH(int, kept);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    testsupport::HistoryFixture store(path);
    std::vector<PendingReport> reports;
    for (const int days : ages)
        reports.push_back({"IK3WX", now - days * 86400 - 60, "", "_12071836c220s004g008t077"});
    QVERIFY(store.addReports(reports));
    QVERIFY(store.execute(QStringLiteral("DELETE FROM settings")));
    if (!period.isEmpty()) {
        QVERIFY(store.execute(
            QStringLiteral("INSERT INTO settings VALUES ('retention_days', '%1')").arg(period)));
    }
    QString error;
    QSqlQuery query(store.database());
    const QString days = QStringLiteral("SELECT count(*) FROM daily_summaries");
    QVERIFY(query.exec(days) && query.next());
    const int summaries = query.value(0).toInt();
    QCOMPARE(summaries, int(QSet<int>(ages.begin(), ages.end()).size()));
    QCOMPARE(history::removeExpiredReports(store.database(), now, &error),
             std::int64_t(ages.size() - kept));
    QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM reports")) && query.next());
    QCOMPARE(query.value(0).toInt(), kept);
    // Summaries stay for years.
    QVERIFY(query.exec(days) && query.next());
    QCOMPARE(query.value(0).toInt(), summaries);
}

void TestHistoryStore::retentionAsTyped_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("days"); // 0: refused
    QTest::newRow("a month") << QByteArray("30") << 30;
    QTest::newRow("one day") << QByteArray("1") << 1;
    QTest::newRow("ten years") << QByteArray("3650") << 3650;
    QTest::newRow("more than ten years") << QByteArray("3651") << 0;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("negative") << QByteArray("-5") << 0;
    QTest::newRow("with a unit") << QByteArray("7d") << 0;
    QTest::newRow("nothing") << QByteArray() << 0;
}

void TestHistoryStore::retentionAsTyped()
{
    QFETCH(QByteArray, typed);
    QFETCH(int, days);
    const std::optional<int> parsed = history::parseRetentionDays(typed.toStdString());
    QCOMPARE(parsed.value_or(0), days);
    if (!parsed)
        return;
    // The user's command makes the store when there is none yet.
    const QString path = m_dir.filePath(QStringLiteral("typed/") + QTest::currentDataTag());
    QString error;
    QVERIFY2(history::storeRetentionDays(path, *parsed, &error), qPrintable(error));
    testsupport::HistoryFixture store(path);
    QCOMPARE(history::retentionDays(store.database()), days);
}

#ifdef Q_OS_WIN
// Windows tells a network share by the path's form, or by the drive's type.
void TestHistoryStore::networkFileSystems_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("network");
    QTest::newRow("UNC path") << R"(\\radio-pc\shack\history.sqlite)"
                              << "a network share";
    QTest::newRow("UNC path, forward slashes") << "//radio-pc/shack/history.sqlite"
                                               << "a network share";
    QTest::newRow("the temporary folder") << QDir::tempPath() + "/history.sqlite"
                                          << "";
}

void TestHistoryStore::networkFileSystems()
{
    QFETCH(QString, path);
    QFETCH(QString, network);
    QCOMPARE(history::networkFileSystemOf(path).value_or(QString()), network);
}
#else
void TestHistoryStore::networkFileSystems_data()
{
    QTest::addColumn<qint64>("fsType"); // statfs() f_type, as the kernel gives it
    QTest::addColumn<QString>("network");
    QTest::newRow("NFS") << qint64(0x6969) << "NFS";
    QTest::newRow("CIFS") << qint64(0xff534d42) << "SMB/CIFS";
    QTest::newRow("CIFS as a negative word") << qint64(qint32(0xff534d42)) << "SMB/CIFS";
    QTest::newRow("SMB2") << qint64(0xfe534d42) << "SMB2";
    QTest::newRow("9P") << qint64(0x01021997) << "9P";
    QTest::newRow("Ceph") << qint64(0x00c36400) << "Ceph";
    QTest::newRow("ext4") << qint64(0xef53) << "";
    QTest::newRow("btrfs") << qint64(0x9123683e) << "";
    QTest::newRow("tmpfs") << qint64(0x01021994) << "";
    QTest::newRow("FUSE, often a local disk") << qint64(0x65735546) << "";
}

void TestHistoryStore::networkFileSystems()
{
    QFETCH(qint64, fsType);
    QFETCH(QString, network);
    QCOMPARE(history::networkFileSystemName(static_cast<unsigned long>(fsType)).value_or(QString()),
             network);
}
#endif

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
