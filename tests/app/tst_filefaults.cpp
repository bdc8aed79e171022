// Quintaro's files when saving goes wrong: a save killed half-way (SIGKILL
// at random moments, many times over, of a helper that saves through the
// program's own code) leaves the old or the new file and never a partial one;
// a full disk or a refused write keeps the old file byte for byte and tells
// the user what was not saved and why.

#include "AgwTestEngine.h"
#include "FakeDialogs.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "MainWindow.h"
#include "ProcessRun.h"
#include "RecordingProgramStarter.h"
#include "SessionEnd.h"
#include "SettingsFile.h"
#include "StationListFile.h"
#include "WorkDir.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

using namespace quintaro;
using testsupport::FakeFileDialogs;
using testsupport::FakeMessageBoxes;
using testsupport::ProcessRun;
using testsupport::readFile;
using testsupport::RecordingProgramStarter;
using testsupport::WorkDir;
using testsupport::writeFile;

namespace {

const QString kHelper = QStringLiteral(ATOMIC_WRITER_HELPER);

// Every name in a folder, hidden ones included.
QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs the helper to completion; its error output when it fails.
bool runHelper(const QStringList &arguments, QString *error)
{
    ProcessRun run;
    run.process.start(kHelper, arguments);
    if (!run.process.waitForFinished(30000) || run.process.exitStatus() != QProcess::NormalExit ||
        run.process.exitCode() != 0) {
        *error = run.process.errorString() + QLatin1Char(' ') +
                 QString::fromLocal8Bit(run.process.readAllStandardError());
        return false;
    }
    return true;
}

#ifndef Q_OS_WIN
// A file system of 64 KiB (tmpfs) mounted on a folder while it lives, so
// that the disk really runs full. Only root may mount one; elsewhere
// mounted() is false.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &mountPoint) : m_path(QFile::encodeName(mountPoint))
    {
        if (::geteuid() != 0) {
            m_error = QStringLiteral("not root");
            return;
        }
        if (::mount("tmpfs", m_path.constData(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                    "size=64k,mode=0700") != 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        m_mounted = true;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString errorString() const { return m_error; }

    // Fills the disk with one file until the system refuses more, then gives
    // back `room` bytes: a save that needs more than that fails half-way.
    bool fillLeaving(off_t room)
    {
        const QByteArray filler = m_path + "/.filler";
        const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const std::string block(4096, 'F');
        off_t total = 0;
        int error = 0;
        for (;;) {
            const ssize_t n = ::write(fd, block.data(), block.size());
            if (n <= 0) {
                error = errno;
                break;
            }
            total += n;
        }
        const bool ok = error == ENOSPC && ::ftruncate(fd, total > room ? total - room : 0) == 0;
        ::close(fd);
        return ok;
    }
    void makeRoom() { ::unlink((m_path + "/.filler").constData()); }

private:
    QByteArray m_path;
    QString m_error;
    bool m_mounted = false;
};

// Makes a folder the process's current one until it goes.
class CurrentDir
{
public:
    explicit CurrentDir(const QString &path) : m_previous(QDir::currentPath())
    {
        m_ok = QDir::setCurrent(path);
    }
    ~CurrentDir() { QDir::setCurrent(m_previous); }
    bool ok() const { return m_ok; }

private:
    QString m_previous;
    bool m_ok = false;
};

// What the program writes to its standard error while it lives. A pipe, not
// a file: a file size limit in force would cut a file short.
class StderrCapture
{
public:
    StderrCapture()
    {
        if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_pipe[1], STDERR_FILENO);
    }
    ~StderrCapture()
    {
        finish();
        for (const int fd : m_pipe) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    QByteArray finish()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
            char buffer[4096];
            ssize_t n = 0;
            while ((n = ::read(m_pipe[0], buffer, sizeof buffer)) > 0)
                m_text.append(buffer, n);
        }
        return m_text;
    }

private:
    int m_pipe[2] = {-1, -1};
    int m_saved = -1;
    QByteArray m_text;
};

// The session is ending while it lives.
struct SessionEnding
{
    SessionEnding() { setSessionEnding(true); }
    ~SessionEnding() { setSessionEnding(false); }
};

// Chooses a menu command of the window, as the user does.
void trigger(MainWindow &window, const char *name)
{
    // A menu's own action shares the menu's name.
    const QList<QAction *> actions = window.findChildren<QAction *>(QLatin1String(name));
    QVERIFY2(!actions.isEmpty(), name);
    actions.first()->trigger();
}

int stationCount(MainWindow &window)
{
    const auto *list = window.findChild<QListView *>(QStringLiteral("lstWxCalls"));
    return list ? list->model()->rowCount() : -1;
}

// The engine brings weather reports from `count` new stations in one burst,
// with the link connected to it for the purpose; the address box keeps its
// text. False when they were not all listed in time.
bool hearStations(MainWindow &window, agwtest::Engine &engine, int count)
{
    auto *address = window.findChild<QLineEdit *>(QStringLiteral("txtAddr"));
    const QString typed = address->text();
    address->setText(QStringLiteral("127.0.0.1"));
    trigger(window, "nmuConnect");
    address->setText(typed);
    QTcpSocket *peer = engine.acceptLink();
    if (!peer)
        return false;
    const int wanted = stationCount(window) + count;
    std::string burst;
    for (int i = 0; i < count; ++i)
        burst += agwtest::monitoredFrame('U', "IK" + std::to_string(10000 + i),
                                         agwtest::kWxPositionless);
    agwtest::send(peer, burst);
    return testsupport::waitUntil([&] { return stationCount(window) == wanted; });
}

const QByteArray kOldSettings = "\"old.host\",\"/opt/old/Orbetti\",15,30,4900,2950,#FALSE#\r\n";
const QByteArray kOldList = "OLD1AA\r\nOLD2BB\r\n";
const QByteArray kOldBatch = "@Echo Off\r\nREM old\r\n";
#endif

} // namespace

