// The instructions window as the user meets it: opened by the Help command,
// read again at every activation, resized, minimized, closed and opened
// again; and the twips arithmetic of its layout.

#include "FakeDialogs.h"
#include "FileBytes.h"
#include "HelpLayout.h"
#include "HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <cmath>

using quintaro::HelpWindow;
using namespace quintaro::help;
using testsupport::writeFile;

namespace {

const QString kReadme = QStringLiteral("Leggimi_Quintaro.rtf");
const QString kTitle = QStringLiteral("Quintaro - Istruzioni");

// An RTF read-me long enough to scroll, each line naming its version.
QByteArray longReadme(const char *version)
{
    QByteArray rtf("{\\rtf1\\ansi ");
    for (int line = 0; line < 200; ++line)
        rtf += QByteArray(version) + " riga " + QByteArray::number(line) + "\\par\n";
    return rtf + "}";
}

HelpWindow &window()
{
    return HelpWindow::instance();
}

QTextEdit *view()
{
    return window().findChild<QTextEdit *>(QStringLiteral("rtfIstruzioni"));
}

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void viewSizeArithmetic_data();
    void viewSizeArithmetic();
    void centringArithmetic_data();
    void centringArithmetic();

    void showsTheReadmeWithItsCaption();
    void keepsOneInstance();
    void reloadsAtEveryActivation();
    void missingFileReportsAndUnloads_data();
    void missingFileReportsAndUnloads();
    void readmeBesideTheProgram();
    void emptyFileCountsAsPresent();
    void notRtfShowsAsPlainText();
    void laysOutTheView_data();
    void laysOutTheView();
    void minimizingLeavesTheViewAlone();
    void loadsAgainCentredAfterClosing();

private:
    QString m_startDir;
    QTemporaryDir m_dir;
    // Installed for the whole run: no test may ever wait on a real box.
    testsupport::FakeMessageBoxes m_boxes;
};

void TestHelpWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_startDir = QDir::currentPath();
    // The read-me is looked up in the current directory.
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestHelpWindow::init()
{
    m_boxes.requests.clear();
    QFile::remove(kReadme);
    QDir().rmdir(kReadme);
}

void TestHelpWindow::cleanup()
{
    window().close();
    QFile::remove(kReadme);
    QDir().rmdir(kReadme);
}

void TestHelpWindow::cleanupTestCase()
{
    QDir::setCurrent(m_startDir);
}

void TestHelpWindow::viewSizeArithmetic_data()
{
    QTest::addColumn<qlonglong>("outerWidth");
    QTest::addColumn<qlonglong>("outerHeight");
    QTest::addColumn<qlonglong>("width");
    QTest::addColumn<qlonglong>("height");

    QTest::newRow("design window with frame") << 7800LL << 4440LL << 7680LL << 3960LL;
    QTest::newRow("640 by 480 pixels") << 9600LL << 7200LL << 9480LL << 6720LL;
    QTest::newRow("122 wide, 482 high") << 122LL << 482LL << 2LL << 2LL;
    QTest::newRow("121 wide, 481 high") << 121LL << 481LL << 1LL << 1LL;
    QTest::newRow("120 wide, 480 high") << 120LL << 480LL << 1LL << 1LL;
    QTest::newRow("narrow only") << 100LL << 4440LL << 1LL << 3960LL;
    QTest::newRow("low only") << 7800LL << 300LL << 7680LL << 1LL;
    QTest::newRow("nothing") << 0LL << 0LL << 1LL << 1LL;
    QTest::newRow("negative") << -500LL << -500LL << 1LL << 1LL;
}

void TestHelpWindow::viewSizeArithmetic()
{
    QFETCH(qlonglong, outerWidth);
    QFETCH(qlonglong, outerHeight);
    QFETCH(qlonglong, width);
    QFETCH(qlonglong, height);
    const ViewSize size = viewSizeForOuter(outerWidth, outerHeight);
    QCOMPARE(size.width, width);
    QCOMPARE(size.height, height);
}

