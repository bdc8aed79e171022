// The station list's commands in the main window and the starting of
// Brezomat: the window showing the list's title and menus, the entries and
// their open status through every command, the questions and warnings, the
// command line, a run over all entries while the list changes under it, the
// list's limit, and what a screen reader hears. The list's own rules are
// tested on the plain StationList (tests/stations).

#include "StationWindow.h"

#include <QAccessible>
#include <QLabel>
#include <QTimer>
#include <functional>

using namespace quintaro;
using testsupport::isOpen;
using testsupport::StationWindow;

namespace {

void writeListFiles(StationWindow &w)
{
    QVERIFY(w.dir.write(QStringLiteral("two.txt"), "IK1ABC\r\nIK2DEF\r\n"));
    QVERIFY(w.dir.write(QStringLiteral("one.txt"), "IK3GHI\r\n"));
    QVERIFY(w.dir.write(QStringLiteral("empty.txt"), ""));
    QVERIFY(w.dir.write(QStringLiteral("bad.txt"), "IK1ABC\r\nXY\r\n"));
}

std::string radioBytes(const QString &call)
{
    return call.toLatin1().toStdString();
}

// Row `row` of the station list as the view shows it.
QModelIndex row(StationWindow &w, int row)
{
    return w.list()->model()->index(row, 0);
}

int rowCount(StationWindow &w)
{
    return w.list()->model()->rowCount();
}

// Starts that run the test's own code while the launcher waits for them, so
// that a test can change the list exactly where a run over the list is.
class ScriptedStarter final : public stations::ProgramStarter
{
public:
    ScriptedStarter() { stations::setProgramStarter(this); }
    ~ScriptedStarter() override { stations::setProgramStarter(nullptr); }

    QStringList failing;                          // calls whose start fails
    std::function<void(const QString &)> onStart; // runs inside every start
    QStringList startedCalls;

    long long start(std::string_view commandLine) override
    {
        // "brez CALL host": calls in these tests hold no blank.
        const QString call = QString::fromLatin1(commandLine.data(), qsizetype(commandLine.size()))
                                 .section(QLatin1Char(' '), 1, 1);
        startedCalls << call;
        if (onStart)
            onStart(call);
        return failing.contains(call) ? 0 : 77;
    }
};

// A step of StationWindow, or "send CALL": the engine sends a weather report
// from CALL and the test goes on at once; the window reads it when its event
// loop next turns.
bool runStep(StationWindow &w, const QString &step)
{
    if (step.startsWith(QLatin1String("send "))) {
        QTcpSocket *peer = w.peer();
        if (!peer)
            return false;
        agwtest::send(peer, testsupport::weatherReportFrom(radioBytes(step.mid(5))));
        return true;
    }
    return w.run(step);
}

} // namespace

class TestStationCommands : public QObject
{
    Q_OBJECT

private slots:
    void titleAndMenus_data();
    void titleAndMenus();
    void stationHeardAgain_data();
    void stationHeardAgain();
    void openStatus_data();
    void openStatus();
    void nothingSelectedAfterCancel();
    void alreadyLoaded_data();
    void alreadyLoaded();
    void startFailureWarning();
    void weatherDisplayStandsIn_data();
    void weatherDisplayStandsIn();
    void loadAllWithUnusablePath_data();
    void loadAllWithUnusablePath();
    void commandLine_data();
    void commandLine();
    void pathAndAddressReadAtEveryStart();
    void runWhileListChanges_data();
    void runWhileListChanges();
    void automaticStartWhileListChanges_data();
    void automaticStartWhileListChanges();
    void listLimit();
    void screenReader();
};

