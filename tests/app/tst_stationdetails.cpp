// The station details as a user meets them: the Wx List menu's command, a
// tooltip on every entry, and the details window, sorted with the mouse and
// the keyboard, updated as reports come in, exported as CSV, starting
// Brezomat for a row, in the units chosen and remembered.

#include "HistoryFixture.h"
#include "HistoryReader.h"
#include "StationListModel.h"
#include "StationWindow.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>

using namespace agwtest;
using namespace testsupport;

namespace {

// A positionless report with this temperature (°F) and nothing else.
std::string reportWith(int fahrenheit)
{
    char info[64];
    std::snprintf(info, sizeof info, "_10090556c...s...g...t%03d", fahrenheit);
    return info;
}

bool hearReport(StationWindow &w, const std::string &call, const std::string &info)
{
    QTcpSocket *peer = w.peer();
    return peer && deliver(w.socket(), peer, {monitoredFrame('U', call, info)}) == 1;
}

QTableView *openDetails(StationWindow &w)
{
    w.trigger("nmuDetails");
    return w.window.findChild<QTableView *>(QStringLiteral("tblStationDetails"));
}

// The table's column as it shows it, top to bottom.
QStringList column(QTableView *table, int c)
{
    QStringList cells;
    for (int r = 0; r < table->model()->rowCount(); ++r)
        cells << table->model()->index(r, c).data().toString();
    return cells;
}

enum { kCall = 0, kReports = 2, kTemperature = 3, kFeelsLike = 12 };

// A weather report as Direwolf monitors it after digipeaters.
std::string reportVia(const std::string &call, const std::string &path, const std::string &info)
{
    return makeFrame('U', call,
                     " 1:Fm " + call + " To APRS Via " + path +
                         " <UI pid=F0 Len=" + std::to_string(info.size()) + " PF=0 >[12:00:00]\r" +
                         info + "\r" + std::string(1, '\0'));
}

} // namespace

class TestStationDetailsWindow : public QObject
{
    Q_OBJECT

private slots:
    void commandAndTooltips();
    void sortedAndUpdated();
    void exportedAsCsv();
    void brezomatForARow();
    void unitsChosenAndRemembered();
    void historyRecorded();
    void historyNotKept();
};

void TestStationDetailsWindow::commandAndTooltips()
{
    StationWindow w;
    QAction *details = w.action("nmuDetails");
    QCOMPARE(details->text(), QStringLiteral("Station &Details…"));
    QCOMPARE(w.child<QMenu>("nmuListCommands")->actions().last(), details);

    QVERIFY(w.dir.write(QStringLiteral("one.txt"), "IK9OLD\r\n"));
    w.load(QStringLiteral("one.txt"));
    QVERIFY(w.hear("IK1AAA"));
    const QAbstractItemModel *model = w.list()->model();
    QCOMPARE(model->index(0, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Not heard since it was listed"));
    const QString tip = model->index(1, 0).data(Qt::ToolTipRole).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^Last heard \\d\\d:\\d\\d:\\d\\d \\(\\d s ago\\)\\n"
                                               "Weather reports heard: 1\\nTemperature 25\\.0 °C"))
                 .match(tip)
                 .hasMatch(),
             qPrintable(tip));

    // A screen reader finds one item per station, named by its call, with
    // the tooltip as its description.
    QVERIFY(w.hear("IK1BBB"));
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(w.list());
    QVERIFY(list);
    QCOMPARE(list->childCount(), 3);
    const QStringList calls{QStringLiteral("IK9OLD"), QStringLiteral("IK1AAA"),
                            QStringLiteral("IK1BBB")};
    for (int i = 0; i < calls.size(); ++i) {
        QAccessibleInterface *item = list->child(i);
        QVERIFY(item);
        QCOMPARE(item->text(QAccessible::Name), calls[i]);
        QCOMPARE(item->text(QAccessible::Description),
                 model->index(i, 0)
                     .data(Qt::ToolTipRole)
                     .toString()
                     .replace(QLatin1Char('\n'), QStringLiteral("; ")));
    }
    QVERIFY(
        list->child(1)->text(QAccessible::Description).startsWith(QStringLiteral("Last heard")));
}

