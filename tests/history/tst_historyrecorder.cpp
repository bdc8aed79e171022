// The writer side of the history: reports reach a reader in about two
// seconds, this copy says it records, and no fault of the store costs the
// caller more than its history.

#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "HistoryFixture.h"
#include "HistoryReader.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using namespace quintaro;
using history::HistoryRecorder;

namespace {

constexpr int kWaitMs = 10000;
constexpr char kInfo[] = "_12071836c220s004g008t077r001p010P005h50b10132";

std::int64_t now()
{
    return QDateTime::currentSecsSinceEpoch();
}

void recordThree(HistoryRecorder &recorder)
{
    for (int i = 0; i < 3; ++i)
        recorder.record("IK3WX-13", "WIDE1-1", kInfo, now() - 100 + 40 * i);
}

// One number from the store, through a connection of its own.
qint64 count(const QString &path, const QString &sql)
{
    const QString name = QStringLiteral("count");
    qint64 n = -1;
    {
        QSqlDatabase db = history::openConnection(name, path, 1000, true);
        QSqlQuery query(db);
        if (query.exec(sql) && query.next())
            n = query.value(0).toLongLong();
    }
    history::closeConnection(name);
    return n;
}

std::size_t reportsOf(history::HistoryReader &reader, std::string_view call)
{
    return reader.reports(call, 0).value_or(std::vector<history::StoredReport>()).size();
}

// Another program that keeps the file open, as a display does; killed when
// it goes.
class HoldingProcess
{
public:
    explicit HoldingProcess(const QString &path)
    {
        m_process.start(QStringLiteral(HISTORY_TOOL), {QStringLiteral("hold"), path});
        while (!m_process.canReadLine() && m_process.waitForReadyRead(kWaitMs)) {
        }
        m_holding = m_process.readLine().trimmed() == "holding";
    }
    ~HoldingProcess()
    {
        m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }
    bool holding() const { return m_holding; }

private:
    QProcess m_process;
    bool m_holding = false;
};

// Root writes any folder: the recorder then runs as a user who may not.
class Unprivileged
{
public:
    ~Unprivileged() { restore(); }
    void drop()
    {
#ifndef Q_OS_WIN
        if (::geteuid() == 0)
            m_dropped = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
#endif
    }
    void restore()
    {
#ifndef Q_OS_WIN
        if (m_dropped) {
            (void)!::seteuid(0);
            (void)!::setegid(0);
            m_dropped = false;
        }
#endif
    }

private:
    bool m_dropped = false;
};

} // namespace

class TestHistoryRecorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reportsReachAReader();
    void lockedStoreWaitsWithinBounds();
    void faults_data();
    void faults();
    void fullFileSystemPausesAndResumes();
    void lockedAtStartCheckedOnce();
    void closingIsBounded_data();
    void closingIsBounded();
    void followsAReplacedStore_data();
    void followsAReplacedStore();
    void programThatRecordsEndsCleanly();

private:
    QTemporaryDir m_dir;
};

void TestHistoryRecorder::initTestCase()
{
    // The unprivileged user must reach the folders made below.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ExeGroup |
                                                    QFile::ExeOther));
}

