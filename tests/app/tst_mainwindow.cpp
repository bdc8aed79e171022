// The main window as the user meets it: controls and menus at start, the
// settings file at load and unload, the options, the Set-Path command and
// the layout on resizing.

#include "FakeDialogs.h"
#include "WorkDir.h"
#include "frmQuintaro.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTcpSocket>
#include <QTest>

using namespace quintaro;
using testsupport::FakeFileDialogs;
using testsupport::WorkDir;

namespace {

const QByteArray kDefaultRecord = "\"localhost\",\"Orbetti.exe\",0,0,4900,2950,\"#FALSE#\"\r\n";

template <typename T> T *child(QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

int px(int twips)
{
    return qRound(twips / 15.0);
}

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

    WorkDir dir;
    frmQuintaro window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Quintaro v2.01"));
    window.Form_Load();
    QCOMPARE(window.windowTitle(), QStringLiteral("Quintaro v2.01"));

    QWidget *w = window.findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->toolTip(), toolTip);
    QCOMPARE(w->isEnabled(), enabled);
    QCOMPARE(w->y(), px(designTwips.top()));
    QCOMPARE(w->height(), px(designTwips.height()));
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), caption);
    if (auto *box = qobject_cast<QCheckBox *>(w)) {
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

    WorkDir dir;
    frmQuintaro window;
    window.Form_Load();

    const QList<QAction *> actions = window.findChildren<QAction *>(name);
    QVERIFY(!actions.isEmpty());
    QAction *action = actions.first();
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->isEnabled(), enabled);
    QVERIFY(action->isVisible());
    QVERIFY(action->shortcut().isEmpty());
    QCOMPARE(action->isChecked(), false);

    const QList<QAction *> owners = parentMenu.isEmpty()
                                        ? window.menuBar()->actions()
                                        : child<QMenu>(&window, parentMenu.toLatin1())->actions();
    QVERIFY2(owners.contains(action), "item is not where it belongs");
}

void TestMainWindow::accessibleNamesAndTabOrder()
{
    WorkDir dir;
    frmQuintaro window;
    window.Form_Load();

    QCOMPARE(child<QWidget>(&window, "List2")->accessibleName(),
             QStringLiteral("Agw Packet Engine Monitor Window"));
    QCOMPARE(child<QWidget>(&window, "lstWxCalls")->accessibleName(),
             QStringLiteral("Wx Station List"));
    QCOMPARE(child<QWidget>(&window, "txtAddr")->accessibleName(),
             QStringLiteral("AGW IP Address:"));
    QCOMPARE(child<QLabel>(&window, "lblAddr")->buddy(), child<QWidget>(&window, "txtAddr"));
    QCOMPARE(child<QWidget>(&window, "txtPath")->accessibleName(),
             QStringLiteral("Brezomat Path:"));
    QCOMPARE(child<QLabel>(&window, "lblPath")->buddy(), child<QWidget>(&window, "txtPath"));
    // The status label is heard with its text, whatever the link's state.
    QCOMPARE(child<QWidget>(&window, "lblAGW")->accessibleName(), QString());
    QCOMPARE(child<QWidget>(&window, "chkAutoLoad")->accessibleName(),
             QStringLiteral("Open Brezomat for new wx station"));
    QCOMPARE(child<QWidget>(&window, "chkAutoLoadAll")->accessibleName(),
             QStringLiteral("Open all Brezomats loading wx list"));

    // Focus moves in tab-index order over the controls that take it.
    QStringList order;
    QWidget *w = child<QWidget>(&window, "txtAddr");
    for (int i = 0; i < 5 && w; ++i) {
        order << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (w && !(w->focusPolicy() & Qt::TabFocus && w->isEnabled()));
    }
    QCOMPARE(order,
             (QStringList{"txtAddr", "lstWxCalls", "List2", "chkAutoLoad", "chkAutoLoadAll"}));
}

