// The weather display's rules, without a window: the pressure's tendency,
// stale and forgotten values, today's extremes, where a graph breaks, the
// time axis, the rain drawn, which recorder is followed, and the words a
// screen reader hears.

#include "DisplayText.h"
#include "LocalZone.h"
#include "RecorderStatus.h"
#include "TimeText.h"
#include "WeatherRules.h"

#include <QTest>

using namespace quintaro;
using namespace quintaro::display;
using weather::Field;
using weather::Units;

namespace {

// 2026-12-07 14:20:00 in Rome (CET, UTC+1).
constexpr std::int64_t kNow = 1796649600;

Sample sample(std::int64_t ago, std::initializer_list<std::pair<Field, double>> values)
{
    Sample s;
    s.heardUtc = kNow - ago;
    for (const auto &[field, value] : values)
        s.values.set(field, value);
    return s;
}

// Reports every `interval` seconds over `count` steps, ending now, each with
// a temperature; those heard inside [gapFrom, gapTo) ago are left out.
std::vector<Sample> regular(std::int64_t interval, int count, std::int64_t gapFrom = 0,
                            std::int64_t gapTo = 0)
{
    std::vector<Sample> samples;
    for (int i = count - 1; i >= 0; --i) {
        const std::int64_t ago = i * interval;
        if (ago < gapFrom || ago >= gapTo)
            samples.push_back(sample(ago, {{Field::Temperature, 50}}));
    }
    return samples;
}

} // namespace

class TestWeatherRules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tendency_data();
    void tendency();
    void latestAndStale();
    void todaysExtremes();
    void gaps_data();
    void gaps();
    void timeAxes_data();
    void timeAxes();
    void rainDrawn();
    void recorders_data();
    void recorders();
    void words_data();
    void words();
};

void TestWeatherRules::initTestCase()
{
    testsupport::setLocalTimeZone("CET-1");
}

void TestWeatherRules::tendency_data()
{
    QTest::addColumn<qint64>("earlierAgo");
    QTest::addColumn<double>("earlier");
    QTest::addColumn<double>("latest");
    QTest::addColumn<int>("tendency");
    const int rising = int(Tendency::Rising), falling = int(Tendency::Falling),
              steady = int(Tendency::Steady), unknown = int(Tendency::Unknown);
    QTest::newRow("rising") << qint64(3 * 3600) << 1010.0 << 1011.2 << rising;
    QTest::newRow("exactly 1 hPa is rising") << qint64(3 * 3600) << 1010.0 << 1011.0 << rising;
    QTest::newRow("falling") << qint64(3 * 3600) << 1012.0 << 1010.5 << falling;
    QTest::newRow("steady") << qint64(3 * 3600) << 1010.0 << 1010.9 << steady;
    QTest::newRow("2 h 40 min before counts") << qint64(160 * 60) << 1010.0 << 1008.0 << falling;
    QTest::newRow("4 h before is too far") << qint64(4 * 3600) << 1010.0 << 1015.0 << unknown;
    QTest::newRow("2 h before is too near") << qint64(2 * 3600) << 1010.0 << 1015.0 << unknown;
}

void TestWeatherRules::tendency()
{
    QFETCH(qint64, earlierAgo);
    QFETCH(double, earlier);
    QFETCH(double, latest);
    QFETCH(int, tendency);
    const std::vector<Sample> samples = {
        sample(earlierAgo, {{Field::Pressure, earlier}}),
        sample(600, {{Field::Pressure, latest}}),
        // The latest report without pressure does not hide the one before.
        sample(0, {{Field::Temperature, 40}}),
    };
    QCOMPARE(int(pressureTendency(samples).tendency), tendency);
}

void TestWeatherRules::latestAndStale()
{
    const std::vector<Sample> samples = {
        sample(25 * 3600, {{Field::Luminosity, 500}}),
        sample(31 * 60, {{Field::Humidity, 80}, {Field::Temperature, 41}}),
        sample(60, {{Field::Temperature, 42}}),
    };
    const auto latest = latestValues(samples, kNow);
    QCOMPARE(latest[std::size_t(Field::Temperature)]->value, 42.0);
    // A value the latest report lacks comes from the one before, and is
    // stale once older than 30 minutes.
    QCOMPARE(latest[std::size_t(Field::Humidity)]->value, 80.0);
    QVERIFY(isStale(latest[std::size_t(Field::Humidity)]->heardUtc, kNow));
    QVERIFY(!isStale(latest[std::size_t(Field::Temperature)]->heardUtc, kNow));
    QVERIFY(!isStale(kNow - 30 * 60, kNow));
    // Not sent for more than a day: no longer shown.
    QVERIFY(!latest[std::size_t(Field::Luminosity)]);
}