// The window shows the station list's title and menus after every event
// that changes them, and keeps its own title until one does. Each step:
// "action | title afterwards | menus afterwards", the menus being "&Wx List"
// then "&Save Wx Station List as...", "+" enabled, "-" disabled.
void TestStationCommands::titleAndMenus_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("rejected and cancelled loads at start") << QStringList{
        "load bad.txt  | Quintaro v2.01                         | --",
        "load no.txt   | Quintaro v2.01                         | --",
        "load-cancel   | Quintaro - no.txt - 0 stations         | --",
    };
    QTest::newRow("every command and the link") << QStringList{
        "hear IK1ABC   | Quintaro - 1 stations (list not saved) | ++",
        "save s.txt    | Quintaro - s.txt - 1 stations          | ++",
        "hear IK1ABC   | Quintaro - s.txt - 1 stations          | ++",
        "save-cancel   | Quintaro - s.txt - 1 stations          | ++",
        "hear IK2DEF   | Quintaro - 2 stations (list not saved) | ++",
        "disconnect    | Quintaro - 2 stations (list not saved) | ++",
        "connect       | Quintaro - 2 stations                  | ++",
        "select -1     | Quintaro - 2 stations                  | ++",
        "cancel        | Quintaro - 2 stations (list not saved) | ++",
        "load two.txt  | Quintaro - two.txt - 2 stations        | ++",
        "select 1      | Quintaro - two.txt - 2 stations        | ++",
        "set           | Quintaro - two.txt - 2 stations        | ++",
        "reset         | Quintaro - two.txt - 2 stations        | ++",
        "loaditem      | Quintaro - two.txt - 2 stations        | ++",
        "fail          | Quintaro - two.txt - 2 stations        | ++",
        "loadall       | Quintaro - two.txt - 2 stations        | ++",
        "load no.txt   | Quintaro - two.txt - 2 stations        | ++",
        "load-cancel   | Quintaro - no.txt - 2 stations         | ++",
        "load bad.txt  | Quintaro - no.txt - 2 stations         | ++",
        "select 0      | Quintaro - no.txt - 2 stations         | ++",
        "cancel        | Quintaro - 1 stations (list not saved) | ++",
        "select 0      | Quintaro - 1 stations (list not saved) | ++",
        "cancel        | Quintaro - 0 stations (list not saved) | --",
        "load-cancel   | Quintaro -  - 0 stations               | --",
        "load empty.txt | Quintaro - empty.txt - 0 stations     | --",
        "load one.txt  | Quintaro - one.txt - 1 stations        | ++",
        "clear         | Quintaro - 0 stations                  | --",
    };
}

void TestStationCommands::titleAndMenus()
{
    QFETCH(QStringList, steps);

    StationWindow w;
    writeListFiles(w);
    QCOMPARE(w.title(), QStringLiteral("Quintaro v2.01"));
    QCOMPARE(w.menus(), QStringLiteral("--"));

    for (const QString &line : steps) {
        const QStringList parts = line.split(QLatin1Char('|'));
        QCOMPARE(parts.size(), 3);
        const QString step = parts.at(0).trimmed();
        QVERIFY2(w.run(step), qPrintable(step));
        QCOMPARE(w.title(), parts.at(1).trimmed());
        QCOMPARE(w.menus(), parts.at(2).trimmed());
    }
}

// The window takes the call's bytes as the radio brought them: a station is
// new unless exactly its bytes are listed, and one heard again changes
// nothing at all (title, selection, starts).
void TestStationCommands::stationHeardAgain_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("distinct");

    QTest::newRow("letter case") << "IK1ABC"
                                 << "ik1abc" << true;
    QTest::newRow("trailing blank") << "IK1ABC"
                                    << "IK1ABC " << true;
    QTest::newRow("high byte") << QString::fromLatin1("IK1\xC4") << QString::fromLatin1("IK1\xE4")
                               << true;
    QTest::newRow("same call twice") << "IK1ABC-13"
                                     << "IK1ABC-13" << false;
}

void TestStationCommands::stationHeardAgain()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, distinct);

    StationWindow w;
    QVERIFY(w.hear(radioBytes(first)));
    w.save(QStringLiteral("s.txt"));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - s.txt - 1 stations"));
    w.select(0);
    w.clickAutoLoad();

    QVERIFY(w.hear(radioBytes(second)));
    if (distinct) {
        QCOMPARE(w.calls(), (QStringList{first, second}));
        QCOMPARE(w.statuses(), (QList<int>{0, 1}));
        QCOMPARE(w.title(), QStringLiteral("Quintaro - 2 stations (list not saved)"));
        QCOMPARE(w.started(), QByteArrayList{"Orbetti.exe " + second.toLatin1() + " localhost"});
    } else {
        QCOMPARE(w.calls(), QStringList{first});
        QCOMPARE(w.statuses(), QList<int>{0});
        QCOMPARE(w.title(), QStringLiteral("Quintaro - s.txt - 1 stations"));
        QCOMPARE(w.started().size(), 0);
        QCOMPARE(w.selected(), 0);
    }
    QCOMPARE(w.boxes.requests.size(), 0);
}