void TestMainWindow::loadSettings_data()
{
    QTest::addColumn<QByteArray>("fileBefore"); // "<missing>": no file
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QRect>("outerTwips");
    QTest::addColumn<bool>("autoConnect");
    QTest::addColumn<QByteArray>("fileAfter");

    QTest::newRow("missing file is created with defaults and read back")
        << QByteArray("<missing>") << "localhost"
        << "Orbetti.exe" << QRect(0, 0, 4900, 2950) << false << kDefaultRecord;
    const QByteArray good = "\"10.0.0.2\",\"/opt/brez\",150,300,6000,4000,#FALSE#\r\n";
    QTest::newRow("good file applied and left alone")
        << good << "10.0.0.2"
        << "/opt/brez" << QRect(150, 300, 6000, 4000) << false << good;
    QTest::newRow("empty file: defaults written, empty values, minimum size")
        << QByteArray() << ""
        << "" << QRect(0, 0, 4220, 1260) << false << kDefaultRecord;
    QTest::newRow("damaged file: values read so far still apply")
        << QByteArray("\"host.lan\",\"/x\",30,abc,6000,4000,#TRUE#\r\n") << "host.lan"
        << "/x" << QRect(30, 0, 4220, 1260) << false << kDefaultRecord;
    QTest::newRow("number out of range")
        << QByteArray("\"h\",\"p\",0,0,2147483648,3000,#TRUE#\r\n") << "h"
        << "p" << QRect(0, 0, 4220, 1260) << false << kDefaultRecord;
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

    WorkDir dir;
    if (fileBefore != "<missing>")
        QVERIFY(dir.write(QStringLiteral("Quintaro.ini"), fileBefore));
    testsupport::FakeMessageBoxes boxes;
    frmQuintaro window;
    window.Form_Load();

    QCOMPARE(window.iAgwPort(), 8000);
    QCOMPARE(child<QLineEdit>(&window, "txtAddr")->text(), address);
    QCOMPARE(child<QLineEdit>(&window, "txtPath")->text(), path);
    // A rejected width keeps the design width (a 4785 twip client area).
    QCOMPARE(window.outerGeometryTwips(), outerTwips);
    QCOMPARE(child<QAction>(&window, "mnuAutoConnect")->isChecked(), autoConnect);
    QCOMPARE(dir.read(QStringLiteral("Quintaro.ini")), fileAfter);
    // Auto-connect with an empty address and no earlier host has nowhere to
    // go: it says so instead of pretending to connect.
    if (autoConnect && address.isEmpty()) {
        QCOMPARE(boxes.requests.size(), 1);
        QCOMPARE(boxes.requests.first().title, QStringLiteral("Errore collegamento con AGWPE"));
        QCOMPARE(child<QAction>(&window, "nmuConnect")->text(), QStringLiteral("&Connect"));
    } else {
        QCOMPARE(boxes.requests.size(), 0);
    }
    QCOMPARE(child<QCheckBox>(&window, "chkAutoLoad")->isChecked(), false);
    QCOMPARE(window.bAutoLoad(), false);
    QCOMPARE(window.bAutoLoadAll(), false);
}

void TestMainWindow::unloadWritesSettings()
{
    WorkDir dir;
    QVERIFY(
        dir.write(QStringLiteral("Quintaro.ini"),
                  "\"localhost\",\"C:\\Prog, x\\Orbetti.exe\",75,90,6000,4000,\"#FALSE#\"\r\n"));
    {
        frmQuintaro window;
        window.Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(20);
        child<QLineEdit>(&window, "txtAddr")->setText(QStringLiteral("192.168.0.7"));
        window.mnuAutoConnect_Click();
        QVERIFY(child<QAction>(&window, "mnuAutoConnect")->isChecked());
        child<QAction>(&window, "mnuExit")->trigger();
        QVERIFY(!window.isVisible());
    }
    QCOMPARE(dir.read(QStringLiteral("Quintaro.ini")),
             QByteArray("\"192.168.0.7\",\"C:\\Prog, x\\Orbetti.exe\",75,90,6000,4000,#TRUE#\r\n"));
}