void TestHistoryRecorder::reportsReachAReader()
{
    const QString path = m_dir.filePath(QStringLiteral("roundtrip/history.sqlite"));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    {
        testsupport::HistoryFixture store(path);
        QVERIFY(store.addReports({{"IK3OLD", now() - 40 * 86400, "", kInfo},
                                  {"IK3OLD", now() - 20 * 86400, "", kInfo}}));
        QVERIFY(store.addRecorder(QStringLiteral("gone.lan"), 1, 0, now() - 3600));
    }
    history::HistoryReader reader;
    QVERIFY(reader.open(path));
    {
        HistoryRecorder recorder;
        recorder.setEngineHost(QStringLiteral("radio.lan"));
        recorder.start(path);
        QTRY_COMPARE_WITH_TIMEOUT(reportsOf(reader, "IK3OLD"), std::size_t(1), kWaitMs);

        const std::int64_t heard = now();
        recorder.record("IK3WX-13", "WIDE1-1,WIDE2-1", kInfo, heard);
        recorder.record("IK3WX-13", "WIDE2-1", kInfo, heard + 5); // a digipeated copy
        QElapsedTimer seen;
        seen.start();
        QTRY_VERIFY_WITH_TIMEOUT(reportsOf(reader, "IK3WX-13") > 0, kWaitMs);
        // About two seconds, with room for a loaded machine.
        QVERIFY2(seen.elapsed() < 3000, qPrintable(QString::number(seen.elapsed())));
        QCOMPARE(reader.reports("IK3WX-13", 0)->back().heardUtc, heard);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.recorded(), quint64(2), kWaitMs);
        QCOMPARE(reportsOf(reader, "IK3WX-13"), std::size_t(1));

        const auto rows = reader.recorders();
        QVERIFY(rows);
        QCOMPARE(rows->size(), std::size_t(1));
        QCOMPARE(rows->front().host, QStringLiteral("radio.lan"));
        QCOMPARE(qint64(rows->front().pid), QCoreApplication::applicationPid());
        QVERIFY(rows->front().heartbeatUtc >= heard - 1);
        QCOMPARE(recorder.problem(), QString());
        QCOMPARE(recorder.dropped(), quint64(0));

        // Reports handed over just before the end are still written.
        recorder.record("IK2LAST", "", kInfo, heard);
    }
    QCOMPARE(reportsOf(reader, "IK2LAST"), std::size_t(1));
    QCOMPARE(reader.recorders()->size(), std::size_t(0));
    // The log mode is kept in the file.
    QVERIFY(testsupport::readFile(path).mid(18, 2) == QByteArray("\x02\x02"));
}

void TestHistoryRecorder::lockedStoreWaitsWithinBounds()
{
    const QString path = m_dir.filePath(QStringLiteral("locked.sqlite"));
    testsupport::HistoryFixture other(path);
    HistoryRecorder recorder;
    QSignalSpy changes(&recorder, &HistoryRecorder::problemChanged);
    recorder.start(path);
    QTRY_COMPARE_WITH_TIMEOUT(count(path, QStringLiteral("SELECT count(*) FROM recorders")), 1,
                              kWaitMs);

    QVERIFY(other.execute(QStringLiteral("BEGIN EXCLUSIVE")));
    const std::size_t extra = 5;
    for (std::size_t i = 0; i < HistoryRecorder::kQueueLimit + extra; ++i)
        recorder.record("IK3WX", "", kInfo, now() - std::int64_t(i));
    QCOMPARE(recorder.dropped(), quint64(extra));
    QCOMPARE(recorder.waiting(), HistoryRecorder::kQueueLimit);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.problem().contains("locked by another program"), kWaitMs);
    QVERIFY2(recorder.problem().contains("5 reports not recorded while another program locked"),
             qPrintable(recorder.problem()));
    QTRY_VERIFY(!changes.isEmpty());
    QCOMPARE(changes.last().at(0).toString(), recorder.problem());

    QVERIFY(other.execute(QStringLiteral("COMMIT")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.recorded(), quint64(HistoryRecorder::kQueueLimit), kWaitMs);
    QCOMPARE(recorder.waiting(), std::size_t(0));
    // What was lost stays told; the lock is no longer.
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.problem().contains("is locked"), kWaitMs);
    QVERIFY(recorder.problem().contains("5 reports not recorded"));
}

void TestHistoryRecorder::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("told"); // part of the problem's text
    // Recording: the three reports reach a store; Paused: they wait until
    // the fault is taken away, then reach it; Off: they are dropped.
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("movedAside");

    QTest::newRow("folder that cannot be made") << "folder"
                                                << "cannot be made"
                                                << "Off" << false;
    QTest::newRow("folder that may not be written") << "read-only"
                                                    << "History paused since"
                                                    << "Paused" << false;
    QTest::newRow("file-size limit") << "full"
                                     << "History paused since"
                                     << "Paused" << false;
    QTest::newRow("not a database") << "garbage"
                                    << "is not a Quintaro weather history"
                                    << "Off" << false;
    QTest::newRow("a folder at the store's path") << "folder-named"
                                                  << "(it is a folder)"
                                                  << "Off" << false;
    QTest::newRow("another program's database") << "contacts"
                                                << "another program's SQLite database"
                                                << "Off" << false;
    QTest::newRow("store made before the mark") << "unmarked"
                                                << ""
                                                << "Recording" << false;
    QTest::newRow("damaged page") << "page"
                                  << "daily summaries are carried into the new one"
                                  << "Recording" << true;
    QTest::newRow("damaged daily summaries") << "page-summaries"
                                             << "daily summaries could not be read"
                                             << "Recording" << true;
    QTest::newRow("damaged, another program has it open") << "page-open"
                                                          << "another program has it open"
                                                          << "Paused" << true;
    QTest::newRow("newer Quintaro's store") << "newer"
                                            << "newer Quintaro"
                                            << "Off" << false;
}

