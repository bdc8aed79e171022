// Quintaro with five weather displays against a real Direwolf: the window
// records what the radio brings, five quintaro-weather programs follow the
// store, each shows its station's last values as a screen reader hears them
// over the accessibility bus, and Direwolf serves Quintaro alone.

#include "CorpusPacket.h"
#include "DirewolfRunner.h"
#include "LinkWindow.h"
#include "ProcessRun.h"
#include "TestPaths.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <csignal>
#include <set>

using namespace testsupport;

namespace {

constexpr int kDisplays = 5;

// What an assistive technology finds in the windows of a program: the
// accessible name of each object, read over the accessibility bus as a
// screen reader reads them.
class ScreenReader
{
public:
    explicit ScreenReader(const QDBusConnection &bus) : m_bus(bus) {}

    // Every name in the windows of the process, depth first; empty while it
    // has not joined the bus.
    QStringList names(qint64 pid)
    {
        QStringList found;
        const Ref root{QStringLiteral("org.a11y.atspi.Registry"),
                       QStringLiteral("/org/a11y/atspi/accessible/root")};
        for (const Ref &app : children(root)) {
            if (m_bus.interface()->servicePid(app.service).value() == quint32(pid))
                collect(app, found, 0);
        }
        return found;
    }

private:
    struct Ref
    {
        QString service;
        QString path;
    };

    QDBusMessage call(const Ref &ref, const QString &interface, const QString &method,
                      const QVariantList &args = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(ref.service, ref.path, interface, method);
        message.setArguments(args);
        return m_bus.call(message, QDBus::Block, 2000);
    }

    QList<Ref> children(const Ref &ref)
    {
        const QDBusMessage reply =
            call(ref, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetChildren"));
        QList<Ref> refs;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return refs;
        const auto array = reply.arguments().first().value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            Ref child;
            QDBusObjectPath path;
            array.beginStructure();
            array >> child.service >> path;
            array.endStructure();
            child.path = path.path();
            refs << child;
        }
        array.endArray();
        return refs;
    }

    void collect(const Ref &ref, QStringList &found, int depth)
    {
        const QDBusMessage reply =
            call(ref, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("Name")});
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            found << reply.arguments().first().value<QDBusVariant>().variant().toString();
        // The display's widgets lie a dozen levels deep at most.
        if (depth < 24) {
            for (const Ref &child : children(ref))
                collect(child, found, depth + 1);
        }
    }

    QDBusConnection m_bus;
};

// A program the test starts and ends by its process id.
bool startProgram(ProcessRun &run, const QString &program, const QStringList &args,
                  const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    run.process.setProcessEnvironment(env);
    run.process.start(program, args);
    return run.process.waitForStarted(kWait);
}

// The first line a starting program writes (an X display's number, a bus's
// address); empty when none comes.
QString firstLine(ProcessRun &run)
{
    if (!waitUntil([&] { return run.process.canReadLine(); }, kWait))
        return {};
    return QString::fromLatin1(run.process.readLine()).trimmed();
}

// An X server of the test's own; its display (":N"), or empty when none
// started. The number is named, not left to Xvfb to find: an X server
// looking for a free number takes over the socket of each one it tries, and
// another test's server may be starting at the same time.
QString startXServer(ProcessRun &run)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int number = QRandomGenerator::global()->bounded(200, 900);
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            continue;
        const QString display = QStringLiteral(":%1").arg(number);
        // -displayfd: the number is written once the server accepts clients.
        if (startProgram(run, QStringLiteral("Xvfb"),
                         {display, QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp")}) &&
            firstLine(run) == QString::number(number))
            return display;
        run.process.kill();
        run.process.waitForFinished(kWait);
    }
    return {};
}

// The inodes of the TCP sockets on this machine, and of those established
// to the port.
struct TcpSockets
{
    std::set<QByteArray> all;
    int establishedTo = 0;
};
TcpSockets tcpSockets(quint16 port)
{
    TcpSockets sockets;
    const QByteArray localPort =
        ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QLatin1String(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // the column titles
        while (!file.atEnd()) {
            // sl local remote state tx:rx tr:when retransmits uid timeout inode
            const QList<QByteArray> f = file.readLine().simplified().split(' ');
            if (f.size() < 10)
                continue;
            sockets.all.insert(f[9]);
            if (f[1].endsWith(localPort) && f[3] == "01")
                ++sockets.establishedTo;
        }
    }
    return sockets;
}