void TestStationCommands::openStatus_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<int>("starts");
    QTest::addColumn<QStringList>("boxTitles");

    using S = QStringList;
    using L = QList<int>;
    const S none;

    QTest::newRow("heard, automatic start off") << S{"hear A1A"} << S{"A1A"} << L{0} << 0 << none;
    QTest::newRow("heard, automatic start on and succeeding")
        << S{"autoload", "hear A1A"} << S{"A1A"} << L{1} << 1 << none;
    QTest::newRow("heard, automatic start on and failing")
        << S{"autoload", "fail", "hear A1A"} << S{"A1A"} << L{0} << 1
        << S{"Wx Station A1A not loaded"};
    QTest::newRow("heard again after a failed start: nothing retried")
        << S{"autoload", "fail", "hear A1A", "hear A1A"} << S{"A1A"} << L{0} << 1
        << S{"Wx Station A1A not loaded"};
    QTest::newRow("load item starts the selected entry")
        << S{"hear A1A", "hear B2B", "select 1", "loaditem"} << S{"A1A", "B2B"} << L{0, 1} << 1
        << none;
    QTest::newRow("load item failing keeps 0, again retries without a question")
        << S{"hear A1A", "select 0", "fail", "loaditem", "loaditem"} << S{"A1A"} << L{1} << 2
        << S{"Wx Station A1A not loaded"};
    QTest::newRow("load item with no selection")
        << S{"hear A1A", "select -1", "loaditem"} << S{"A1A"} << L{0} << 0 << none;
    QTest::newRow("load item on an empty list")
        << S{"hear A1A", "select 0", "cancel", "loaditem"} << none << L{} << 0 << none;
    QTest::newRow("open entry, No starts nothing")
        << S{"autoload", "hear A1A", "select 0", "answer no", "loaditem"} << S{"A1A"} << L{1} << 1
        << S{"A1A Already Loaded"};
    QTest::newRow("open entry, Yes starts another copy")
        << S{"autoload", "hear A1A", "select 0", "answer yes", "loaditem"} << S{"A1A"} << L{1} << 2
        << S{"A1A Already Loaded"};
    QTest::newRow("open entry, Yes with a failing start keeps 1")
        << S{"autoload", "hear A1A", "select 0", "answer yes", "fail", "loaditem"} << S{"A1A"}
        << L{1} << 2 << S{"A1A Already Loaded", "Wx Station A1A not loaded"};
    QTest::newRow("set entry counts as open for load item")
        << S{"hear A1A", "select 0", "set", "loaditem"} << S{"A1A"} << L{1} << 0
        << S{"A1A Already Loaded"};
    QTest::newRow("load all starts every entry whatever its status")
        << S{"hear A1A", "hear B2B", "hear C3C", "select 1", "set", "loadall"}
        << S{"A1A", "B2B", "C3C"} << L{1, 1, 1} << 3 << none;
    QTest::newRow("load all with a failure in the middle")
        << S{"hear A1A", "hear B2B", "hear C3C", "ok", "fail", "loadall"} << S{"A1A", "B2B", "C3C"}
        << L{1, 0, 1} << 3 << S{"Wx Station B2B not loaded"};
    QTest::newRow("load all failing keeps open entries open")
        << S{"autoload", "hear A1A", "hear B2B", "fail 2", "loadall"} << S{"A1A", "B2B"} << L{1, 1}
        << 4 << S{"Wx Station A1A not loaded", "Wx Station B2B not loaded"};
    QTest::newRow("load all on an empty list")
        << S{"hear A1A", "clear", "loadall"} << none << L{} << 0 << none;
    QTest::newRow("set") << S{"hear A1A", "hear B2B", "select 0", "set"} << S{"A1A", "B2B"}
                         << L{1, 0} << 0 << none;
    QTest::newRow("reset") << S{"autoload", "hear A1A", "hear B2B", "select 1", "reset"}
                           << S{"A1A", "B2B"} << L{1, 0} << 2 << none;
    QTest::newRow("set with no selection")
        << S{"hear A1A", "hear B2B", "select -1", "set"} << S{"A1A", "B2B"} << L{0, 0} << 0 << none;
    QTest::newRow("reset with no selection")
        << S{"autoload", "hear A1A", "select -1", "reset"} << S{"A1A"} << L{1} << 1 << none;
    QTest::newRow("cancel keeps the statuses of the others")
        << S{"hear A1A", "hear B2B", "hear C3C", "hear D4D", "select 1",
             "set",      "select 3", "set",      "select 2", "cancel"}
        << S{"A1A", "B2B", "D4D"} << L{0, 1, 1} << 0 << none;
    QTest::newRow("cancel of the first entry")
        << S{"hear A1A", "hear B2B", "hear C3C", "select 1", "set", "select 0", "cancel"}
        << S{"B2B", "C3C"} << L{1, 0} << 0 << none;
    QTest::newRow("a cancelled call is new when heard again")
        << S{"hear A1A", "hear B2B", "select 0", "set", "cancel", "autoload", "hear A1A"}
        << S{"B2B", "A1A"} << L{0, 1} << 1 << none;
    QTest::newRow("a cleared call is new when heard again")
        << S{"autoload", "hear A1A", "clear", "hear A1A"} << S{"A1A"} << L{1} << 2 << none;
    QTest::newRow("clear") << S{"autoload", "hear A1A", "hear B2B", "select 0", "clear", "set"}
                           << none << L{} << 2 << none;
}

