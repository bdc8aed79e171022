#include "WeatherReport.h"

#include <QTest>

#include <string_view>

using namespace quintaro::weather;

Q_DECLARE_METATYPE(quintaro::weather::Field)

namespace {

// A station list keeps one report per station.
static_assert(sizeof(WeatherReport) <= 48);

constexpr const char *kNames[kFieldCount] = {"dir",  "wind", "gust", "temp", "r1h", "r24h",
                                             "rMid", "hum",  "hPa",  "lum",  "snow"};

// The present values in field order, "name=value", five significant digits.
QString describe(const WeatherReport &report)
{
    QStringList parts;
    for (int i = 0; i < kFieldCount; ++i) {
        if (const auto v = report.value(Field(i)))
            parts << QStringLiteral("%1=%2").arg(kNames[i], QString::number(*v, 'g', 5));
    }
    return parts.join(' ');
}

} // namespace

class TestWeatherReport : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void storage();
    void toMetric_data();
    void toMetric();
};

void TestWeatherReport::decode_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QString>("expected");

    const QString full = "dir=220 wind=4 gust=5 temp=77 r1h=0 r24h=0 rMid=0 hum=50 hPa=990";

    // Positionless.
    QTest::newRow("positionless") << QByteArray(
                                         "_10090556c220s004g005t077r000p000P000h50b09900wRSW")
                                  << full;
    QTest::newRow("positionless every field")
        << QByteArray("_01010000c090s010g015t-05r001p020P030h00b10132L850s5.5")
        << QStringLiteral(
               "dir=90 wind=10 gust=15 temp=-5 r1h=0.01 r24h=0.2 rMid=0.3 hum=100 hPa=1013.2 "
               "lum=850 snow=5.5");
    QTest::newRow("luminosity 1000 and above")
        << QByteArray("_01010000c090s010g015t050l010") << "dir=90 wind=10 gust=15 temp=50 lum=1010";
    QTest::newRow("fields in any order, read past a raw rain counter")
        << QByteArray("_01010000c090s010g015t050h45#123s010r002")
        << QStringLiteral("dir=90 wind=10 gust=15 temp=50 r1h=0.02 hum=45 snow=10");
    QTest::newRow("dots are missing")
        << QByteArray("_10090556c...s...g...t...r...p...P...h..b.....") << QString();
    QTest::newRow("blanks are missing")
        << QByteArray("_10090556c220s112g   t   r   h  b     .ABS1.2CDF") << "dir=220 wind=112";
    QTest::newRow("out of range is missing")
        << QByteArray("_10090556c400s350g999t151r000h00b08000") << "r1h=0 hum=100";
    QTest::newRow("top of each range")
        << QByteArray("_10090556c360s300g300t150h99b11000l999")
        << QStringLiteral("dir=360 wind=300 gust=300 temp=150 hum=99 hPa=1100 lum=1999");
    QTest::newRow("humidity 1") << QByteArray("_10090556c...s...g...t...h01") << "hum=1";
    QTest::newRow("field wider than its width ends the report")
        << QByteArray("_10090556c220s004g005t077h100b10132") << "dir=220 wind=4 gust=5 temp=77";
    QTest::newRow("garbled temperature")
        << QByteArray("_10090556c220s004g005t-555r000") << "dir=220 wind=4 gust=5";
    QTest::newRow("unit type letter that is also a key")
        << QByteArray("_10090556c220s004g005t077r000p000P000h50b09900tU2k") << full;
    QTest::newRow("mandatory field missing")
        << QByteArray("_10090556c220/004g005t077") << "dir=220";
    QTest::newRow("cut inside a field") << QByteArray("_10090556c220s00") << "dir=220";
    QTest::newRow("time not digits") << QByteArray("_42204.57N/07401.85W#PHG1010") << QString();

    // Position reports with the weather symbol.
    QTest::newRow("position") << QByteArray(
                                     "!4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW")
                              << full;
    QTest::newRow("position with messaging, ambiguous")
        << QByteArray("=4903.  N/07201.  W_180/010g015t068") << "dir=180 wind=10 gust=15 temp=68";
    QTest::newRow("position with zulu time")
        << QByteArray("@092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900wRSW")
        << full;
    QTest::newRow("position with local time, overlay")
        << QByteArray("/092345/4903.50N107201.75W_220/004g005t-12")
        << "dir=220 wind=4 gust=5 temp=-12";
    QTest::newRow("position with h time, snow")
        << QByteArray("@234517h4903.50N/07201.75W_090/002g003t020s012")
        << QStringLiteral("dir=90 wind=2 gust=3 temp=20 snow=12");
    QTest::newRow("position, wind missing")
        << QByteArray("!4903.50N/07201.75W_.../...g...t068") << "temp=68";
    QTest::newRow("position, wind as c and s")
        << QByteArray("!4903.50N/07201.75W_c220s004g005t077") << "dir=220 wind=4 gust=5 temp=77";
    QTest::newRow("position, wind only")
        << QByteArray("!1241.31NP10118.09E_000/000STOP") << "dir=0 wind=0";
    QTest::newRow("position, not the weather symbol")
        << QByteArray("!4903.50N/07201.75W>220/004g005t077") << QString();
    QTest::newRow("position, bad latitude")
        << QByteArray("!4903.50X/07201.75W_220/004g005t077") << QString();
    QTest::newRow("position, longitude a digit too long")
        << QByteArray("@181920z4249.63N/106200.12W_246/003g003t088") << QString();
    QTest::newRow("position, bad time")
        << QByteArray("@09234xz4903.50N/07201.75W_220/004g005") << QString();
    QTest::newRow("position, cut short") << QByteArray("!4903.50N/07201.75W_22") << QString();

    // Compressed: "7" = 88 degrees, "P" = 1.08^47 - 1 = 36.23 knots = 41.70 mph.
    QTest::newRow("compressed")
        << QByteArray("=/5L!!<*e7_7P[g005t077r000p000P000h50b09900wRSW")
        << QStringLiteral("dir=88 wind=41.695 gust=5 temp=77 r1h=0 r24h=0 rMid=0 hum=50 hPa=990");
    QTest::newRow("compressed with time")
        << QByteArray("@092345z/5L!!<*e7_!![g005t077") << "dir=0 wind=0 gust=5 temp=77";
    QTest::newRow("compressed, no course/speed")
        << QByteArray("!/5L!!<*e7_  [g005t077") << "gust=5 temp=77";
    QTest::newRow("compressed, altitude instead of wind")
        << QByteArray("!/5L!!<*e7_7P1g005") << "gust=5";
    QTest::newRow("compressed, radio range instead of wind")
        << QByteArray("!/5L!!<*e7_{?!g005") << "gust=5";
    QTest::newRow("compressed, bad table") << QByteArray("!>5L!!<*e7_7P[g005") << QString();
    QTest::newRow("compressed, not the weather symbol")
        << QByteArray("!/5L!!<*e7>7P[g005") << QString();

    // Objects and items.
    QTest::newRow("object")
        << QByteArray(";WXOBJ    *092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900")
        << full;
    QTest::newRow("killed object")
        << QByteArray(";EPGD     _181830z5422.00N/01828.00E_150/010g...t075h64")
        << "dir=150 wind=10 temp=75 hum=64";
    QTest::newRow("compressed object") << QByteArray(";WXOBJ    *092345z/5L!!<*e7_7P[g005t077")
                                       << "dir=88 wind=41.695 gust=5 temp=77";
    QTest::newRow("object, bad live flag")
        << QByteArray(";WXOBJ    #092345z4903.50N/07201.75W_220/004g005") << QString();
    QTest::newRow("item") << QByteArray(")AIDWX!4903.50N/07201.75W_220/004g005t077")
                          << "dir=220 wind=4 gust=5 temp=77";
    QTest::newRow("killed item, compressed")
        << QByteArray(")WX1_/5L!!<*e7_7P[t-20") << "dir=88 wind=41.695 temp=-20";
    QTest::newRow("item name too long")
        << QByteArray(")ABCDEFGHIJ!4903.50N/07201.75W_220/004") << QString();

    // Not weather reports at all.
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("data type only") << QByteArray("_") << QString();
    QTest::newRow("object cut short") << QByteArray(";SHORT") << QString();
    QTest::newRow("message") << QByteArray(":WXOBJ    :t077") << QString();
    QTest::newRow("binary") << QByteArray("_\xff\x00\x80\x01\x02\x03\x04\x05\x06", 10) << QString();
}

