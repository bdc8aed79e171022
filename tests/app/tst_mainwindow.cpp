// The main window as the user meets it: controls and menus at start, the
// settings file at load and unload, the engine's port, the options, the
// Set-Path command and the layout on resizing.

#include "AgwTestEngine.h"
#include "FakeDialogs.h"
#include "MainWindow.h"
#include "StationWindow.h"
#include "WorkDir.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace quintaro;
using testsupport::FakeFileDialogs;
using testsupport::FakeMessageBoxes;
using testsupport::StationWindow;
using testsupport::WorkDir;

namespace {

const QString kSettings = QStringLiteral("Quintaro.ini");
const QByteArray kDefaultRecord = "\"localhost\",\"Orbetti.exe\",0,0,4900,2950,\"#FALSE#\"\r\n";
const QByteArray kNoFile = "<missing>";

template <typename T> T *child(QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

QAction *action(QObject *window, const char *name)
{
    // A menu's own action shares the menu's name.
    for (QAction *a : window->findChildren<QAction *>(QLatin1String(name)))
        return a;
    qWarning("no action %s", name);
    return nullptr;
}

int px(int twips)
{
    return qRound(twips / 15.0);
}

// What the window writes at unload after the seventh value when those
// options were never touched: no automatic reconnecting, metric units.
const QByteArray kLaterValues = ",#FALSE#,\"metric\"\r\n";

// The record the window writes at unload for these values.
QByteArray record(const QString &address, const QString &path, const QRect &outerTwips,
                  bool autoConnect)
{
    return QStringLiteral("\"%1\",\"%2\",%3,%4,%5,%6,%7")
               .arg(address, path, QString::number(outerTwips.left()),
                    QString::number(outerTwips.top()), QString::number(outerTwips.width()),
                    QString::number(outerTwips.height()),
                    autoConnect ? QStringLiteral("#TRUE#") : QStringLiteral("#FALSE#"))
               .toUtf8() +
           kLaterValues;
}

// The main window in a work directory of its own, started from the settings
// file `settings` (kNoFile: none there), with scripted boxes and dialogs.
class Window
{
public:
    enum Start { Started, NotStarted };

    explicit Window(const QByteArray &settings = kNoFile, Start start = Started,
                    quint16 enginePort = EngineLink::kAgwPort)
        : window(enginePort, QString())
    {
        if (settings != kNoFile)
            QVERIFY(dir.write(kSettings, settings));
        if (start == Started)
            window.start();
    }

    // Shows the window and lets the window system frame it: start-up sets
    // the geometry again once the frame is known, one turn of the event
    // loop after the window was shown.
    bool showFramed()
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        QCoreApplication::processEvents();
        return true;
    }

    // Closes the window, which unloads it, and gives the settings file it
    // wrote.
    QByteArray unload()
    {
        window.close();
        return dir.read(kSettings);
    }

    template <typename T> T *find(const char *name) { return child<T>(&window, name); }

    WorkDir dir;
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    MainWindow window{EngineLink::kAgwPort, QString()};
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void controlsAtStart_data();
    void controlsAtStart();
    void menusAtStart_data();
    void menusAtStart();
    void accessibleNamesAndTabOrder();
    void loadSettings_data();
    void loadSettings();
    void connectsToTheEngineOnPort8000();
    void unloadWritesSettings();
    void unloadKeepsAddressUntrimmed();
    void options();
    void connectOnStartupToggleNeverConnects();
    void setPath();
    void setPathKeepsLastFileName();
    void layoutOnResize_data();
    void layoutOnResize();
    void minimumSize();
    void minimizeAndRestoreKeepLayout();
};

void TestMainWindow::controlsAtStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QRect>("designTwips"); // tops and heights are never moved by the layout
    QTest::addColumn<bool>("enabled");