void TestStationCommands::openStatus()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    QFETCH(QList<int>, statuses);
    QFETCH(int, starts);
    QFETCH(QStringList, boxTitles);

    StationWindow w;
    for (const QString &step : steps)
        QVERIFY2(w.run(step), qPrintable(step));
    QCOMPARE(w.calls(), calls);
    QCOMPARE(w.statuses(), statuses);
    QCOMPARE(w.started().size(), starts);
    QCOMPARE(w.boxTitles(), boxTitles);
}

void TestStationCommands::nothingSelectedAfterCancel()
{
    StationWindow w;
    for (const char *call : {"A1A", "B2B", "C3C"})
        QVERIFY(w.hear(call));
    w.select(1);
    w.trigger("nmuCancelItem");
    QCOMPARE(w.calls(), (QStringList{"A1A", "C3C"}));
    QCOMPARE(w.selected(), -1);
    // The commands that need a selection now find none.
    w.trigger("nmuSetItem");
    w.trigger("nmuLoadItem");
    w.trigger("nmuCancelItem");
    QCOMPARE(w.calls(), (QStringList{"A1A", "C3C"}));
    QCOMPARE(w.statuses(), (QList<int>{0, 0}));
    QCOMPARE(w.started().size(), 0);
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 2 stations (list not saved)"));
}

void TestStationCommands::alreadyLoaded_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("starts");

    QTest::newRow("Yes") << int(YesAnswer) << 2;
    QTest::newRow("No") << int(NoAnswer) << 1;
}

void TestStationCommands::alreadyLoaded()
{
    QFETCH(int, answer);
    QFETCH(int, starts);

    StationWindow w;
    w.txtPath()->setText(QStringLiteral("/opt/brez"));
    w.txtAddr()->setText(QStringLiteral("host"));
    QVERIFY(w.hear("IK1ABC"));
    w.clickAutoLoad();
    QVERIFY(w.hear("IK2DEF-7"));
    w.select(1);
    w.boxes.answerNext(answer);
    w.trigger("nmuLoadItem");

    QCOMPARE(w.boxes.requests.size(), 1);
    const auto &box = w.boxes.requests.first();
    QCOMPARE(box.prompt, "The Wx Station IK2DEF-7 has been Already Loaded." + testsupport::kCrLf +
                             "Load anyway ?");
    QCOMPARE(box.style, 4);
    QCOMPARE(box.title, QStringLiteral("IK2DEF-7 Already Loaded"));
    QCOMPARE(w.started().size(), starts);
    for (const QByteArray &line : w.started())
        QCOMPARE(line, QByteArray("/opt/brez IK2DEF-7 host"));
    QCOMPARE(w.statuses(), (QList<int>{0, 1}));
    QCOMPARE(w.selected(), 1);
}

void TestStationCommands::startFailureWarning()
{
    StationWindow w;
    w.clickAutoLoad();
    w.starter->failNext();
    QVERIFY(w.hear("IK1ABC-13"));

    QCOMPARE(w.boxes.requests.size(), 1);
    const auto &box = w.boxes.requests.first();
    QCOMPARE(box.prompt, "Application Brezomat not found" + testsupport::kCrLf +
                             "Please set path in File->Set Brezomat Path");
    QCOMPARE(box.style, 48);
    QCOMPARE(box.title, QStringLiteral("Wx Station IK1ABC-13 not loaded"));
    QCOMPARE(w.statuses(), QList<int>{0});
    // The entry stays, and the list's title counts it.
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 1 stations (list not saved)"));
    // A start that succeeds marks the entry; one that fails leaves it.
    w.select(0);
    w.starter->failNext();
    w.trigger("nmuLoadItem");
    QCOMPARE(w.statuses(), QList<int>{0});
    w.trigger("nmuLoadItem");
    QCOMPARE(w.statuses(), QList<int>{1});
    QCOMPARE(w.started().size(), 3);
    QCOMPARE(w.boxes.requests.size(), 2);
}