void TestWeatherRules::todaysExtremes()
{
    // Local midnight was 14 h 20 min ago.
    const std::vector<Sample> samples = {
        sample(15 * 3600, {{Field::Temperature, 90}, {Field::WindGust, 60}}), // yesterday
        sample(10 * 3600, {{Field::Temperature, 40}, {Field::WindGust, 20}}),
        sample(5 * 3600, {{Field::Temperature, 55}}),
        sample(3 * 3600, {{Field::Temperature, 55}, {Field::WindGust, 25}}),
        sample(60, {{Field::Temperature, 45}}),
    };
    const DayExtremes day = display::todaysExtremes(samples, kNow);
    QCOMPARE(day.highTemperature->value, 55.0);
    QCOMPARE(day.highTemperature->heardUtc, kNow - 5 * 3600); // the first time it was reached
    QCOMPARE(day.lowTemperature->value, 40.0);
    QCOMPARE(day.highGust->value, 25.0);
    QVERIFY(!display::todaysExtremes({}, kNow).highTemperature);
}

void TestWeatherRules::gaps_data()
{
    QTest::addColumn<qint64>("interval");
    QTest::addColumn<qint64>("gapFrom");
    QTest::addColumn<qint64>("gapTo");
    QTest::addColumn<int>("segments");
    QTest::newRow("no gap") << qint64(300) << qint64(0) << qint64(0) << 1;
    QTest::newRow("5 min station silent 40 min")
        << qint64(300) << qint64(3600) << qint64(3600 + 40 * 60) << 2;
    QTest::newRow("one missed report is no gap")
        << qint64(300) << qint64(3600) << qint64(3900) << 1;
    QTest::newRow("never less than 30 min")
        << qint64(60) << qint64(3600) << qint64(3600 + 20 * 60) << 1;
    QTest::newRow("20 min station silent 50 min: under 3 intervals")
        << qint64(1200) << qint64(7200) << qint64(7200 + 40 * 60) << 1;
    QTest::newRow("20 min station silent 80 min")
        << qint64(1200) << qint64(7200) << qint64(7200 + 60 * 60) << 2;
}

void TestWeatherRules::gaps()
{
    QFETCH(qint64, interval);
    QFETCH(qint64, gapFrom);
    QFETCH(qint64, gapTo);
    QFETCH(int, segments);
    const std::vector<Sample> samples = regular(interval, 60, gapFrom, gapTo);
    QCOMPARE(typicalInterval(samples), interval);
    const auto runs =
        fieldSegments(samples, Field::Temperature, 0, silenceBound(samples), Units::Metric);
    QCOMPARE(int(runs.size()), segments);
    std::size_t points = 0;
    for (const Segment &run : runs)
        points += run.size();
    QCOMPARE(points, samples.size());
    QCOMPARE(runs.front().front().value, 10.0); // 50 °F
}

void TestWeatherRules::timeAxes_data()
{
    QTest::addColumn<int>("span");
    QTest::addColumn<bool>("narrow");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("ticks");
    QTest::newRow("6 h, every hour") << int(Span::Hours6) << false << "09:00"
                                     << "15:00" << 7;
    QTest::newRow("24 h, every 6 h") << int(Span::Hours24) << true << "12-06 15:00"
                                     << "12-07 15:00" << 5;
    QTest::newRow("7 days, every day") << int(Span::Days7) << false << "12-01 00:00"
                                       << "12-08 00:00" << 8;
    QTest::newRow("30 days, every 5 days") << int(Span::Days30) << false << "11-08 00:00"
                                           << "12-08 00:00" << 7;
}