void TestMainWindow::unloadKeepsAddressUntrimmed()
{
    WorkDir dir;
    {
        frmQuintaro window;
        window.Form_Load();
        child<QLineEdit>(&window, "txtAddr")->setText(QStringLiteral("  radio.lan "));
        window.close();
        // A second close does not write again.
        QVERIFY(dir.write(QStringLiteral("Quintaro.ini"), "sentinel"));
        window.close();
    }
    QCOMPARE(dir.read(QStringLiteral("Quintaro.ini")), QByteArray("sentinel"));
    {
        frmQuintaro window;
        window.Form_Load(); // the sentinel is damaged: defaults again
        child<QLineEdit>(&window, "txtAddr")->setText(QStringLiteral("  radio.lan "));
        window.Form_Unload();
    }
    QVERIFY(dir.read(QStringLiteral("Quintaro.ini")).startsWith("\"  radio.lan \",\"\","));
}

void TestMainWindow::options()
{
    WorkDir dir;
    frmQuintaro window;
    window.Form_Load();
    window.show();
    auto *autoLoad = child<QCheckBox>(&window, "chkAutoLoad");
    auto *autoLoadAll = child<QCheckBox>(&window, "chkAutoLoadAll");

    autoLoad->click();
    QVERIFY(window.bAutoLoad());
    QVERIFY(!window.bAutoLoadAll());
    autoLoadAll->click();
    QVERIFY(window.bAutoLoadAll());
    autoLoad->click();
    QVERIFY(!window.bAutoLoad());
    QVERIFY(window.bAutoLoadAll());
    autoLoadAll->click();
    QVERIFY(!window.bAutoLoadAll());
}

void TestMainWindow::connectOnStartupToggleNeverConnects()
{
    WorkDir dir;
    frmQuintaro window;
    window.Form_Load();
    auto *toggle = child<QAction>(&window, "mnuAutoConnect");
    auto *socket = child<QTcpSocket>(&window, "Winsock1");
    toggle->trigger();
    QVERIFY(toggle->isChecked());
    QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    toggle->trigger();
    QVERIFY(!toggle->isChecked());
    QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(child<QAction>(&window, "nmuConnect")->text(), QStringLiteral("&Connect"));
}

void TestMainWindow::setPath()
{
    WorkDir dir;
    const QString cwd = QDir::currentPath();
    FakeFileDialogs dialogs;
    frmQuintaro window;
    window.Form_Load();
    auto *path = child<QLineEdit>(&window, "txtPath");

    dialogs.cancelNext();
    child<QAction>(&window, "nmuPath")->trigger();
    QCOMPARE(path->text(), QStringLiteral("Orbetti.exe"));
    QCOMPARE(dialogs.requests.size(), 1);
    const FileDialogRequest r = dialogs.requests.first();
    QCOMPARE(r.mode, FileDialogRequest::Open);
    QCOMPARE(r.filter, QStringLiteral("Application Files (*.exe)|*.exe"));
    QCOMPARE(r.filterIndex, 1);
    QCOMPARE(r.initDir, QStringLiteral(".\\"));
    QCOMPARE(r.title, QStringLiteral("Set Brezomat Path"));
    QCOMPARE(r.flags, 12);
    QCOMPARE(window.CommonD().FileName, QString());

    // A name that does not exist is taken as it is.
    dialogs.answerNext(QStringLiteral("/opt/no such dir/brezomat"));
    child<QAction>(&window, "nmuPath")->trigger();
    QCOMPARE(path->text(), QStringLiteral("/opt/no such dir/brezomat"));
    QCOMPARE(window.CommonD().FileTitle, QStringLiteral("brezomat"));
    QCOMPARE(QDir::currentPath(), cwd);
}