void TestStationCommands::weatherDisplayStandsIn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("brezomatStarts");
    QTest::addColumn<bool>("displayInstalled");
    QTest::addColumn<bool>("displayTried");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("boxes");

    QTest::newRow("default program missing, display there")
        << "Orbetti.exe" << false << true << true << 1 << 0;
    QTest::newRow("default program with blanks around it")
        << "  Orbetti.exe " << false << true << true << 1 << 0;
    QTest::newRow("both missing: one warning") << "Orbetti.exe" << false << false << true << 0 << 1;
    QTest::newRow("default program there") << "Orbetti.exe" << true << true << false << 1 << 0;
    QTest::newRow("another program missing") << "/opt/brez" << false << true << false << 0 << 1;
    QTest::newRow("a path that only ends like it")
        << "/opt/Orbetti.exe" << false << true << false << 0 << 1;
}

void TestStationCommands::weatherDisplayStandsIn()
{
    QFETCH(QString, path);
    QFETCH(bool, brezomatStarts);
    QFETCH(bool, displayInstalled);
    QFETCH(bool, displayTried);
    QFETCH(int, status);
    QFETCH(int, boxes);

    StationWindow w;
    w.txtPath()->setText(path);
    w.txtAddr()->setText(QStringLiteral(" radio.lan "));
    w.starter->setWeatherDisplayInstalled(displayInstalled);
    if (!brezomatStarts)
        w.starter->failNext();
    w.clickAutoLoad();
    QVERIFY(w.hear("IK1ABC-13"));

    QCOMPARE(w.started(), QByteArrayList{path.trimmed().toUtf8() + " IK1ABC-13 radio.lan"});
    const std::vector<std::string> display{
        testsupport::RecordingProgramStarter::weatherDisplayPath() + " IK1ABC-13 radio.lan"};
    QCOMPARE(w.starter->weatherDisplayLines, displayTried ? display : std::vector<std::string>{});
    QCOMPARE(w.statuses(), QList<int>{status});
    QCOMPARE(w.boxes.requests.size(), boxes);
}

void TestStationCommands::loadAllWithUnusablePath_data()
{
    QTest::addColumn<QString>("path"); // "<dir>" stands for the work directory

    QTest::newRow("empty path") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("missing program") << "/nonexistent folder/Orbetti.exe";
    QTest::newRow("a folder") << "<dir>";
    QTest::newRow("a file that is not a program") << "<dir>/notes.txt";
}

void TestStationCommands::loadAllWithUnusablePath()
{
    QFETCH(QString, path);

    // The real starter: nothing it could run exists.
    StationWindow w(StationWindow::RealStarter);
    QVERIFY(w.dir.write(QStringLiteral("notes.txt"), "not a program\n"));
    w.txtPath()->setText(QString(path).replace(QLatin1String("<dir>"), w.dir.path()));
    for (const char *call : {"IK1ABC", "IK2DEF", "IK3GHI"})
        QVERIFY(w.hear(call));
    w.select(1);
    w.trigger("nmuSetItem");

    w.trigger("nmuLoadAllItems");
    QCOMPARE(w.boxTitles(),
             (QStringList{"Wx Station IK1ABC not loaded", "Wx Station IK2DEF not loaded",
                          "Wx Station IK3GHI not loaded"}));
    for (const auto &box : w.boxes.requests)
        QCOMPARE(box.style, 48);
    QCOMPARE(w.statuses(), (QList<int>{0, 1, 0}));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 3 stations (list not saved)"));
}

