// The weather display's rules, without a window: the pressure's tendency,
// stale and forgotten values, today's extremes, where a graph breaks, the
// time axis, the rain drawn, the wind rose, which recorder is followed, the
// words a screen reader hears, and the history and its days as CSV.

#include "DisplayText.h"
#include "HistoryCsv.h"
#include "LocalZone.h"
#include "ProgramPath.h"
#include "RecorderStatus.h"
#include "TimeText.h"
#include "WeatherRules.h"
#include "WindRose.h"

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
    void windRose_data();
    void windRose();
    void recorders_data();
    void recorders();
    void words_data();
    void words();
    void historyCsv_data();
    void historyCsv();
    void programPathWords_data();
    void programPathWords();
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

void TestWeatherRules::windRose_data()
{
    // Reports "direction@mph" a minute apart, "-" for a value not sent, a
    // trailing "!" for one heard before the last 24 hours.
    QTest::addColumn<QString>("reports");
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("cells"); // "sector/band×count ...; calm of total"
    QTest::addColumn<QString>("description");
    const int us = int(Units::US);
    const int metric = int(Units::Metric);
    QTest::newRow("348.75° is N") << "348.75@5" << us << "N/1×1; calm 0 of 1"
                                  << "mostly from N (100 %), calm 0 %";
    QTest::newRow("just below 348.75° is NNW") << "348.74@5" << us << "NNW/1×1; calm 0 of 1"
                                               << "mostly from NNW (100 %), calm 0 %";
    QTest::newRow("11.25° is NNE") << "11.25@5" << us << "NNE/1×1; calm 0 of 1"
                                   << "mostly from NNE (100 %), calm 0 %";
    QTest::newRow("360° is 0°") << "360@5 0@5" << us << "N/1×2; calm 0 of 2"
                                << "mostly from N (100 %), calm 0 %";
    const char *edges = "90@3 90@4 90@12 90@13 90@24 90@25 90@38 90@39";
    QTest::newRow("mph band edges") << edges << us << "E/0×1 E/1×2 E/2×2 E/3×2 E/4×1; calm 0 of 8"
                                    << "mostly from E (100 %), calm 0 %";
    // Whole mph fall in the same forces when shown in km/h.
    QTest::newRow("km/h band edges")
        << edges << metric << "E/0×1 E/1×2 E/2×2 E/3×2 E/4×1; calm 0 of 8"
        << "mostly from E (100 %), calm 0 %";
    QTest::newRow("calm, with or without a direction")
        << "220@0 -@0 220@4 220@4 45@4 45@4 45@4 270@13" << metric
        << "NE/1×3 SW/1×2 W/2×1; calm 2 of 8"
        << "mostly from NE (38 %), calm 25 %";
    QTest::newRow("a tie goes to the first from N")
        << "270@5 90@5" << us << "E/1×1 W/1×1; calm 0 of 2"
        << "mostly from E (50 %), calm 0 %";
    QTest::newRow("always calm") << "-@0 0@0" << us << "; calm 2 of 2"
                                 << "calm 100 %";
    QTest::newRow("no wind reports") << "" << us << "; calm 0 of 0"
                                     << "no wind reported";
    QTest::newRow("wind without a direction, a direction without wind")
        << "-@8 90@-" << us << "; calm 0 of 0"
        << "no wind reported";
    QTest::newRow("before the span") << "90@8! 90@0! 200@8" << us << "SSW/1×1; calm 0 of 1"
                                     << "mostly from SSW (100 %), calm 0 %";
}

