// The weather display's window on prepared stores, read back through the
// names a screen reader hears: its values in both units, spans and gaps,
// stale values, live reports, which recorder it follows, damaged and missing
// stores, the dark palette; and the program's command line.

#include "HistoryFixture.h"
#include "LocalZone.h"
#include "ProcessRun.h"
#include "QuintaroVersion.h"
#include "StationFeed.h"
#include "StoreFiles.h"
#include "TestPaths.h"
#include "WeatherChart.h"
#include "WeatherWindow.h"

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace quintaro;
using display::WeatherWindow;

namespace {

// 2026-12-07 14:20:00 in Rome (CET, UTC+1).
constexpr qint64 kNow = 1796649600;

std::string report(int temperatureF, int pressureTenths)
{
    char info[64];
    std::snprintf(info, sizeof info, "_12071320c220s004g005t%03dr001p010P005h50b%05d", temperatureF,
                  pressureTenths);
    return info;
}

} // namespace

class TestWeatherDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void values_data();
    void values();
    void spansAndGaps();
    void staleValues();
    void liveReports();
    void recorder_data();
    void recorder();
    void unreadableStore_data();
    void unreadableStore();
    void followsItsStore();
    void valuesKeepTheirLayoutOnResize();
    void darkPalette();
    void commandLine_data();
    void commandLine();

private:
    std::unique_ptr<WeatherWindow> open(const QString &store, const QString &address = {});
    QString label(WeatherWindow &window, const char *name);

    QTemporaryDir m_dir;
    int m_stores = 0;
};

void TestWeatherDisplay::initTestCase()
{
    testsupport::setLocalTimeZone("CET-1");
}

void TestWeatherDisplay::init()
{
    QFile::remove(m_dir.filePath(QStringLiteral("quintaro-weather.ini")));
}

std::unique_ptr<WeatherWindow> TestWeatherDisplay::open(const QString &store,
                                                        const QString &address)
{
    WeatherWindow::Options options;
    options.call = "IK1WX-3";
    options.address = address;
    options.storePath = store;
    options.settingsPath = m_dir.filePath(QStringLiteral("quintaro-weather.ini"));
    options.clock = [] { return kNow; };
    auto window = std::make_unique<WeatherWindow>(std::move(options));
    window->start();
    window->show();
    return window;
}

QString TestWeatherDisplay::label(WeatherWindow &window, const char *name)
{
    auto *widget = window.findChild<QWidget *>(QLatin1String(name));
    return widget ? widget->accessibleName() : QStringLiteral("<no %1>").arg(name);
}

void TestWeatherDisplay::values_data()
{
    QTest::addColumn<QString>("units");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("heard");
    QTest::addColumn<QByteArray>("last"); // the last report, a minute ago
    const QString metric = QStringLiteral("Metric");
    const QString us = QStringLiteral("US");
    const QByteArray mild = QByteArray::fromStdString(report(77, 10132));
    QTest::newRow("temperature") << metric << "temperature"
                                 << "Temperature 25.0 °C" << mild;
    QTest::newRow("temperature US") << us << "temperature"
                                    << "Temperature 77 °F" << mild;
    QTest::newRow("pressure, rising over 3 h") << metric << "pressure"
                                               << "Pressure 1013.2 hPa, rising" << mild;
    QTest::newRow("pressure US") << us << "pressure"
                                 << "Pressure 29.92 inHg, rising" << mild;
    QTest::newRow("wind") << metric << "wind"
                          << "Wind from SW (220°) at 6.4 km/h, gusts 8.0 km/h" << mild;
    QTest::newRow("rain") << us << "rainSinceMidnight"
                          << "Rain 0.05 in since midnight" << mild;
    QTest::newRow("today's high") << metric << "todayHigh"
                                  << "Today's highest temperature 25.0 °C at 14:19" << mild;
    QTest::newRow("today's low") << us << "todayLow"
                                 << "Today's lowest temperature 59 °F at 11:20" << mild;
    QTest::newRow("not reported") << metric << "luminosity"
                                  << "Luminosity not reported" << mild;
    QTest::newRow("last heard, no age") << metric << "lastHeard"
                                        << "Last heard 14:19:00" << mild;
    QTest::newRow("heat index") << metric << "feelsLike"
                                << "Feels like 37.6 °C, heat index"
                                << QByteArray("_12071320c220s004g005t090h60b10132");
    QTest::newRow("dew point of an older humidity")
        << metric << "dewPoint"
        << "Dew point 13.9 °C, stale" << QByteArray("_12071320c220s004g005t077");
    QTest::newRow("snow, luminosity: ten tiles")
        << metric << "snow"
        << "Snow in 24 hours 305 mm" << QByteArray("_12071320c220s004g005t077L500s012");
}