void TestHelpWindow::centringArithmetic_data()
{
    QTest::addColumn<qlonglong>("screen");
    QTest::addColumn<qlonglong>("window");
    QTest::addColumn<qlonglong>("expected");

    QTest::newRow("1280 pixel screen") << 19200LL << 7800LL << 5700LL;
    QTest::newRow("half goes up to even") << 19215LL << 7800LL << 5708LL;
    QTest::newRow("half goes down to even") << 19245LL << 7800LL << 5722LL;
    QTest::newRow("odd twips") << 19201LL << 7800LL << 5700LL;
    QTest::newRow("window wider than the screen") << 7000LL << 7800LL << -400LL;
}

void TestHelpWindow::centringArithmetic()
{
    QFETCH(qlonglong, screen);
    QFETCH(qlonglong, window);
    QFETCH(qlonglong, expected);
    QCOMPARE(centredPosition(screen, window), expected);
}

void TestHelpWindow::showsTheReadmeWithItsCaption()
{
    QVERIFY(writeFile(kReadme, "{\\rtf1\\ansi Benvenuti in {\\b Quintaro}\\par}"));
    window().open(kReadme, kTitle);

    QCOMPARE(window().windowTitle(), QStringLiteral(" Quintaro - Istruzioni"));
    QCOMPARE(window().objectName(), QStringLiteral("frmIstruzioni"));
    QVERIFY(window().isWindow());
    QCOMPARE(window().parentWidget(), nullptr);
    QCOMPARE(window().windowModality(), Qt::NonModal);
    QVERIFY(window().isVisible());
    QVERIFY(view());
    QVERIFY(view()->isReadOnly());
    QCOMPARE(view()->toPlainText(), QStringLiteral("Benvenuti in Quintaro"));
    QVERIFY(m_boxes.requests.isEmpty());
}

void TestHelpWindow::keepsOneInstance()
{
    QVERIFY(writeFile(kReadme, "{\\rtf1 Uno}"));
    HelpWindow *first = &HelpWindow::instance();
    first->open(kReadme, kTitle);
    HelpWindow::instance().open(kReadme, kTitle);
    QCOMPARE(&HelpWindow::instance(), first);

    int windows = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        windows += widget->objectName() == QStringLiteral("frmIstruzioni") ? 1 : 0;
    QCOMPARE(windows, 1);
    QVERIFY(first->isVisible());
    QCOMPARE(first->windowTitle(), QStringLiteral(" Quintaro - Istruzioni"));
}

void TestHelpWindow::reloadsAtEveryActivation()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows under wine: with no window manager, a window shown again loses and "
          "regains its activation at once, and two windows are both active");
#endif
    QVERIFY(writeFile(kReadme, longReadme("Prima")));
    window().open(kReadme, kTitle);
    QVERIFY(view()->toPlainText().startsWith(QStringLiteral("Prima riga 0")));

    // The platform's report of the activation that the first show brought
    // belongs to the same activation: the file is not read a second time.
    QVERIFY(writeFile(kReadme, longReadme("Intrusa")));
    QTRY_VERIFY(window().isActiveWindow());
    QTest::qWait(50);
    QVERIFY(view()->toPlainText().startsWith(QStringLiteral("Prima riga 0")));

    QScrollBar *bar = view()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    QVERIFY(bar->value() > 0);

    // Over to another window (the main window, in the program) and back.
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.show();
    other.activateWindow();
    QTRY_VERIFY(other.isActiveWindow());
    QVERIFY(!window().isActiveWindow());
    QVERIFY(writeFile(kReadme, longReadme("Seconda")));
    window().activateWindow();
    QTRY_VERIFY(window().isActiveWindow());
    QTRY_VERIFY(view()->toPlainText().startsWith(QStringLiteral("Seconda riga 0")));
    QCOMPARE(bar->value(), bar->minimum());

    // The Help command while the window is open but behind: read again.
    bar->setValue(bar->maximum());
    other.activateWindow();
    QTRY_VERIFY(other.isActiveWindow());
    QVERIFY(writeFile(kReadme, longReadme("Terza")));
    window().open(kReadme, kTitle);
    QTRY_VERIFY(view()->toPlainText().startsWith(QStringLiteral("Terza riga 0")));
    QCOMPARE(bar->value(), bar->minimum());

    // The Help command while the window is the active one: read again.
    QTRY_VERIFY(window().isActiveWindow());
    QVERIFY(writeFile(kReadme, longReadme("Quarta")));
    window().open(kReadme, kTitle);
    QVERIFY(view()->toPlainText().startsWith(QStringLiteral("Quarta riga 0")));
}