    QTest::newRow("List2") << "List2"
                           << ""
                           << "Agw Packet Engine Monitor Window" << QRect(20, 0, 4710, 450) << true;
    QTest::newRow("lstWxCalls") << "lstWxCalls"
                                << ""
                                << "Wx Station List" << QRect(20, 480, 1335, 1620) << true;
    QTest::newRow("lblAGW") << "lblAGW"
                            << "Status Window"
                            << "" << QRect(1440, 480, 2655, 255) << true;
    QTest::newRow("lblAddr") << "lblAddr"
                             << "AGW IP Address:"
                             << "" << QRect(1440, 825, 1455, 255) << true;
    QTest::newRow("txtAddr") << "txtAddr"
                             << ""
                             << "" << QRect(2880, 800, 1215, 285) << true;
    QTest::newRow("lblPath") << "lblPath"
                             << "Brezomat Path:"
                             << "" << QRect(1440, 1080, 1335, 255) << true;
    QTest::newRow("txtPath (greyed)") << "txtPath"
                                      << ""
                                      << "" << QRect(1440, 1290, 3315, 285) << false;
    QTest::newRow("chkAutoLoadAll")
        << "chkAutoLoadAll"
        << "Open all Brezomats loading wx list"
        << "Automatically opens Brezomat for all Wx Stations when loading a Wx Station List"
        << QRect(1440, 1620, 2895, 255) << true;
    QTest::newRow("chkAutoLoad") << "chkAutoLoad"
                                 << "Open Brezomat for new wx station"
                                 << "Opens Brezomat when a Wx station not in list is heard"
                                 << QRect(1440, 1870, 2895, 255) << true;
}

void TestMainWindow::controlsAtStart()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    QFETCH(QRect, designTwips);
    QFETCH(bool, enabled);

    Window w(kNoFile, Window::NotStarted);
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Quintaro v2.01"));
    w.window.start();
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Quintaro v2.01"));

    QWidget *widget = w.window.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->toolTip(), toolTip);
    QCOMPARE(widget->isEnabled(), enabled);
    QCOMPARE(widget->y(), px(designTwips.top()));
    QCOMPARE(widget->height(), px(designTwips.height()));
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), caption);
    if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        QCOMPARE(box->text(), caption);
        QVERIFY(!box->isChecked());
        QVERIFY(box->width() >= px(designTwips.width()));
    }
}

void TestMainWindow::menusAtStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("parentMenu"); // empty: the menu bar

    QTest::newRow("nmuFile") << "nmuFile"
                             << "&File" << true << "";
    QTest::newRow("nmuPath") << "nmuPath"
                             << "Setup Brezomat &Path..." << true << "nmuFile";
    QTest::newRow("nmuLoad") << "nmuLoad"
                             << "&Load Wx Station List..." << true << "nmuFile";
    QTest::newRow("nmuSave") << "nmuSave"
                             << "&Save Wx Station List as..." << false << "nmuFile";
    QTest::newRow("mnuAutoConnect") << "mnuAutoConnect"
                                    << "&Connect on Startup" << true << "nmuFile";
    QTest::newRow("mnuExit") << "mnuExit"
                             << "&Exit" << true << "nmuFile";
    QTest::newRow("nmuListCommands") << "nmuListCommands"
                                     << "&Wx List" << false << "";
    QTest::newRow("nmuLoadItem") << "nmuLoadItem"
                                 << "&Open Brezomat for selected item" << true << "nmuListCommands";
    QTest::newRow("nmuCancelItem") << "nmuCancelItem"
                                   << "&Cancel selected item" << true << "nmuListCommands";
    QTest::newRow("nmuResetItem") << "nmuResetItem"
                                  << "&Reset open status of selected item" << true
                                  << "nmuListCommands";
    QTest::newRow("nmuSetItem") << "nmuSetItem"
                                << "&Set open status of selected item" << true << "nmuListCommands";
    QTest::newRow("nmuClearList") << "nmuClearList"
                                  << "Cl&ear Wx Station List" << true << "nmuListCommands";
    QTest::newRow("nmuLoadAllItems") << "nmuLoadAllItems"
                                     << "Open Brezomat for &All items" << true << "nmuListCommands";
    QTest::newRow("nmuBatch") << "nmuBatch"
                              << "&Generate Batch File..." << true << "nmuListCommands";
    QTest::newRow("nmuConnect") << "nmuConnect"
                                << "&Connect" << true << "";
    QTest::newRow("mnuHelp") << "mnuHelp"
                             << "&Help" << true << "";
}

void TestMainWindow::menusAtStart()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    QFETCH(QString, parentMenu);

    Window w;
    const QList<QAction *> actions = w.window.findChildren<QAction *>(name);
    QVERIFY(!actions.isEmpty());
    QAction *action = actions.first();
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->isEnabled(), enabled);
    QVERIFY(action->isVisible());
    QVERIFY(action->shortcut().isEmpty());
    QCOMPARE(action->isChecked(), false);

    const QList<QAction *> owners = parentMenu.isEmpty()
                                        ? w.window.menuBar()->actions()
                                        : w.find<QMenu>(parentMenu.toLatin1())->actions();
    QVERIFY2(owners.contains(action), "item is not where it belongs");
}

