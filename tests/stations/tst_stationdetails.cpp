// What the list keeps of each station heard, and how it is shown: the
// details follow the list's entries, the summary a tooltip shows, the
// table's cells in both units, and the CSV export's bytes.

#include "LocalZone.h"
#include "StationList.h"
#include "StationTable.h"

#include <QTest>

using namespace quintaro::stations;

namespace {

const std::string kFull = "_10090556c220s004g005t077r001p010P005h50b09900";
const std::string kPosition = "!4530.12N/00912.34E_180/010g015t032h00b10132";
// 2026-12-07 13:03:12 UTC.
constexpr std::int64_t kNoon = 1796648592;

QString text(const std::string &s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

class TestStationDetails : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void detailsFollowTheList();
    void digipeatedCopies_data();
    void digipeatedCopies();
    void summary();
    void cells_data();
    void cells();
    void csv();
};

void TestStationDetails::initTestCase()
{
    // Local times as in Rome in winter: one hour ahead of UTC.
    testsupport::setLocalTimeZone("CET-1");
}

void TestStationDetails::detailsFollowTheList()
{
    StationList list;
    QCOMPARE(list.recordReport("IK1AAA", kFull, kNoon).row, -1); // not listed: nothing kept
    list.add("IK1AAA");
    QVERIFY(!list.details(0)); // listed, not heard yet
    QCOMPARE(list.recordReport("IK1AAA", kFull, kNoon).row, 0);
    QCOMPARE(list.recordReport("IK1AAA", "_10090556c...s...g...t...", kNoon + 60).row, 0);
    const StationDetails *d = list.details(0);
    QVERIFY(d);
    QCOMPARE(d->firstHeard, kNoon);
    QCOMPARE(d->lastHeard, kNoon + 60);
    QCOMPARE(d->reports, 2u);
    // A report with nothing readable counts as heard; the details show what
    // the last report said: nothing.
    QVERIFY(d->weather().isEmpty());
    list.recordReport("IK1AAA", kFull, kNoon + 120);
    QCOMPARE(d->weather().value(quintaro::weather::Field::Temperature), std::optional<double>(77));

    list.add("IK2BBB");
    list.add("IK3CCC");
    list.recordReport("IK3CCC", kPosition, kNoon);
    list.remove(0);
    // Rows moved up; the removed station's details went with it.
    QCOMPARE(list.recordReport("IK3CCC", kPosition, kNoon + 31).row, 1);
    QCOMPARE(list.details(1)->reports, 2u);
    list.add("IK1AAA");
    QVERIFY(!list.details(2));

    // A loaded list: no details until heard, one station's details shared by
    // its entries.
    list.replace({"IK3CCC", "IK9ZZZ", "IK3CCC"}, "a.txt");
    QVERIFY(!list.details(0));
    QCOMPARE(list.recordReport("IK3CCC", kPosition, kNoon).row, 0);
    QCOMPARE(list.details(2), list.details(0));
    QCOMPARE(list.otherRowsOfCall(0), std::vector<int>{2});
    list.remove(0);
    QCOMPARE(list.recordReport("IK3CCC", kPosition, kNoon + 60).row, 1);
    QCOMPARE(list.details(1)->reports, 2u);
    list.clear();
    list.add("IK3CCC");
    QVERIFY(!list.details(0));
}

void TestStationDetails::digipeatedCopies_data()
{
    // Reports as "CALL FIELD SECONDS": the station, one of two information
    // fields (a, b), and when, from noon.
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QString>("counted"); // per report: 1 counted, 0 a copy
    QTest::addColumn<int>("reportsOfA");

    using S = QStringList;
    QTest::newRow("a digipeater's copy") << S{"A a 0", "A a 2"} << "10" << 1;
    QTest::newRow("two digipeaters' copies") << S{"A a 0", "A a 1", "A a 3"} << "100" << 1;
    QTest::newRow("30 s on: still a copy; then the next report")
        << S{"A a 0", "A a 30", "A a 31"} << "101" << 2;
    QTest::newRow("another report in between")
        << S{"A a 0", "A b 5", "A a 10", "A b 12"} << "1100" << 2;
    QTest::newRow("another station's same field") << S{"A a 0", "B a 1"} << "11" << 1;
    QTest::newRow("the clock set back") << S{"A a 100", "A a 80", "A a 60"} << "101" << 2;
}

void TestStationDetails::digipeatedCopies()
{
    QFETCH(QStringList, reports);
    QFETCH(QString, counted);
    QFETCH(int, reportsOfA);

    StationList list;
    list.add("A");
    list.add("B");
    QString seen;
    for (const QString &report : reports) {
        const QStringList part = report.split(QLatin1Char(' '));
        const std::string field = part[1] == QLatin1String("a") ? kFull : kPosition;
        const StationList::ReportHeard heard =
            list.recordReport(part[0].toStdString(), field, kNoon + part[2].toInt());
        QCOMPARE(heard.row, part[0] == QLatin1String("A") ? 0 : 1);
        seen += heard.repeat ? QLatin1Char('0') : QLatin1Char('1');
    }
    QCOMPARE(seen, counted);
    QCOMPARE(int(list.details(0)->reports), reportsOfA);
}

void TestStationDetails::summary()
{
    StationList list;
    list.add("IK1AAA");
    QCOMPARE(text(stationSummary(list.details(0), kNoon, Units::Metric)),
             QStringLiteral("Not heard since it was listed"));
    list.recordReport("IK1AAA", kFull, kNoon - 180);
    QCOMPARE(text(stationSummary(list.details(0), kNoon, Units::Metric)),
             QStringLiteral("Last heard 14:00:12 (3 min ago)\n"
                            "Weather reports heard: 1\n"
                            "Temperature 25.0 °C\n"
                            "Dew point 13.9 °C\n"
                            "Feels like 25.0 °C (air temperature)\n"
                            "Wind 220°, 6.4 km/h, gusts 8.0 km/h\n"
                            "Humidity 50 %\n"
                            "Pressure 990.0 hPa\n"
                            "Rain 0.3 mm in the last hour, 2.5 mm in 24 hours, 1.3 mm since "
                            "midnight"));
    QCOMPARE(text(stationSummary(list.details(0), kNoon + 86400, Units::US)),
             QStringLiteral("Last heard 2026-12-07 14:00:12 (1 day ago)\n"
                            "Weather reports heard: 1\n"
                            "Temperature 77 °F\n"
                            "Dew point 57 °F\n"
                            "Feels like 77 °F (air temperature)\n"
                            "Wind 220°, 4 mph, gusts 5 mph\n"
                            "Humidity 50 %\n"
                            "Pressure 29.23 inHg\n"
                            "Rain 0.01 in in the last hour, 0.10 in in 24 hours, 0.05 in since "
                            "midnight"));
    list.add("IK2BBB");
    list.recordReport("IK2BBB", "_10090556c...s...g...t...", kNoon);
    QVERIFY(text(stationSummary(list.details(1), kNoon, Units::Metric))
                .endsWith(QStringLiteral("\nNo readable weather values")));
}

void TestStationDetails::cells_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("metric");
    QTest::addColumn<QString>("us");
    QTest::newRow("call") << int(Column::Call) << "Call"
                          << "IK1AAA"
                          << "IK1AAA";
    QTest::newRow("last heard") << int(Column::LastHeard) << "Last heard"
                                << "2026-12-07 14:03:12"
                                << "2026-12-07 14:03:12";
    QTest::newRow("reports") << int(Column::Reports) << "Reports"
                             << "1"
                             << "1";
    QTest::newRow("temperature") << int(Column::Temperature) << "Temperature (°C)"
                                 << "0.0"
                                 << "32";
    QTest::newRow("direction") << int(Column::WindDirection) << "Wind direction (°)"
                               << "180"
                               << "180";
    QTest::newRow("speed") << int(Column::WindSpeed) << "Wind speed (km/h)"
                           << "16.1"
                           << "10";
    QTest::newRow("gust") << int(Column::WindGust) << "Wind gust (km/h)"
                          << "24.1"
                          << "15";
    QTest::newRow("humidity: h00 is 100") << int(Column::Humidity) << "Humidity (%)"
                                          << "100"
                                          << "100";
    QTest::newRow("pressure") << int(Column::Pressure) << "Pressure (hPa)"
                              << "1013.2"
                              << "29.92";
    QTest::newRow("rain not reported") << int(Column::Rain1h) << "Rain 1 h (mm)"
                                       << ""
                                       << "";
    QTest::newRow("dew point of saturated air") << int(Column::DewPoint) << "Dew point (°C)"
                                                << "0.0"
                                                << "32";
    QTest::newRow("feels like: wind chill") << int(Column::FeelsLike) << "Feels like (°C)"
                                            << "-4.6"
                                            << "24";
}