void TestHistoryRecorder::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, told);
    QFETCH(QString, outcome);
    QFETCH(bool, movedAside);

    const QString folder = m_dir.filePath(fault);
    QString path = folder + QStringLiteral("/history.sqlite");
    QVERIFY(QDir().mkpath(folder));
    std::optional<testsupport::FileSizeLimit> full;
    Unprivileged unprivileged;
    std::optional<HoldingProcess> holder;
    // The files as they were, for those that must stay so.
    QByteArray before = "<none>";
    qint64 summaries = 0;
#ifdef Q_OS_WIN
    if (fault == "read-only")
        QSKIP("on Windows: the folder's permissions stop no one under wine, and no other user "
              "(seteuid) is at hand to be stopped");
#endif
    if (fault == "full" && !testsupport::FileSizeLimit::kAvailable)
        QSKIP("on Windows: no file-size limit (setrlimit) to fill the disk with");
    if (fault == "folder") {
        QVERIFY(testsupport::writeFile(folder + QStringLiteral("/file"), "a file, not a folder"));
        path = folder + QStringLiteral("/file/quintaro/history.sqlite");
    } else if (fault == "read-only") {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
        unprivileged.drop();
    } else if (fault == "full") {
        {
            testsupport::HistoryFixture store(path);
        }
        // Not even the shared-memory index of the log fits.
        full.emplace(QFileInfo(path).size());
        QVERIFY(full->ok());
    } else if (fault == "garbage") {
        for (const char *suffix : {"", "-wal", "-shm"})
            QVERIFY(testsupport::writeFile(path + QLatin1String(suffix), QByteArray(8192, 'x')));
    } else if (fault == "folder-named") {
        QVERIFY(QDir().mkpath(path));
        QVERIFY(testsupport::writeFile(path + QStringLiteral("/notes.txt"), "notes"));
    } else if (fault == "contacts") {
        {
            QSqlDatabase db =
                history::openConnection(QStringLiteral("contacts"), path, 1000, false);
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE contacts (name TEXT)")));
        }
        history::closeConnection(QStringLiteral("contacts"));
    } else if (fault == "unmarked") {
        {
            QSqlDatabase db =
                history::openConnection(QStringLiteral("unmarked"), path, 1000, false);
            QVERIFY(history::migrate(db, nullptr, nullptr, 1));
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA application_id = 0")));
        }
        history::closeConnection(QStringLiteral("unmarked"));
    } else if (fault.startsWith("page")) {
        {
            testsupport::HistoryFixture store(path);
            std::vector<history::PendingReport> many;
            for (int i = 0; i < 3000; ++i)
                many.push_back({"IK3WX", now() - i * 300, "WIDE2-1", kInfo});
            QVERIFY(store.addReports(many));
        }
        summaries = count(path, QStringLiteral("SELECT count(*) FROM daily_summaries"));
        const qint64 page = fault == "page-summaries"
                                ? count(path, QStringLiteral("SELECT rootpage FROM sqlite_master "
                                                             "WHERE name = 'daily_summaries'")) -
                                      1
                                : QFileInfo(path).size() / 2 / 4096;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(page * 4096));
        QCOMPARE(file.write(QByteArray(4096, '\xff')), 4096);
        file.close();
        // A log of a rollback-mode store is not SQLite's to touch, and goes
        // aside with the store.
        QVERIFY(testsupport::writeFile(path + QStringLiteral("-wal"), "log"));
        if (fault == "page-open") {
            holder.emplace(path);
            QVERIFY(holder->holding());
        }
    } else if (fault == "newer") {
        testsupport::HistoryFixture store(path);
        QVERIFY(store.execute(
            QStringLiteral("PRAGMA user_version = %1").arg(history::kSchemaVersion + 1)));
    }
    if (QFileInfo(path).isFile())
        before = testsupport::readFile(path);

    HistoryRecorder recorder;
    QSignalSpy changes(&recorder, &HistoryRecorder::problemChanged);
    recorder.start(path);
    recordThree(recorder);
    QTRY_VERIFY2_WITH_TIMEOUT(recorder.problem().contains(told), qPrintable(recorder.problem()),
                              kWaitMs);
    if (outcome == "Paused") {
        QTRY_VERIFY2_WITH_TIMEOUT(
            recorder.problem().contains("3 reports wait to be written, 0 dropped"),
            qPrintable(recorder.problem()), kWaitMs);
        QTRY_COMPARE(changes.last().at(0).toString(), recorder.problem());
        // The fault passes: the next tries find the store usable.
        unprivileged.restore();
        full.reset();
        holder.reset();
        QTRY_VERIFY2_WITH_TIMEOUT(recorder.problem().contains("History resumed at"),
                                  qPrintable(recorder.problem()), kWaitMs);
    }
    unprivileged.restore();
    if (outcome == "Off") {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.dropped(), quint64(3), kWaitMs);
        recorder.record("IK3WX-13", "", kInfo, now());
        QCOMPARE(recorder.dropped(), quint64(4));
        QCOMPARE(recorder.recorded(), quint64(0));
        QTRY_COMPARE(changes.size(), 1);
        QCOMPARE(changes.front().at(0).toString(), recorder.problem());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.recorded(), quint64(3), kWaitMs);
        QCOMPARE(recorder.dropped(), quint64(0));
        QCOMPARE(count(path, QStringLiteral("SELECT count(*) FROM reports")), 3);
        // Whatever it was made by, it is marked as a weather history now.
        QCOMPARE(count(path, QStringLiteral("PRAGMA application_id")),
                 qint64(history::kApplicationId));
    }

    const QStringList aside = QDir(folder).entryList({QStringLiteral("history.sqlite.damaged-*")});
    if (!movedAside) {
        QVERIFY2(aside.isEmpty(), qPrintable(aside.join(' ')));
        // What is not a weather history of this Quintaro's is left as it
        // was: never renamed, written or switched to the write-ahead log.
        if (outcome == "Off" && before != "<none>")
            QCOMPARE(testsupport::readFile(path), before);
        if (fault == "garbage")
            QCOMPARE(testsupport::readFile(path + QStringLiteral("-wal")), QByteArray(8192, 'x'));
        if (fault == "folder-named")
            QCOMPARE(testsupport::readFile(path + QStringLiteral("/notes.txt")), "notes");
        return;
    }
    const QString stamp = QStringLiteral("history.sqlite.damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-"));
    // The log's index, made by SQLite reading the store, goes along.
    QCOMPARE(aside.size(), 3);
    QVERIFY2(aside.front().startsWith(stamp), qPrintable(aside.front()));
    QCOMPARE(aside.front().size(), stamp.size() + 6);
    QCOMPARE(aside.back(), aside.front() + QStringLiteral("-wal"));
    QCOMPARE(testsupport::readFile(folder + QLatin1Char('/') + aside.front()), before);
    QCOMPARE(testsupport::readFile(folder + QLatin1Char('/') + aside.back()), "log");
    QVERIFY(recorder.problem().contains("moved aside as " + aside.front()));
    // What could be read of the daily summaries is in the new store, beside
    // those of the three reports since.
    const bool carried = fault != "page-summaries";
    QTRY_COMPARE_WITH_TIMEOUT(
        count(path, QStringLiteral("SELECT sum(reports) FROM daily_summaries")), carried ? 3003 : 3,
        kWaitMs);
    if (carried) {
        QCOMPARE(count(path, QStringLiteral("SELECT count(*) FROM daily_summaries WHERE call = "
                                            "'IK3WX'")),
                 summaries);
        QVERIFY(
            recorder.problem().contains(QStringLiteral("its %1 daily summaries").arg(summaries)));
    }
}

