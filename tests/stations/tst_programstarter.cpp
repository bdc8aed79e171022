#include "ByteLists.h"
#include "CommandLine.h"
#include "FileBytes.h"
#include "ProgramStarter.h"
#include "RecordingProgramStarter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace quintaro::stations;
using stationstest::raw;
using stationstest::show;

namespace {

// Writes its pid, working folder, one environment value, the argument count
// and every argument, each followed by a NUL byte, and renames the file into
// place only when it is complete.
const char kReporterScript[] =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/received\"\n"
    "{\n"
    "  printf '%s\\000' \"$$\" \"$(pwd)\" \"$QUINTARO_STARTER_PROBE\" \"$#\"\n"
    "  for a in \"$@\"; do printf '%s\\000' \"$a\"; done\n"
    "} > \"$out.part\"\n"
    "mv \"$out.part\" \"$out\"\n";

bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions)
{
    return testsupport::writeFile(path, bytes) && QFile::setPermissions(path, permissions);
}

const QFile::Permissions kExecutable =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
const QFile::Permissions kNotExecutable = QFile::ReadOwner | QFile::WriteOwner;

// Running, as opposed to gone or a zombie waiting for its new parent.
bool processRunning(long long pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return false;
    const char state = line.at(close + 2);
    return state != 'Z' && state != 'X';
}

// True when this process has no child left, running or zombie.
bool noChildren()
{
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

} // namespace

class TestProgramStarter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsDetachedWithExactArguments_data();
    void startsDetachedWithExactArguments();
    void failedStartGivesZero_data();
    void failedStartGivesZero();
    void systemLookupSeesRealFiles_data();
    void systemLookupSeesRealFiles();
    void seamSwapsStarter();

private:
    QTemporaryDir m_temp;
    QString m_folder; // holds a blank, like "Program Files"
};

void TestProgramStarter::initTestCase()
{
    QVERIFY(m_temp.isValid());
    m_folder = m_temp.path() + QStringLiteral("/my dir");
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(noChildren());
}

void TestProgramStarter::startsDetachedWithExactArguments_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::newRow("plain call") << raw("IK1ABC-13") << raw(" 127.0.0.1 ")
                                << QByteArrayList{"IK1ABC-13", "127.0.0.1"};
    QTest::newRow("shell metacharacters")
        << raw("$(id);|&<>*") << raw("localhost") << QByteArrayList{"$(id);|&<>*", "localhost"};
    QTest::newRow("quotes, backquotes and backslash")
        << raw("\"a'`id`\\") << raw("h") << QByteArrayList{raw("\"a'`id`\\"), "h"};
    QTest::newRow("high bytes and line end")
        << raw("\xC4\xD6\xFF\r\n~") << raw("h") << QByteArrayList{raw("\xC4\xD6\xFF\r\n~"), "h"};
    QTest::newRow("blank inside call")
        << raw("IK1 ABC") << raw("h") << QByteArrayList{"IK1", "ABC", "h"};
    QTest::newRow("empty address") << raw("IK1ABC") << raw("") << QByteArrayList{"IK1ABC"};
}

void TestProgramStarter::startsDetachedWithExactArguments()
{
    QFETCH(QByteArray, call);
    QFETCH(QByteArray, address);
    QFETCH(QByteArrayList, expected);

    const QString script = m_folder + QStringLiteral("/brez");
    const QString received = m_folder + QStringLiteral("/received");
    QFile::remove(received);
    QVERIFY(writeFile(script, raw(kReporterScript), kExecutable));
    qputenv("QUINTARO_STARTER_PROBE", "inherited");

    const std::string line = buildCommandLine(QFile::encodeName("  " + script + " ").toStdString(),
                                              call.toStdString(), address.toStdString());
    SystemProgramStarter starter;
    const long long pid = starter.start(line);
    QVERIFY(pid > 0);
    // The intermediate process is reaped and the program is no child of ours.
    QVERIFY(noChildren());

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(received), 10000);
    QFile file(received);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArrayList fields = file.readAll().split('\0');
    QVERIFY(!fields.isEmpty() && fields.last().isEmpty());
    fields.removeLast();
    QVERIFY(fields.size() >= 4);
    QCOMPARE(fields.takeFirst().toLongLong(), pid);
    QCOMPARE(fields.takeFirst(), QFile::encodeName(QDir::currentPath()));
    QCOMPARE(fields.takeFirst(), QByteArray("inherited"));
    QCOMPARE(fields.takeFirst().toLongLong(), static_cast<long long>(expected.size()));
    QCOMPARE(show(fields), show(expected));

    QTRY_VERIFY_WITH_TIMEOUT(!processRunning(pid), 5000);
    if (processRunning(pid))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