void TestWeatherReport::decode()
{
    QFETCH(QByteArray, info);
    QFETCH(QString, expected);
    const WeatherReport report =
        decodeWeatherReport(std::string_view(info.constData(), std::size_t(info.size())));
    QCOMPARE(describe(report), expected);
    QCOMPARE(report.isEmpty(), expected.isEmpty());
}

void TestWeatherReport::storage()
{
    WeatherReport report;
    QVERIFY(report.isEmpty());
    report.set(Field::Temperature, -5);
    QCOMPARE(report.value(Field::Temperature), std::optional<double>(-5));
    QVERIFY(!report.value(Field::Pressure));
    QVERIFY(!report.isEmpty());
    report.set(Field::Temperature, NAN);
    QVERIFY(report.isEmpty());
}

void TestWeatherReport::toMetric_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("metric");
    QTest::newRow("freezing") << Field::Temperature << 32.0 << 0.0;
    QTest::newRow("boiling") << Field::Temperature << 212.0 << 100.0;
    QTest::newRow("minus forty") << Field::Temperature << -40.0 << -40.0;
    QTest::newRow("wind") << Field::WindSpeed << 10.0 << 16.09344;
    QTest::newRow("gust") << Field::WindGust << 100.0 << 160.9344;
    QTest::newRow("rain") << Field::Rain1h << 0.01 << 0.254;
    QTest::newRow("rain 24 h") << Field::Rain24h << 1.0 << 25.4;
    QTest::newRow("rain since midnight") << Field::RainSinceMidnight << 2.0 << 50.8;
    QTest::newRow("snow") << Field::Snow24h << 5.5 << 139.7;
    QTest::newRow("pressure stays") << Field::Pressure << 1013.2 << 1013.2;
    QTest::newRow("humidity stays") << Field::Humidity << 50.0 << 50.0;
    QTest::newRow("direction stays") << Field::WindDirection << 220.0 << 220.0;
    QTest::newRow("luminosity stays") << Field::Luminosity << 1010.0 << 1010.0;
}

void TestWeatherReport::toMetric()
{
    QFETCH(Field, field);
    QFETCH(double, value);
    QFETCH(double, metric);
    QVERIFY2(qAbs(quintaro::weather::toMetric(field, value) - metric) < 1e-9,
             qPrintable(QString::number(quintaro::weather::toMetric(field, value), 'g', 12)));
}

QTEST_APPLESS_MAIN(TestWeatherReport)
#include "tst_WeatherReport.moc"