void TestHelpWindow::missingFileReportsAndUnloads_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("makeFolder");
    QTest::newRow("read-me missing") << kReadme << false;
    QTest::newRow("a folder of that name") << kReadme << true;
    QTest::newRow("no file name") << QString() << false;
}

void TestHelpWindow::missingFileReportsAndUnloads()
{
    QFETCH(QString, path);
    QFETCH(bool, makeFolder);
    if (makeFolder)
        QVERIFY(QDir().mkdir(path));

    window().open(path, kTitle);

    QCOMPARE(m_boxes.requests.size(), 1);
    QCOMPARE(m_boxes.requests[0].prompt, QStringLiteral("Manca il file di help ") + path);
    QCOMPARE(m_boxes.requests[0].style, 16);
    QCOMPARE(m_boxes.requests[0].title, QStringLiteral("Pennaro"));
    QVERIFY(!window().isVisible());
    // Late notices of the platform about the short-lived window ask nothing more.
    QTest::qWait(100);
    QCOMPARE(m_boxes.requests.size(), 1);
    QVERIFY(!window().isVisible());

    // The next Help command asks again; once the file is there it is shown.
    window().open(path, kTitle);
    QCOMPARE(m_boxes.requests.size(), 2);
    QVERIFY(!window().isVisible());
    if (path.isEmpty())
        return;
    if (makeFolder)
        QVERIFY(QDir().rmdir(path));
    QVERIFY(writeFile(path, "{\\rtf1 Eccolo}"));
    // The box unloaded the window: whatever size it was given meanwhile, it
    // loads anew at its design size.
    window().resize(700, 500);
    window().open(path, kTitle);
    QCOMPARE(m_boxes.requests.size(), 2);
    QVERIFY(window().isVisible());
    QCOMPARE(window().size(), QSize(512, 264));
    QCOMPARE(view()->toPlainText(), QStringLiteral("Eccolo"));
}

// Started elsewhere than from its folder (the desktop's menu starts it in
// the home folder), the program still finds its own read-me; one in the
// current directory comes first.
void TestHelpWindow::readmeBesideTheProgram()
{
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + kReadme;
    QVERIFY(!QFile::exists(beside));
    QVERIFY(writeFile(beside, "{\\rtf1 Accanto al programma}"));
    const auto remove = qScopeGuard([&] { QFile::remove(beside); });
    window().open(kReadme, kTitle);
    QVERIFY(window().isVisible());
    QCOMPARE(view()->toPlainText(), QStringLiteral("Accanto al programma"));
    window().close();

    QVERIFY(writeFile(kReadme, "{\\rtf1 Qui}"));
    window().open(kReadme, kTitle);
    QCOMPARE(view()->toPlainText(), QStringLiteral("Qui"));
    QVERIFY(m_boxes.requests.isEmpty());
    window().close();
    QVERIFY(QFile::remove(kReadme));
}

