#include "AgwFrame.h"
#include "AgwTestFrames.h"

#include <QTest>

#include <vector>

using namespace quintaro::agw;
using agwtest::qbytes;

class TestAgwFrame : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void callFrom_data();
    void callFrom();
    void length_data();
    void length();
    void version_data();
    void version();
};

void TestAgwFrame::requests_data()
{
    QTest::addColumn<char>("kind");
    QTest::addColumn<QByteArray>("expected");

    QByteArray monitoring(36, '\0');
    monitoring[4] = char(0x6D);
    QByteArray version(36, '\0');
    version[4] = char(0x52);
    QTest::newRow("monitoring request") << 'm' << monitoring;
    QTest::newRow("version request") << 'R' << version;
}

void TestAgwFrame::requests()
{
    QFETCH(char, kind);
    QFETCH(QByteArray, expected);
    const Header header = makeRequest(std::uint8_t(kind));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(header.data()), qsizetype(header.size())),
             expected);
}

void TestAgwFrame::callFrom_data()
{
    QTest::addColumn<QByteArray>("field"); // the 20 bytes of CallFrom and CallTo
    QTest::addColumn<QByteArray>("expected");

    auto field = [](const char *data, int size) {
        QByteArray f(data, size);
        f.resize(20, '\0');
        return f;
    };
    QTest::newRow("ten characters, no NUL, CallTo behind")
        << field("ABCDEFGHIJAPRS", 14) << QByteArray("ABCDEFGHIJ");
    QTest::newRow("empty") << field("\0APRS", 5) << QByteArray();
    QTest::newRow("SSID suffix kept") << field("IW2OHX-13", 9) << QByteArray("IW2OHX-13");
    QTest::newRow("stops at the first NUL") << field("AB\0CD", 5) << QByteArray("AB");
    QTest::newRow("blanks and case kept") << field(" ab c ", 6) << QByteArray(" ab c ");
    QTest::newRow("high bytes kept") << field("\xE4\xFF"
                                              "C",
                                              3)
                                     << QByteArray("\xE4\xFF"
                                                   "C");
}

void TestAgwFrame::callFrom()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, expected);
    QByteArray header(36, '\0');
    header.replace(8, 20, field);
    QCOMPARE(qbytes(quintaro::agw::callFrom(reinterpret_cast<const std::uint8_t *>(header.data()))),
             expected);
}

void TestAgwFrame::length_data()
{
    QTest::addColumn<QByteArray>("lengthField"); // bytes 28..31
    QTest::addColumn<uint>("expected");
    QTest::addColumn<bool>("valid");

    QTest::newRow("10 01 00 00") << QByteArray("\x10\x01\0\0", 4) << 272u << true;
    QTest::newRow("zero") << QByteArray(4, '\0') << 0u << true;
    QTest::newRow("largest") << QByteArray("\xFF\xFF\0\0", 4) << 65535u << true;
    QTest::newRow("byte 30 set") << QByteArray("\x08\0\x01\0", 4) << 8u << false;
    QTest::newRow("byte 31 set") << QByteArray("\x08\0\0\x80", 4) << 8u << false;
}

void TestAgwFrame::length()
{
    QFETCH(QByteArray, lengthField);
    QFETCH(uint, expected);
    QFETCH(bool, valid);
    QByteArray header(36, '\0');
    header[4] = 'U';
    header.replace(28, 4, lengthField);
    const auto *h = reinterpret_cast<const std::uint8_t *>(header.data());
    QCOMPARE(dataLength(h), std::uint32_t(expected));
    QCOMPARE(isValidHeader(h), valid);
}

void TestAgwFrame::version_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");

    QTest::newRow("2000.78") << QByteArray("\xD0\x07\0\0\x4E\0\0\0", 8) << 2000 << 78;
    QTest::newRow("upper 16 bits ignored")
        << QByteArray("\x01\0\x05\x06\x02\0\x07\x08", 8) << 1 << 2;
    QTest::newRow("extra data ignored")
        << QByteArray("\x01\x01\0\0\xFF\xFF\0\0xyz", 11) << 257 << 65535;
    QTest::newRow("only a major") << QByteArray("\xD0\x07", 2) << 2000 << 0;
    QTest::newRow("minor cut after its low byte")
        << QByteArray("\xD0\x07\0\0\x4E", 5) << 2000 << 78;
    QTest::newRow("one byte") << QByteArray("\x05", 1) << 5 << 0;
    QTest::newRow("no data") << QByteArray() << 0 << 0;
}

void TestAgwFrame::version()
{
    QFETCH(QByteArray, data);
    QFETCH(int, major);
    QFETCH(int, minor);
    // An exactly sized heap copy, so a read beyond the reply shows under the
    // address sanitizer.
    const std::vector<std::uint8_t> exact(data.begin(), data.end());
    const Version v = versionFromData(exact.data(), exact.size());
    QCOMPARE(int(v.majorVersion), major);
    QCOMPARE(int(v.minorVersion), minor);
}

QTEST_APPLESS_MAIN(TestAgwFrame)
#include "tst_AgwFrame.moc"
