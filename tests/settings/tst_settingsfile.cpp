// The settings record, read and written, and start-up's recovery from a
// missing, damaged or unreadable settings file.

#include "FileBytes.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace quintaro;

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

const QByteArray kDefaultRecord = "\"localhost\",\"Orbetti.exe\",0,0,4900,2950,\"#FALSE#\"\r\n";

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void readRecord_data();
    void readRecord();
    void writeRecord();
    void laterValues_data();
    void laterValues();
    void roundTrip_data();
    void roundTrip();
    void defaultRecord();
    void int32_data();
    void int32();
    void loadAtStartUp_data();
    void loadAtStartUp();
};

void TestSettingsFile::readRecord_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("valuesRead");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<int>>("geometry");
    QTest::addColumn<bool>("autoConnect");

    QTest::newRow("written by shutdown")
        << QByteArray("\"10.0.0.5\",\"/opt/brez\",-10,20,5000,3000,#TRUE#\r\n") << 7 << "10.0.0.5"
        << "/opt/brez" << QList<int>{-10, 20, 5000, 3000} << true;
    QTest::newRow("default record, quoted #FALSE#")
        << QByteArray("\"localhost\",\"Orbetti.exe\",0,0,4900,2950,\"#FALSE#\"\r\n") << 7
        << "localhost"
        << "Orbetti.exe" << QList<int>{0, 0, 4900, 2950} << false;
    QTest::newRow("quoted #TRUE#") << QByteArray("\"h\",\"p\",1,2,3,4,\"#TRUE#\"") << 7 << "h"
                                   << "p" << QList<int>{1, 2, 3, 4} << true;
    QTest::newRow("bare #FALSE#") << QByteArray("\"h\",\"p\",1,2,3,4,#FALSE#") << 7 << "h"
                                  << "p" << QList<int>{1, 2, 3, 4} << false;
    QTest::newRow("lower-case literal") << QByteArray("\"h\",\"p\",1,2,3,4,#true#") << 7 << "h"
                                        << "p" << QList<int>{1, 2, 3, 4} << true;
    QTest::newRow("anything after the seventh value is ignored")
        << QByteArray("\"h\",\"p\",1,2,3,4,#TRUE#,junk,\"more\r\n") << 7 << "h"
        << "p" << QList<int>{1, 2, 3, 4} << true;
    QTest::newRow("values on separate lines")
        << QByteArray("\"h\"\r\n\"p\"\r\n1\r\n2\r\n3\r\n4\r\n#TRUE#\r\n") << 7 << "h"
        << "p" << QList<int>{1, 2, 3, 4} << true;
    QTest::newRow("comma inside a quoted path")
        << QByteArray("\"h\",\"C:\\a,b\\x.exe\",1,2,3,4,#FALSE#") << 7 << "h"
        << "C:\\a,b\\x.exe" << QList<int>{1, 2, 3, 4} << false;
    QTest::newRow("blanks around the address are kept")
        << QByteArray("\" host \",\"p\",1,2,3,4,#FALSE#") << 7 << " host "
        << "p" << QList<int>{1, 2, 3, 4} << false;
    QTest::newRow("empty file") << QByteArray() << 0 << ""
                                << "" << QList<int>{0, 0, 0, 0} << false;
    QTest::newRow("fewer than seven values") << QByteArray("\"h\",\"p\",1,2\r\n") << 4 << "h"
                                             << "p" << QList<int>{1, 2, 0, 0} << false;
    QTest::newRow("text where a number stands")
        << QByteArray("\"h\",\"p\",1,abc,3,4,#TRUE#") << 3 << "h"
        << "p" << QList<int>{1, 0, 0, 0} << false;
    // A maximized window on a 3840 x 2160 screen.
    QTest::newRow("beyond 16 bits")
        << QByteArray("\"h\",\"p\",-120,-120,57840,32640,#TRUE#") << 7 << "h"
        << "p" << QList<int>{-120, -120, 57840, 32640} << true;
    QTest::newRow("number above 2147483647")
        << QByteArray("\"h\",\"p\",1,2,2147483648,4,#TRUE#") << 4 << "h"
        << "p" << QList<int>{1, 2, 0, 0} << false;
    QTest::newRow("number below -2147483648")
        << QByteArray("\"h\",\"p\",-2147483649,2,3,4,#TRUE#") << 2 << "h"
        << "p" << QList<int>{0, 0, 0, 0} << false;
    QTest::newRow("32-bit limits")
        << QByteArray("\"h\",\"p\",-2147483648,2147483647,3,4,#TRUE#") << 7 << "h"
        << "p" << QList<int>{INT32_MIN, INT32_MAX, 3, 4} << true;
    QTest::newRow("decimal point in a number")
        << QByteArray("\"h\",\"p\",1.5,2,3,4,#TRUE#") << 2 << "h"
        << "p" << QList<int>{0, 0, 0, 0} << false;
    QTest::newRow("empty number") << QByteArray("\"h\",\"p\",,2,3,4,#TRUE#") << 2 << "h"
                                  << "p" << QList<int>{0, 0, 0, 0} << false;
    QTest::newRow("seventh value not a Boolean")
        << QByteArray("\"h\",\"p\",1,2,3,4,yes") << 6 << "h"
        << "p" << QList<int>{1, 2, 3, 4} << false;
    QTest::newRow("unclosed quote in the path")
        << QByteArray("\"h\",\"p,1,2,3,4,#TRUE#") << 1 << "h"
        << "" << QList<int>{0, 0, 0, 0} << false;
}