void TestHistoryRecorder::fullFileSystemPausesAndResumes()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows: needs a file system of its own, mounted in a mount namespace (unshare)");
#else
    // A file system of 1 MB, mounted only in a mount namespace of the
    // writer's own: nothing stays mounted if the test dies.
    QTemporaryDir mountPoint;
    QProcess writer;
    QStringList unshare = {QStringLiteral("--mount"), QStringLiteral("--propagation"),
                           QStringLiteral("private")};
    if (::geteuid() != 0)
        unshare.prepend(QStringLiteral("--map-root-user"));
    writer.start(QStringLiteral("unshare"),
                 unshare +
                     QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                                 QStringLiteral("mount -t tmpfs -o size=1m quintaro \"$1\" "
                                                "|| exit 77; exec \"$2\" disk \"$1/h.sqlite\""),
                                 QStringLiteral("sh"), mountPoint.path(),
                                 QStringLiteral(HISTORY_TOOL)});
    if (!writer.waitForStarted(kWaitMs))
        QSKIP("unshare cannot be started: no mount namespace of its own");
    const auto answer = [&](const QByteArray &command) {
        writer.write(command + '\n');
        QElapsedTimer waited;
        waited.start();
        while (!writer.canReadLine() && waited.elapsed() < kWaitMs &&
               writer.state() == QProcess::Running)
            writer.waitForReadyRead(100);
        return QString::fromUtf8(writer.readLine()).trimmed();
    };
    const auto stop = qScopeGuard([&] {
        writer.kill();
        writer.waitForFinished(kWaitMs);
    });
    if (!writer.waitForReadyRead(kWaitMs) || writer.readLine().trimmed() != "ready") {
        writer.waitForFinished(kWaitMs);
        if (writer.exitCode() == 77 || writer.exitCode() == 1)
            QSKIP(qPrintable(QStringLiteral("no tmpfs can be mounted here: ") +
                             QString::fromLocal8Bit(writer.readAllStandardError()).trimmed()));
        QFAIL(qPrintable(QString::fromLocal8Bit(writer.readAllStandardError())));
    }

    QCOMPARE(answer("record 3"), QStringLiteral("recorded"));
    QTRY_VERIFY_WITH_TIMEOUT(answer("status").startsWith("recorded 3 dropped 0"), kWaitMs);
    QVERIFY(answer("fill").startsWith("filled "));
    QCOMPARE(answer("record 5"), QStringLiteral("recorded"));
    QTRY_VERIFY_WITH_TIMEOUT(answer("status").contains("History paused since"), kWaitMs);
    QString status = answer("status");
    QVERIFY2(status.startsWith("recorded 3 dropped 0 waiting 5") &&
                 status.contains("is full (database or disk is full)"),
             qPrintable(status));
    QTRY_VERIFY2_WITH_TIMEOUT((status = answer("status")).contains("5 reports wait"),
                              qPrintable(status), kWaitMs);

    QCOMPARE(answer("free"), QStringLiteral("freed 1"));
    // The first tries come within seconds of each other.
    QTRY_VERIFY2_WITH_TIMEOUT((status = answer("status")).startsWith("recorded 8 dropped 0"),
                              qPrintable(status), 3 * kWaitMs);
    QVERIFY2(status.contains("History resumed at") && !status.contains("paused"),
             qPrintable(status));
    QCOMPARE(answer("quit"), QStringLiteral("stopped"));
    QVERIFY(writer.waitForFinished(kWaitMs));
    QCOMPARE(writer.exitCode(), 0);
