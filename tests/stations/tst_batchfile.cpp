#include "BatchFile.h"
#include "ByteLists.h"
#include "CommandLine.h"

#include <QTest>

using namespace quintaro::stations;
using stationstest::escaped;
using stationstest::raw;
using stationstest::show;
using stationstest::toStd;

class TestBatchFile : public QObject
{
    Q_OBJECT

private slots:
    void makesFile_data();
    void makesFile();
};

namespace {

const QByteArray kHeader = "@Echo Off\r\n"
                           "REM Batch file for opening Brezomat\r\n"
                           "REM several times with different Wx Calls\r\n";

} // namespace

void TestBatchFile::makesFile_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArrayList>("calls");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("leftOut");

    const QByteArray path = "C:\\Brezomat\\Orbetti.exe";
    const QByteArrayList none;

    QTest::newRow("empty list") << path << raw("localhost") << none << kHeader << none;
    QTest::newRow("two calls in list order")
        << path << raw("localhost") << QByteArrayList{"IK2DEF-13", "IK1ABC"}
        << kHeader + "C:\\Brezomat\\Orbetti.exe IK2DEF-13 localhost\r\n"
                     "C:\\Brezomat\\Orbetti.exe IK1ABC localhost\r\n"
        << none;
    QTest::newRow("path with blanks unquoted")
        << raw("C:\\Program Files\\Brez\\Orbetti.exe") << raw("10.0.0.2")
        << QByteArrayList{"IK1ABC"}
        << kHeader + "C:\\Program Files\\Brez\\Orbetti.exe IK1ABC 10.0.0.2\r\n"
        << none;
    QTest::newRow("blanks around path and address dropped")
        << raw("   /opt/brez  ") << raw("  host  ") << QByteArrayList{"IK1ABC"}
        << kHeader + "/opt/brez IK1ABC host\r\n"
        << none;
    QTest::newRow("empty path starts lines with a blank")
        << raw("") << raw("host") << QByteArrayList{"IK1ABC", "IK2DEF"}
        << kHeader + " IK1ABC host\r\n IK2DEF host\r\n"
        << none;
    QTest::newRow("empty address ends lines in call and blank")
        << path << raw("") << QByteArrayList{"IK1ABC"}
        << kHeader + "C:\\Brezomat\\Orbetti.exe IK1ABC \r\n"
        << none;
    QTest::newRow("letters, digits and dash in any case")
        << path << raw("h") << QByteArrayList{"ik1abc-15", "W1AW", "-9-"}
        << kHeader + "C:\\Brezomat\\Orbetti.exe ik1abc-15 h\r\n"
                     "C:\\Brezomat\\Orbetti.exe W1AW h\r\n"
                     "C:\\Brezomat\\Orbetti.exe -9- h\r\n"
        << none;
    QTest::newRow("shell metacharacters left out")
        << path << raw("h")
        << QByteArrayList{"IK1ABC", "A&del", "X|Y",    "%PATH%", "A>B", "A<B", "^C",  "A;B",
                          "A\"B",   "(A)",   "IK2DEF", "!x!",    "A,B", "A=B", "A/B", "A\\B"}
        << kHeader + "C:\\Brezomat\\Orbetti.exe IK1ABC h\r\n"
                     "C:\\Brezomat\\Orbetti.exe IK2DEF h\r\n"
        << QByteArrayList{"A&del", "X|Y", "%PATH%", "A>B", "A<B", "^C",  "A;B",
                          "A\"B",  "(A)", "!x!",    "A,B", "A=B", "A/B", "A\\B"};
    QTest::newRow("line breaks and blanks in a call left out")
        << path << raw("h") << QByteArrayList{"A\r\ndel *", "IK1 ABC", "IK1ABC ", "\tIK1"}
        << kHeader << QByteArrayList{"A\r\ndel *", "IK1 ABC", "IK1ABC ", "\tIK1"};
    QTest::newRow("high bytes and NUL left out")
        << path << raw("h")
        << QByteArrayList{raw("IK\xC4"
                              "ABC"),
                          raw("IK\0ABC"), "IK1ABC"}
        << kHeader + "C:\\Brezomat\\Orbetti.exe IK1ABC h\r\n"
        << QByteArrayList{raw("IK\xC4"
                              "ABC"),
                          raw("IK\0ABC")};
    QTest::newRow("empty call left out") << path << raw("h") << QByteArrayList{"", "IK1ABC"}
                                         << kHeader + "C:\\Brezomat\\Orbetti.exe IK1ABC h\r\n"
                                         << QByteArrayList{""};
}

void TestBatchFile::makesFile()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, address);
    QFETCH(QByteArrayList, calls);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, leftOut);

    const BatchFile batch = makeBatchFile(path.toStdString(), address.toStdString(), toStd(calls));
    QCOMPARE(escaped(batch.bytes), escaped(bytes.toStdString()));
    QCOMPARE(show(batch.leftOut), show(leftOut));

    // Each station line is the launcher's own command line for that call.
    for (const QByteArray &call : calls) {
        if (leftOut.contains(call))
            continue;
        const std::string line =
            buildCommandLine(path.toStdString(), call.toStdString(), address.toStdString()) +
            "\r\n";
        QVERIFY(batch.bytes.find(line) != std::string::npos);
    }
}

QTEST_GUILESS_MAIN(TestBatchFile)
#include "tst_batchfile.moc"