class TestFileFaults : public QObject
{
    Q_OBJECT

private slots:
    void killedWhileSaving_data();
    void killedWhileSaving();
    void fullDiskOrRefusedWrite_data();
    void fullDiskOrRefusedWrite();
};

void TestFileFaults::killedWhileSaving_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");

    QTest::newRow("Quintaro.ini") << "settings"
                                  << "Quintaro.ini";
    QTest::newRow("station list") << "list"
                                  << "WxList.txt";
    QTest::newRow("batch file") << "batch"
                                << "WxLoad.bat";
}

void TestFileFaults::killedWhileSaving()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    constexpr int kRounds = 50;

    // The two versions the helper alternates between, written by the same
    // code; the file starts as version 0.
    QTemporaryDir reference;
    QTemporaryDir work;
    QVERIFY(reference.isValid() && work.isValid());
    QString error;
    for (const char *version : {"0", "1"})
        QVERIFY2(runHelper({QStringLiteral("write"), kind, QLatin1String(version),
                            reference.filePath(QLatin1String(version))},
                           &error),
                 qPrintable(error));
    const QByteArray versions[2] = {readFile(reference.filePath(QStringLiteral("0"))),
                                    readFile(reference.filePath(QStringLiteral("1")))};
    QVERIFY(versions[0].size() > 512 * 1024 && versions[1].size() > 512 * 1024);
    QVERIFY(versions[0].size() != versions[1].size());
    const QString target = work.filePath(name);
    QVERIFY2(runHelper({QStringLiteral("write"), kind, QStringLiteral("0"), target}, &error),
             qPrintable(error));

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int found[2] = {0, 0};
    int interrupted = 0; // kills that left a save's temporary file behind
    qsizetype leftovers = 0;
    for (int round = 0; round < kRounds; ++round) {
        ProcessRun run;
        run.process.start(kHelper, {QStringLiteral("loop"), kind, target});
        QVERIFY2(run.process.waitForStarted(5000), qPrintable(run.process.errorString()));
        QByteArray line;
        while (!line.endsWith('\n') && run.process.waitForReadyRead(10000))
            line += run.process.readAllStandardOutput();
        QVERIFY2(line.startsWith("ready "), line + run.process.readAllStandardError());
        // Somewhere within the next three saves.
        const qint64 saveMicroseconds = qMax<qint64>(1, line.mid(6).trimmed().toLongLong());
        std::this_thread::sleep_for(
            std::chrono::microseconds(random.bounded(qint64(0), 3 * saveMicroseconds)));
        run.process.kill();
        QVERIFY(run.process.waitForFinished(5000));
        QCOMPARE(run.process.exitStatus(), QProcess::CrashExit);

        const QByteArray now = readFile(target);
        const int which = now == versions[0] ? 0 : now == versions[1] ? 1 : -1;
        QVERIFY2(which >= 0, qPrintable(QStringLiteral("round %1 (seed %2): %3 holds %4 bytes, "
                                                       "neither version")
                                            .arg(round)
                                            .arg(seed)
                                            .arg(name)
                                            .arg(now.size())));
        ++found[which];

        // A killed save may leave its temporary file, under another name:
        // never the file itself.
        QStringList names = entries(work.path());
        QVERIFY(names.removeAll(name) == 1);
        for (const QString &other : names)
            QVERIFY2(other.startsWith(QLatin1Char('.') + name + QLatin1Char('.')),
                     qPrintable(other));
        if (names.size() > leftovers)
            ++interrupted;
        leftovers = names.size();
    }
    qInfo("seed %u: %d rounds ended with version 0, %d with version 1; %d kills caught a save "
          "half-way",
          seed, found[0], found[1], interrupted);
    // The kills did land inside saves, at different steps of them.
    QVERIFY2(interrupted >= kRounds / 10, qPrintable(QString::number(interrupted)));
    QVERIFY(found[0] > 0 && found[1] > 0);
}

