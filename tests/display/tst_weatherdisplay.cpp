// The weather display's window on prepared stores, read back through the
// names a screen reader hears: its values in both units, spans and gaps,
// stale values, live reports, its statistics page, which recorder it
// follows, damaged and missing stores, the wind rose, the dark palette, the
// history saved as CSV; and the program's command line, which writes CSV
// of the reports or of the days without a window too.

#include "DaySummaries.h"
#include "FakeDialogs.h"
#include "HistoryCsv.h"
#include "HistoryFixture.h"
#include "LocalZone.h"
#include "ProcessRun.h"
#include "QuintaroVersion.h"
#include "StationFeed.h"
#include "StoreFiles.h"
#include "TestPaths.h"
#include "WeatherChart.h"
#include "WeatherWindow.h"
#include "WindRoseChart.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
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

// The rows of a CSV file, its quoted fields read back.
QList<QStringList> readCsv(const QString &text)
{
    QList<QStringList> rows{{QString()}};
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == QLatin1Char('"') && text.mid(i + 1, 1) == QLatin1String("\"")) {
            rows.back().back() += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char(',')) {
            rows.back().append(QString());
        } else if (!quoted && text.mid(i, 2) == QLatin1String("\r\n")) {
            rows.append({QString()});
            ++i;
        } else {
            rows.back().back() += c;
        }
    }
    rows.removeLast(); // after the last line break
    return rows;
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
    void statistics_data();
    void statistics();
    void accessKeysAreTheirOwn();
    void recorder_data();
    void recorder();
    void unreadableStore_data();
    void unreadableStore();
    void followsItsStore();
    void valuesKeepTheirLayoutOnResize();
    void windRose();
    void darkPalette();
    void saveCsv_data();
    void saveCsv();
    void commandLine_data();
    void commandLine();

private:
    std::unique_ptr<WeatherWindow> open(const QString &store, const QString &address = {});
    QString label(WeatherWindow &window, const char *name);
    display::WindRoseChart *showWindRose(WeatherWindow &window);

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

display::WindRoseChart *TestWeatherDisplay::showWindRose(WeatherWindow &window)
{
    auto *rose = window.findChild<display::WindRoseChart *>(QStringLiteral("windRose"));
    window.findChild<QScrollArea *>(QStringLiteral("graphs"))->ensureWidgetVisible(rose);
    return rose;
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
    // Heard before the span the display reads, and still told.
    const QString silent = m_dir.filePath(QStringLiteral("silent.sqlite"));
    QVERIFY(testsupport::HistoryFixture(silent).addReports(
        {{"IK1WX-3", kNow - 2 * 86400, "", report(77, 10132)}}));
    window = open(silent);
    QCOMPARE(label(*window, "lastHeard"), QStringLiteral("Last heard 2026-12-05 14:20:00"));
    QCOMPARE(label(*window, "temperature"), QStringLiteral("Temperature not reported"));
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

void TestWeatherDisplay::accessKeysAreTheirOwn()
{
    const QString store = m_dir.filePath(QStringLiteral("keys.sqlite"));
    testsupport::HistoryFixture fixture(store);
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
    auto window = open(store);
    // Every Alt key of the window's controls, pages and labels, and what it
    // belongs to: two controls of one key leave one of them out of reach.
    QMap<QChar, QString> owners;
    QStringList texts;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            texts << button->text();
        else if (auto *label = qobject_cast<QLabel *>(widget); label && label->buddy())
            texts << label->text();
        else if (auto *tabs = qobject_cast<QTabBar *>(widget))
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
    }
    static const QRegularExpression accessKey(QStringLiteral("&([^&])"));
    for (const QString &text : texts) {
        const QRegularExpressionMatch match = accessKey.match(text);
        if (!match.hasMatch())
            continue;
        const QChar key = match.captured(1).at(0).toLower();
        QVERIFY2(!owners.contains(key),
                 qPrintable(owners.value(key) + QStringLiteral(" and ") + text));
        owners.insert(key, text);
    }
    QVERIFY(owners.size() >= 4);
}

