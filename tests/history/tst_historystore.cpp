// The history store as both programs see it: the schema, a report's way in
// and out, the stores a reader refuses, copies another writer already
// stored, the retention period, and the file systems a writer keeps off.

#include "FileBytes.h"
#include "HistoryFixture.h"
#include "HistoryReader.h"
#include "HistoryStore.h"
#include "StoreFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace quintaro;
using history::PendingReport;
using weather::Field;

class TestHistoryStore : public QObject
{
    Q_OBJECT

private slots:
    void reportRoundTrip();
    void readerRefuses_data();
    void readerRefuses();
    void schemaRecorded();
    void copiesAlreadyStored_data();
    void copiesAlreadyStored();
    void expiredReportsRemoved_data();
    void expiredReportsRemoved();
    void retentionAsTyped_data();
    void retentionAsTyped();
    void networkFileSystems_data();
    void networkFileSystems();

private:
    QTemporaryDir m_dir;
};

void TestHistoryStore::reportRoundTrip()
{
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.sqlite"));
    testsupport::HistoryFixture store(path);
    // A comment in Latin-1 after the weather: radio text need not be UTF-8.
    const std::string info = "_12071836c220s004g008t077r001p010P005h50b10132 caf\xe9";
    QVERIFY(store.addReports({
        {"IK3WX-13", 1'765'000'000, "WIDE1-1,WIDE2-1", info},
        {"IK2TWO", 1'765'000'010, "", "_12071836c...s...g...t050"},
        {"IK3WX-13", 1'765'000'300, "", "_12071841c230s005g...t078"},
    }));

    history::HistoryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
    const auto reports = reader.reports("IK3WX-13", 0);
    QVERIFY(reports);
    QCOMPARE(reports->size(), std::size_t(2));
    const history::StoredReport &first = reports->front();
    QCOMPARE(first.heardUtc, 1'765'000'000);
    QCOMPARE(first.values.value(Field::Temperature), std::optional<double>(77));
    QCOMPARE(first.values.value(Field::WindDirection), std::optional<double>(220));
    QCOMPARE(first.values.value(Field::Pressure), std::optional<double>(float(1013.2)));
    QCOMPARE(first.values.value(Field::Luminosity), std::nullopt);
    QCOMPARE(reports->back().values.value(Field::WindGust), std::nullopt);
    // Later reports only, for a display that has the rest.
    QCOMPARE(reader.reports("IK3WX-13", 0, first.id)->size(), std::size_t(1));
    QCOMPARE(reader.reports("IK3WX-13", 1'765'000'001)->size(), std::size_t(1));
    QCOMPARE(reader.reports("IK2TWO", 0)->back().values.value(Field::Temperature),
             std::optional<double>(50));
    QVERIFY(reader.reports("ik3wx-13", 0)->empty());

    // What the user's own tools find.
    QSqlQuery query(store.database());
    QVERIFY(query.exec(QStringLiteral("SELECT typeof(info), info, path, typeof(luminosity_wm2)"
                                      " FROM reports WHERE call = 'IK3WX-13' ORDER BY id")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("blob"));
    QCOMPARE(query.value(1).toByteArray(), QByteArray::fromStdString(info));
    QCOMPARE(query.value(2).toString(), QStringLiteral("WIDE1-1,WIDE2-1"));
    QCOMPARE(query.value(3).toString(), QStringLiteral("null"));
    QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM reports WHERE pressure_hpa = 1013.2")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), 1);
}

void TestHistoryStore::readerRefuses_data()
{
    // "<missing>": no file; "<folder>": a folder; "<contacts>": another
    // program's database; "<nothing>": an SQLite file with no schema.
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("version"); // set after the schema; 0: none made
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("keptAsItIs"); // by --keep-history too
    QTest::newRow("missing") << QByteArray("<missing>") << 0 << "no history file" << false;
    QTest::newRow("not a database")
        << QByteArray(4096, 'x') << 0
        << "is not a Quintaro weather history (it is not an SQLite database); name another file "
           "with QUINTARO_HISTORY"
        << true;
    QTest::newRow("empty file") << QByteArray() << 0 << "holds no weather history" << false;
    QTest::newRow("SQLite file with nothing in it")
        << QByteArray("<nothing>") << 0 << "holds no weather history" << false;
    QTest::newRow("a folder") << QByteArray("<folder>") << 0 << "(it is a folder)" << true;
    QTest::newRow("another program's database")
        << QByteArray("<contacts>") << 0 << "(it is another program's SQLite database)" << true;
    QTest::newRow("later version") << QByteArray() << 2 << "newer Quintaro" << true;
}

void TestHistoryStore::readerRefuses()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, version);
    QFETCH(QString, reason);
    QFETCH(bool, keptAsItIs);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    if (contents == "<folder>") {
        QVERIFY(QDir().mkpath(path));
    } else if (contents == "<contacts>" || contents == "<nothing>") {
        {
            QSqlDatabase db = history::openConnection(QStringLiteral("other"), path, 1000, false);
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE contacts (name TEXT)")));
            if (contents == "<nothing>")
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE contacts")));
        }
        history::closeConnection(QStringLiteral("other"));
    } else if (contents != "<missing>") {
        QVERIFY(testsupport::writeFile(path, contents));
    }
    if (version > 0) {
        testsupport::HistoryFixture store(path);
        QVERIFY(store.execute(QStringLiteral("PRAGMA user_version = %1").arg(version)));
    }
    const QByteArray before = testsupport::readFile(path);
    history::HistoryReader reader;
    QVERIFY(!reader.open(path));
    QVERIFY2(reader.error().contains(reason), qPrintable(reader.error()));
    QVERIFY(!reader.reports("IK3WX", 0));
    // A reader never makes a store.
    QCOMPARE(QFileInfo::exists(path), contents != "<missing>");

    // Nor does --keep-history write into what is not a store of this
    // Quintaro's; a new one it makes.
    QString error;
    QCOMPARE(history::storeRetentionDays(path, 7, &error), !keptAsItIs);
    if (keptAsItIs) {
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(testsupport::readFile(path), before);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
    } else {
        QVERIFY2(reader.open(path), qPrintable(reader.error()));
    }
}

void TestHistoryStore::schemaRecorded()
{
    const QString path = m_dir.filePath(QStringLiteral("schema.sqlite"));
    testsupport::HistoryFixture store(path);
    QSqlQuery version(store.database());
    QVERIFY(version.exec(QStringLiteral("PRAGMA user_version")) && version.next());
    QCOMPARE(version.value(0).toInt(), history::kSchemaVersion);
    // Migrating a current store changes nothing.
    QString error;
    QVERIFY(history::migrate(store.database(), &error));
    QSqlQuery query(store.database());
    QVERIFY(query.exec(QStringLiteral("SELECT value FROM settings WHERE key = 'retention_days'")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), history::kDefaultRetentionDays);
    QVERIFY(!query.next());
}

void TestHistoryStore::copiesAlreadyStored_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<int>("later"); // seconds after the copy already stored
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<bool>("stored");
    const QByteArray info = "_12071836c220s004g008t077";
    QTest::newRow("same, 10 s later") << QByteArray("IK3WX") << 10 << info << false;
    QTest::newRow("same, 30 s later") << QByteArray("IK3WX") << 30 << info << false;
    QTest::newRow("same, heard first by the other engine")
        << QByteArray("IK3WX") << -20 << info << false;
    QTest::newRow("same, 31 s later") << QByteArray("IK3WX") << 31 << info << true;
    QTest::newRow("another report") << QByteArray("IK3WX") << 10 << info + "h50" << true;
    QTest::newRow("another station") << QByteArray("IK3WX-1") << 10 << info << true;
}

void TestHistoryStore::copiesAlreadyStored()
{
    QFETCH(QByteArray, call);
    QFETCH(int, later);
    QFETCH(QByteArray, info);
    QFETCH(bool, stored);
    {
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        testsupport::HistoryFixture store(path);
        QVERIFY(
            store.addReports({{"IK3WX", 1'765'000'000, "WIDE1-1", "_12071836c220s004g008t077"}}));

        history::RecentReports recent;
        history::WriteOutcome outcome;
        QString error;
        const std::vector<PendingReport> copy = {
            {call.toStdString(), 1'765'000'000 + later, "IR1UFB-10*", info.toStdString()}};
        QVERIFY2(history::insertReports(store.database(), copy, recent, &error, &outcome),
                 qPrintable(error));
        QCOMPARE(outcome.stored, std::size_t(stored));
        QCOMPARE(outcome.skipped, std::size_t(!stored));
        QSqlQuery query(store.database());
        QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM reports")) && query.next());
        QCOMPARE(query.value(0).toInt(), stored ? 2 : 1);
        // The copy heard first keeps its path.
        QVERIFY(query.exec(QStringLiteral("SELECT path FROM reports ORDER BY id")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("WIDE1-1"));
    }
}

void TestHistoryStore::expiredReportsRemoved_data()
{
    QTest::addColumn<QString>("period");  // as kept in the settings table; empty: none
    QTest::addColumn<QList<int>>("ages"); // days before now
    QTest::addColumn<int>("kept");
    QTest::newRow("30 days unless told") << QString() << QList<int>{31, 29, 0} << 2;
    QTest::newRow("a week") << "7" << QList<int>{8, 6, 0} << 2;
    QTest::newRow("a year") << "365" << QList<int>{300, 31} << 2;
    QTest::newRow("nonsense reads as 30") << "forever" << QList<int>{31, 29} << 1;
    QTest::newRow("0 reads as 30") << "0" << QList<int>{31, 1} << 1;
}

void TestHistoryStore::expiredReportsRemoved()
{
    QFETCH(QString, period);
    QFETCH(QList<int>, ages);
    QFETCH(int, kept);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    testsupport::HistoryFixture store(path);
    std::vector<PendingReport> reports;
    for (const int days : ages)
        reports.push_back({"IK3WX", now - days * 86400 - 60, "", "_12071836c220s004g008t077"});
    QVERIFY(store.addReports(reports));
    QVERIFY(store.execute(QStringLiteral("DELETE FROM settings")));
    if (!period.isEmpty()) {
        QVERIFY(store.execute(
            QStringLiteral("INSERT INTO settings VALUES ('retention_days', '%1')").arg(period)));
    }
    QString error;
    QCOMPARE(history::removeExpiredReports(store.database(), now, &error),
             std::int64_t(ages.size() - kept));
    QSqlQuery query(store.database());
    QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM reports")) && query.next());
    QCOMPARE(query.value(0).toInt(), kept);
}

void TestHistoryStore::retentionAsTyped_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("days"); // 0: refused
    QTest::newRow("a month") << QByteArray("30") << 30;
    QTest::newRow("one day") << QByteArray("1") << 1;
    QTest::newRow("ten years") << QByteArray("3650") << 3650;
    QTest::newRow("more than ten years") << QByteArray("3651") << 0;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("negative") << QByteArray("-5") << 0;
    QTest::newRow("with a unit") << QByteArray("7d") << 0;
    QTest::newRow("nothing") << QByteArray() << 0;
}

void TestHistoryStore::retentionAsTyped()
{
    QFETCH(QByteArray, typed);
    QFETCH(int, days);
    const std::optional<int> parsed = history::parseRetentionDays(typed.toStdString());
    QCOMPARE(parsed.value_or(0), days);
    if (!parsed)
        return;
    // The user's command makes the store when there is none yet.
    const QString path = m_dir.filePath(QStringLiteral("typed/") + QTest::currentDataTag());
    QString error;
    QVERIFY2(history::storeRetentionDays(path, *parsed, &error), qPrintable(error));
    testsupport::HistoryFixture store(path);
    QCOMPARE(history::retentionDays(store.database()), days);
}

#ifdef Q_OS_WIN
// Windows tells a network share by the path's form, or by the drive's type.
void TestHistoryStore::networkFileSystems_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("network");
    QTest::newRow("UNC path") << R"(\\radio-pc\shack\history.sqlite)"
                              << "a network share";
    QTest::newRow("UNC path, forward slashes") << "//radio-pc/shack/history.sqlite"
                                               << "a network share";
    QTest::newRow("the temporary folder") << QDir::tempPath() + "/history.sqlite"
                                          << "";
}

void TestHistoryStore::networkFileSystems()
{
    QFETCH(QString, path);
    QFETCH(QString, network);
    QCOMPARE(history::networkFileSystemOf(path).value_or(QString()), network);
}
#else
void TestHistoryStore::networkFileSystems_data()
{
    QTest::addColumn<qint64>("fsType"); // statfs() f_type, as the kernel gives it
    QTest::addColumn<QString>("network");
    QTest::newRow("NFS") << qint64(0x6969) << "NFS";
    QTest::newRow("CIFS") << qint64(0xff534d42) << "SMB/CIFS";
    QTest::newRow("CIFS as a negative word") << qint64(qint32(0xff534d42)) << "SMB/CIFS";
    QTest::newRow("SMB2") << qint64(0xfe534d42) << "SMB2";
    QTest::newRow("9P") << qint64(0x01021997) << "9P";
    QTest::newRow("Ceph") << qint64(0x00c36400) << "Ceph";
    QTest::newRow("ext4") << qint64(0xef53) << "";
    QTest::newRow("btrfs") << qint64(0x9123683e) << "";
    QTest::newRow("tmpfs") << qint64(0x01021994) << "";
    QTest::newRow("FUSE, often a local disk") << qint64(0x65735546) << "";
}

void TestHistoryStore::networkFileSystems()
{
    QFETCH(qint64, fsType);
    QFETCH(QString, network);
    QCOMPARE(history::networkFileSystemName(static_cast<unsigned long>(fsType)).value_or(QString()),
             network);
}
#endif

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