void TestStationCommands::commandLine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("plain") << "/opt/brez/Orbetti"
                           << "localhost"
                           << "IK1ABC-13" << QByteArray("/opt/brez/Orbetti IK1ABC-13 localhost");
    QTest::newRow("blanks around path and address dropped")
        << "   /opt/brez/Orbetti  "
        << "  10.0.0.2 "
        << "IK1ABC" << QByteArray("/opt/brez/Orbetti IK1ABC 10.0.0.2");
    QTest::newRow("blanks inside path and address kept")
        << "/opt/my brez/Orbetti x"
        << "my  host"
        << "IK1ABC" << QByteArray("/opt/my brez/Orbetti x IK1ABC my  host");
    QTest::newRow("empty address ends in the call and a blank")
        << "/opt/brez"
        << ""
        << "IK1ABC" << QByteArray("/opt/brez IK1ABC ");
    QTest::newRow("address of blanks only") << "/opt/brez"
                                            << "    "
                                            << "IK1ABC" << QByteArray("/opt/brez IK1ABC ");
    QTest::newRow("empty path") << ""
                                << "h"
                                << "IK1ABC" << QByteArray(" IK1ABC h");
    QTest::newRow("call with a trailing blank untrimmed")
        << "/opt/brez"
        << "h"
        << "IK1ABC " << QByteArray("/opt/brez IK1ABC  h");
    QTest::newRow("call with a blank inside") << "/opt/brez"
                                              << "h"
                                              << "IK1 ABC" << QByteArray("/opt/brez IK1 ABC h");
    QTest::newRow("nothing quoted")
        << "C:\\Program Files\\Orbetti.exe"
        << "h"
        << "A\"B" << QByteArray("C:\\Program Files\\Orbetti.exe A\"B h");
    QTest::newRow("radio bytes of the call unchanged")
        << "/opt/brez"
        << "h" << QString::fromLatin1("IK1\xC4\xFF") << QByteArray("/opt/brez IK1\xC4\xFF h");
}

void TestStationCommands::commandLine()
{
    QFETCH(QString, path);
    QFETCH(QString, address);
    QFETCH(QString, call);
    QFETCH(QByteArray, line);

    StationWindow w;
    w.txtPath()->setText(path);
    w.txtAddr()->setText(address);
    w.clickAutoLoad();
    QVERIFY(w.hear(radioBytes(call))); // the automatic start
    w.select(0);
    w.trigger("nmuResetItem");
    w.trigger("nmuLoadItem"); // the menu command
    w.trigger("nmuLoadAllItems");
    QCOMPARE(w.started(), (QByteArrayList{line, line, line}));
    QCOMPARE(w.calls(), QStringList{call});
    // The text boxes keep what the user typed.
    QCOMPARE(w.txtPath()->text(), path);
    QCOMPARE(w.txtAddr()->text(), address);
}

void TestStationCommands::pathAndAddressReadAtEveryStart()
{
    StationWindow w;
    w.txtPath()->setText(QStringLiteral("/old/brez"));
    w.txtAddr()->setText(QStringLiteral("old.lan"));
    w.clickAutoLoad();
    QVERIFY(w.hear("IK1ABC"));
    w.txtPath()->setText(QStringLiteral("/new/brez"));
    w.txtAddr()->setText(QStringLiteral("new.lan"));
    QVERIFY(w.hear("IK2DEF"));
    QCOMPARE(w.started(), (QByteArrayList{"/old/brez IK1ABC old.lan", "/new/brez IK2DEF new.lan"}));
}