void TestProgramStarter::failedStartGivesZero_data()
{
    QTest::addColumn<QString>("program"); // relative to the folder with a blank
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("found"); // the search accepts it and exec refuses

    QTest::newRow("missing program") << QString() << QByteArray() << false << false;
    QTest::newRow("file not executable")
        << QStringLiteral("plain") << raw(kReporterScript) << false << false;
    QTest::newRow("folder") << QStringLiteral("folder") << QByteArray() << true << false;
    QTest::newRow("no executable format")
        << QStringLiteral("garbage") << raw("\x01\x02 not a program\n") << true << true;
    QTest::newRow("missing interpreter")
        << QStringLiteral("orphan") << raw("#!/nonexistent/interpreter\nexit 0\n") << true << true;
}

void TestProgramStarter::failedStartGivesZero()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);
    QFETCH(bool, found);

    QString path = m_folder + QStringLiteral("/missing");
    if (program == QStringLiteral("folder")) {
        path = m_folder + QStringLiteral("/folder");
        QVERIFY(QDir().mkpath(path));
    } else if (!program.isEmpty()) {
        path = m_folder + QLatin1Char('/') + program;
        QVERIFY(writeFile(path, content, executable ? kExecutable : kNotExecutable));
    }

    const std::string line =
        buildCommandLine(QFile::encodeName(path).toStdString(), "IK1ABC", "localhost");
    QCOMPARE(resolveCommandLine(line, systemExecutableLookup()).has_value(), found);
    SystemProgramStarter starter;
    QCOMPARE(starter.start(line), 0LL);
    QVERIFY(noChildren());
}

void TestProgramStarter::systemLookupSeesRealFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");

    QTest::newRow("executable file") << QStringLiteral("lookup-exec") << true;
    QTest::newRow("link to executable file") << QStringLiteral("lookup-link") << true;
    QTest::newRow("file without execute bits") << QStringLiteral("lookup-plain") << false;
    QTest::newRow("folder") << QStringLiteral("lookup-folder") << false;
    QTest::newRow("nothing there") << QStringLiteral("lookup-none") << false;
}

void TestProgramStarter::systemLookupSeesRealFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);

    const QString exec = m_folder + QStringLiteral("/lookup-exec");
    QVERIFY(writeFile(exec, "#!/bin/sh\n", kExecutable));
    QVERIFY(writeFile(m_folder + QStringLiteral("/lookup-plain"), "#!/bin/sh\n", kNotExecutable));
    QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/lookup-folder")));
    QFile::remove(m_folder + QStringLiteral("/lookup-link"));
    QVERIFY(QFile::link(exec, m_folder + QStringLiteral("/lookup-link")));

    const ExecutableLookup lookup = systemExecutableLookup();
    QCOMPARE(QString::fromStdString(lookup.currentDirectory), QDir::currentPath());
    QCOMPARE(QByteArray::fromStdString(lookup.searchPath), qgetenv("PATH"));
    const std::string path = QFile::encodeName(m_folder + QLatin1Char('/') + name).toStdString();
    QCOMPARE(lookup.isExecutableFile(path), expected);
}

void TestProgramStarter::seamSwapsStarter()
{
    QVERIFY(dynamic_cast<SystemProgramStarter *>(&programStarter()));
    {
        testsupport::RecordingProgramStarter fake;
        QCOMPARE(&programStarter(), static_cast<ProgramStarter *>(&fake));
        fake.failNext();
        QCOMPARE(programStarter().start("/opt/brez IK1ABC h"), 0LL);
        QCOMPARE(programStarter().start("/opt/brez IK2DEF h"), 1001LL);
        fake.succeedNext(77);
        QCOMPARE(programStarter().start("/opt/brez IK3GHI h"), 77LL);
        QCOMPARE(show(fake.commandLines),
                 QByteArray("[/opt/brez IK1ABC h|/opt/brez IK2DEF h|/opt/brez IK3GHI h]"));
    }
    QVERIFY(dynamic_cast<SystemProgramStarter *>(&programStarter()));
}

QTEST_GUILESS_MAIN(TestProgramStarter)
#include "tst_programstarter.moc"
