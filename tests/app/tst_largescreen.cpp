// The real program on a 3840 x 2160 screen with a window manager: a window
// maximized there comes back where it was at the next start, with
// "&Connect on Startup" still on, start after start.

#include "AgwTestFrames.h"
#include "FileBytes.h"
#include "ProcessRun.h"
#include "TestPaths.h"
#include "WorkDir.h"

#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

using testsupport::ProcessRun;

namespace {

constexpr int kWait = 15000;

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name));
}

// Runs a short command on the test's display; its standard output, or a
// null text when it failed.
QString runOn(const QProcessEnvironment &env, const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(p.readAllStandardOutput()) + QLatin1Char(' ');
}

// The width and height of the program's window as the window manager has
// it ("wmctrl -lG": id, desktop, x, y, width, height, host, title).
QSize windowSize(const QProcessEnvironment &env, const QString &wmctrl)
{
    const QStringList lines = runOn(env, wmctrl, {QStringLiteral("-lG")}).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() >= 8 && f.mid(7).join(QLatin1Char(' ')).startsWith(QLatin1String("Quintaro")))
            return QSize(f.at(4).toInt(), f.at(5).toInt());
    }
    return {};
}

// The window's outer width in twips and the connect-on-start-up value, as
// the settings file holds them.
QPair<long long, QByteArray> storedWidthAndAutoConnect(const QByteArray &record)
{
    const QList<QByteArray> values = record.trimmed().split(',');
    if (values.size() < 7)
        return {};
    return {values.at(4).toLongLong(), values.at(6)};
}

} // namespace

class TestLargeScreen : public QObject
{
    Q_OBJECT

private slots:
    void maximizedWindowThroughTwoStarts();
};

void TestLargeScreen::maximizedWindowThroughTwoStarts()
{
    const QString xvfb = tool("Xvfb");
    const QString wm = tool("openbox");
    const QString wmctrl = tool("wmctrl");
    if (xvfb.isEmpty() || wm.isEmpty() || wmctrl.isEmpty())
        QSKIP("needs Xvfb, openbox and wmctrl");

    // The program always connects to port 8000: the engine's stand-in
    // listens there.
    QTcpServer engine;
    if (!engine.listen(QHostAddress::LocalHost, 8000))
        QSKIP("port 8000 is taken");

    ProcessRun server;
    server.process.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                QStringLiteral("-screen"), QStringLiteral("0"),
                                QStringLiteral("3840x2160x24"), QStringLiteral("-nolisten"),
                                QStringLiteral("tcp")});
    QVERIFY(server.process.waitForStarted(kWait));
    QTRY_VERIFY_WITH_TIMEOUT(server.process.canReadLine(), kWait);
    const QString display =
        QLatin1Char(':') + QString::fromLatin1(server.process.readLine()).trimmed();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    ProcessRun windowManager;
    windowManager.process.setProcessEnvironment(env);
    windowManager.process.start(wm, {QStringLiteral("--sm-disable")});
    // A window manager's first start may build its font caches first.
    QTRY_VERIFY2_WITH_TIMEOUT(
        !runOn(env, wmctrl, {QStringLiteral("-m")}).isNull(),
        qPrintable(
            QStringLiteral("the window manager never answered; it %1: %2")
                .arg(windowManager.process.state() == QProcess::Running
                         ? QStringLiteral("runs")
                         : QStringLiteral("ended with %1").arg(windowManager.process.exitCode()),
                     QString::fromLocal8Bit(windowManager.process.readAllStandardError()))),
        2 * kWait);

    testsupport::WorkDir dir;
    // On X11 Qt starts libdbus, which keeps one buffer to the end; the
    // sanitized build (make sanitize) would take it for the program's leak.
    // Nothing of the program's own is passed over.
    QVERIFY(dir.write(QStringLiteral("lsan.supp"), "leak:libdbus-1.so\n"));
    QProcessEnvironment programEnv = env;
    programEnv.insert(QStringLiteral("LSAN_OPTIONS"),
                      QStringLiteral("suppressions=") + dir.filePath(QStringLiteral("lsan.supp")));
    QVERIFY(dir.write(QStringLiteral("Quintaro.ini"),
                      "\"127.0.0.1\",\"Orbetti.exe\",0,0,4900,2950,#TRUE#\r\n"));
    for (int start = 1; start <= 2; ++start) {
        ProcessRun program;
        program.process.setProcessEnvironment(programEnv);
        program.process.setWorkingDirectory(dir.path());
        program.process.start(testsupport::binaryDir() + QStringLiteral("/quintaro"), {});
        QVERIFY(program.process.waitForStarted(kWait));

        // "&Connect on Startup" is still on: the program connects.
        QTRY_VERIFY2_WITH_TIMEOUT(engine.hasPendingConnections(), "no connection at start-up",
                                  kWait);
        QTcpSocket *link = engine.nextPendingConnection();
        QTRY_COMPARE_WITH_TIMEOUT(link->bytesAvailable(), qint64(72), kWait);
        QCOMPARE(link->readAll(), agwtest::qbytes(agwtest::request('m') + agwtest::request('R')));

        if (start == 1) {
            QTRY_VERIFY_WITH_TIMEOUT(windowSize(env, wmctrl).isValid(), kWait);
            QVERIFY(!runOn(env, wmctrl,
                           {QStringLiteral("-r"), QStringLiteral("Quintaro"), QStringLiteral("-b"),
                            QStringLiteral("add,maximized_vert,maximized_horz")})
                         .isNull());
        }
        // Maximized at the first start; as large again at the second.
        QTRY_VERIFY_WITH_TIMEOUT(windowSize(env, wmctrl).width() >= 3800, kWait);
        QVERIFY(windowSize(env, wmctrl).height() >= 2000);

        QCOMPARE(::kill(pid_t(program.process.processId()), SIGTERM), 0);
        QVERIFY(program.process.waitForFinished(kWait));
        QCOMPARE(program.process.exitCode(), 0);
        const auto [width, autoConnect] =
            storedWidthAndAutoConnect(dir.read(QStringLiteral("Quintaro.ini")));
        QVERIFY2(width >= 3800LL * 15, dir.read(QStringLiteral("Quintaro.ini")).constData());
        QCOMPARE(autoConnect, QByteArray("#TRUE#"));
        delete link;
    }
}

QTEST_GUILESS_MAIN(TestLargeScreen)
#include "tst_largescreen.moc"