void TestWeatherRules::windRose()
{
    QFETCH(QString, reports);
    QFETCH(int, units);
    QFETCH(QString, cells);
    QFETCH(QString, description);
    std::vector<Sample> samples;
    const QStringList words = reports.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < words.size(); ++i) {
        QString word = words[i];
        const bool old = word.endsWith(QLatin1Char('!'));
        word.remove(QLatin1Char('!'));
        Sample s = sample(old ? 25 * 3600 : 60 * (words.size() - i), {});
        const QStringList halves = word.split(QLatin1Char('@'));
        if (halves[0] != QLatin1String("-"))
            s.values.set(Field::WindDirection, halves[0].toDouble());
        if (halves[1] != QLatin1String("-"))
            s.values.set(Field::WindSpeed, halves[1].toDouble());
        samples.push_back(s);
    }
    std::stable_sort(samples.begin(), samples.end(),
                     [](const Sample &a, const Sample &b) { return a.heardUtc < b.heardUtc; });
    const WindRose rose = display::windRose(samples, kNow - 24 * 3600, Units(units));
    QStringList told;
    for (int sector = 0; sector < kRoseSectors; ++sector) {
        for (int band = 0; band < kRoseBands; ++band) {
            if (const int count = rose.counts[std::size_t(sector)][std::size_t(band)])
                told << QStringLiteral("%1/%2×%3").arg(sectorName(sector)).arg(band).arg(count);
        }
    }
    QCOMPARE(told.join(QLatin1Char(' ')) +
                 QStringLiteral("; calm %1 of %2").arg(rose.calm).arg(rose.total),
             cells);
    QCOMPARE(windRoseDescription(rose, Span::Hours24),
             QStringLiteral("Wind rose, last 24 hours: ") + description);
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
    QCOMPARE(roseBandName(0, u),
             units == int(Units::US) ? QStringLiteral("1–3 mph") : QStringLiteral("1–5 km/h"));
    QCOMPARE(roseBandName(kRoseBands - 1, u),
             units == int(Units::US) ? QStringLiteral("≥ 39 mph") : QStringLiteral("≥ 62 km/h"));
}

void TestWeatherRules::historyCsv_data()
{
    QTest::addColumn<QByteArray>("info"); // heard a minute ago
    QTest::addColumn<int>("units");
    QTest::addColumn<bool>("daily");  // its day's summary, not the report
    QTest::addColumn<QString>("row"); // after the time, or the date; @ is the time
    const int metric = int(Units::Metric);
    const int us = int(Units::US);
    const QByteArray mild("_12071320c220s004g005t077r001p010P005h50b10132");
    QTest::newRow("metric") << mild << metric << false
                            << "25.0,220,6.4,8.0,50,1013.2,0.3,2.5,1.3,,,13.9,25.0";
    QTest::newRow("US") << mild << us << false << "77,220,4,5,50,29.92,0.01,0.10,0.05,,,57,77";
    QTest::newRow("frost, wind chill, luminosity and snow")
        << QByteArray("_12071320c000s020g030t014L500s012") << metric << false
        << "-10.0,0,32.2,48.3,,,,,,500,305,,-19.8";
    QTest::newRow("what is not sent is empty")
        << QByteArray("_12071320c...s...g...t077") << metric << false << "25.0,,,,,,,,,,,,25.0";
    QTest::newRow("a day, its rain since midnight")
        << mild << metric << true
        << "1,25.0,@,25.0,@,13.9,@,13.9,@,50,@,50,@,1013.2,@,1013.2,@,8.0,@,220,6.4,1.3,"
           "since-midnight";
    // The last hour's 0.10 in counts whole: the report comes hours after midnight.
    QTest::newRow("a day in US units, its rain from the last hour")
        << QByteArray("_12071320c220s004g005t077r010h50b10132") << us << true
        << "1,77,@,77,@,57,@,57,@,50,@,50,@,29.92,@,29.92,@,5,@,220,4,0.10,last-hour";
    QTest::newRow("a day of neither wind nor rain")
        << QByteArray("_12071320c...s...g...t077") << metric << true
        << "1,25.0,@,25.0,@,,,,,,,,,,,,,,,,,,";
}

