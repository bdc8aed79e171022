#include "ByteLists.h"
#include "CommandLine.h"
#include "FileBytes.h"
#include "ProgramStarter.h"
#include "RecordingProgramStarter.h"
#include "StarterProbe.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace quintaro::stations;
using stationstest::raw;
using stationstest::show;

namespace {

// What a program file is named: Windows adds ".exe" to a name without an
// extension, and decides by the file's content whether it runs; Linux asks
// its execute bits.
#ifdef Q_OS_WIN
const QString kExe = QStringLiteral(".exe");
constexpr bool kExecuteBits = false;
#else
const QString kExe;
constexpr bool kExecuteBits = true;
#endif

bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions)
{
    return testsupport::writeFile(path, bytes) && QFile::setPermissions(path, permissions);
}

const QFile::Permissions kExecutable =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
const QFile::Permissions kNotExecutable = QFile::ReadOwner | QFile::WriteOwner;

// A command line's bytes as the user typed them, folders separated as the
// system does.
std::string lineBytes(const QString &text)
{
    return QFile::encodeName(QDir::toNativeSeparators(text)).toStdString();
}

#ifndef Q_OS_WIN
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
#endif

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
#ifndef Q_OS_WIN
    QVERIFY(noChildren());
#endif
}

void TestProgramStarter::startsDetachedWithExactArguments_data()
{
    QTest::addColumn<QString>("named"); // how the line names the program
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArrayList>("expected"); // the arguments Linux hands over

    // Unquoted, in a folder whose name holds a blank.
    const QString path = QStringLiteral("full path");
    QTest::newRow("plain call") << path << raw("IK1ABC-13") << raw(" 127.0.0.1 ")
                                << QByteArrayList{"IK1ABC-13", "127.0.0.1"};
    QTest::newRow("shell metacharacters") << path << raw("$(id);|&<>*") << raw("localhost")
                                          << QByteArrayList{"$(id);|&<>*", "localhost"};
    QTest::newRow("quotes, backquotes and backslash")
        << path << raw("\"a'`id`\\") << raw("h") << QByteArrayList{raw("\"a'`id`\\"), "h"};
    QTest::newRow("high bytes and line end") << path << raw("\xC4\xD6\xFF\r\n~") << raw("h")
                                             << QByteArrayList{raw("\xC4\xD6\xFF\r\n~"), "h"};
    QTest::newRow("blank inside call")
        << path << raw("IK1 ABC") << raw("h") << QByteArrayList{"IK1", "ABC", "h"};
    QTest::newRow("empty address") << path << raw("IK1ABC") << raw("") << QByteArrayList{"IK1ABC"};
    QTest::newRow("found along PATH")
        << QStringLiteral("name") << raw("IK1ABC") << raw("h") << QByteArrayList{"IK1ABC", "h"};
#ifdef Q_OS_WIN
    QTest::newRow(".exe added") << QStringLiteral("full path without .exe") << raw("IK1ABC")
                                << raw("h") << QByteArrayList{"IK1ABC", "h"};
#endif
}

void TestProgramStarter::startsDetachedWithExactArguments()
{
    QFETCH(QString, named);
    QFETCH(QByteArray, call);
    QFETCH(QByteArray, address);
    QFETCH(QByteArrayList, expected);

    const QString program = m_folder + QStringLiteral("/brez") + kExe;
    const QString received = m_folder + QStringLiteral("/received");
    QFile::remove(received);
    QVERIFY(testsupport::placeStarterProbe(program));
    qputenv("QUINTARO_STARTER_PROBE", "inherited");
    const QByteArray path = qgetenv("PATH");

    QString typed = program;
    if (named == QLatin1String("name")) {
        // A folder that is not there, then the probe's: the list is split.
        qputenv("PATH", QFile::encodeName(
                            QDir::toNativeSeparators(m_temp.path() + QStringLiteral("/nowhere") +
                                                     QDir::listSeparator() + m_folder)));
        typed = QStringLiteral("brez");
    } else if (named == QLatin1String("full path without .exe")) {
        typed = m_folder + QStringLiteral("/brez");
    }
    const std::string line =
        buildCommandLine("  " + lineBytes(typed) + " ", call.toStdString(), address.toStdString());
    SystemProgramStarter starter;
    const long long pid = starter.start(line);
    qputenv("PATH", path);
    QVERIFY(pid > 0);

    QByteArrayList fields;
    QTRY_VERIFY_WITH_TIMEOUT(!(fields = testsupport::starterProbeRecord(m_folder)).isEmpty(),
                             10000);
    QVERIFY(fields.size() >= 4);
    QCOMPARE(fields.takeFirst().toLongLong(), pid);
    QCOMPARE(QDir::fromNativeSeparators(QString::fromUtf8(fields.takeFirst())),
             QDir::currentPath());
    QCOMPARE(fields.takeFirst(), QByteArray("inherited"));
#ifdef Q_OS_WIN
    // Windows hands over the command line whole, exactly as built.
    QCOMPARE(fields.size(), 1);
    QCOMPARE(QString::fromUtf8(fields.front()),
             testsupport::commandLineHandedOver(
                 QString::fromLocal8Bit(line.data(), qsizetype(line.size())), typed));
#else
    // The intermediate process is reaped and the program is no child of ours.
    QVERIFY(noChildren());
    QCOMPARE(fields.takeFirst().toLongLong(), static_cast<long long>(expected.size()));
    QCOMPARE(show(fields), show(expected));

    QTRY_VERIFY_WITH_TIMEOUT(!processRunning(pid), 5000);
    if (processRunning(pid))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
#endif
}