void TestWeatherDisplay::values()
{
    QFETCH(QString, units);
    QFETCH(QString, name);
    QFETCH(QString, heard);
    QFETCH(QByteArray, last);
    const QString store = m_dir.filePath(QStringLiteral("values%1.sqlite").arg(qHash(last)));
    if (!QFile::exists(store)) {
        testsupport::HistoryFixture fixture(store);
        QVERIFY(fixture.addReports({
            {"IK1WX-3", kNow - 3 * 3600, "", report(59, 10118)},
            {"IK1WX-3", kNow - 60, "", last.toStdString()},
            {"IK1OTHER", kNow - 30, "", report(100, 10000)},
        }));
    }
    auto window = open(store);
    auto *unitsBox = window->findChild<QComboBox *>(QStringLiteral("units"));
    unitsBox->setCurrentIndex(unitsBox->findText(units));
    QCOMPARE(label(*window, qPrintable(name)), heard);
    QCOMPARE(window->windowTitle(), QStringLiteral("IK1WX-3 – Quintaro Weather"));
    // The choice is the display's own and outlives the window.
    window.reset();
    auto again = open(store);
    QCOMPARE(again->findChild<QComboBox *>(QStringLiteral("units"))->currentText(), units);
}

void TestWeatherDisplay::spansAndGaps()
{
    const QString store = m_dir.filePath(QStringLiteral("spans.sqlite"));
    testsupport::HistoryFixture fixture(store);
    std::vector<history::PendingReport> reports;
    // Every 5 minutes for 10 days, silent from 3 days to 2 days ago.
    for (qint64 ago = 10 * 86400; ago >= 0; ago -= 300) {
        if (ago < 2 * 86400 || ago >= 3 * 86400)
            reports.push_back({"IK1WX-3", kNow - ago, "", report(50, 10100)});
    }
    QVERIFY(fixture.addReports(reports));
    auto window = open(store);
    auto *chart = window->findChild<display::WeatherChart *>(QStringLiteral("temperatureChart"));
    auto *span = window->findChild<QComboBox *>(QStringLiteral("span"));
    const auto points = [&] {
        qsizetype count = 0;
        for (QAbstractSeries *series : chart->chart()->series())
            count += static_cast<QLineSeries *>(series)->count();
        return count;
    };
    // The series that hold points: the runs between silences.
    const auto runs = [&] {
        int count = 0;
        for (QAbstractSeries *series : chart->chart()->series())
            count += static_cast<QLineSeries *>(series)->count() > 0 ? 1 : 0;
        return count;
    };
    const struct
    {
        const char *text;
        qsizetype points;
        int runs;
    } kSpans[] = {
        {"Last 6 hours", 6 * 12 + 1, 1},
        {"Last 24 hours", 24 * 12 + 1, 1},
        {"Last 7 days", 6 * 288 + 1, 2}, // 7 days less the silent day
        {"Last 30 days", qsizetype(reports.size()), 2},
    };
    for (const auto &s : kSpans) {
        span->setCurrentIndex(span->findText(QLatin1String(s.text)));
        QCOMPARE(points(), s.points);
        QCOMPARE(runs(), s.runs);
        QVERIFY2(chart->accessibleDescription().startsWith(QLatin1String(s.text) +
                                                           QStringLiteral(": lowest 10.0 °C")),
                 qPrintable(chart->accessibleDescription()));
    }
}

void TestWeatherDisplay::staleValues()
{
    const QString store = m_dir.filePath(QStringLiteral("stale.sqlite"));
    testsupport::HistoryFixture fixture(store);
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 31 * 60, "", report(77, 10132)}}));
    auto window = open(store);
    QCOMPARE(label(*window, "temperature"), QStringLiteral("Temperature 25.0 °C, stale"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("temperature"))->foregroundRole(),
             QPalette::PlaceholderText);
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("lastHeard"))
                ->text()
                .endsWith(QStringLiteral("(31 min ago)")));
}

