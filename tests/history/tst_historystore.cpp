// The history store as both programs see it: the schema, a report's way in
// and out, and the stores a reader refuses.

#include "FileBytes.h"
#include "HistoryFixture.h"
#include "HistoryReader.h"
#include "HistoryStore.h"

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
    QCOMPARE(reader.latestReport("IK2TWO")->values.value(Field::Temperature),
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
    QTest::addColumn<QByteArray>("contents"); // "<missing>": no file at all
    QTest::addColumn<int>("version");         // set after the schema; 0: none made
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray("<missing>") << 0 << "no history file";
    QTest::newRow("not a database") << QByteArray(4096, 'x') << 0 << "cannot be read";
    QTest::newRow("empty file") << QByteArray() << 0 << "holds no weather history";
    QTest::newRow("later version") << QByteArray() << 2 << "newer Quintaro";
}

void TestHistoryStore::readerRefuses()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, version);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    if (contents != "<missing>")
        QVERIFY(testsupport::writeFile(path, contents));
    if (version > 0) {
        testsupport::HistoryFixture store(path);
        QVERIFY(store.execute(QStringLiteral("PRAGMA user_version = %1").arg(version)));
    }
    history::HistoryReader reader;
    QVERIFY(!reader.open(path));
    QVERIFY2(reader.error().contains(reason), qPrintable(reader.error()));
    QVERIFY(!reader.reports("IK3WX", 0));
    // A reader never makes a store.
    QCOMPARE(QFile::exists(path), contents != "<missing>");
}

void TestHistoryStore::schemaRecorded()
{
    const QString path = m_dir.filePath(QStringLiteral("schema.sqlite"));
    testsupport::HistoryFixture store(path);
    QCOMPARE(history::schemaVersion(store.database()), history::kSchemaVersion);
    // Migrating a current store changes nothing.
    QString error;
    QVERIFY(history::migrate(store.database(), &error));
    QSqlQuery query(store.database());
    QVERIFY(query.exec(QStringLiteral("SELECT value FROM settings WHERE key = 'retention_days'")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), history::kDefaultRetentionDays);
    QVERIFY(!query.next());
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