void TestProgramStarter::failedStartGivesZero_data()
{
    QTest::addColumn<QString>("program"); // relative to the folder with a blank
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("found"); // the search accepts it and the system refuses

    QTest::newRow("missing program") << QString() << QByteArray() << false << false;
    QTest::newRow("file not executable")
        << QStringLiteral("plain") << raw("#!/bin/sh\nexit 0\n") << false << false;
    QTest::newRow("folder") << QStringLiteral("folder") + kExe << QByteArray() << true << false;
    QTest::newRow("no executable format")
        << QStringLiteral("garbage") + kExe << raw("\x01\x02 not a program\n") << true << true;
    QTest::newRow("missing interpreter")
        << QStringLiteral("orphan") << raw("#!/nonexistent/interpreter\nexit 0\n") << true << true;
    // A line whose path was left empty begins with the call, which names a
    // program in the current folder here.
    QTest::newRow("empty path") << QStringLiteral("IK1ABC") + kExe << QByteArray() << true << false;
}

void TestProgramStarter::failedStartGivesZero()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);
    QFETCH(bool, found);
#ifdef Q_OS_WIN
    if (program == QLatin1String("plain"))
        QSKIP("on Windows: no execute bits; Windows reads the file's content when starting it "
              "(no executable format)");
    if (program == QLatin1String("orphan"))
        QSKIP("on Windows: no interpreter line (#!) is read; such a file is of no executable "
              "format");
#endif

    QString path = m_folder + QStringLiteral("/missing");
    std::string line;
    const QString previous = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
    if (program.startsWith(QLatin1String("IK1ABC"))) {
        QVERIFY(testsupport::placeStarterProbe(m_folder + QLatin1Char('/') + program));
        QVERIFY(QDir::setCurrent(m_folder));
        line = buildCommandLine("", "IK1ABC", "localhost");
    } else {
        if (program.startsWith(QLatin1String("folder"))) {
            path = m_folder + QLatin1Char('/') + program;
            QVERIFY(QDir().mkpath(path));
        } else if (!program.isEmpty()) {
            path = m_folder + QLatin1Char('/') + program;
            QVERIFY(writeFile(path, content, executable ? kExecutable : kNotExecutable));
        }
        line = buildCommandLine(lineBytes(path), "IK1ABC", "localhost");
    }

    QCOMPARE(resolveCommandLine(line, systemExecutableLookup()).has_value(), found);
    SystemProgramStarter starter;
    QCOMPARE(starter.start(line), 0LL);
#ifndef Q_OS_WIN
    QVERIFY(noChildren());
#endif
}

void TestProgramStarter::systemLookupSeesRealFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");

    QTest::newRow("executable file") << QStringLiteral("lookup-exec") + kExe << true;
    QTest::newRow("link to executable file") << QStringLiteral("lookup-link") << true;
    QTest::newRow("file without execute bits") << QStringLiteral("lookup-plain") << !kExecuteBits;
    QTest::newRow("folder") << QStringLiteral("lookup-folder") << false;
    QTest::newRow("nothing there") << QStringLiteral("lookup-none") << false;
}

void TestProgramStarter::systemLookupSeesRealFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
#ifdef Q_OS_WIN
    if (name == QLatin1String("lookup-link"))
        QSKIP("on Windows: a symbolic link needs a privilege there");
#endif

    const QString exec = m_folder + QStringLiteral("/lookup-exec") + kExe;
    QVERIFY(writeFile(exec, "#!/bin/sh\n", kExecutable));
    QVERIFY(writeFile(m_folder + QStringLiteral("/lookup-plain"), "#!/bin/sh\n", kNotExecutable));
    QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/lookup-folder")));
#ifndef Q_OS_WIN
    QFile::remove(m_folder + QStringLiteral("/lookup-link"));
    QVERIFY(QFile::link(exec, m_folder + QStringLiteral("/lookup-link")));
#endif

    const ExecutableLookup lookup = systemExecutableLookup();
    QCOMPARE(QDir::fromNativeSeparators(QString::fromStdString(lookup.currentDirectory)),
             QDir::currentPath());
    QCOMPARE(QByteArray::fromStdString(lookup.searchPath), qgetenv("PATH"));
    const std::string path = lineBytes(m_folder + QLatin1Char('/') + name);
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
