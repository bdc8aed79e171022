// The real program, started as a user would start it.

#include "ProcessRun.h"
#include "SystemSession.h"
#include "TestPaths.h"
#include "WorkDir.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using testsupport::ProcessRun;

namespace {

QString programPath()
{
    return testsupport::binaryDir() + QStringLiteral("/quintaro");
}

#ifndef Q_OS_WIN
// Whether a user who owns none of them may pass through the folder and every
// folder above it.
bool othersMayEnter(const QString &path)
{
    QDir dir(QFileInfo(path).canonicalFilePath());
    do {
        if (!QFileInfo(dir.path()).permissions().testFlag(QFile::ExeOther))
            return false;
    } while (dir.cdUp());
    return true;
}
#endif

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
    void settingsFileWhereTheUserPutIt_data();
    void settingsFileWhereTheUserPutIt();
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
    // (Under wine, an X display is kept: wine needs it.)
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
#ifndef Q_OS_WIN
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
#endif
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
#ifdef Q_OS_WIN
    QTest::newRow("WM_ENDSESSION (log-off)") << 0;
#else
    QTest::newRow("SIGTERM (log-off)") << int(SIGTERM);
    QTest::newRow("SIGHUP (terminal closed)") << int(SIGHUP);
    QTest::newRow("SIGINT (Ctrl+C)") << int(SIGINT);
#endif
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

    QTRY_VERIFY_WITH_TIMEOUT(testsupport::readyForSessionEnd(run.process.processId(), signalNumber),
                             10000);
    QVERIFY(testsupport::endSession(run.process.processId(), signalNumber));
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    // The orderly unload wrote the window's values, the Boolean now bare.
    QCOMPARE(
        dir.read(QStringLiteral("Quintaro.ini")),
        QByteArray("\"localhost\",\"Orbetti.exe\",0,0,4900,2950,#FALSE#,#FALSE#,\"metric\"\r\n"));
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

    QTRY_VERIFY_WITH_TIMEOUT(testsupport::readyForSessionEnd(run.process.processId(), SIGTERM),
                             10000);
    QVERIFY(testsupport::endSession(run.process.processId(), SIGTERM));
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
    QCOMPARE(dir.read(QStringLiteral("Quintaro.ini")),
             QByteArray("\"\",\"/opt/brez\",15,30,5010,3015,#TRUE#,#FALSE#,\"metric\"\r\n"));
}

void TestSmoke::settingsFileWhereTheUserPutIt_data()
{
    QTest::addColumn<bool>("linked");
    QTest::newRow("a link to a file elsewhere") << true;
    QTest::newRow("a writable file in a folder that may not be written") << false;
}

void TestSmoke::settingsFileWhereTheUserPutIt()
{
    QFETCH(bool, linked);
#ifdef Q_OS_WIN
    QSKIP(linked ? "on Windows: a link made by the user is a shortcut (.lnk), which no program "
                   "opens as the file it points to"
                 : "on Windows: a folder's permissions stop no one under wine, and no other "
                   "user (setuid) is at hand to be stopped");
#else
    testsupport::WorkDir dir;
    const QByteArray before = "\"radio.lan\",\"/opt/brez\",15,30,5010,3015,\"#FALSE#\"\r\n";
    QString file = dir.filePath(QStringLiteral("Quintaro.ini"));
    if (linked) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("conf")));
        file = dir.filePath(QStringLiteral("conf/Quintaro.ini"));
        QVERIFY(QFile::link(QStringLiteral("conf/Quintaro.ini"),
                            dir.filePath(QStringLiteral("Quintaro.ini"))));
    }
    QVERIFY(testsupport::writeFile(file, before));

    QString program = programPath();
    QTemporaryDir programDir;
    ProcessRun run;
    run.process.setWorkingDirectory(dir.path());
    if (!linked) {
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::WriteGroup |
                                                QFile::ReadOther | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                      QFile::ReadGroup | QFile::ExeGroup |
                                                      QFile::ReadOther | QFile::ExeOther));
        // Root may write any folder: the program then runs as a user who
        // may not write this one. The build may lie where only root may
        // enter (a home folder of mode 0700, a mktemp folder), so that user
        // runs a copy kept beside the work folder.
        if (::geteuid() == 0) {
            if (!othersMayEnter(QDir::tempPath()))
                QSKIP(qPrintable(QStringLiteral("user 65534 may not enter %1, which holds the "
                                                "work folder and the program's copy")
                                     .arg(QDir::tempPath())));
            const auto anyoneRuns = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther;
            program = programDir.filePath(QStringLiteral("quintaro"));
            QVERIFY(QFile::copy(programPath(), program));
            QVERIFY(QFile::setPermissions(program, anyoneRuns));
            QVERIFY(QFile::setPermissions(programDir.path(), anyoneRuns));
            // That user's weather history goes where that user may write.
            const QString data = programDir.filePath(QStringLiteral("data"));
            QVERIFY(QDir().mkdir(data));
            QVERIFY(
                QFile::setPermissions(data, anyoneRuns | QFile::WriteGroup | QFile::WriteOther));
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_DATA_HOME"), data);
            run.process.setProcessEnvironment(env);
            run.process.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(99);
            });
        }
    }
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    run.process.start(program, {});
    QVERIFY(run.process.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(testsupport::readyForSessionEnd(run.process.processId(), SIGTERM),
                             10000);
    QVERIFY(testsupport::endSession(run.process.processId(), SIGTERM));
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitCode(), 0);
    const QByteArray errors = run.process.readAllStandardError();
    QVERIFY2(!errors.contains("cannot save"), errors.constData());
    QCOMPARE(
        testsupport::readFile(file),
        QByteArray("\"radio.lan\",\"/opt/brez\",15,30,5010,3015,#FALSE#,#FALSE#,\"metric\"\r\n"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Quintaro.ini"))).isSymLink() == linked);
#endif
}

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
