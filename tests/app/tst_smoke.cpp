// The real program, started as a user would start it.

#include "ProcessRun.h"
#include "TestPaths.h"
#include "WorkDir.h"

#include <QProcess>
#include <QTest>
#include <csignal>

using testsupport::ProcessRun;

namespace {

QString programPath()
{
    return testsupport::binaryDir() + QStringLiteral("/quintaro");
}

} // namespace

class TestSmoke : public QObject
{
    Q_OBJECT

private slots:
    void informationalOptionsOpenNoWindow_data();
    void informationalOptionsOpenNoWindow();
    void firstStartAndSessionEnd_data();
    void firstStartAndSessionEnd();
    void sessionEndWhileDialogOpen();
};

void TestSmoke::informationalOptionsOpenNoWindow_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--help") << "--help"
                            << "Usage: quintaro";
    QTest::newRow("--version") << "--version"
                               << "Quintaro 2.01";
}

void TestSmoke::informationalOptionsOpenNoWindow()
{
    QFETCH(QString, option);
    QFETCH(QString, expected);
    testsupport::WorkDir dir;
    ProcessRun run;
    // With no display at all, opening a window would fail loudly.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.process.setProcessEnvironment(env);
    run.process.setWorkingDirectory(dir.path());
    run.process.start(programPath(), {option});
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY(QString::fromUtf8(run.process.readAllStandardOutput()).contains(expected));
    QVERIFY(!dir.exists(QStringLiteral("Quintaro.ini")));
}

void TestSmoke::firstStartAndSessionEnd_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM (log-off)") << int(SIGTERM);
    QTest::newRow("SIGHUP (terminal closed)") << int(SIGHUP);
    QTest::newRow("SIGINT (Ctrl+C)") << int(SIGINT);
}

void TestSmoke::firstStartAndSessionEnd()
{
    QFETCH(int, signalNumber);
    testsupport::WorkDir dir;
    ProcessRun run;
    run.process.setWorkingDirectory(dir.path());
    run.process.start(programPath(), {});
    QVERIFY(run.process.waitForStarted(10000));

    // The first start writes the default record, then reads it back.
    QTRY_VERIFY_WITH_TIMEOUT(dir.read(QStringLiteral("Quintaro.ini")) != "<missing>", 10000);
    QCOMPARE(dir.read(QStringLiteral("Quintaro.ini")),
             QByteArray("\"localhost\",\"Orbetti.exe\",0,0,4900,2950,\"#FALSE#\"\r\n"));
    QTest::qWait(300); // let the window be shown and framed

    QCOMPARE(::kill(static_cast<pid_t>(run.process.processId()), signalNumber), 0);
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    // The orderly unload wrote the window's values, the Boolean now bare.
    QCOMPARE(dir.read(QStringLiteral("Quintaro.ini")),
             QByteArray("\"localhost\",\"Orbetti.exe\",0,0,4900,2950,#FALSE#\r\n"));
}

void TestSmoke::sessionEndWhileDialogOpen()
{
    testsupport::WorkDir dir;
    // Connect on start-up with no address at all: start-up shows an error
    // box and waits in it.
    QVERIFY(dir.write(QStringLiteral("Quintaro.ini"),
                      "\"\",\"/opt/brez\",15,30,5010,3015,\"#TRUE#\",left over\r\n"));
    ProcessRun run;
    run.process.setWorkingDirectory(dir.path());
    run.process.start(programPath(), {});
    QVERIFY(run.process.waitForStarted(10000));
    QTest::qWait(1500);
    QCOMPARE(run.process.state(), QProcess::Running);

    QCOMPARE(::kill(static_cast<pid_t>(run.process.processId()), SIGTERM), 0);
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QCOMPARE(dir.read(QStringLiteral("Quintaro.ini")),
             QByteArray("\"\",\"/opt/brez\",15,30,5010,3015,#TRUE#\r\n"));
}

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