void TestWeatherRules::historyCsv()
{
    QFETCH(QByteArray, info);
    QFETCH(int, units);
    QFETCH(bool, daily);
    QFETCH(QString, row);
    const Sample report{kNow - 60, weather::decodeWeatherReport(info.toStdString())};
    const bool inUs = units == int(Units::US);
    const QString time = QStringLiteral("2026-12-07T14:19:00+01:00");
    if (daily) {
        history::DaySummary day;
        day.day = history::localDayOf(report.heardUtc);
        day.add(report.heardUtc, report.values);
        const std::vector<history::DaySummary> days{day};
        const QString csv = QString::fromStdString(display::dailyCsv(days, Units(units)));
        // The display's tests read the metric titles back.
        if (inUs)
            QCOMPARE(csv.section(QStringLiteral("\r\n"), 0, 0),
                     QStringLiteral("Date,Reports,Highest temperature (°F),Highest temperature "
                                    "at,Lowest temperature (°F),Lowest temperature at,Highest dew "
                                    "point (°F),Highest dew point at,Lowest dew point (°F),Lowest "
                                    "dew point at,Highest humidity (%),Highest humidity at,Lowest "
                                    "humidity (%),Lowest humidity at,Highest pressure "
                                    "(inHg),Highest pressure at,Lowest pressure (inHg),Lowest "
                                    "pressure at,Strongest gust (mph),Strongest gust at,Strongest "
                                    "gust from (°),Mean wind (mph),Rain (in),Rain found from"));
        QCOMPARE(csv.section(QStringLiteral("\r\n"), 1),
                 QStringLiteral("2026-12-07,") + QString(row).replace(QLatin1Char('@'), time) +
                     QStringLiteral("\r\n"));
        return;
    }
    const QString header =
        inUs
            ? QStringLiteral("Time,Temperature (°F),Wind direction (°),Wind speed (mph),Wind gust "
                             "(mph),Humidity (%),Pressure (inHg),Rain 1 h (in),Rain 24 h (in),Rain "
                             "since midnight (in),Luminosity (W/m²),Snow 24 h (in),Dew point "
                             "(°F),Feels like (°F)")
            : QStringLiteral("Time,Temperature (°C),Wind direction (°),Wind speed (km/h),Wind gust "
                             "(km/h),Humidity (%),Pressure (hPa),Rain 1 h (mm),Rain 24 h (mm),Rain "
                             "since midnight (mm),Luminosity (W/m²),Snow 24 h (mm),Dew point "
                             "(°C),Feels like (°C)");
    const std::vector<Sample> samples{report};
    QCOMPARE(QString::fromStdString(display::historyCsv(samples, Units(units))),
             header + QStringLiteral("\r\n") + time + QLatin1Char(',') + row +
                 QStringLiteral("\r\n"));
}

void TestWeatherRules::programPathWords_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("program"); // what names this program
    QTest::addColumn<int>("words");
    const QString installed = QStringLiteral(
        "C:\\Users\\John Smith\\AppData\\Local\\Programs\\Quintaro\\quintaro-weather.exe");
    QTest::newRow("a path without blanks") << "C:\\Quintaro\\quintaro-weather.exe IK1WX 127.0.0.1"
                                           << "C:\\Quintaro\\quintaro-weather.exe" << 1;
    QTest::newRow("a blank in the user's folder")
        << installed + QStringLiteral(" IK1WX 127.0.0.1") << installed << 2;
    QTest::newRow("a run of blanks is one") << "C:\\Program Files\\My  Radio\\qw.exe X"
                                            << "C:\\Program Files\\My  Radio\\qw.exe" << 3;
    QTest::newRow("the program's own name without .exe") << "C:\\My Tools\\qw IK1WX"
                                                         << "C:\\My Tools\\qw" << 2;
    QTest::newRow("quoted: the runtime reads it right")
        << QLatin1Char('"') + installed + QStringLiteral("\" IK1WX") << installed << 1;
    QTest::newRow("found by name") << "quintaro-weather IK1WX"
                                   << "quintaro-weather" << 1;
    QTest::newRow("not this program: as the runtime split it") << "C:\\Other Place\\qw.exe X"
                                                               << "C:\\Quintaro\\qw.exe" << 1;
}

void TestWeatherRules::programPathWords()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, program);
    QFETCH(int, words);
    const std::wstring self = program.toStdWString();
    QCOMPARE(display::programPathWords(commandLine.toStdWString(),
                                       [&](std::wstring_view prefix) { return prefix == self; }),
             words);
}

QTEST_APPLESS_MAIN(TestWeatherRules)
#include "tst_weatherrules.moc"