void TestFileFaults::fullDiskOrRefusedWrite_data()
{
    QTest::addColumn<QString>("file");  // "list", "batch", "settings"
    QTest::addColumn<QString>("fault"); // "full disk" or "size limit"
    QTest::addColumn<bool>("sessionEnd");
    QTest::addColumn<QString>("reason");

    const QString full = QStringLiteral("No space left on device");
    const QString tooLarge = QStringLiteral("File too large");
    // The file size limit for lists and batch files is covered with the
    // other failed saves of the list file tests.
    QTest::newRow("station list, full disk") << "list"
                                             << "full disk" << false << full;
    QTest::newRow("batch file, full disk") << "batch"
                                           << "full disk" << false << full;
    QTest::newRow("Quintaro.ini at exit, full disk") << "settings"
                                                     << "full disk" << false << full;
    QTest::newRow("Quintaro.ini at exit, file size limit") << "settings"
                                                           << "size limit" << false << tooLarge;
    QTest::newRow("Quintaro.ini at session end, file size limit")
        << "settings"
        << "size limit" << true << tooLarge;
}

void TestFileFaults::fullDiskOrRefusedWrite()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows: the disk is filled by mounting a small file system (mount), and a file "
          "is limited in size by setrlimit");
#else
    QFETCH(QString, file);
    QFETCH(QString, fault);
    QFETCH(bool, sessionEnd);
    QFETCH(QString, reason);

    WorkDir base;
    const QString diskPath = base.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkdir(diskPath));
    std::optional<SmallDisk> disk;
    if (fault == QLatin1String("full disk")) {
        disk.emplace(diskPath);
        if (!disk->mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs: ") + disk->errorString()));
    }
    // The program's files live on that disk: it is the current directory.
    CurrentDir current(diskPath);
    QVERIFY(current.ok());
    QVERIFY(writeFile(QStringLiteral("Quintaro.ini"), kOldSettings));
    QVERIFY(writeFile(QStringLiteral("WxList.txt"), kOldList));
    QVERIFY(writeFile(QStringLiteral("WxLoad.bat"), kOldBatch));

    // At the session's end the real boxes answer by themselves.
    std::optional<FakeMessageBoxes> boxes;
    if (!sessionEnd)
        boxes.emplace();
    FakeFileDialogs dialogs;
    RecordingProgramStarter starter;
    agwtest::Engine engine;
    MainWindow window(engine.port(), QString());
    window.start();
    QCOMPARE(readFile(QStringLiteral("Quintaro.ini")), kOldSettings);
    auto *txtPath = window.findChild<QLineEdit *>(QStringLiteral("txtPath"));

    QString title;
    if (file == QLatin1String("list")) {
        dialogs.answerNext(QDir::current().filePath(QStringLiteral("WxList.txt")));
        trigger(window, "nmuLoad");
        QCOMPARE(window.windowTitle(), QStringLiteral("Quintaro - WxList.txt - 2 stations"));
    }
    // Far more than the full disk has room for, but no more than the empty
    // one holds.
    const int stations = file == QLatin1String("list")    ? 2000
                         : file == QLatin1String("batch") ? 1000
                                                          : 0;
    if (stations > 0)
        QVERIFY(hearStations(window, engine, stations));
    const int listed = stations + (file == QLatin1String("list") ? 2 : 0);
    if (file == QLatin1String("settings"))
        txtPath->setText(QStringLiteral("/opt/new/") + QString(20000, QLatin1Char('p')));
    title = window.windowTitle();
    const QStringList before = entries(diskPath);

    QByteArray errorOutput;
    bool boxWaited = false;
    {
        std::optional<testsupport::FileSizeLimit> limit;
        if (disk) {
            QVERIFY(disk->fillLeaving(8192));
        } else {
            limit.emplace(8);
            QVERIFY(limit->ok());
        }
        const QStringList filled = entries(diskPath);
        if (file == QLatin1String("list")) {
            dialogs.answerNext(QDir::current().filePath(QStringLiteral("WxList.txt")));
            trigger(window, "nmuSave");
        } else if (file == QLatin1String("batch")) {
            dialogs.answerNext(QDir::current().filePath(QStringLiteral("WxLoad.bat")));
            trigger(window, "nmuBatch");
        } else {
            // A box that waited for an answer nobody gives is closed after a
            // while, and counted.
            QTimer watchdog;
            watchdog.setSingleShot(true);
            connect(&watchdog, &QTimer::timeout, &watchdog, [&] {
                if (QWidget *modal = QApplication::activeModalWidget()) {
                    boxWaited = true;
                    modal->close();
                }
            });
            watchdog.start(3000);
            StderrCapture capture;
            std::optional<SessionEnding> ending;
            if (sessionEnd)
                ending.emplace();
            window.close();
            errorOutput = capture.finish();
        }
        // Nothing of the failed save is left on the disk.
        QCOMPARE(entries(diskPath), filled);
    }

    // The old files, byte for byte.
    QCOMPARE(readFile(QStringLiteral("Quintaro.ini")), kOldSettings);
    QCOMPARE(readFile(QStringLiteral("WxList.txt")), kOldList);
    QCOMPARE(readFile(QStringLiteral("WxLoad.bat")), kOldBatch);

    if (file == QLatin1String("settings")) {
        QVERIFY2(errorOutput.contains("quintaro: cannot save Quintaro.ini: ") &&
                     errorOutput.contains(reason.toLatin1()),
                 errorOutput.constData());
        QVERIFY(!boxWaited);
        if (sessionEnd)
            return;
    }
    // The user is told which file was not saved, and why.
    QCOMPARE(boxes->requests.size(), 1);
    const FakeMessageBoxes::Request &box = boxes->requests[0];
    QCOMPARE(box.style, 48);
    const QString name = file == QLatin1String("list")    ? QStringLiteral("WxList.txt")
                         : file == QLatin1String("batch") ? QStringLiteral("WxLoad.bat")
                                                          : QStringLiteral("Quintaro.ini");
    QVERIFY2(box.prompt.contains(name) && box.prompt.contains(reason), qPrintable(box.prompt));
    QCOMPARE(box.title, file == QLatin1String("list")    ? QStringLiteral("Error saving Wx List")
                        : file == QLatin1String("batch") ? QStringLiteral("Error saving Batch File")
                                                         : QStringLiteral("Quintaro"));
    if (file == QLatin1String("settings"))
        return;

    // The title does not claim a saved list.
    QCOMPARE(window.windowTitle(), title);
    QCOMPARE(window.windowTitle(),
             QStringLiteral("Quintaro - %1 stations (list not saved)").arg(listed));

    // With room again, the same command saves.
    QVERIFY(disk);
    disk->makeRoom();
    QCOMPARE(entries(diskPath), before);
    if (file == QLatin1String("list")) {
        dialogs.answerNext(QDir::current().filePath(QStringLiteral("WxList.txt")));
        trigger(window, "nmuSave");
        const stations::ListFileReadResult read =
            stations::readStationList(readFile(QStringLiteral("WxList.txt")).toStdString());
        QVERIFY(read.valid());
        QCOMPARE(read.calls.size(), std::size_t(listed));
        QCOMPARE(window.windowTitle(),
                 QStringLiteral("Quintaro - WxList.txt - %1 stations").arg(listed));
    } else {
        dialogs.answerNext(QDir::current().filePath(QStringLiteral("WxLoad.bat")));
        trigger(window, "nmuBatch");
        const QByteArray batch = readFile(QStringLiteral("WxLoad.bat"));
        QCOMPARE(batch.count("\r\n"), 3 + stations);
        QVERIFY(batch.endsWith("/opt/old/Orbetti IK10999 old.host\r\n"));
    }
    QCOMPARE(boxes->requests.size(), 1);
#endif
}

QTEST_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
