// The dew point, wind chill and heat index against cells of NWS's wind
// chill and heat index charts (whole °F, as the charts print them) and at
// the edges of where each is defined; then as shown from decoded reports in
// both unit systems.

#include "DerivedValues.h"
#include "WeatherText.h"

#include <QTest>

using namespace quintaro::weather;

class TestDerivedValues : public QObject
{
    Q_OBJECT

private slots:
    void formulas_data();
    void formulas();
    void shown_data();
    void shown();
};

void TestDerivedValues::formulas_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<double>("temperatureF");
    QTest::addColumn<double>("other");     // mph or %
    QTest::addColumn<QString>("expected"); // °F to as many decimals; empty: none

    const QString wc = QStringLiteral("wind chill");
    QTest::newRow("chart 40 °F, 5 mph") << wc << 40.0 << 5.0 << "36";
    QTest::newRow("chart 0 °F, 15 mph") << wc << 0.0 << 15.0 << "-19";
    QTest::newRow("chart 20 °F, 30 mph") << wc << 20.0 << 30.0 << "1";
    QTest::newRow("chart -10 °F, 25 mph") << wc << -10.0 << 25.0 << "-37";
    QTest::newRow("chart -45 °F, 5 mph") << wc << -45.0 << 5.0 << "-63";
    QTest::newRow("chart 40 °F, 60 mph") << wc << 40.0 << 60.0 << "25";
    QTest::newRow("chart -45 °F, 60 mph") << wc << -45.0 << 60.0 << "-98";
    QTest::newRow("exactly 50 °F") << wc << 50.0 << 10.0 << "46.04";
    QTest::newRow("above 50 °F") << wc << 50.1 << 10.0 << "";
    QTest::newRow("3 mph is calm") << wc << -10.0 << 3.0 << "";
    QTest::newRow("3.1 mph is wind") << wc << 50.0 << 3.1 << "49.59";

    const QString hi = QStringLiteral("heat index");
    QTest::newRow("chart 80 °F, 40 %") << hi << 80.0 << 40.0 << "80";
    QTest::newRow("chart 90 °F, 60 %") << hi << 90.0 << 60.0 << "100";
    QTest::newRow("chart 90 °F, 70 %") << hi << 90.0 << 70.0 << "106";
    QTest::newRow("chart 96 °F, 50 %") << hi << 96.0 << 50.0 << "108";
    QTest::newRow("chart 100 °F, 40 %") << hi << 100.0 << 40.0 << "109";
    QTest::newRow("chart 100 °F, 55 %") << hi << 100.0 << 55.0 << "124";
    QTest::newRow("chart 110 °F, 40 %") << hi << 110.0 << 40.0 << "136";
    QTest::newRow("below 80 °F") << hi << 79.9 << 60.0 << "";
    QTest::newRow("80 °F, average below 80: simple") << hi << 80.0 << 48.0 << "79.96";
    QTest::newRow("80 °F, average 80: regression") << hi << 80.0 << 49.0 << "80.71";
    QTest::newRow("dry: adjusted") << hi << 95.0 << 5.0 << "88.18";
    QTest::newRow("dry: 12.9 % adjusted") << hi << 100.0 << 12.9 << "95.30";
    QTest::newRow("dry: 13 % not") << hi << 100.0 << 13.0 << "95.35";
    QTest::newRow("dry: 113 °F not") << hi << 113.0 << 5.0 << "104.43";
    // Three decimals tell the humidity coefficient 10.14333127 from a
    // miscopied 10.1433127.
    QTest::newRow("humid: adjusted") << hi << 82.0 << 100.0 << "96.039";
    QTest::newRow("humid: 85 % not") << hi << 82.0 << 85.0 << "90.10";
    QTest::newRow("humid: 88 °F not") << hi << 88.0 << 90.0 << "113.247";

    const QString dp = QStringLiteral("dew point");
    QTest::newRow("dew point 25 °C, 50 %") << dp << 77.0 << 50.0 << "56.93";
    QTest::newRow("dew point at 100 %") << dp << 68.0 << 100.0 << "68.00";
    QTest::newRow("dew point at 1 %") << dp << 50.0 << 1.0 << "-47.46";
    QTest::newRow("no dew point at 0 %") << dp << 77.0 << 0.0 << "";
    QTest::newRow("no dew point above 100 %") << dp << 77.0 << 101.0 << "";
}

void TestDerivedValues::formulas()
{
    QFETCH(QString, formula);
    QFETCH(double, temperatureF);
    QFETCH(double, other);
    QFETCH(QString, expected);
    const std::optional<double> value =
        formula == QLatin1String("wind chill")   ? windChillF(temperatureF, other)
        : formula == QLatin1String("heat index") ? heatIndexF(temperatureF, other)
                                                 : dewPointF(temperatureF, other);
    const int decimals =
        expected.contains('.') ? int(expected.size() - expected.indexOf('.') - 1) : 0;
    QCOMPARE(value ? QString::number(*value, 'f', decimals) : QString(), expected);
}

void TestDerivedValues::shown_data()
{
    // Shown as "dew point|feels like (basis)", "" for none.
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QString>("metric");
    QTest::addColumn<QString>("us");
    QTest::newRow("mild") << QByteArray("_10090556c220s004g005t077h50")
                          << "13.9 °C|25.0 °C (air temperature)"
                          << "57 °F|77 °F (air temperature)";
    QTest::newRow("cold and windy")
        << QByteArray("_10090556c220s015g025t000h50") << "-25.7 °C|-28.6 °C (wind chill)"
        << "-14 °F|-19 °F (wind chill)";
    QTest::newRow("cold and calm")
        << QByteArray("_10090556c220s003g025t000h50") << "-25.7 °C|-17.8 °C (air temperature)"
        << "-14 °F|0 °F (air temperature)";
    QTest::newRow("hot and humid")
        << QByteArray("_10090556c220s004g005t090h60") << "23.5 °C|37.6 °C (heat index)"
        << "74 °F|100 °F (heat index)";
    QTest::newRow("saturated") << QByteArray("_10090556c...s...g...t068h00")
                               << "20.0 °C|20.0 °C (air temperature)"
                               << "68 °F|68 °F (air temperature)";
    QTest::newRow("cold, a gust but no wind")
        << QByteArray("_10090556c...s...g025t000h50") << "-25.7 °C|"
        << "-14 °F|";
    QTest::newRow("hot, no humidity") << QByteArray("_10090556c220s004g005t090") << "|"
                                      << "|";
    QTest::newRow("no temperature") << QByteArray("_10090556c220s015g025t...h50") << "|"
                                    << "|";
}

void TestDerivedValues::shown()
{
    QFETCH(QByteArray, info);
    QFETCH(QString, metric);
    QFETCH(QString, us);
    const WeatherReport report =
        decodeWeatherReport(std::string_view(info.constData(), std::size_t(info.size())));
    for (const auto &[units, expected] :
         {std::pair{Units::Metric, metric}, std::pair{Units::US, us}}) {
        QString text;
        if (const auto dew = dewPoint(report))
            text = QString::fromStdString(valueWithUnit(Field::Temperature, *dew, units));
        text += '|';
        if (const auto feels = feelsLike(report))
            text += QString::fromStdString(
                        valueWithUnit(Field::Temperature, feels->temperatureF, units)) +
                    QStringLiteral(" (") + QLatin1String(basisName(feels->basis)) + ')';
        QCOMPARE(text, expected);
    }
}

QTEST_APPLESS_MAIN(TestDerivedValues)
#include "tst_DerivedValues.moc"