// A run over all entries during which the list changes: "when" the test's
// steps run (inside the start of the entry "at", in the pause for events
// that follows it, or while the warning for its failed start is open).
// Stations heard in a pause are read there; a report the engine sends
// during a start ("send") is read in the pause after it.
void TestStationCommands::runWhileListChanges_data()
{
    QTest::addColumn<QStringList>("initial");
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("started");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QList<int>>("statuses");

    using S = QStringList;
    using L = QList<int>;
    const S five{"A1A", "B2B", "C3C", "D4D", "E5E"};

    QTest::newRow("last two removed in a pause: the run stops at the end")
        << five << "pause"
        << "B2B" << S{"select 4", "cancel", "select 3", "cancel"} << S{"A1A", "B2B", "C3C"}
        << S{"A1A", "B2B", "C3C"} << L{1, 1, 1};
    QTest::newRow("running entry removed during its start is not marked, nor its neighbour")
        << five << "start"
        << "A1A" << S{"select 0", "cancel"} << S{"A1A", "C3C", "D4D", "E5E"}
        << S{"B2B", "C3C", "D4D", "E5E"} << L{0, 1, 1, 1};
    QTest::newRow("entry before the current one removed in a pause")
        << five << "pause"
        << "B2B" << S{"select 0", "cancel"} << S{"A1A", "B2B", "D4D", "E5E"}
        << S{"B2B", "C3C", "D4D", "E5E"} << L{1, 0, 1, 1};
    QTest::newRow("cleared during a start, a new station in its place is not marked")
        << five << "start"
        << "C3C" << S{"clear", "send N1N"} << S{"A1A", "B2B", "C3C"} << S{"N1N"} << L{0};
    QTest::newRow("list loaded during a start, the entry in its place is not marked")
        << five << "start"
        << "A1A" << S{"load two.txt"} << S{"A1A", "IK2DEF"} << S{"IK1ABC", "IK2DEF"} << L{0, 1};
    QTest::newRow("cleared in a pause, a new station is not visited")
        << five << "pause"
        << "A1A" << S{"clear", "hear N1N"} << S{"A1A"} << S{"N1N"} << L{0};
    QTest::newRow("cleared in the last pause")
        << S{"A1A", "B2B"} << "pause"
        << "B2B" << S{"clear"} << S{"A1A", "B2B"} << S{} << L{};
    QTest::newRow("stations added in a pause are not visited")
        << S{"A1A", "B2B"} << "pause"
        << "A1A" << S{"hear N1N", "hear N2N"} << S{"A1A", "B2B"} << S{"A1A", "B2B", "N1N", "N2N"}
        << L{1, 1, 0, 0};
    QTest::newRow("station added with automatic start is started once")
        << S{"A1A", "B2B"} << "pause"
        << "A1A" << S{"autoload", "hear N1N"} << S{"A1A", "N1N", "B2B"} << S{"A1A", "B2B", "N1N"}
        << L{1, 1, 1};
    QTest::newRow("rest removed while a warning is open")
        << S{"A1A", "B2B", "C3C", "D4D"} << "warning"
        << "B2B" << S{"select 3", "cancel", "select 2", "cancel"} << S{"A1A", "B2B"}
        << S{"A1A", "B2B"} << L{1, 0};
    QTest::newRow("failing entry removed while its warning is open")
        << S{"A1A", "B2B", "C3C"} << "warning"
        << "A1A" << S{"select 0", "cancel"} << S{"A1A", "C3C"} << S{"B2B", "C3C"} << L{0, 1};
}

void TestStationCommands::runWhileListChanges()
{
    QFETCH(QStringList, initial);
    QFETCH(QString, when);
    QFETCH(QString, at);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, started);
    QFETCH(QStringList, calls);
    QFETCH(QList<int>, statuses);

    StationWindow w(StationWindow::RealStarter);
    ScriptedStarter starter;
    writeListFiles(w);
    w.txtPath()->setText(QStringLiteral("brez"));
    w.txtAddr()->setText(QStringLiteral("host"));
    for (const QString &call : initial)
        QVERIFY(w.hear(radioBytes(call)));

    bool done = false;
    const auto runSteps = [&] {
        if (done)
            return;
        done = true;
        for (const QString &step : steps)
            QVERIFY2(runStep(w, step), qPrintable(step));
    };
    if (when == QLatin1String("warning")) {
        starter.failing << at;
        w.boxes.whileShown = [&](const testsupport::FakeMessageBoxes::Request &box) {
            if (box.title == "Wx Station " + at + " not loaded")
                runSteps();
        };
    }
    starter.onStart = [&](const QString &call) {
        if (call != at || when == QLatin1String("warning"))
            return;
        if (when == QLatin1String("start"))
            runSteps();
        else
            QTimer::singleShot(0, &w.window, runSteps);
    };

    w.trigger("nmuLoadAllItems");
    QVERIFY(done);
    QCOMPARE(starter.startedCalls, started);
    QTRY_COMPARE_WITH_TIMEOUT(w.calls(), calls, testsupport::kWait);
    QCOMPARE(w.statuses(), statuses);
}

// A heard station whose automatic start fails while the list changes under
// the open warning: the failure is recorded on that station, wherever it now
// stands, and on no other. While the warning is open the link reads nothing;
// what the engine sends meanwhile is read once it is closed.
void TestStationCommands::automaticStartWhileListChanges_data()
{
    QTest::addColumn<QStringList>("steps"); // while the warning is open
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QList<int>>("statuses");

    QTest::newRow("an entry before it removed, another heard")
        << QStringList{"select 0", "cancel", "send X1X"} << QStringList{"B2B", "C3C", "X1X"}
        << QList<int>{1, 0, 1};
    QTest::newRow("cleared, three heard")
        << QStringList{"clear", "send X1X", "send Y2Y", "send Z3Z"}
        << QStringList{"X1X", "Y2Y", "Z3Z"} << QList<int>{1, 1, 1};
    QTest::newRow("the station itself removed")
        << QStringList{"select 2", "cancel"} << QStringList{"A1A", "B2B"} << QList<int>{1, 1};
    QTest::newRow("a list loaded, the entry in its place set open")
        << QStringList{"load four.txt", "select 2", "set"}
        << QStringList{"W1W", "X1X", "Y2Y", "Z3Z"} << QList<int>{0, 0, 1, 0};
}

