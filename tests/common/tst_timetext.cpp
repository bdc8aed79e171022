// Times as the station details and the weather display tell them.

#include "TimeText.h"

#include <QTest>

using namespace quintaro;

class TestTimeText : public QObject
{
    Q_OBJECT

private slots:
    void age_data();
    void age();
};

void TestTimeText::age_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("words");
    QTest::newRow("now") << qint64(0) << "0 s ago";
    QTest::newRow("59 s") << qint64(59) << "59 s ago";
    QTest::newRow("3 min") << qint64(3 * 60 + 59) << "3 min ago";
    QTest::newRow("2 h") << qint64(2 * 3600 + 1) << "2 h ago";
    QTest::newRow("1 day") << qint64(86400 + 5) << "1 day ago";
    QTest::newRow("4 days") << qint64(4 * 86400) << "4 days ago";
    QTest::newRow("a clock set back") << qint64(-30) << "0 s ago";
}

void TestTimeText::age()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, words);
    QCOMPARE(QString::fromStdString(describeAge(seconds)), words);
}

QTEST_APPLESS_MAIN(TestTimeText)
#include "tst_timetext.moc"