void TestMainWindow::setPathKeepsLastFileName()
{
    WorkDir dir;
    FakeFileDialogs dialogs;
    frmQuintaro window;
    window.Form_Load();

    // The list dialog proposes its own name; the Set-Path dialog that comes
    // after it sets none and so shows whatever the dialog last held.
    dialogs.answerNext(dir.filePath(QStringLiteral("none.txt")));
    window.nmuLoad_Click();
    QCOMPARE(dialogs.requests.last().fileName, QStringLiteral("WxList.txt"));
    dialogs.cancelNext();
    window.nmuPath_Click();
    QCOMPARE(dialogs.requests.last().fileName, dir.filePath(QStringLiteral("none.txt")));
    QCOMPARE(dialogs.requests.last().filter, QStringLiteral("Application Files (*.exe)|*.exe"));
    // After that cancel the dialog holds no name.
    dialogs.cancelNext();
    window.nmuPath_Click();
    QCOMPARE(dialogs.requests.last().fileName, QString());
    QCOMPARE(child<QLineEdit>(&window, "txtPath")->text(), QStringLiteral("Orbetti.exe"));
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

    WorkDir dir;
    QVERIFY(dir.write(QStringLiteral("Quintaro.ini"),
                      QStringLiteral("\"h\",\"p\",0,0,%1,%2,#FALSE#\r\n")
                          .arg(outerWidth)
                          .arg(outerHeight)
                          .toLatin1()));
    frmQuintaro window;
    window.Form_Load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(20);

    const QRect outer = window.outerGeometryTwips();
    QCOMPARE(outer.width(), outerWidth);
    QCOMPARE(outer.height(), outerHeight);
    QCOMPARE(window.frameGeometry().width(), px(outerWidth));
    QCOMPARE(window.frameGeometry().height(), px(outerHeight));

    const int W = outerWidth;
    QCOMPARE(child<QWidget>(&window, "List2")->width(), px(W - 150));
    QCOMPARE(child<QWidget>(&window, "List2")->x(), px(20));
    QCOMPARE(child<QWidget>(&window, "txtPath")->width(), px(W - 1520 - B));
    QCOMPARE(child<QWidget>(&window, "lstWxCalls")->width(), px(B + 1255));
    QCOMPARE(child<QWidget>(&window, "lstWxCalls")->height(), px(listHeight));
    for (const char *name :
         {"lblAGW", "lblAddr", "lblPath", "txtPath", "chkAutoLoadAll", "chkAutoLoad"})
        QCOMPARE(child<QWidget>(&window, name)->x(), px(B + 1360));
    QCOMPARE(child<QWidget>(&window, "txtAddr")->x(), px(B + 2800));
}

void TestMainWindow::minimumSize()
{
    WorkDir dir;
    QVERIFY(dir.write(QStringLiteral("Quintaro.ini"), "\"h\",\"p\",0,0,6000,4000,#FALSE#\r\n"));
    frmQuintaro window;
    window.Form_Load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(20);
    QCOMPARE(child<QWidget>(&window, "lstWxCalls")->height(), px(2740));

    // Dragging smaller than the minimum leaves the window at the minimum;
    // coming down from above 2950 leaves the station list at its last height.
    window.resize(100, 50);
    QTest::qWait(20);
    QCOMPARE(window.frameGeometry().width(), px(4220));
    QCOMPARE(window.frameGeometry().height(), px(1260));
    QCOMPARE(window.outerGeometryTwips().size(), QSize(4220, 1260));
    QCOMPARE(child<QWidget>(&window, "lstWxCalls")->height(), px(2740));
    QCOMPARE(child<QWidget>(&window, "txtAddr")->x(), px(84 + 2800));
}

void TestMainWindow::minimizeAndRestoreKeepLayout()
{
    WorkDir dir;
    frmQuintaro window;
    window.Form_Load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(20);
    const QRect before = child<QWidget>(&window, "txtPath")->geometry();
    const QRect listBefore = child<QWidget>(&window, "lstWxCalls")->geometry();
    window.showMinimized();
    QTest::qWait(20);
    window.showNormal();
    QTest::qWait(20);
    QCOMPARE(child<QWidget>(&window, "txtPath")->geometry(), before);
    QCOMPARE(child<QWidget>(&window, "lstWxCalls")->geometry(), listBefore);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