void TestWeatherDisplay::liveReports()
{
    const QString store = m_dir.filePath(QStringLiteral("live.sqlite"));
    testsupport::HistoryFixture fixture(store);
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 600, "", report(50, 10100)}}));
    auto window = open(store);
    QCOMPARE(label(*window, "temperature"), QStringLiteral("Temperature 10.0 °C"));
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 5, "", report(68, 10100)}}));
    QTRY_COMPARE_WITH_TIMEOUT(label(*window, "temperature"), QStringLiteral("Temperature 20.0 °C"),
                              2500);
    auto *chart = window->findChild<display::WeatherChart *>(QStringLiteral("temperatureChart"));
    QCOMPARE(static_cast<QLineSeries *>(chart->chart()->series().front())->count(), 2);
}

void TestWeatherDisplay::recorder_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<qint64>("beatAgo");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("status");
    QTest::newRow("live") << "127.0.0.1" << qint64(4) << "127.0.0.1"
                          << "Recorded live by Quintaro (process 777)";
    QTest::newRow("none live") << "127.0.0.1" << qint64(600) << "127.0.0.1"
                               << "No Quintaro records from the engine at 127.0.0.1 now: last "
                                  "heartbeat 14:10:00.";
    QTest::newRow("another engine") << "wx.example" << qint64(4) << "127.0.0.1"
                                    << "No Quintaro records from the engine at 127.0.0.1 now, "
                                       "nor has one yet. One records from the engine at "
                                       "wx.example.";
}

void TestWeatherDisplay::recorder()
{
    QFETCH(QString, host);
    QFETCH(qint64, beatAgo);
    QFETCH(QString, address);
    QFETCH(QString, status);
    const QString store = m_dir.filePath(QStringLiteral("recorder%1.sqlite").arg(++m_stores));
    testsupport::HistoryFixture fixture(store);
    QVERIFY(fixture.addRecorder(host, 777, kNow - 3600, kNow - beatAgo));
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
    auto window = open(store, address);
    QVERIFY2(label(*window, "status").startsWith(status), qPrintable(label(*window, "status")));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("engineAddress"))->text(),
             QStringLiteral("Engine at ") + address);
    // The history shows whoever records.
    QCOMPARE(label(*window, "temperature"), QStringLiteral("Temperature 25.0 °C"));
}

void TestWeatherDisplay::unreadableStore_data()
{
    QTest::addColumn<QByteArray>("contents"); // "<missing>": no file
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray("<missing>") << "there is no history file at";
    QTest::newRow("not a database")
        << QByteArray(8192, '\x5a') << "is not a Quintaro weather history";
}

void TestWeatherDisplay::unreadableStore()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    const QString store = m_dir.filePath(QStringLiteral("unreadable%1.sqlite").arg(++m_stores));
    if (contents != "<missing>") {
        QFile file(store);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    auto window = open(store);
    const QString status = label(*window, "status");
    QVERIFY2(status.startsWith(QStringLiteral("The weather history cannot be read: ")) &&
                 status.contains(reason),
             qPrintable(status));
    QCOMPARE(label(*window, "temperature"), QStringLiteral("Temperature not reported"));
    // The display never makes the store it reads.
    QCOMPARE(QFile::exists(store), contents != "<missing>");
}

void TestWeatherDisplay::followsItsStore()
{
    const QString store = m_dir.filePath(QStringLiteral("follow.sqlite"));
    const QString next = m_dir.filePath(QStringLiteral("follow-next.sqlite"));
    {
        testsupport::HistoryFixture fixture(store);
        QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 600, "", report(77, 10132)},
                                    {"IK1WX-3", kNow - 30, "", report(77, 10132)}}));
    }
    auto window = open(store);
    QCOMPARE(label(*window, "temperature"), QStringLiteral("Temperature 25.0 °C"));
    auto *chart = window->findChild<display::WeatherChart *>(QStringLiteral("temperatureChart"));
    const auto points = [&] {
        return static_cast<QLineSeries *>(chart->chart()->series().front())->count();
    };
    QCOMPARE(points(), 2);
    const auto replace = [&](const QString &target) {
        return ::rename(QFile::encodeName(next).constData(),
                        QFile::encodeName(target).constData()) == 0;
    };

#ifdef Q_OS_WIN
    // Windows replaces or removes no file that the display has open: there,
    // the damaged store below comes where there was none.
    const QString damaged = m_dir.filePath(QStringLiteral("follow-damaged.sqlite"));
    window = open(damaged);
