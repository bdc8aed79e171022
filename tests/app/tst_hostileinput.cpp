// Calls that come from the radio are text from anyone: shell and batch
// metacharacters, bytes beyond ASCII, control bytes, ten bytes with no NUL,
// or nothing at all. Heard with "Open Brezomat for new wx station" on, such
// a call reaches Brezomat as exactly its bytes, never through a shell, and
// the batch file leaves it out.

#include "StarterProbe.h"
#include "StationWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>
#include <vector>

using namespace agwtest;
using namespace testsupport;

namespace {

struct HostileCall
{
    const char *name;
    QByteArray field;    // the CallFrom field as sent, up to ten bytes
    QByteArray call;     // the call the window must take from it
    QByteArrayList argv; // Brezomat's arguments from the real starter
    bool batchSafe;
};

// A call sent as it is, within its ten bytes, and so passed to Brezomat.
HostileCall asSent(const char *name, const QByteArray &call, bool batchSafe = false)
{
    return {name, call, call, {call, "127.0.0.1"}, batchSafe};
}

// Every file whose name starts with "CAN" would be made by a shell that read
// the call as a command; none may ever appear.
std::vector<HostileCall> hostileCalls()
{
    return {
        asSent("command substitution", "$(id)"),
        asSent("command substitution making a file", "$(>CANAR1)"),
        asSent("separator making a file", ";>CANARY2"),
        asSent("backquotes making a file", "`>CANARY3`"),
        asSent("pipe making a file", "|>CANARY4"),
        asSent("background and redirection", "&>CANARY5"),
        asSent("redirection", ">CANARY6"),
        asSent("ten bytes without NUL making a file", ";>CANARY10"),
        asSent("batch variable and escapes", "%PATH%^&A"),
        asSent("quotes, globs and escapes", "'\"*?~\\{"),
        asSent("bytes beyond ASCII", "\x80\x9F\xA0\xC4\xE9\xFF"),
        asSent("control bytes", "IK\x1B[2J\x7F\x01"),
        asSent("ordinary call", "IK1ABC", true),
        asSent("ordinary ten-byte call", "IK1ABCDE-1", true),
        // The command line is then "path  address", split at blanks: the
        // address comes first.
        {"empty call, bytes after its NUL", QByteArray("\0IK9HID", 7), "", {"127.0.0.1"}, false},
        // Blanks split the one command line into arguments, as they would
        // for any program started from one.
        {"blank inside", "IK6 SP", "IK6 SP", {"IK6", "SP", "127.0.0.1"}, false},
        {"tab in front", "\tIK7TAB", "\tIK7TAB", {"IK7TAB", "127.0.0.1"}, false},
    };
}

// A monitored weather report from the given CallFrom field. The CallTo field
// after it is full, so that a call read past its ten bytes would show.
std::string weatherFrame(const QByteArray &field, const QByteArray &call)
{
    std::string frame =
        makeFrame('U', field.toStdString(),
                  " 1:Fm " + call.toStdString() + " To APRS <UI pid=F0 Len=46 PF=0 >[12:00:00]\r" +
                      kWxPositionless + "\r");
    frame.replace(18, 10, "APRSWXTAIL");
    return frame;
}

QByteArray callBytes(StationWindow &w, int row)
{
    return w.list()->model()->index(row, 0).data().toString().toLatin1();
}

int stationCount(StationWindow &w)
{
    return w.list()->model()->rowCount();
}

// The link to the window's engine, with the address box naming the engine
// too, so that Brezomat is given the address the stations came from.
QTcpSocket *connectToEngine(StationWindow &w)
{
    w.txtAddr()->setText(QStringLiteral("127.0.0.1"));
    return w.connectLink();
}

// A stand-in Brezomat: records its arguments, each followed by a NUL, in a
// file named after its process, and does nothing else. The arguments are
// only ever expanded as "$@", so it never reads them as commands.
#ifndef Q_OS_WIN
const QByteArray kRecorder = "#!/bin/sh\n"
                             "out=\"${0%/*}/args\"\n"
                             "printf '%s\\0' \"$@\" > \"$out.$$.part\" && "
                             "mv \"$out.$$.part\" \"$out.$$\"\n";
#endif

} // namespace

class TestHostileInput : public QObject
{
    Q_OBJECT

private slots:
    void commandLineHoldsTheCallsBytes_data();
    void commandLineHoldsTheCallsBytes();
    void realStartPassesTheCallUntouched_data();
    void realStartPassesTheCallUntouched();
    void callIsNeverTakenForTheProgram_data();
    void callIsNeverTakenForTheProgram();
    void batchFileLeavesHostileCallsOut();

private:
    void addRows();
};

void TestHostileInput::addRows()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<QByteArrayList>("argv");
    for (const HostileCall &c : hostileCalls())
        QTest::newRow(c.name) << c.field << c.call << c.argv;
}

void TestHostileInput::commandLineHoldsTheCallsBytes_data()
{
    addRows();
}

void TestHostileInput::commandLineHoldsTheCallsBytes()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, call);

    StationWindow w;
    w.txtPath()->setText(QStringLiteral("/opt/brezomat/Orbetti"));
    w.clickAutoLoad();
    QTcpSocket *peer = connectToEngine(w);
    QVERIFY(peer);

    send(peer, weatherFrame(field, call));
    QTRY_COMPARE_WITH_TIMEOUT(stationCount(w), 1, kWait);
    QCOMPARE(callBytes(w, 0), call);
    QCOMPARE(w.started(), QByteArrayList{"/opt/brezomat/Orbetti " + call + " 127.0.0.1"});
    QCOMPARE(w.statuses(), QList<int>{1});
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestHostileInput::realStartPassesTheCallUntouched_data()
{
    addRows();
}

