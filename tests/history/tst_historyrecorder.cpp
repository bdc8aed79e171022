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
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Another program that keeps the file open, as a display does; stopped by
// its process id.
class HoldingProcess
{
public:
    explicit HoldingProcess(const QString &path)
    {
        int ready[2];
        if (::pipe(m_stop) != 0 || ::pipe(ready) != 0)
            return;
        const QByteArray name = QFile::encodeName(path);
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(name.constData(), O_RDONLY);
            char c = fd >= 0 ? '1' : '0';
            (void)!::write(ready[1], &c, 1);
            (void)!::read(m_stop[0], &c, 1);
            ::_exit(0);
        }
        char c = 0;
        m_holding = m_pid > 0 && ::read(ready[0], &c, 1) == 1 && c == '1';
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~HoldingProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    bool holding() const { return m_holding; }

private:
    int m_stop[2] = {-1, -1};
    pid_t m_pid = -1;
    bool m_holding = false;
};

// Root writes any folder: the recorder then runs as a user who may not.
class Unprivileged
{
public:
    ~Unprivileged() { restore(); }
    void drop()
    {
        if (::geteuid() == 0)
            m_dropped = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    void restore()
    {
        if (m_dropped) {
            (void)!::seteuid(0);
            (void)!::setegid(0);
            m_dropped = false;
        }
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
    QTest::addColumn<QString>("told");       // part of the problem's text
    QTest::addColumn<bool>("keptRecording"); // the three reports reach a store
    QTest::addColumn<bool>("movedAside");

    QTest::newRow("folder that cannot be made") << "folder"
                                                << "cannot be made" << false << false;
    QTest::newRow("folder that may not be written") << "read-only"
                                                    << "may not be written" << false << false;
    QTest::newRow("full disk") << "full"
                               << "History is not kept in this run" << false << false;
    QTest::newRow("not a database") << "garbage"
                                    << "moved aside" << true << true;
    QTest::newRow("damaged page") << "page"
                                  << "moved aside" << true << true;
    QTest::newRow("damaged, another program has it open")
        << "garbage-open"
        << "another program has it open" << false << false;
    QTest::newRow("newer Quintaro's store") << "newer"
                                            << "newer Quintaro" << false << false;
}

void TestHistoryRecorder::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, told);
    QFETCH(bool, keptRecording);
    QFETCH(bool, movedAside);

    const QString folder = m_dir.filePath(fault);
    QString path = folder + QStringLiteral("/history.sqlite");
    QVERIFY(QDir().mkpath(folder));
    std::optional<testsupport::FileSizeLimit> full;
    Unprivileged unprivileged;
    std::optional<HoldingProcess> holder;
    QByteArray garbage(8192, 'x');
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
    } else if (fault.startsWith("garbage")) {
        for (const char *suffix : {"", "-wal", "-shm"})
            QVERIFY(testsupport::writeFile(path + QLatin1String(suffix), garbage));
        if (fault == "garbage-open") {
            holder.emplace(path);
            QVERIFY(holder->holding());
        }
    } else if (fault == "page") {
        {
            testsupport::HistoryFixture store(path);
            std::vector<history::PendingReport> many;
            for (int i = 0; i < 3000; ++i)
                many.push_back({"IK3WX", now() - i * 300, "WIDE2-1", kInfo});
            QVERIFY(store.addReports(many));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() / 2 / 4096 * 4096));
        QCOMPARE(file.write(QByteArray(4096, '\xff')), 4096);
        file.close();
        garbage = testsupport::readFile(path);
    } else if (fault == "newer") {
        testsupport::HistoryFixture store(path);
        QVERIFY(store.execute(QStringLiteral("PRAGMA user_version = 2")));
    }

    HistoryRecorder recorder;
    QSignalSpy changes(&recorder, &HistoryRecorder::problemChanged);
    recorder.start(path);
    recordThree(recorder);
    QTRY_VERIFY2_WITH_TIMEOUT(recorder.problem().contains(told), qPrintable(recorder.problem()),
                              kWaitMs);
    unprivileged.restore();
    QTRY_COMPARE(changes.size(), 1);
    QCOMPARE(changes.front().at(0).toString(), recorder.problem());
    if (keptRecording) {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.recorded(), quint64(3), kWaitMs);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.dropped(), quint64(3), kWaitMs);
        recorder.record("IK3WX-13", "", kInfo, now());
        QCOMPARE(recorder.dropped(), quint64(4));
        QCOMPARE(recorder.recorded(), quint64(0));
    }

    const QStringList aside = QDir(folder).entryList({QStringLiteral("history.sqlite.damaged-*")});
    if (!movedAside) {
        QVERIFY2(aside.isEmpty(), qPrintable(aside.join(' ')));
        if (fault.startsWith("garbage"))
            QCOMPARE(testsupport::readFile(path), garbage);
        if (fault == "newer")
            QCOMPARE(count(path, QStringLiteral("PRAGMA user_version")), 2);
        return;
    }
    const QString stamp = QStringLiteral("history.sqlite.damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-"));
    QCOMPARE(aside.size(), fault == "garbage" ? 3 : 1);
    QVERIFY2(aside.front().startsWith(stamp), qPrintable(aside.front()));
    QCOMPARE(aside.front().size(), stamp.size() + 6);
    QCOMPARE(testsupport::readFile(folder + QLatin1Char('/') + aside.front()), garbage);
    QCOMPARE(changes.size(), 1); // the notice, once
    if (fault == "garbage")
        QCOMPARE(aside, QStringList({aside.front(), aside.front() + QStringLiteral("-shm"),
                                     aside.front() + QStringLiteral("-wal")}));
    QCOMPARE(count(path, QStringLiteral("SELECT count(*) FROM reports")), 3);
}

QTEST_GUILESS_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