void TestSettingsFile::readRecord()
{
    QFETCH(QByteArray, input);
    QFETCH(int, valuesRead);
    QFETCH(QString, host);
    QFETCH(QString, path);
    QFETCH(QList<int>, geometry);
    QFETCH(bool, autoConnect);

    const SettingsReadResult r =
        readSettings(std::string_view(input.constData(), size_t(input.size())));
    QCOMPARE(r.valuesRead, valuesRead);
    QCOMPARE(r.complete(), valuesRead == 7);
    QCOMPARE(QString::fromStdString(r.values.host), host);
    QCOMPARE(QString::fromStdString(r.values.path), path);
    QCOMPARE((QList<int>{r.values.left, r.values.top, r.values.width, r.values.height}), geometry);
    QCOMPARE(r.values.autoConnect, autoConnect);
}

void TestSettingsFile::writeRecord()
{
    Settings s;
    s.host = " 192.168.1.4 ";
    s.path = "/home/ham/my brez/brezomat";
    s.left = -4;
    s.top = 0;
    s.width = 57600;
    s.height = 2950;
    s.autoConnect = false;
    QCOMPARE(bytes(writeSettings(s)),
             QByteArray("\" 192.168.1.4 \",\"/home/ham/my brez/brezomat\",-4,0,57600,2950,"
                        "#FALSE#,#FALSE#,\"metric\"\r\n"));
    s.autoConnect = true;
    s.reconnect = true;
    s.usUnits = true;
    s.width = 4900;
    s.host = "say \"hi\"";
    // A quote cannot be stored; dropping it keeps every other value readable.
    QCOMPARE(bytes(writeSettings(s)),
             QByteArray("\"say hi\",\"/home/ham/my brez/brezomat\",-4,0,4900,2950,#TRUE#,"
                        "#TRUE#,\"US\"\r\n"));
}

void TestSettingsFile::laterValues_data()
{
    QTest::addColumn<QByteArray>("after"); // what follows the seventh value
    QTest::addColumn<bool>("reconnect");
    QTest::addColumn<bool>("usUnits");
    QTest::newRow("written by an older version") << QByteArray("\r\n") << false << false;
    QTest::newRow("both") << QByteArray(",#TRUE#,\"US\"\r\n") << true << true;
    QTest::newRow("both off") << QByteArray(",#FALSE#,\"metric\"\r\n") << false << false;
    QTest::newRow("only the eighth") << QByteArray(",\"#TRUE#\"\r\n") << true << false;
    QTest::newRow("unreadable eighth, ninth in any case")
        << QByteArray(",maybe,us\r\n") << false << true;
    QTest::newRow("unknown units") << QByteArray(",#TRUE#,\"imperial\"\r\n") << true << false;
    QTest::newRow("a newer version's values after them")
        << QByteArray(",#TRUE#,\"US\",42,\"more\"\r\n") << true << true;
}