void TestStationCommands::automaticStartWhileListChanges()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    QFETCH(QList<int>, statuses);

    StationWindow w;
    QVERIFY(w.dir.write(QStringLiteral("four.txt"), "W1W\r\nX1X\r\nY2Y\r\nZ3Z\r\n"));
    w.clickAutoLoad();
    QVERIFY(w.hear("A1A"));
    QVERIFY(w.hear("B2B"));
    bool done = false;
    w.boxes.whileShown = [&](const testsupport::FakeMessageBoxes::Request &box) {
        if (done || box.title != QLatin1String("Wx Station C3C not loaded"))
            return;
        done = true;
        for (const QString &step : steps)
            QVERIFY2(runStep(w, step), qPrintable(step));
    };
    w.starter->failNext();
    QVERIFY(w.hear("C3C"));
    QVERIFY(done);
    QTRY_COMPARE_WITH_TIMEOUT(w.calls(), calls, testsupport::kWait);
    QCOMPARE(w.statuses(), statuses);
}

void TestStationCommands::listLimit()
{
    StationWindow w;
    // Connected first: the connection writes a title of its own.
    QVERIFY(w.connectLink());
    QByteArray file;
    for (int i = 0; i < 32767; ++i)
        file += QByteArray::number(100000 + i).prepend('S') + "\r\n";
    QVERIFY(w.dir.write(QStringLiteral("full.txt"), file));
    w.load(QStringLiteral("full.txt"));
    QCOMPARE(rowCount(w), 32767);
    QCOMPARE(w.title(), QStringLiteral("Quintaro - full.txt - 32767 stations"));
    w.clickAutoLoad();

    // A new station at the limit is ignored; the list works on.
    QVERIFY(w.hear("IK1NEW"));
    QVERIFY(w.hear("S100005"));
    QCOMPARE(rowCount(w), 32767);
    QCOMPARE(row(w, 32766).data().toString(), QStringLiteral("S132766"));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - full.txt - 32767 stations"));
    QCOMPARE(w.started().size(), 0);
    QCOMPARE(w.boxes.requests.size(), 0);
    QCOMPARE(w.menus(), QStringLiteral("++"));

    w.select(0);
    w.trigger("nmuCancelItem");
    QVERIFY(w.hear("IK1NEW"));
    QCOMPARE(rowCount(w), 32767);
    QCOMPARE(row(w, 32766).data().toString(), QStringLiteral("IK1NEW"));
    QVERIFY(isOpen(row(w, 32766)));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 32767 stations (list not saved)"));
    QVERIFY(w.hear("IK2NEW"));
    QCOMPARE(rowCount(w), 32767);
    QCOMPARE(w.started(), QByteArrayList{"Orbetti.exe IK1NEW localhost"});
}

// What an assistive technology hears and does: the link's status label is
// announced with its current text, and the options follow a toggle action
// as they follow a click.
void TestStationCommands::screenReader()
{
    StationWindow w;
    writeListFiles(w);
    auto *label = w.child<QLabel>("lblAGW");
    const auto name = [](QObject *o) {
        return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
    };
    QCOMPARE(name(label), QStringLiteral("Status Window"));
    QTcpSocket *engine = w.connectLink();
    QVERIFY(engine);
    agwtest::send(engine, agwtest::versionReply());
    QTRY_COMPARE(label->text(), QStringLiteral("Connesso ad AGWPE v2000.78"));
    QCOMPARE(name(label), label->text());

    for (const char *box : {"chkAutoLoad", "chkAutoLoadAll"}) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w.child<QCheckBox>(box));
        QVERIFY(face && face->actionInterface());
        face->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(w.child<QCheckBox>(box)->isChecked());
    }
    QVERIFY(w.run(QStringLiteral("hear IK9XYZ")));
    QCOMPARE(w.started(), QByteArrayList{"Orbetti.exe IK9XYZ localhost"});
    QVERIFY(w.run(QStringLiteral("load two.txt")));
    QCOMPARE(w.started().mid(1),
             (QByteArrayList{"Orbetti.exe IK1ABC localhost", "Orbetti.exe IK2DEF localhost"}));
}

QTEST_MAIN(TestStationCommands)
#include "tst_stationcommands.moc"