void TestHostileInput::realStartPassesTheCallUntouched()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, call);
    QFETCH(QByteArrayList, argv);

    QTemporaryDir tools;
    QVERIFY(tools.isValid());
#ifdef Q_OS_WIN
    // The probe, which records the command line Windows hands it.
    const QString brezomat =
        QDir::toNativeSeparators(tools.filePath(QStringLiteral("brezomat.exe")));
    QVERIFY(placeStarterProbe(brezomat));
#else
    const QString brezomat = tools.filePath(QStringLiteral("brezomat"));
    QVERIFY(writeFile(brezomat, kRecorder));
    QVERIFY(
        QFile::setPermissions(brezomat, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
#endif

    StationWindow w(StationWindow::RealStarter);
    w.txtPath()->setText(brezomat);
    w.clickAutoLoad();
    QTcpSocket *peer = connectToEngine(w);
    QVERIFY(peer);

    send(peer, weatherFrame(field, call));
    QTRY_COMPARE_WITH_TIMEOUT(stationCount(w), 1, kWait);
    QCOMPARE(callBytes(w, 0), call);
    QVERIFY2(w.boxes.requests.isEmpty(), qPrintable(w.boxTitles().join(QLatin1Char('|'))));
    QCOMPARE(w.statuses(), QList<int>{1});

    QStringList records;
    QVERIFY2(
        waitUntil([&] {
            records =
                QDir(tools.path())
                    .entryList({QStringLiteral("args.*"), QStringLiteral("received")}, QDir::Files);
            records.removeIf([](const QString &n) { return n.endsWith(QLatin1String(".part")); });
            return !records.isEmpty();
        }),
        "Brezomat never ran");
    // A shell that had read the call would have run the rest of it after
    // Brezomat: give it the time, then look for what it would have made.
    QTest::qWait(100);
    QCOMPARE(w.files(), QStringList());
    QCOMPARE(records.size(), 1);
    const QStringList tooling =
        QDir(tools.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QStringList expected{records.first(), QFileInfo(brezomat).fileName()};
    expected.sort();
    QCOMPARE(tooling, expected);

#ifdef Q_OS_WIN
    // Windows hands over the whole command line, the call's bytes in it as
    // they came.
    Q_UNUSED(argv);
    const QByteArrayList fields = starterProbeRecord(tools.path());
    QCOMPARE(fields.size(), 4);
    const QByteArray line = QFile::encodeName(brezomat) + ' ' + call + " 127.0.0.1";
    QCOMPARE(QString::fromUtf8(fields.last()),
             commandLineHandedOver(QString::fromLocal8Bit(line), brezomat));
#else
    QByteArray recorded;
    {
        QFile file(tools.filePath(records.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        recorded = file.readAll();
    }
    QVERIFY(recorded.endsWith('\0'));
    recorded.chop(1);
    QCOMPARE(recorded.split('\0'), argv);
#endif
}

void TestHostileInput::callIsNeverTakenForTheProgram_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty path") << "";
    QTest::newRow("path of blanks") << "    ";
}

void TestHostileInput::callIsNeverTakenForTheProgram()
{
    QFETCH(QString, path);

    // With no path the command line begins with a blank and the call: were
    // the call taken for the program, touch would make the file 127.0.0.1.
    StationWindow w(StationWindow::RealStarter);
    w.txtPath()->setText(path);
    w.clickAutoLoad();
    QTcpSocket *peer = connectToEngine(w);
    QVERIFY(peer);

    send(peer, weatherFrame("/bin/touch", "/bin/touch"));
    QTRY_COMPARE_WITH_TIMEOUT(stationCount(w), 1, kWait);
    QCOMPARE(w.boxTitles(), QStringList{QStringLiteral("Wx Station /bin/touch not loaded")});
    QCOMPARE(w.statuses(), QList<int>{0});
    QTest::qWait(100);
    QCOMPARE(w.files(), QStringList());
}

void TestHostileInput::batchFileLeavesHostileCallsOut()
{
    StationWindow w;
    w.txtPath()->setText(QStringLiteral("C:\\Brezomat\\Orbetti.exe"));
    w.clickAutoLoad();
    QTcpSocket *peer = connectToEngine(w);
    QVERIFY(peer);

    // All of them heard in one go, in this order.
    const std::vector<HostileCall> calls = hostileCalls();
    std::string burst;
    QByteArray lines;
    QStringList leftOut;
    for (const HostileCall &c : calls) {
        burst += weatherFrame(c.field, c.call);
        if (c.batchSafe)
            lines += "C:\\Brezomat\\Orbetti.exe " + c.call + " 127.0.0.1\r\n";
        else
            leftOut << (c.call.isEmpty() ? QStringLiteral("(empty call)")
                                         : QString::fromLatin1(c.call));
    }
    send(peer, burst);
    QTRY_COMPARE_WITH_TIMEOUT(stationCount(w), int(calls.size()), kWait);
    for (int i = 0; i < int(calls.size()); ++i)
        QCOMPARE(callBytes(w, i), calls[std::size_t(i)].call);
    QCOMPARE(w.started().size(), qsizetype(calls.size()));
    QVERIFY(w.boxes.requests.isEmpty());

    w.batch(QStringLiteral("WxLoad.bat"));
    QCOMPARE(w.dir.read(QStringLiteral("WxLoad.bat")), kBatchHeader + lines);
    QCOMPARE(w.boxes.requests.size(), 1);
    const FakeMessageBoxes::Request &box = w.boxes.requests.first();
    QCOMPARE(box.style, 48);
    QCOMPARE(box.title, QStringLiteral("Batch File"));
    QCOMPARE(box.prompt.split(kCrLf).mid(1), leftOut);
    QCOMPARE(w.files(), QStringList{QStringLiteral("WxLoad.bat")});
}

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