void TestHelpWindow::emptyFileCountsAsPresent()
{
    QVERIFY(writeFile(kReadme, longReadme("Vecchia")));
    window().open(kReadme, kTitle);
    QVERIFY(!view()->toPlainText().isEmpty());
    window().close();

    QVERIFY(writeFile(kReadme, QByteArray()));
    window().open(kReadme, kTitle);
    QVERIFY(m_boxes.requests.isEmpty());
    QVERIFY(window().isVisible());
    QCOMPARE(view()->toPlainText(), QString());
}

void TestHelpWindow::notRtfShowsAsPlainText()
{
    QVERIFY(writeFile(kReadme, "Leggimi\r\nscritto a mano: perch\xc3\xa9 no"));
    window().open(kReadme, kTitle);
    QCOMPARE(view()->toPlainText(), QStringLiteral("Leggimi\nscritto a mano: perch\u00e9 no"));
}

void TestHelpWindow::laysOutTheView_data()
{
    QTest::addColumn<QSize>("client");
    QTest::newRow("design size") << QSize(512, 264);
    QTest::newRow("larger") << QSize(800, 600);
    QTest::newRow("smaller") << QSize(300, 200);
    QTest::newRow("just wider than the frame") << QSize(9, 33);
    QTest::newRow("tiny") << QSize(2, 2);
}

void TestHelpWindow::laysOutTheView()
{
    QFETCH(QSize, client);
    QVERIFY(writeFile(kReadme, "{\\rtf1 x}"));
    window().open(kReadme, kTitle);
    window().resize(client);
    QTRY_COMPARE(window().size(), client);

    // Outer size less 120 by 480 twips (8 by 32 pixels), never below one.
    const QSize outer = window().frameGeometry().size();
    const QSize expected(std::max(1, outer.width() - 8), std::max(1, outer.height() - 32));
    QCOMPARE(view()->geometry(), QRect(QPoint(0, 0), expected));
}

void TestHelpWindow::minimizingLeavesTheViewAlone()
{
    QVERIFY(writeFile(kReadme, "{\\rtf1 x}"));
    window().open(kReadme, kTitle);
    window().resize(400, 300);
    QTRY_COMPARE(window().size(), QSize(400, 300));
    const QRect laidOut = view()->geometry();

    window().showMinimized();
    QTRY_VERIFY(window().isMinimized());
    window().resize(200, 150);
    QTRY_COMPARE(window().size(), QSize(200, 150));
    QCOMPARE(view()->geometry(), laidOut);

    window().showNormal();
    QTRY_VERIFY(!window().isMinimized());
    const QSize outer = window().frameGeometry().size();
    QTRY_COMPARE(view()->geometry(),
                 QRect(0, 0, std::max(1, outer.width() - 8), std::max(1, outer.height() - 32)));
}

void TestHelpWindow::loadsAgainCentredAfterClosing()
{
    QVERIFY(writeFile(kReadme, "{\\rtf1 x}"));
    HelpWindow *first = &window();
    window().open(kReadme, kTitle);

    const QRect screen = window().screen()->geometry();
    const auto checkCentred = [&] {
        const QRect outer = window().frameGeometry();
        QVERIFY(std::abs(outer.left() - screen.left() - (screen.width() - outer.width()) / 2.0) <=
                0.5);
        QVERIFY(std::abs(outer.top() - screen.top() - (screen.height() - outer.height()) / 2.0) <=
                0.5);
    };
    checkCentred();

    // Moved and resized by the user, then closed: it unloads but lives on.
    window().move(3, 7);
    window().resize(700, 500);
    window().close();
    QVERIFY(!window().isVisible());
    QCOMPARE(&window(), first);

    // The next Help command loads it anew: design size, centred again.
    window().open(kReadme, kTitle);
    QVERIFY(window().isVisible());
    QCOMPARE(window().size(), QSize(512, 264));
    checkCentred();
    QCOMPARE(window().windowTitle(), QStringLiteral(" Quintaro - Istruzioni"));
}

QTEST_MAIN(TestHelpWindow)

#include "tst_helpwindow.moc"