#endif
}

void TestHistoryRecorder::lockedAtStartCheckedOnce()
{
    const QString path = m_dir.filePath(QStringLiteral("checked-once.sqlite"));
    testsupport::HistoryFixture other(path);
    QVERIFY(other.addReports({{"IK3WX", now() - 600, "", kInfo}}));
    QVERIFY(other.execute(QStringLiteral("PRAGMA journal_mode = WAL")));
    QVERIFY(other.execute(QStringLiteral("BEGIN IMMEDIATE")));

    static QAtomicInt checks;
    checks = 0;
    QLoggingCategory::setFilterRules(QStringLiteral("quintaro.history.debug=true"));
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            if (text.startsWith(QLatin1String("checking every page")))
                ++checks;
        });
    const auto restore = qScopeGuard([previous] {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    });
    HistoryRecorder recorder;
    recorder.start(path);
    recordThree(recorder);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.problem().contains("locked by another program"), kWaitMs);
    // Several tries to write, each a second after the last failed.
    QTest::qWait(4000);
    QCOMPARE(checks.loadRelaxed(), 1);
    QVERIFY(other.execute(QStringLiteral("COMMIT")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.recorded(), quint64(3), kWaitMs);
    QCOMPARE(checks.loadRelaxed(), 1);
}

void TestHistoryRecorder::closingIsBounded_data()
{
    QTest::addColumn<bool>("lockedAtStart");
    QTest::addColumn<int>("atLeastMs");
    QTest::addColumn<int>("atMostMs");
    // Written until the promised 10 s are over, and no longer.
    QTest::newRow("locked while recording") << false << 9000 << 10500;
    // Never opened again while closing.
    QTest::newRow("locked since the start") << true << 0 << 1000;
}