void TestStationDetailsWindow::sortedAndUpdated()
{
    StationWindow w;
    QVERIFY(hearReport(w, "IK1AAA", reportWith(50)));
    QVERIFY(hearReport(w, "IK2BBB", reportWith(32)));
    QVERIFY(hearReport(w, "IK3CCC", "_10090556c...s...g...t..."));
    QTableView *table = openDetails(w);
    QVERIFY(table);
    QTRY_VERIFY(table->isVisible());
    QCOMPARE(column(table, kCall), (QStringList{"IK1AAA", "IK2BBB", "IK3CCC"}));
    QCOMPARE(table->model()->headerData(kTemperature, Qt::Horizontal).toString(),
             QStringLiteral("Temperature (°C)"));

    // A click on the header sorts; a station without the value comes last.
    QHeaderView *header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(kTemperature) + 5, 5));
    QCOMPARE(column(table, kCall), (QStringList{"IK2BBB", "IK1AAA", "IK3CCC"}));
    QCOMPARE(column(table, kTemperature), (QStringList{"0.0", "10.0", ""}));

    // The keyboard sorts too: the order box, then the column box.
    auto *descending = w.window.findChild<QCheckBox *>(QStringLiteral("chkDescending"));
    auto *sortBy = w.window.findChild<QComboBox *>(QStringLiteral("cboSortColumn"));
    QCOMPARE(sortBy->currentText(), QStringLiteral("Temperature (°C)"));
    descending->setFocus();
    QTest::keyClick(descending, Qt::Key_Space);
    QCOMPARE(column(table, kCall), (QStringList{"IK1AAA", "IK2BBB", "IK3CCC"}));
    sortBy->setFocus();
    QTest::keyClick(sortBy, Qt::Key_Up); // Reports
    QCOMPARE(sortBy->currentText(), QStringLiteral("Reports"));

    // Reports keep coming; the table follows them.
    QVERIFY(hearReport(w, "IK2BBB", reportWith(103)));
    QVERIFY(hearReport(w, "IK2BBB", reportWith(104)));
    QVERIFY(hearReport(w, "IK4DDD", reportWith(41)));
    QTRY_COMPARE(column(table, kCall), (QStringList{"IK2BBB", "IK1AAA", "IK3CCC", "IK4DDD"}));
    QCOMPARE(column(table, kReports), (QStringList{"3", "1", "1", "1"}));
    QCOMPARE(column(table, kTemperature), (QStringList{"40.0", "10.0", "", "5.0"}));
}

void TestStationDetailsWindow::exportedAsCsv()
{
    StationWindow w;
    QVERIFY(hearReport(w, "IK1AAA", reportWith(90)));
    QVERIFY(hearReport(w, "IK2BBB", kWxPosition));
    QTableView *table = openDetails(w);
    table->sortByColumn(kCall, Qt::DescendingOrder);
    w.dialogs.answerNext(w.dir.filePath(QStringLiteral("wx.csv")));
    w.window.findChild<QPushButton *>(QStringLiteral("cmdExport"))->click();

    QCOMPARE(w.dialogs.requests.last().title, QStringLiteral("Export Station Details"));
    QCOMPARE(w.dialogs.requests.last().filter, QStringLiteral("CSV Files (*.csv)|*.csv"));
    const QList<QByteArray> lines = w.dir.read(QStringLiteral("wx.csv")).split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QByteArray("Call,Last heard,Reports,Temperature (\xC2\xB0"
                                  "C),Wind direction (\xC2\xB0),Wind speed (km/h),Wind gust "
                                  "(km/h),Humidity (%),Pressure (hPa),Rain 1 h (mm),Rain 24 h "
                                  "(mm),Dew point (\xC2\xB0"
                                  "C),Feels like (\xC2\xB0"
                                  "C)\r"));
    // The table's order; times in ISO 8601 with the offset; numbers with a dot.
    const QRegularExpression row(QStringLiteral("^(IK\\dAAA|IK\\dBBB),\\d{4}-\\d\\d-\\d\\dT\\d\\d:"
                                                "\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d,1,(.*)\\r$"));
    const auto second = row.match(QString::fromUtf8(lines[1]));
    const auto third = row.match(QString::fromUtf8(lines[2]));
    QVERIFY2(second.hasMatch() && third.hasMatch(), lines[1] + lines[2]);
    QCOMPARE(second.captured(1), QStringLiteral("IK2BBB"));
    QCOMPARE(second.captured(2), QStringLiteral("20.0,180,8.0,16.1,55,1013.2,0.0,0.0,10.7,20.0"));
    QCOMPARE(third.captured(2), QStringLiteral("32.2,,,,,,,,,")); // hot, humidity unknown
    QCOMPARE(table->model()->index(0, kFeelsLike).data(Qt::ToolTipRole).toString(),
             QStringLiteral("air temperature"));
    QCOMPARE(lines[3], QByteArray());
}

