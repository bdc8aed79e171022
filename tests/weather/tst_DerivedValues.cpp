// The dew point, wind chill and heat index against cells of NWS's charts
// (whole °F, as printed), at the edges of where each is defined, and in °C,
// where a °F/°C or a %/fraction mix-up shows.

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
};

void TestDerivedValues::formulas_data()
{
    QTest::addColumn<char>("formula"); // wind chill, heat index, dew point
    QTest::addColumn<double>("temperatureF");
    QTest::addColumn<double>("other");     // mph or %
    QTest::addColumn<QString>("expected"); // °F to as many decimals, or shown in °C; empty: none
    const auto row = [](const char *tag, char formula, double t, double other, const char *f) {
        QTest::newRow(tag) << formula << t << other << QString::fromUtf8(f);
    };
    row("chart 40 °F, 5 mph", 'w', 40, 5, "36");
    row("chart 0 °F, 15 mph", 'w', 0, 15, "-19");
    row("chart -45 °F, 60 mph", 'w', -45, 60, "-98");
    row("exactly 50 °F", 'w', 50, 10, "46.04");
    row("above 50 °F", 'w', 50.1, 10, "");
    row("3 mph is calm", 'w', -10, 3, "");
    row("3.1 mph is wind", 'w', 50, 3.1, "49.59");

    row("chart 80 °F, 40 %", 'h', 80, 40, "80");
    row("chart 90 °F, 60 %", 'h', 90, 60, "100");
    row("chart 110 °F, 40 %", 'h', 110, 40, "136");
    row("below 80 °F", 'h', 79.9, 60, "");
    row("80 °F, average below 80: simple", 'h', 80, 48, "79.96");
    row("80 °F, average 80: regression", 'h', 80, 49, "80.71");
    row("dry: adjusted", 'h', 95, 5, "88.18");
    row("dry: 13 % not", 'h', 100, 13, "95.35");
    row("dry: 113 °F not", 'h', 113, 5, "104.43");
    // Three decimals tell the coefficient 10.14333127 from a miscopied
    // 10.1433127.
    row("humid: adjusted", 'h', 82, 100, "96.039");
    row("humid: 88 °F not", 'h', 88, 90, "113.247");

    row("dew point 25 °C, 50 %", 'd', 77, 50, "56.93");
    row("dew point at 100 %", 'd', 68, 100, "68.00");
    row("no dew point at 0 %", 'd', 77, 0, "");
    row("dew point in °C", 'd', 77, 50, "13.9 °C");
    row("heat index in °C", 'h', 90, 60, "37.6 °C");
    row("wind chill in °C", 'w', 0, 15, "-28.6 °C");
}

void TestDerivedValues::formulas()
{
    QFETCH(char, formula);
    QFETCH(double, temperatureF);
    QFETCH(double, other);
    QFETCH(QString, expected);
    const std::optional<double> value = formula == 'w'   ? windChillF(temperatureF, other)
                                        : formula == 'h' ? heatIndexF(temperatureF, other)
                                                         : dewPointF(temperatureF, other);
    const qsizetype point = expected.indexOf('.');
    const int decimals = point < 0 ? 0 : int(expected.size() - point - 1);
    const QString text =
        !value ? QString()
        : expected.endsWith("C")
            ? QString::fromStdString(valueWithUnit(Field::Temperature, *value, Units::Metric))
            : QString::number(*value, 'f', decimals);
    QCOMPARE(text, expected);
}

QTEST_APPLESS_MAIN(TestDerivedValues)
#include "tst_DerivedValues.moc"