void TestMainWindow::accessibleNamesAndTabOrder()
{
    Window w;
    QWidget *window = &w.window;

    QCOMPARE(child<QWidget>(window, "List2")->accessibleName(),
             QStringLiteral("Agw Packet Engine Monitor Window"));
    QCOMPARE(child<QWidget>(window, "lstWxCalls")->accessibleName(),
             QStringLiteral("Wx Station List"));
    QCOMPARE(child<QWidget>(window, "txtAddr")->accessibleName(),
             QStringLiteral("AGW IP Address:"));
    QCOMPARE(child<QLabel>(window, "lblAddr")->buddy(), child<QWidget>(window, "txtAddr"));
    QCOMPARE(child<QWidget>(window, "txtPath")->accessibleName(), QStringLiteral("Brezomat Path:"));
    QCOMPARE(child<QLabel>(window, "lblPath")->buddy(), child<QWidget>(window, "txtPath"));
    // The status label is heard with its text, whatever the link's state.
    QCOMPARE(child<QWidget>(window, "lblAGW")->accessibleName(), QString());
    QCOMPARE(child<QWidget>(window, "chkAutoLoad")->accessibleName(),
             QStringLiteral("Open Brezomat for new wx station"));
    QCOMPARE(child<QWidget>(window, "chkAutoLoadAll")->accessibleName(),
             QStringLiteral("Open all Brezomats loading wx list"));

    // Focus moves in tab-index order over the controls that take it.
    QStringList order;
    QWidget *widget = child<QWidget>(window, "txtAddr");
    for (int i = 0; i < 5 && widget; ++i) {
        order << widget->objectName();
        do {
            widget = widget->nextInFocusChain();
        } while (widget && !(widget->focusPolicy() & Qt::TabFocus && widget->isEnabled()));
    }
    QCOMPARE(order,
             (QStringList{"txtAddr", "lstWxCalls", "List2", "chkAutoLoad", "chkAutoLoadAll"}));
}

// What start-up does with the settings file; how the file itself is
// recovered when missing or damaged is tested with loadSettingsFile.
void TestMainWindow::loadSettings_data()
{
    QTest::addColumn<QByteArray>("fileBefore"); // kNoFile: no file
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QRect>("outerTwips");
    QTest::addColumn<bool>("autoConnect");
    QTest::addColumn<QByteArray>("fileAfter"); // once started

    QTest::newRow("missing file is created with defaults and read back")
        << kNoFile << "localhost"
        << "Orbetti.exe" << QRect(0, 0, 4900, 2950) << false << kDefaultRecord;
    const QByteArray good = "\"10.0.0.2\",\"/opt/brez\",150,300,6000,4000,#FALSE#\r\n";
    QTest::newRow("good file applied and left alone")
        << good << "10.0.0.2"
        << "/opt/brez" << QRect(150, 300, 6000, 4000) << false << good;
    QTest::newRow("damaged file: values read so far still apply, minimum size")
        << QByteArray("\"host.lan\",\"/x\",30,abc,6000,4000,#TRUE#\r\n") << "host.lan"
        << "/x" << QRect(30, 0, 4220, 1260) << false << kDefaultRecord;
    const QByteArray large = "\"h\",\"p\",-120,-120,57840,32640,#FALSE#\r\n";
    QTest::newRow("window larger than 16 bits of twips")
        << large << "h"
        << "p" << QRect(-120, -120, 57840, 32640) << false << large;
    // The screen here is 800 x 600 pixels.
    const QByteArray away = "\"h\",\"p\",300000,-90000,6000,4000,#FALSE#\r\n";
    QTest::newRow("window off every screen comes back into view")
        << away << "h"
        << "p" << QRect(0, 0, 6000, 4000) << false << away;
    QTest::newRow("rejected width is skipped, the rest applies")
        << QByteArray("\"h\",\"p\",45,60,-5000,3000,#FALSE#\r\n") << "h"
        << "p" << QRect(45, 60, 4785, 3000) << false << kDefaultRecord;
    QTest::newRow("quoted #TRUE# checks Connect on Startup")
        << QByteArray("\"\",\"p\",0,0,4900,2950,\"#TRUE#\"\r\n") << ""
        << "p" << QRect(0, 0, 4900, 2950) << true
        << QByteArray("\"\",\"p\",0,0,4900,2950,\"#TRUE#\"\r\n");
}