void TestStationDetailsWindow::brezomatForARow()
{
    StationWindow w;
    QVERIFY(w.hear("IK1AAA"));
    QVERIFY(w.hear("IK2BBB"));
    QTableView *table = openDetails(w);
    table->sortByColumn(kCall, Qt::DescendingOrder);
    table->setFocus();
    table->selectRow(0);
    w.window.findChild<QPushButton *>(QStringLiteral("cmdOpenBrezomat"))->click();
    QCOMPARE(w.started(), QByteArrayList{"Orbetti.exe IK2BBB localhost"});
    QCOMPARE(w.statuses(), (QList<int>{0, 1}));
    // Enter on the row is the same; the station is open now, so it asks.
    w.boxes.answerNext(quintaro::YesAnswer);
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(w.boxTitles(), QStringList{"IK2BBB Already Loaded"});
    QCOMPARE(w.started().size(), 2);
}

void TestStationDetailsWindow::unitsChosenAndRemembered()
{
    StationWindow w;
    QVERIFY(hearReport(w, "IK1AAA", reportWith(50)));
    QTableView *table = openDetails(w);
    auto *units = w.window.findChild<QComboBox *>(QStringLiteral("cboUnits"));
    units->setFocus();
    QTest::keyClick(units, Qt::Key_Down);
    QCOMPARE(table->model()->headerData(kTemperature, Qt::Horizontal).toString(),
             QStringLiteral("Temperature (°F)"));
    QCOMPARE(column(table, kTemperature), QStringList{"50"});
    QVERIFY(w.list()
                ->model()
                ->index(0, 0)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("Temperature 50 °F")));
    w.window.close();
    QVERIFY(w.dir.read(QStringLiteral("Quintaro.ini")).endsWith(",#FALSE#,#FALSE#,\"US\"\r\n"));

    quintaro::MainWindow again(quintaro::EngineLink::kAgwPort, QString());
    again.start();
    QVERIFY(again.findChild<QAbstractItemView *>(QStringLiteral("lstWxCalls"))
                ->model()
                ->headerData(kTemperature, Qt::Horizontal)
                .toString()
                .endsWith(QStringLiteral("(°F)")));
}

void TestStationDetailsWindow::historyRecorded()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    {
        StationWindow w(StationWindow::Recorded, path);
        // A report, its digipeated copy, another station's, and a later
        // report of the first.
        QTcpSocket *peer = w.peer();
        QVERIFY(peer);
        QCOMPARE(deliver(w.socket(), peer,
                         {reportVia("IK1AAA", "WIDE1-1", reportWith(50)),
                          reportVia("IK1AAA", "IR1DG*,WIDE2-1", reportWith(50)),
                          reportVia("IK2BBB", "WIDE2-1", reportWith(32)),
                          reportVia("IK1AAA", "WIDE1-1", reportWith(51))}),
                 std::size_t(4));
        QTRY_COMPARE(column(openDetails(w), kReports), (QStringList{"2", "1"}));
        // Clearing the list leaves the store as it is.
        w.trigger("nmuClearList");
    }

    testsupport::HistoryFixture store(path);
    QSqlQuery query(store.database());
    QVERIFY(
        query.exec(QStringLiteral("SELECT call, path, temperature_f FROM reports ORDER BY id")));
    QStringList rows;
    while (query.next())
        rows << query.value(0).toString() + QLatin1Char(' ') + query.value(1).toString() +
                    QLatin1Char(' ') + query.value(2).toString();
    QCOMPARE(rows, (QStringList{"IK1AAA WIDE1-1 50", "IK2BBB WIDE2-1 32", "IK1AAA WIDE1-1 51"}));
}

void TestStationDetailsWindow::historyNotKept()
{
    // A folder that cannot be made: under a file.
    StationWindow w(StationWindow::Recorded, QStringLiteral("/dev/null/quintaro/history.sqlite"));
    QVERIFY(w.hear("IK1AAA"));
    QTRY_VERIFY(w.list()->toolTip().startsWith(QStringLiteral("Wx Station List\nHistory")));
    QCOMPARE(w.list()->accessibleDescription(), w.list()->toolTip().section(QLatin1Char('\n'), 1));
    QVERIFY(openDetails(w));
    auto *label = w.window.findChild<QLabel *>(QStringLiteral("lblHistory"));
    QVERIFY(label && label->isVisible());
    QCOMPARE(label->text(), w.list()->accessibleDescription());
    // The link's status tells only of the link.
    QCOMPARE(w.child<QLabel>("lblAGW")->text(), QStringLiteral("Status Window"));
    QCOMPARE(w.calls(), QStringList{QStringLiteral("IK1AAA")});
}

QTEST_MAIN(TestStationDetailsWindow)
#include "tst_stationdetails.moc"