void TestWeatherDisplay::statistics_data()
{
    QTest::addColumn<int>("days"); // of reports, ending today
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("today's high") << 2 << "statistics" << 1 << 0
                                  << "Today: highest temperature 25.0 °C at 14:19";
    QTest::newRow("yesterday's low")
        << 2 << "statistics" << 2 << 1 << "Yesterday: lowest temperature 15.0 °C at 6 Dec 13:20";
    QTest::newRow("rain of the last 7 days")
        << 2 << "statistics" << 11 << 2 << "Last 7 days: rain 2.5 mm";
    QTest::newRow("December's gust")
        << 2 << "monthlyRecords" << 3 << 0
        << "Strongest gust of 6–7 December 2026, 2 days: 8.0 km/h from SW at 6 Dec 13:20";
    QTest::newRow("one day: yesterday not recorded")
        << 1 << "statistics" << 1 << 1 << "Yesterday: highest temperature not recorded";
    QTest::newRow("one day: all recorded")
        << 1 << "statistics" << 0 << 6 << "All recorded: 1 day since today recorded";
    QTest::newRow("one day: no record claimed")
        << 1 << "monthlyRecords" << 1 << 0
        << "Highest temperature of 7 December 2026 only: 25.0 °C at 14:19";
}

void TestWeatherDisplay::statistics()
{
    QFETCH(int, days);
    QFETCH(QString, table);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, spoken);
    const QString store = m_dir.filePath(QStringLiteral("statistics%1.sqlite").arg(days));
    if (!QFile::exists(store)) {
        testsupport::HistoryFixture fixture(store);
        QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
        if (days == 2)
            QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 86400 - 3600, "", report(59, 10118)}}));
    }
    auto window = open(store);
    // Nothing of the page is made before it is first shown.
    QVERIFY(!window->findChild<QTableWidget *>(QStringLiteral("statistics")));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto *pages = window->findChild<QTabWidget *>(QStringLiteral("pages"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(pages->currentIndex(), 1);
    auto *cells = window->findChild<QTableWidget *>(table);
    QVERIFY(cells);
    QTRY_VERIFY(cells->isVisible());
    // The month's row is the vertical header's; the rows of the periods
    // table are their values.
    if (table == "monthlyRecords") {
        QCOMPARE(cells->verticalHeaderItem(0)->text(), QStringLiteral("December"));
        std::swap(row, column);
    }
    QCOMPARE(cells->item(row, column)->data(Qt::AccessibleTextRole).toString(), spoken);

    // The keyboard reaches the tables from the pages' tabs.
    pages->tabBar()->setFocus();
    for (int i = 0;
         i < 3 && !window->findChild<QTableWidget *>(QStringLiteral("statistics"))->hasFocus(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(window->findChild<QTableWidget *>(QStringLiteral("statistics"))->hasFocus());
    // The units chosen hold here too.
    window->findChild<QComboBox *>(QStringLiteral("units"))->setCurrentIndex(1);
    const QString us = cells->item(row, column)->data(Qt::AccessibleTextRole).toString();
    QCOMPARE(us == spoken, !spoken.contains(QRegularExpression(QStringLiteral("°C|km/h|mm"))));
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

void TestWeatherDisplay::windRose()
{
    const QString store = m_dir.filePath(QStringLiteral("rose.sqlite"));
    testsupport::HistoryFixture fixture(store);
    QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 3 * 86400, "", "_12041320c090s030t077"},
                                {"IK1WX-3", kNow - 600, "", "_12071310c000s000g000t077"},
                                {"IK1WX-3", kNow - 300, "", report(77, 10132)},
                                {"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
    auto window = open(store);
    // The graphs in sight are made as the window shows, the one below them
    // once scrolled to, with what it was given meanwhile.
    auto *rain = window->findChild<display::WeatherChart *>(QStringLiteral("rainChart"));
    QVERIFY(window->findChild<display::WeatherChart *>(QStringLiteral("humidityChart"))->chart());
    QVERIFY(!rain->chart());
    auto *rose = window->findChild<display::WindRoseChart *>(QStringLiteral("windRose"));
    QCOMPARE(rose->accessibleDescription(),
             QStringLiteral("Wind rose, last 24 hours: mostly from SW (67 %), calm 33 %"));
    // Out of sight below the graphs of a low window, it costs nothing until
    // it is scrolled to.
    window->resize(1024, 560);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCoreApplication::processEvents();
    QVERIFY(!rose->chart());
    showWindRose(*window);
    QTRY_VERIFY(rose->chart() && rain->chart());
    QCOMPARE(static_cast<QAreaSeries *>(rain->chart()->series().front())->upperSeries()->count(),
             2);
    // The grid's sixth place: beside the rain, under the pressure.
    const auto *pressure = window->findChild<QWidget *>(QStringLiteral("pressureChart"));
    QCOMPARE(rose->pos(), QPoint(pressure->x(), rain->y()));
    QCOMPARE(rose->chart()->title(), QStringLiteral("Wind rose, calm 33 %"));
    const auto legend = [&] {
        QStringList names;
        for (QLegendMarker *marker : rose->chart()->legend()->markers())
            names << marker->label();
        return names.join(QStringLiteral(", "));
    };
    QCOMPARE(legend(), QStringLiteral("1–5 km/h, 6–19 km/h, 20–38 km/h, 39–61 km/h, ≥ 62 km/h"));

    auto *span = window->findChild<QComboBox *>(QStringLiteral("span"));
    span->setCurrentIndex(span->findText(QStringLiteral("Last 7 days")));
    auto *units = window->findChild<QComboBox *>(QStringLiteral("units"));
    units->setCurrentIndex(units->findText(QStringLiteral("US")));
    QCOMPARE(rose->accessibleDescription(),
             QStringLiteral("Wind rose, last 7 days: mostly from SW (50 %), calm 25 %"));
    QVERIFY(legend().startsWith(QStringLiteral("1–3 mph, 4–12 mph")));
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
    auto *rose = showWindRose(*window);
    QTRY_VERIFY(rose->chart());
    QCOMPARE(rose->chart()->theme(), QChart::ChartThemeDark);
    QCOMPARE(rose->chart()->backgroundBrush().color(), dark.color(QPalette::Base));
    QApplication::setPalette(light);
    QTRY_COMPARE(chart->chart()->theme(), QChart::ChartThemeLight);
}

void TestWeatherDisplay::saveCsv_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("folder"); // below the test's own
    QTest::addColumn<int>("rows");       // the header's included; 0 for no file
    QTest::newRow("the span shown") << "saveSpanCsv"
                                    << "." << 3;
    QTest::newRow("all recorded history") << "saveAllCsv"
                                          << "." << 5;
    QTest::newRow("a folder that is not there") << "saveSpanCsv"
                                                << "gone" << 0;
}

void TestWeatherDisplay::saveCsv()
{
    QFETCH(QString, action);
    QFETCH(QString, folder);
    QFETCH(int, rows);
    const QString store = m_dir.filePath(QStringLiteral("save.sqlite"));
    if (!QFile::exists(store)) {
        testsupport::HistoryFixture fixture(store);
        // 40 days ago is more than a display keeps, but the store has it.
        QVERIFY(fixture.addReports({{"IK1WX-3", kNow - 40 * 86400, "", report(50, 10100)},
                                    {"IK1WX-3", kNow - 3 * 86400, "", report(50, 10100)},
                                    {"IK1WX-3", kNow - 600, "", "_12071310c090s030t020h80"},
                                    {"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
    }
    const QString path = m_dir.filePath(folder + QStringLiteral("/saved.csv"));
    QFile::remove(path);
    auto window = open(store);
    testsupport::FakeFileDialogs dialogs;
    testsupport::FakeMessageBoxes boxes;
    dialogs.answerNext(path);
    window->findChild<QAction *>(action)->trigger();
    QCOMPARE(dialogs.requests.size(), 1);
    QCOMPARE(dialogs.requests[0].mode, quintaro::FileDialogRequest::Save);
    QVERIFY(dialogs.requests[0].fileName.startsWith(QStringLiteral("IK1WX-3-weather")));
    if (rows == 0) {
        QCOMPARE(boxes.requests.size(), 1);
        QVERIFY2(boxes.requests[0].prompt.startsWith(
                     QStringLiteral("The weather history could not be saved to ") + path),
                 qPrintable(boxes.requests[0].prompt));
        QVERIFY(!QFile::exists(path));
        return;
    }
    QVERIFY(boxes.requests.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> csv = readCsv(QString::fromUtf8(bytes.mid(3)));
    QCOMPARE(csv.size(), rows);
    const QStringList &header = csv.front();
    QCOMPARE(header.size(), 14);
    const auto value = [&](int row, const char *title) {
        return csv[row].value(header.indexOf(QString::fromUtf8(title)), QStringLiteral("<none>"));
    };
    const int last = rows - 1;
    QCOMPARE(value(last, "Time"), QStringLiteral("2026-12-07T14:19:00+01:00"));
    QCOMPARE(value(last, "Temperature (°C)"), QStringLiteral("25.0"));
    QCOMPARE(value(last, "Dew point (°C)"), QStringLiteral("13.9"));
    QCOMPARE(value(last - 1, "Wind speed (km/h)"), QStringLiteral("48.3"));
    QCOMPARE(value(last - 1, "Feels like (°C)"), QStringLiteral("-17.1"));
    QCOMPARE(value(last - 1, "Wind gust (km/h)"), QString());
    QCOMPARE(value(1, "Time"), QDateTime::fromSecsSinceEpoch(kNow - (rows == 5 ? 40 * 86400 : 600))
                                   .toOffsetFromUtc(3600)
                                   .toString(Qt::ISODate));
}

void TestWeatherDisplay::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("store"); // in the test's folder
    QTest::addColumn<int>("lines");     // of CSV on standard output; -1: not counted
    const QString store = QStringLiteral("cli.sqlite");
    const auto words = [](const char *line) {
        return QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    // Where they are on this platform.
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                          << QStringLiteral("QUINTARO_HISTORY,\nelse ") + kHistoryFileShown << store
                          << -1;
    QTest::newRow("help names the settings")
        << QStringList{QStringLiteral("--help")} << 0 << QString::fromLatin1(kDisplaySettingsShown)
        << store << -1;
    QTest::newRow("help tells --csv")
        << words("--help") << 0 << "--csv CALL [--daily] [--from DATE]" << store << -1;
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << "quintaro-weather (Quintaro) " << store << -1;
    QTest::newRow("no call") << QStringList{} << 2 << "no call given" << store << -1;
    QTest::newRow("too many words")
        << QStringList{QStringLiteral("IK1WX"), QStringLiteral("a"), QStringLiteral("b")} << 2
        << "at most an engine address" << store << -1;
    QTest::newRow("csv") << words("--csv IK1WX-3") << 0
                         << "\r\n2026-12-07T14:19:00+01:00,25.0,220,6.4,8.0,50,1013.2," << store
                         << 6;
    QTest::newRow("csv of one day, --to included")
        << words("IK1WX-3 --from 2026-12-06 --csv --to 2026-12-06") << 0
        << "(°C)\r\n2026-12-06T00:00:00+01:00,15.6,220,6.4,8.0,50,1010.0,0.3,2.5,1.3,,,5.2,15.6\r\n"
           "2026-12-06T23:59:59+01:00,"
        << store << 3;
    QTest::newRow("csv from a day on") << words("--csv IK1WX-3 --from 2026-12-07") << 0
                                       << "\r\n2026-12-07T00:00:00+01:00," << store << 3;
    QTest::newRow("csv of a call not heard")
        << words("--csv IK9NONE") << 1
        << "Time,Temperature (°C),Wind direction (°),Wind speed (km/h)," << store << 1;
    QTest::newRow("csv without a store") << words("--csv IK1WX-3") << 3
                                         << "the weather history cannot be read: there is no "
                                            "history file at"
                                         << "missing.sqlite" << 0;
    QTest::newRow("not a date") << words("--csv IK1WX-3 --from 2026-02-30") << 2
                                << "--from: \"2026-02-30\" is not a date (YYYY-MM-DD)" << store
                                << 0;
    QTest::newRow("a date in short")
        << words("--csv IK1WX-3 --to 2026-12-7") << 2 << "is not a date" << store << 0;
    QTest::newRow("a date missing")
        << words("--csv IK1WX-3 --to") << 2 << "--to needs a date" << store << 0;
    QTest::newRow("from after to") << words("--csv IK1WX-3 --from 2026-12-07 --to 2026-12-06") << 2
                                   << "--from 2026-12-07 is after --to 2026-12-06" << store << 0;
    QTest::newRow("a date without --csv")
        << words("IK1WX-3 --from 2026-12-06") << 2 << "go with --csv" << store << 0;
    QTest::newRow("--csv without a call")
        << words("--csv --from 2026-12-06") << 2 << "no call given" << store << 0;
    QTest::newRow("--csv with two calls")
        << words("--csv IK1WX-3 IK1WX-4") << 2 << "give one call" << store << 0;
    QTest::newRow("daily, the days of a week")
        << words("--csv IK1WX-3 --daily --from 2026-12-01 --to 2026-12-07") << 0
        << "\r\n2026-12-06,2,16.1,2026-12-06T23:59:59+01:00,15.6,2026-12-06T00:00:00+01:00,"
        << store << 4;
    QTest::newRow("daily, --to included") << words("--daily IK1WX-3 --csv --to 2026-12-06") << 0
                                          << "\r\n2026-12-05,1,15.0," << store << 3;
    QTest::newRow("daily of a call not heard")
        << words("--csv IK9NONE --daily") << 1 << "Date,Reports,Highest temperature (°C)," << store
        << 1;
    QTest::newRow("daily from a store of version 1, worked out from its reports")
        << words("--csv IK1WX-3 --daily --from 2026-12-06") << 0
        << "keeps no daily summaries yet (version 1)"
        << "cli-v1.sqlite" << 3;
    QTest::newRow("daily without a store")
        << words("--csv IK1WX-3 --daily") << 3 << "there is no history file at"
        << "missing.sqlite" << 0;
    QTest::newRow("an option not known")
        << words("--csv IK1WX-3 --since 2026-12-06") << 2 << "unknown option --since" << store << 0;
}

void TestWeatherDisplay::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QString, store);
    QFETCH(int, lines);
    const QString storePath = m_dir.filePath(store);
    // The same reports in both: a store of version 1 has no summaries.
    for (const QString &made : {QStringLiteral("cli.sqlite"), QStringLiteral("cli-v1.sqlite")}) {
        if ((made != store && made != QLatin1String("cli.sqlite")) ||
            QFile::exists(m_dir.filePath(made)))
            continue;
        testsupport::HistoryFixture fixture(m_dir.filePath(made));
        const qint64 midnight = kNow - (14 * 3600 + 20 * 60); // 2026-12-07 00:00 in Rome
        QVERIFY(fixture.addReports({{"IK1WX-3", midnight - 86400 - 1, "", report(59, 10100)},
                                    {"IK1WX-3", midnight - 86400, "", report(60, 10100)},
                                    {"IK1WX-3", midnight - 1, "", report(61, 10100)},
                                    {"IK1WX-3", midnight, "", report(62, 10100)},
                                    {"IK1WX-3", kNow - 60, "", report(77, 10132)}}));
        if (made != QLatin1String("cli.sqlite"))
            QVERIFY(fixture.execute(QStringLiteral("DROP TABLE daily_summaries")) &&
                    fixture.execute(QStringLiteral("PRAGMA user_version = 1")));
    }
    testsupport::ProcessRun run;
    // A script's command line may run where there is no display at all.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (arguments.contains(QStringLiteral("--csv"))) {
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
    }
    environment.insert(QStringLiteral("QUINTARO_HISTORY"), storePath);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("cli")));
    run.process.setProcessEnvironment(environment);
    run.process.start(testsupport::binaryDir() + QStringLiteral("/quintaro-weather"), arguments);
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), status);
    const QByteArray out = run.process.readAllStandardOutput();
    const QString output = QString::fromUtf8(out + run.process.readAllStandardError());
    QVERIFY2(output.contains(said), qPrintable(output));
    if (lines >= 0)
        QCOMPARE(out.count("\r\n"), lines);
    // Scripts read standard output as it is: no byte-order mark.
    QVERIFY(!out.startsWith("\xEF\xBB\xBF"));
    if (!arguments.contains(QStringLiteral("--daily")) || status != 0)
        return;
    // Each day's values are those of the summaries Quintaro wrote.
    testsupport::HistoryFixture written(m_dir.filePath(QStringLiteral("cli.sqlite")));
    const auto days = history::readDaySummaries(written.database(), "IK1WX-3", nullptr);
    QVERIFY(days);
    QStringList rows;
    for (const history::DaySummary &day : *days)
        rows << QString::fromStdString(display::dailyCsvRow(day, weather::Units::Metric));
    const QStringList printed = QString::fromUtf8(out).split(QStringLiteral("\r\n"));
    QCOMPARE(printed.size(), lines + 1);
    for (qsizetype line = 1; line < lines; ++line)
        QVERIFY2(rows.contains(printed[line] + QStringLiteral("\r\n")), qPrintable(printed[line]));
}

QTEST_MAIN(TestWeatherDisplay)
#include "tst_weatherdisplay.moc"