void TestMainWindow::loadSettings()
{
    QFETCH(QByteArray, fileBefore);
    QFETCH(QString, address);
    QFETCH(QString, path);
    QFETCH(QRect, outerTwips);
    QFETCH(bool, autoConnect);
    QFETCH(QByteArray, fileAfter);

    Window w(fileBefore);
    QCOMPARE(w.find<QLineEdit>("txtAddr")->text(), address);
    QCOMPARE(w.find<QLineEdit>("txtPath")->text(), path);
    QCOMPARE(action(&w.window, "mnuAutoConnect")->isChecked(), autoConnect);
    QCOMPARE(w.dir.read(kSettings), fileAfter);
    // Auto-connect with an empty address and no earlier host has nowhere to
    // go: it says so instead of pretending to connect.
    if (autoConnect && address.isEmpty()) {
        QCOMPARE(w.boxes.requests.size(), 1);
        QCOMPARE(w.boxes.requests.first().title, QStringLiteral("Errore collegamento con AGWPE"));
        QCOMPARE(action(&w.window, "nmuConnect")->text(), QStringLiteral("&Connect"));
    } else {
        QCOMPARE(w.boxes.requests.size(), 0);
    }
    QCOMPARE(w.find<QCheckBox>("chkAutoLoad")->isChecked(), false);
    QCOMPARE(w.find<QCheckBox>("chkAutoLoadAll")->isChecked(), false);

    // The outer geometry start-up took (a rejected width keeps the design
    // width, a 4785 twip client area) is what unload stores.
    QCOMPARE(w.unload(), record(address, path, outerTwips, autoConnect));
}

void TestMainWindow::connectsToTheEngineOnPort8000()
{
    // The program always connects to port 8000: the engine's stand-in
    // listens there.
    QTcpServer engine;
    if (!engine.listen(QHostAddress::LocalHost, 8000))
        QSKIP("port 8000 is taken");

    Window w("\"127.0.0.1\",\"p\",0,0,4900,2950,#TRUE#\r\n");
    QVERIFY(testsupport::waitUntil([&] { return engine.hasPendingConnections(); }));
    QTcpSocket *peer = engine.nextPendingConnection();
    QCOMPARE(agwtest::receive(peer, 72),
             agwtest::qbytes(agwtest::request('m') + agwtest::request('R')));
    QCOMPARE(action(&w.window, "nmuConnect")->text(), QStringLiteral("&Disconnect"));
    QCOMPARE(w.boxes.requests.size(), 0);
    // Unloading ends the link.
    w.window.close();
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
}

void TestMainWindow::unloadWritesSettings()
{
    Window w("\"localhost\",\"C:\\Prog, x\\Orbetti.exe\",75,90,6000,4000,\"#FALSE#\"\r\n");
    QVERIFY(w.showFramed());
    w.find<QLineEdit>("txtAddr")->setText(QStringLiteral("192.168.0.7"));
    action(&w.window, "mnuAutoConnect")->trigger();
    QVERIFY(action(&w.window, "mnuAutoConnect")->isChecked());
    action(&w.window, "mnuExit")->trigger();
    QVERIFY(!w.window.isVisible());
    QCOMPARE(w.dir.read(kSettings),
             QByteArray("\"192.168.0.7\",\"C:\\Prog, x\\Orbetti.exe\",75,90,6000,4000,#TRUE#") +
                 kLaterValues);
}

void TestMainWindow::unloadKeepsAddressUntrimmed()
{
    {
        Window w;
        w.find<QLineEdit>("txtAddr")->setText(QStringLiteral("  radio.lan "));
        QVERIFY(w.unload().startsWith("\"  radio.lan \",\"Orbetti.exe\","));
        // A second close does not write again.
        QVERIFY(w.dir.write(kSettings, "sentinel"));
        QCOMPARE(w.unload(), QByteArray("sentinel"));
    }
    {
        // The sentinel is damaged: defaults again, and an empty path read.
        Window w("sentinel");
        QCOMPARE(w.dir.read(kSettings), kDefaultRecord);
        w.find<QLineEdit>("txtAddr")->setText(QStringLiteral("  radio.lan "));
        QVERIFY(w.unload().startsWith("\"  radio.lan \",\"\","));
    }
}