void TestSettingsFile::laterValues()
{
    QFETCH(QByteArray, after);
    QFETCH(bool, reconnect);
    QFETCH(bool, usUnits);
    const QByteArray record = "\"h\",\"p\",1,2,3,4,#FALSE#" + after;
    const SettingsReadResult r =
        readSettings(std::string_view(record.constData(), size_t(record.size())));
    // Never a damaged file: the seven values are all there.
    QVERIFY(r.complete());
    QCOMPARE(r.values.reconnect, reconnect);
    QCOMPARE(r.values.usUnits, usUnits);
}

void TestSettingsFile::roundTrip_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("autoConnect");
    QTest::newRow("plain") << "localhost"
                           << "Orbetti.exe" << false;
    QTest::newRow("comma in path") << "h"
                                   << "C:\\Radio, APRS\\Orbetti.exe" << true;
    QTest::newRow("blanks around address") << "  10.1.1.1  "
                                           << "/x" << true;
    QTest::newRow("empty texts") << ""
                                 << "" << false;
    QTest::newRow("UTF-8 path") << "h" << QString::fromUtf8("/home/ham/Città/brez") << false;
}

void TestSettingsFile::roundTrip()
{
    QFETCH(QString, host);
    QFETCH(QString, path);
    QFETCH(bool, autoConnect);
    Settings s;
    s.host = host.toStdString();
    s.path = path.toStdString();
    s.left = 12;
    s.top = -300;
    s.width = 4220;
    s.height = 1260;
    s.autoConnect = autoConnect;
    s.reconnect = !autoConnect;
    s.usUnits = autoConnect;
    const SettingsReadResult r = readSettings(writeSettings(s));
    QVERIFY(r.complete());
    QCOMPARE(r.values.host, s.host);
    QCOMPARE(r.values.path, s.path);
    QCOMPARE(r.values.left, 12);
    QCOMPARE(r.values.top, -300);
    QCOMPARE(r.values.width, 4220);
    QCOMPARE(r.values.height, 1260);
    QCOMPARE(r.values.autoConnect, autoConnect);
    QCOMPARE(r.values.reconnect, !autoConnect);
    QCOMPARE(r.values.usUnits, autoConnect);
}

void TestSettingsFile::defaultRecord()
{
    QCOMPARE(bytes(defaultSettingsRecord()),
             QByteArray("\"localhost\",\"Orbetti.exe\",0,0,4900,2950,\"#FALSE#\"\r\n"));
    const SettingsReadResult r = readSettings(defaultSettingsRecord());
    QVERIFY(r.complete());
    QCOMPARE(r.values.host, std::string("localhost"));
    QCOMPARE(r.values.path, std::string("Orbetti.exe"));
    QCOMPARE((QList<int>{r.values.left, r.values.top, r.values.width, r.values.height}),
             (QList<int>{0, 0, 4900, 2950}));
    QCOMPARE(r.values.autoConnect, false);
}

void TestSettingsFile::int32_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << QByteArray("0") << true << 0;
    QTest::newRow("plus sign") << QByteArray("+17") << true << 17;
    QTest::newRow("minus") << QByteArray("-17") << true << -17;
    QTest::newRow("leading zeros") << QByteArray("007") << true << 7;
    QTest::newRow("beyond 16 bits") << QByteArray("40000") << true << 40000;
    QTest::newRow("max") << QByteArray("2147483647") << true << 2147483647;
    QTest::newRow("min") << QByteArray("-2147483648") << true << int(INT32_MIN);
    QTest::newRow("over") << QByteArray("2147483648") << false << 0;
    QTest::newRow("under") << QByteArray("-2147483649") << false << 0;
    QTest::newRow("way over") << QByteArray("99999999999999999999") << false << 0;
    QTest::newRow("sign only") << QByteArray("-") << false << 0;
    QTest::newRow("two signs") << QByteArray("+-1") << false << 0;
    QTest::newRow("hex") << QByteArray("0x10") << false << 0;
    QTest::newRow("inner blank") << QByteArray("1 2") << false << 0;
    QTest::newRow("empty") << QByteArray("") << false << 0;
}