void TestHistoryRecorder::closingIsBounded()
{
    QFETCH(bool, lockedAtStart);
    QFETCH(int, atLeastMs);
    QFETCH(int, atMostMs);
    const QString path = m_dir.filePath(QStringLiteral("closing%1.sqlite").arg(lockedAtStart));
    testsupport::HistoryFixture other(path);
    QVERIFY(other.execute(QStringLiteral("PRAGMA journal_mode = WAL")));
    HistoryRecorder recorder;
    if (lockedAtStart)
        QVERIFY(other.execute(QStringLiteral("BEGIN IMMEDIATE")));
    recorder.start(path);
    if (!lockedAtStart) {
        QTRY_COMPARE_WITH_TIMEOUT(count(path, QStringLiteral("SELECT count(*) FROM recorders")), 1,
                                  kWaitMs);
        QVERIFY(other.execute(QStringLiteral("BEGIN IMMEDIATE")));
    }
    recordThree(recorder);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.problem().contains("locked by another program"), kWaitMs);
    QElapsedTimer closing;
    closing.start();
    recorder.stop();
    QVERIFY2(closing.elapsed() >= atLeastMs && closing.elapsed() <= atMostMs,
             qPrintable(QString::number(closing.elapsed())));
    QCOMPARE(recorder.dropped(), quint64(3));
    QVERIFY(other.execute(QStringLiteral("COMMIT")));
}

void TestHistoryRecorder::followsAReplacedStore_data()
{
    QTest::addColumn<bool>("restored"); // else removed
    QTest::newRow("a backup restored over it") << true;
    QTest::newRow("removed") << false;
}

void TestHistoryRecorder::followsAReplacedStore()
{
    QFETCH(bool, restored);
#ifdef Q_OS_WIN
    QSKIP("on Windows: no file may be replaced or removed while the writer has it open");
#endif
    const QString folder = m_dir.filePath(QStringLiteral("replaced%1").arg(restored));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/history.sqlite");
    const QString backup = folder + QStringLiteral("/backup.sqlite");
    {
        testsupport::HistoryFixture store(backup);
        QVERIFY(store.addReports({{"IK3BACKUP", now() - 600, "", kInfo}}));
    }
    HistoryRecorder recorder;
    recorder.start(path);
    recorder.record("IK3BEFORE", "", kInfo, now());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.recorded(), quint64(1), kWaitMs);
    std::error_code error;
    if (restored)
        std::filesystem::rename(backup.toStdWString(), path.toStdWString(), error);
    else
        QVERIFY(QFile::remove(path));
    QVERIFY2(!error, error.message().c_str());
    recorder.record("IK3AFTER", "", kInfo, now());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.recorded(), quint64(2), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(count(path, QStringLiteral("SELECT count(*) FROM reports WHERE "
                                                         "call = 'IK3AFTER'")),
                              1, kWaitMs);
    QCOMPARE(count(path, QStringLiteral("SELECT count(*) FROM reports WHERE call = 'IK3BACKUP'")),
             restored ? 1 : 0);
    QCOMPARE(count(path, QStringLiteral("SELECT count(*) FROM recorders")), 1);
    QCOMPARE(recorder.problem(), QString());
}

// A program whose first use of the store is the writer's ends in order, as
// often as it is run: no per-thread data of Qt's outlives the writer's
// thread unfreed or freed twice.
void TestHistoryRecorder::programThatRecordsEndsCleanly()
{
    const QString path = m_dir.filePath(QStringLiteral("ends.sqlite"));
    for (int run = 0; run < 3; ++run) {
        QProcess writer;
        writer.start(QStringLiteral(HISTORY_TOOL), {QStringLiteral("disk"), path});
        QVERIFY(writer.waitForStarted(kWaitMs));
        writer.write("record 3\nquit\n");
        writer.closeWriteChannel();
        QVERIFY(writer.waitForFinished(kWaitMs));
        QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(writer.exitCode(), 0);
        QVERIFY(writer.readAllStandardOutput().trimmed().endsWith("stopped"));
    }
    QCOMPARE(count(path, QStringLiteral("SELECT count(*) FROM reports")), 9);
}

QTEST_GUILESS_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