// The options, as a user meets them: a heard station starts Brezomat with
// "Open Brezomat for new wx station", a loaded list starts it for every
// station with "Open all Brezomats loading wx list".
void TestMainWindow::options()
{
    StationWindow w;
    QVERIFY(w.dir.write(QStringLiteral("list.txt"), "IK1LST\r\n"));
    int heard = 0;
    // Hears a new station and loads the list; what each started.
    const auto startsFor = [&](bool &onHearing, bool &onLoading) {
        const std::size_t before = w.starter->commandLines.size();
        const std::string call = "IK" + std::to_string(++heard) + "NEW";
        if (!w.hear(call))
            return false;
        const std::size_t afterHearing = w.starter->commandLines.size();
        onHearing = afterHearing == before + 1 &&
                    w.starter->commandLines.back().find(call) != std::string::npos;
        w.load(QStringLiteral("list.txt"));
        onLoading = w.starter->commandLines.size() == afterHearing + 1 &&
                    w.starter->commandLines.back().find("IK1LST") != std::string::npos;
        return true;
    };

    const QList<std::pair<const char *, QList<bool>>> steps = {
        {"", {false, false}},
        {"chkAutoLoad", {true, false}},
        {"chkAutoLoadAll", {true, true}},
        {"chkAutoLoad", {false, true}},
        {"chkAutoLoadAll", {false, false}},
    };
    for (const auto &[box, expected] : steps) {
        if (*box)
            w.child<QCheckBox>(box)->click();
        bool onHearing = false;
        bool onLoading = false;
        QVERIFY(startsFor(onHearing, onLoading));
        QCOMPARE((QList<bool>{onHearing, onLoading}), expected);
    }
    QCOMPARE(w.boxes.requests.size(), 0);
}

void TestMainWindow::connectOnStartupToggleNeverConnects()
{
    Window w;
    QAction *toggle = action(&w.window, "mnuAutoConnect");
    auto *socket = w.find<QTcpSocket>("Winsock1");
    toggle->trigger();
    QVERIFY(toggle->isChecked());
    QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    toggle->trigger();
    QVERIFY(!toggle->isChecked());
    QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(action(&w.window, "nmuConnect")->text(), QStringLiteral("&Connect"));
}

void TestMainWindow::setPath()
{
    Window w;
    const QString cwd = QDir::currentPath();
    auto *path = w.find<QLineEdit>("txtPath");

    w.dialogs.cancelNext();
    action(&w.window, "nmuPath")->trigger();
    QCOMPARE(path->text(), QStringLiteral("Orbetti.exe"));
    QCOMPARE(w.dialogs.requests.size(), 1);
    const FileDialogRequest r = w.dialogs.requests.first();
    QCOMPARE(r.mode, FileDialogRequest::Open);
    QCOMPARE(r.filter, QStringLiteral("Application Files (*.exe)|*.exe"));
    QCOMPARE(r.filterIndex, 1);
    QCOMPARE(r.initDir, QStringLiteral(".\\"));
    QCOMPARE(r.title, QStringLiteral("Set Brezomat Path"));

    // A name that does not exist is taken as it is.
    w.dialogs.answerNext(QStringLiteral("/opt/no such dir/brezomat"));
    action(&w.window, "nmuPath")->trigger();
    QCOMPARE(path->text(), QStringLiteral("/opt/no such dir/brezomat"));
    QCOMPARE(QDir::currentPath(), cwd);
    QVERIFY(w.unload().startsWith("\"localhost\",\"/opt/no such dir/brezomat\","));
}

void TestMainWindow::setPathKeepsLastFileName()
{
    Window w;
    auto &dialogs = w.dialogs;

    // The list dialog proposes its own name; the Set-Path dialog that comes
    // after it sets none and so shows whatever the dialog last held.
    dialogs.answerNext(w.dir.filePath(QStringLiteral("none.txt")));
    action(&w.window, "nmuLoad")->trigger();
    QCOMPARE(dialogs.requests.last().fileName, QStringLiteral("WxList.txt"));
    dialogs.cancelNext();
    action(&w.window, "nmuPath")->trigger();
    QCOMPARE(dialogs.requests.last().fileName, w.dir.filePath(QStringLiteral("none.txt")));
    QCOMPARE(dialogs.requests.last().filter, QStringLiteral("Application Files (*.exe)|*.exe"));
    // After that cancel the dialog holds no name.
    dialogs.cancelNext();
    action(&w.window, "nmuPath")->trigger();
    QCOMPARE(dialogs.requests.last().fileName, QString());
    QCOMPARE(w.find<QLineEdit>("txtPath")->text(), QStringLiteral("Orbetti.exe"));
}