void TestStationDetails::cells()
{
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(QString, metric);
    QFETCH(QString, us);
    StationList list;
    list.add("IK1AAA");
    list.recordReport("IK1AAA", kPosition, kNoon);
    QCOMPARE(text(columnTitle(Column(column), Units::Metric)), title);
    QCOMPARE(text(cellText(list, 0, Column(column), Units::Metric)), metric);
    QCOMPARE(text(cellText(list, 0, Column(column), Units::US)), us);
}

void TestStationDetails::csv()
{
    StationList list;
    for (const char *call : {"IK1AAA", "A,\"B\"", "=1+2", "IK\xC4X"})
        list.add(call);
    list.recordReport("IK1AAA", kPosition, kNoon);
    // Cold air with a gust but no wind: no telling what it feels like.
    list.recordReport("A,\"B\"", "_10090556c...s...g025t-05", kNoon);
    const std::string csv = writeStationTableCsv(list, {1, 0, 2, 3}, Units::Metric);
    QCOMPARE(
        QByteArray::fromStdString(csv),
        QByteArray("Call,Last heard,Reports,Temperature (\xC2\xB0"
                   "C),Wind direction "
                   "(\xC2\xB0),Wind speed (km/h),Wind gust (km/h),Humidity (%),Pressure "
                   "(hPa),Rain 1 h (mm),Rain 24 h (mm),Dew point (\xC2\xB0"
                   "C),Feels like (\xC2\xB0"
                   "C)\r\n"
                   "\"A,\"\"B\"\"\",2026-12-07T14:03:12+01:00,1,-20.6,,,40.2,,,,,,\r\n"
                   "IK1AAA,2026-12-07T14:03:12+01:00,1,0.0,180,16.1,24.1,100,1013.2,,,0.0,-4.6\r\n"
                   "'=1+2,,,,,,,,,,,,\r\n"
                   "IK\xC3\x84X,,,,,,,,,,,,\r\n"));
}

QTEST_APPLESS_MAIN(TestStationDetails)
#include "tst_stationdetails.moc"