void TestSettingsFile::int32()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    std::int32_t parsed = 0;
    QCOMPARE(parseInt32(std::string_view(text.constData(), size_t(text.size())), parsed), ok);
    if (ok)
        QCOMPARE(int(parsed), value);
}

void TestSettingsFile::loadAtStartUp_data()
{
    // "<missing>": no file; "<folder>": a folder of that name, which cannot
    // be read nor replaced.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("defaultsWritten");
    QTest::addColumn<int>("valuesRead");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<int>>("geometry");
    QTest::addColumn<bool>("autoConnect");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("missing: default record written and read back")
        << QByteArray("<missing>") << true << 7 << "localhost"
        << "Orbetti.exe" << QList<int>{0, 0, 4900, 2950} << false << kDefaultRecord;
    const QByteArray good = "\"10.0.0.2\",\"/opt/brez\",150,300,6000,4000,#TRUE#\r\n";
    QTest::newRow("complete record read and left alone")
        << good << false << 7 << "10.0.0.2"
        << "/opt/brez" << QList<int>{150, 300, 6000, 4000} << true << good;
    QTest::newRow("empty: default record written, nothing read")
        << QByteArray() << true << 0 << ""
        << "" << QList<int>{0, 0, 0, 0} << false << kDefaultRecord;
    QTest::newRow("damaged: default record written, values as far as read")
        << QByteArray("\"host.lan\",\"/x\",30,abc,6000,4000,#TRUE#\r\n") << true << 3 << "host.lan"
        << "/x" << QList<int>{30, 0, 0, 0} << false << kDefaultRecord;
    QTest::newRow("number out of range: default record written")
        << QByteArray("\"h\",\"p\",0,0,2147483648,3000,#TRUE#\r\n") << true << 4 << "h"
        << "p" << QList<int>{0, 0, 0, 0} << false << kDefaultRecord;
    QTest::newRow("unreadable (a folder): the defaults themselves")
        << QByteArray("<folder>") << true << 7 << "localhost"
        << "Orbetti.exe" << QList<int>{0, 0, 4900, 2950} << false << QByteArray("<folder>");
}

void TestSettingsFile::loadAtStartUp()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, defaultsWritten);
    QFETCH(int, valuesRead);
    QFETCH(QString, host);
    QFETCH(QString, path);
    QFETCH(QList<int>, geometry);
    QFETCH(bool, autoConnect);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("Quintaro.ini"));
    if (before == "<folder>")
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Quintaro.ini")));
    else if (before != "<missing>")
        QVERIFY(testsupport::writeFile(file, before));

    const LoadedSettings loaded = loadSettingsFile(QFile::encodeName(file).toStdString());
    QCOMPARE(loaded.defaultsWritten, defaultsWritten);
    // Only the folder cannot be replaced, and the reason is told.
    QCOMPARE(!loaded.writeError.empty(), before == "<folder>");
    QCOMPARE(loaded.read.valuesRead, valuesRead);
    const Settings &v = loaded.read.values;
    QCOMPARE(QString::fromStdString(v.host), host);
    QCOMPARE(QString::fromStdString(v.path), path);
    QCOMPARE((QList<int>{v.left, v.top, v.width, v.height}), geometry);
    QCOMPARE(v.autoConnect, autoConnect);
    if (after == "<folder>")
        QVERIFY(QFileInfo(file).isDir());
    else
        QCOMPARE(testsupport::readFile(file), after);
}

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