void TestMainWindow::layoutOnResize_data()
{
    QTest::addColumn<int>("outerWidth");
    QTest::addColumn<int>("outerHeight");
    QTest::addColumn<int>("listHeight");
    QTest::addColumn<int>("B");

    QTest::newRow("default 4900 x 2950") << 4900 << 2950 << 1620 << 98;
    QTest::newRow("6000 x 4000") << 6000 << 4000 << 2740 << 120;
    QTest::newRow("minimum") << 4220 << 1260 << 1620 << 84;
}

void TestMainWindow::layoutOnResize()
{
    QFETCH(int, outerWidth);
    QFETCH(int, outerHeight);
    QFETCH(int, listHeight);
    QFETCH(int, B);

    const QRect outer(0, 0, outerWidth, outerHeight);
    Window w(record(QStringLiteral("h"), QStringLiteral("p"), outer, false));
    QVERIFY(w.showFramed());
    QWidget *window = &w.window;

    QCOMPARE(window->frameGeometry().width(), px(outerWidth));
    QCOMPARE(window->frameGeometry().height(), px(outerHeight));

    const int W = outerWidth;
    QCOMPARE(child<QWidget>(window, "List2")->width(), px(W - 150));
    QCOMPARE(child<QWidget>(window, "List2")->x(), px(20));
    QCOMPARE(child<QWidget>(window, "txtPath")->width(), px(W - 1520 - B));
    QCOMPARE(child<QWidget>(window, "lstWxCalls")->width(), px(B + 1255));
    QCOMPARE(child<QWidget>(window, "lstWxCalls")->height(), px(listHeight));
    for (const char *name :
         {"lblAGW", "lblAddr", "lblPath", "txtPath", "chkAutoLoadAll", "chkAutoLoad"})
        QCOMPARE(child<QWidget>(window, name)->x(), px(B + 1360));
    QCOMPARE(child<QWidget>(window, "txtAddr")->x(), px(B + 2800));
    // Shown and framed, the window keeps the twips it was given.
    QCOMPARE(w.unload(), record(QStringLiteral("h"), QStringLiteral("p"), outer, false));
}

void TestMainWindow::minimumSize()
{
    Window w("\"h\",\"p\",0,0,6000,4000,#FALSE#\r\n");
    QVERIFY(w.showFramed());
    QCOMPARE(w.find<QWidget>("lstWxCalls")->height(), px(2740));

    // Dragging smaller than the minimum leaves the window at the minimum;
    // coming down from above 2950 leaves the station list at its last height.
    w.window.resize(100, 50);
    QTRY_COMPARE(w.window.frameGeometry().size(), QSize(px(4220), px(1260)));
    QCOMPARE(w.find<QWidget>("lstWxCalls")->height(), px(2740));
    QCOMPARE(w.find<QWidget>("txtAddr")->x(), px(84 + 2800));
    QCOMPARE(w.unload(), QByteArray("\"h\",\"p\",0,0,4220,1260,#FALSE#") + kLaterValues);
}

void TestMainWindow::minimizeAndRestoreKeepLayout()
{
    Window w;
    QVERIFY(w.showFramed());
    const QRect before = w.find<QWidget>("txtPath")->geometry();
    const QRect listBefore = w.find<QWidget>("lstWxCalls")->geometry();
    w.window.showMinimized();
    QTRY_VERIFY(w.window.isMinimized());
    w.window.showNormal();
    QTRY_VERIFY(!w.window.isMinimized());
    QCOMPARE(w.find<QWidget>("txtPath")->geometry(), before);
    QCOMPARE(w.find<QWidget>("lstWxCalls")->geometry(), listBefore);
    // Nor does the stored geometry take anything from the minimized window.
    QCOMPARE(w.unload(),
             QByteArray("\"localhost\",\"Orbetti.exe\",0,0,4900,2950,#FALSE#") + kLaterValues);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