// The inodes of every socket the process holds.
std::set<QByteArray> socketsOf(qint64 pid)
{
    std::set<QByteArray> inodes;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray target = QFile::symLinkTarget(fds.filePath(fd)).toLatin1();
        const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
        if (name.startsWith("socket:["))
            inodes.insert(name.mid(8, name.size() - 9));
    }
    return inodes;
}

} // namespace

class TestDirewolfDisplays : public QObject
{
    Q_OBJECT

private slots:
    void fiveDisplaysBesideQuintaro();
};

void TestDirewolfDisplays::fiveDisplaysBesideQuintaro()
{
    QString missing;
    if (!DirewolfRunner::installed(&missing))
        QSKIP(qPrintable(missing + QStringLiteral(" is not installed (scripts/install-deps.sh)")));
    // A screen reader's way in: an X server (the offscreen platform offers
    // no accessibility bus) and a session bus that starts the accessibility
    // bus when asked.
    for (const char *tool : {"Xvfb", "dbus-daemon"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QLatin1String(tool) + QStringLiteral(" is not installed")));
    }
    if (!QFile::exists(QStringLiteral("/usr/share/dbus-1/services/org.a11y.Bus.service")))
        QSKIP("at-spi2-core is not installed");

    // Real weather reports of five stations; the last station's second
    // report carries no pressure, so its display keeps the first one's.
    const struct
    {
        QByteArray call, infoStart;
        QStringList heard; // what the display's screen reader says of it
    } kStations[kDisplays] = {
        {"W4ZZK-1",
         "_0618",
         {"Temperature 30.0 °C", "Humidity 52 %", "Pressure 1017.0 hPa",
          "Wind from ESE (104°) at 0.0 km/h, gusts 6.4 km/h", "Rain 0.0 mm in the last hour"}},
        {"EI2WCP-2",
         "_0619",
         {"Temperature 14.4 °C", "Humidity 85 %", "Pressure 1014.6 hPa",
          "Wind from SW (221°) at 3.2 km/h, gusts 3.2 km/h", "Rain 0.5 mm in 24 hours"}},
        {"IK0RPV-3",
         "_0619",
         {"Temperature 26.1 °C", "Humidity 24 %", "Pressure 1012.6 hPa",
          "Wind from ENE (65°) at 6.4 km/h, gusts 8.0 km/h"}},
        {"OH2RDP-1",
         "=6030",
         {"Temperature 3.9 °C", "Humidity 100 %", "Pressure 1012.5 hPa",
          "Wind from SSE (150°) at 3.2 km/h, gusts 6.4 km/h", "Rain 0.3 mm in the last hour",
          "Rain 1.0 mm in 24 hours", "Rain 0.5 mm since midnight"}},
        {"WB6AHC-1",
         "_0519",
         {"Temperature 18.3 °C", "Humidity 53 %", "Pressure 1012.4 hPa",
          "Wind from S (180°) at 3.2 km/h, gusts 4.8 km/h", "Rain 2.3 mm in 24 hours"}},
    };
    QList<QByteArray> packets{corpusPacket("WB6AHC-1", "_0620", "WIDE1-1")};
    for (const auto &s : kStations)
        packets << corpusPacket(s.call, s.infoStart, "WIDE2-1");
    QByteArray audio = DirewolfRunner::silence(200);
    for (const QByteArray &packet : packets) {
        QVERIFY(!packet.isEmpty());
        QString error;
        const QByteArray sound = DirewolfRunner::packetAudio(packet, &error);
        QVERIFY2(!sound.isEmpty(), qPrintable(error));
        audio += sound + DirewolfRunner::silence(300);
    }

    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkdir(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString store = dir.filePath(QStringLiteral("history.sqlite"));

    ProcessRun xserver;
    const QString display = startXServer(xserver);
    QVERIFY2(!display.isEmpty(), "Xvfb did not start");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    // The accessibility bus's socket lies here, not in the user's folders.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));

    // The session bus; the accessibility bus and its registry are its
    // children and end with it.
    ProcessRun sessionBus;
    QVERIFY(startProgram(sessionBus, QStringLiteral("dbus-daemon"),
                         {QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")},
                         env));
    const QString sessionAddress = firstLine(sessionBus);
    QVERIFY(!sessionAddress.isEmpty());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress);
    QDBusConnection session = QDBusConnection::connectToBus(sessionAddress, QStringLiteral("s"));
    const QDBusMessage a11yAddress =
        session.call(QDBusMessage::createMethodCall(
                         QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                         QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
                     QDBus::Block, kWait);
    QVERIFY2(a11yAddress.type() == QDBusMessage::ReplyMessage,
             qPrintable(a11yAddress.errorMessage()));
    QDBusConnection a11y = QDBusConnection::connectToBus(a11yAddress.arguments().first().toString(),
                                                         QStringLiteral("a"));
    QVERIFY(a11y.isConnected());
    ScreenReader reader(a11y);

    DirewolfRunner direwolf;
    QVERIFY2(direwolf.start(), qPrintable(direwolf.errorString()));
    LinkWindow w(direwolf.agwPort(), LinkWindow::Started, store);
    w.connectTo();
    QTRY_COMPARE_WITH_TIMEOUT(w.label(), kDirewolfVersion, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(store), kWait);

    std::array<ProcessRun, kDisplays> displays;
    env.insert(QStringLiteral("QUINTARO_HISTORY"), store);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    for (int i = 0; i < kDisplays; ++i) {
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   dir.filePath(QStringLiteral("config%1").arg(i)));
        QVERIFY(startProgram(displays[i], binaryDir() + QStringLiteral("/quintaro-weather"),
                             {QString::fromLatin1(kStations[i].call), QStringLiteral("127.0.0.1")},
                             env));
    }

    QVERIFY(direwolf.writeAudio(audio));
    // Each display's title, values and recorder, as its screen reader reads
    // them, until every display shows all of its own or the time is up. A
    // walk through five windows costs a few hundred bus calls, so the test
    // takes one every 250 ms.
    const QString recorder =
        QStringLiteral("Recorded live by Quintaro (process %1) from the engine at 127.0.0.1.")
            .arg(QCoreApplication::applicationPid());
    const auto unheard = [&](int i) {
        QStringList expected = kStations[i].heard;
        expected << QString::fromLatin1(kStations[i].call) + QStringLiteral(" – Quintaro Weather")
                 << recorder;
        const QStringList names = reader.names(displays[i].process.processId());
        expected.removeIf([&](const QString &name) { return names.contains(name); });
        return expected;
    };
    const QDeadlineTimer deadline(3 * kWait);
    QStringList notShown;
    for (;;) {
        notShown.clear();
        for (int i = 0; i < kDisplays; ++i) {
            const QStringList missing = unheard(i);
            if (!missing.isEmpty())
                notShown << QString::fromLatin1(kStations[i].call) + QStringLiteral(": ") +
                                missing.join(QStringLiteral(" | "));
        }
        if (notShown.isEmpty() || deadline.hasExpired())
            break;
        QTest::qWait(250);
    }
    QVERIFY2(notShown.isEmpty(),
             qPrintable(QStringLiteral("not shown: ") + notShown.join(QStringLiteral("; "))));

    // The five displays are the test's: Quintaro started none.
    QVERIFY(w.starter.commandLines.empty() && w.starter.weatherDisplayLines.empty());
    // Direwolf attached one AGWPE client, the window's, and no display
    // holds a TCP connection, to the engine or anywhere.
    QCOMPARE(direwolf.output().count("Attached to AGW client"), 1);
    const TcpSockets sockets = tcpSockets(direwolf.agwPort());
    QCOMPARE(sockets.establishedTo, 1);
    for (ProcessRun &d : displays) {
        QCOMPARE(d.process.state(), QProcess::Running);
        for (const QByteArray &inode : socketsOf(d.process.processId()))
            QVERIFY2(!sockets.all.count(inode), qPrintable(d.process.arguments().join(' ')));
    }

    for (ProcessRun &d : displays) {
        QCOMPARE(::kill(pid_t(d.process.processId()), SIGTERM), 0);
        QVERIFY(d.process.waitForFinished(kWait));
    }
    w.window.close();
    QDBusConnection::disconnectFromBus(QStringLiteral("a"));
    QDBusConnection::disconnectFromBus(QStringLiteral("s"));
    // Ended in order, the bus and the X server remove their sockets.
    for (ProcessRun *run : {&sessionBus, &xserver}) {
        QCOMPARE(::kill(pid_t(run->process.processId()), SIGTERM), 0);
        QVERIFY(run->process.waitForFinished(kWait));
    }
}

QTEST_MAIN(TestDirewolfDisplays)
#include "tst_direwolf_displays.moc"