void TestWeatherRules::timeAxes()
{
    QFETCH(int, span);
    QFETCH(bool, narrow);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, ticks);
    const TimeAxis axis = timeAxis(Span(span), kNow, narrow);
    const char *format = from.size() > 5 ? "%m-%d %H:%M" : "%H:%M";
    QCOMPARE(QString::fromStdString(formatLocalTime(axis.fromUtc, format)), from);
    QCOMPARE(QString::fromStdString(formatLocalTime(axis.toUtc, format)), to);
    QCOMPARE(axis.ticks, ticks);
}

void TestWeatherRules::rainDrawn()
{
    std::vector<Sample> samples = {
        sample(7200, {{Field::Rain1h, 0.1}}),
        sample(600, {{Field::RainSinceMidnight, 0.3}, {Field::Rain24h, 0.5}}),
    };
    QCOMPARE(rainFieldFor(samples, kNow - 6 * 3600), Field::Rain1h);
    // No hourly rain in the span: the rain since midnight instead.
    QCOMPARE(rainFieldFor(samples, kNow - 3600), Field::RainSinceMidnight);
    QCOMPARE(rainFieldFor({}, kNow - 3600), Field::Rain1h);
}

void TestWeatherRules::recorders_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<qint64>("beatAgo");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<QString>("words");
    QTest::newRow("live") << "127.0.0.1" << qint64(5) << "127.0.0.1" << true
                          << "Recorded live by Quintaro (process 4242) from the engine at "
                             "127.0.0.1.";
    QTest::newRow("30 s is still live") << "wxhost" << qint64(30) << "wxhost" << true << "";
    QTest::newRow("31 s is not") << "wxhost" << qint64(31) << "wxhost" << false
                                 << "No Quintaro records from the engine at wxhost now: last "
                                    "heartbeat 14:19:29.";
    QTest::newRow("case and blanks") << "WxHost" << qint64(5) << " wxhost " << true << "";
    QTest::newRow("loopback spellings") << "localhost" << qint64(5) << "127.0.0.1" << true << "";
    QTest::newRow("no address: any") << "10.1.2.3" << qint64(5) << "" << true << "";
    QTest::newRow("another engine") << "10.1.2.3" << qint64(5) << "127.0.0.1" << false
                                    << "No Quintaro records from the engine at 127.0.0.1 now, "
                                       "nor has one yet. One records from the engine at "
                                       "10.1.2.3.";
}

void TestWeatherRules::recorders()
{
    QFETCH(QString, host);
    QFETCH(qint64, beatAgo);
    QFETCH(QString, address);
    QFETCH(bool, recording);
    QFETCH(QString, words);
    const std::vector<history::RecorderRow> rows = {
        {host, 4242, kNow - 86400, kNow - beatAgo},
        {QStringLiteral("gone"), 17, kNow - 2 * 86400, kNow - 86400},
    };
    const RecorderStatus status = recorderStatus(rows, address, kNow);
    QCOMPARE(status.recording, recording);
    QVERIFY(describeRecorderStatus(status, address, kNow).startsWith(words));
}

void TestWeatherRules::words_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("pressure");
    QTest::addColumn<QString>("wind");
    QTest::newRow("metric") << int(Units::Metric) << "Temperature 25.0 °C, stale"
                            << "1013.2 hPa, rising"
                            << "Wind from SW (220°) at 6.4 km/h, gusts 8.0 km/h";
    QTest::newRow("US") << int(Units::US) << "Temperature 77 °F, stale"
                        << "29.92 inHg, rising"
                        << "Wind from SW (220°) at 4 mph, gusts 5 mph";
}

void TestWeatherRules::words()
{
    QFETCH(int, units);
    QFETCH(QString, temperature);
    QFETCH(QString, pressure);
    QFETCH(QString, wind);
    const Units u = Units(units);
    QCOMPARE(accessibleValue(QStringLiteral("Temperature"), displayValue(Field::Temperature, 77, u),
                             true),
             temperature);
    QCOMPARE(pressureText(1013.2, {Tendency::Rising, 1.5}, u), pressure);
    QCOMPARE(windAccessibleText(220.0, 4.0, 5.0, u), wind);
    QCOMPARE(windAccessibleText(220.0, 0.0, 0.0, u), QStringLiteral("Wind calm"));
    QCOMPARE(compassPoint(349), QStringLiteral("N"));
    QCOMPARE(compassPoint(191), QStringLiteral("S"));
}

QTEST_APPLESS_MAIN(TestWeatherRules)
#include "tst_weatherrules.moc"