#else
    const QString damaged = store;
    // A backup restored over it: another file, whose ids start again.
    {
        testsupport::HistoryFixture fixture(next);
        QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 120, "", report(50, 10100)}}));
    }
    QVERIFY(replace(store));
    QTRY_COMPARE_WITH_TIMEOUT(label(*window, "temperature"), QStringLiteral("Temperature 10.0 °C"),
                              3000);
    QCOMPARE(points(), 1);

    // Removed: told while it is missing.
    QVERIFY(QFile::remove(store));
    QTRY_VERIFY_WITH_TIMEOUT(label(*window, "status").contains("there is no history file at"),
                             3000);
#endif

    // Damaged: let go of at once, so that Quintaro may move it aside.
    {
        testsupport::HistoryFixture fixture(next);
        std::vector<history::PendingReport> reports;
        for (int i = 0; i < 3000; ++i)
            reports.push_back({"IK1WX-3", kNow - i * 300, "WIDE2-1", report(50, 10100)});
        QVERIFY(fixture.addReports(reports));
    }
    QFile file(next);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(file.size() / 2 / 4096 * 4096));
    QCOMPARE(file.write(QByteArray(4096, '\xff')), 4096);
    file.close();
    QVERIFY(replace(damaged));
    QTRY_VERIFY2_WITH_TIMEOUT(label(*window, "status").contains("cannot be read"),
                              qPrintable(label(*window, "status")), 3000);
    QVERIFY(!history::storeInUse(damaged));
}

void TestWeatherDisplay::valuesKeepTheirLayoutOnResize()
{
    const QString store = m_dir.filePath(QStringLiteral("resize.sqlite"));
    testsupport::HistoryFixture fixture(store);
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
    auto window = open(store);
    // The tiles' columns, told by their left edges.
    const auto columns = [&] {
        QSet<int> lefts;
        for (QLabel *caption : window->findChildren<QLabel *>()) {
            if (caption->property("caption").toBool() && caption->parentWidget()->isVisible())
                lefts.insert(caption->parentWidget()->x());
        }
        return lefts.size();
    };
    for (const auto &[width, expected] : {std::pair{800, 3}, {1000, 4}, {800, 3}}) {
        window->resize(width, 700);
        QTRY_COMPARE(columns(), expected);
    }
}

void TestWeatherDisplay::darkPalette()
{
    const QString store = m_dir.filePath(QStringLiteral("dark.sqlite"));
    testsupport::HistoryFixture fixture(store);
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
    auto window = open(store);
    auto *chart = window->findChild<display::WeatherChart *>(QStringLiteral("pressureChart"));
    QVERIFY(chart->chart()->backgroundBrush().color().lightness() > 128);
    const QPalette light = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x22, 0x25));
    dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Base, QColor(0x16, 0x17, 0x19));
    dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    // Widgets learn of the application's palette through a posted event.
    QApplication::setPalette(dark);
    QTRY_COMPARE(chart->chart()->theme(), QChart::ChartThemeDark);
    QVERIFY(chart->chart()->backgroundBrush().color().lightness() < 64);
    const auto *axis = chart->chart()->axes(Qt::Vertical).front();
    QVERIFY(axis->labelsBrush().color().lightness() > 192);
    QApplication::setPalette(light);
    QTRY_COMPARE(chart->chart()->theme(), QChart::ChartThemeLight);
}

void TestWeatherDisplay::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    // Where they are on this platform.
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                          << QStringLiteral("QUINTARO_HISTORY,\nelse ") + kHistoryFileShown;
    QTest::newRow("help names the settings")
        << QStringList{QStringLiteral("--help")} << 0 << QString::fromLatin1(kDisplaySettingsShown);
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << "quintaro-weather (Quintaro) ";
    QTest::newRow("no call") << QStringList{} << 2 << "no call given";
    QTest::newRow("too many words")
        << QStringList{QStringLiteral("IK1WX"), QStringLiteral("a"), QStringLiteral("b")} << 2
        << "at most an engine address";
}

void TestWeatherDisplay::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    testsupport::ProcessRun run;
    run.process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    run.process.start(testsupport::binaryDir() + QStringLiteral("/quintaro-weather"), arguments);
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitCode(), status);
    // Windows' C library ends lines with "\r\n".
    const QString output =
        QString::fromUtf8(run.process.readAllStandardOutput() + run.process.readAllStandardError())
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QVERIFY2(output.contains(said), qPrintable(output));
}

QTEST_MAIN(TestWeatherDisplay)
#include "tst_weatherdisplay.moc"
