#include "AtomicFile.h"
#include "ByteLists.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "StationListFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using namespace quintaro::stations;
using stationstest::raw;
using stationstest::show;
using stationstest::toStd;
using testsupport::readFile;
using testsupport::writeFile;

Q_DECLARE_METATYPE(quintaro::stations::ListFileProblem)

class TestListFile : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void limitsEntryCount_data();
    void limitsEntryCount();
    void writes_data();
    void writes();
    void roundTrip_data();
    void roundTrip();
    void savesOverOldFile();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void saveIntoMissingFolderFails_data();
    void saveIntoMissingFolderFails();
};

void TestListFile::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("calls"); // when valid
    QTest::addColumn<ListFileProblem>("problem");

    const auto ok = ListFileProblem::None;
    const auto length = ListFileProblem::EntryLength;
    const QByteArrayList none;

    QTest::newRow("empty file") << raw("") << none << ok;
    QTest::newRow("written list") << raw("IK1ABC\r\nIK2DEF-13\r\n")
                                  << QByteArrayList{"IK1ABC", "IK2DEF-13"} << ok;
    QTest::newRow("last line without CR LF")
        << raw("IK1ABC\r\nIK2DEF") << QByteArrayList{"IK1ABC", "IK2DEF"} << ok;
    QTest::newRow("lone LF") << raw("IK1ABC\nIK2DEF\n") << QByteArrayList{"IK1ABC", "IK2DEF"} << ok;
    QTest::newRow("lone CR") << raw("IK1ABC\rIK2DEF\r") << QByteArrayList{"IK1ABC", "IK2DEF"} << ok;
    QTest::newRow("blank line at the end") << raw("IK1ABC\r\nIK2DEF\r\n\r\n") << none << length;
    QTest::newRow("blank line in the middle") << raw("IK1ABC\r\n\r\nIK2DEF\r\n") << none << length;
    QTest::newRow("line of blanks") << raw("IK1ABC\r\n  \t \r\n") << none << length;
    QTest::newRow("blanks around a call")
        << raw("   IK1ABC  \r\n\t IK2DEF\t\r\n") << QByteArrayList{"IK1ABC", "IK2DEF"} << ok;
    QTest::newRow("quoted call") << raw("\"IK1ABC\"\r\n") << QByteArrayList{"IK1ABC"} << ok;
    QTest::newRow("quoted call with a comma")
        << raw("\"IK1,ABC\"\r\nIK2DEF\r\n") << QByteArrayList{"IK1,ABC", "IK2DEF"} << ok;
    QTest::newRow("quoted call keeps its blanks")
        << raw("\" IK1 \"\r\n") << QByteArrayList{" IK1 "} << ok;
    QTest::newRow("text after closing quote dropped")
        << raw("\"IK1ABC\"-99\r\n") << QByteArrayList{"IK1ABC"} << ok;
    QTest::newRow("quote inside a call is a character")
        << raw("IK\"1ABC\r\n") << QByteArrayList{raw("IK\"1ABC")} << ok;
    QTest::newRow("two calls on one line")
        << raw("IK1ABC,IK2DEF\r\n") << QByteArrayList{"IK1ABC", "IK2DEF"} << ok;
    QTest::newRow("comma ending a line") << raw("IK1ABC,\r\nIK2DEF\r\n") << none << length;
    QTest::newRow("duplicates kept in file order")
        << raw("IK2DEF\r\nIK1ABC\r\nIK2DEF\r\n") << QByteArrayList{"IK2DEF", "IK1ABC", "IK2DEF"}
        << ok;
    QTest::newRow("length 2") << raw("IK1ABC\r\nAB\r\n") << none << length;
    QTest::newRow("length 3") << raw("ABC\r\n") << QByteArrayList{"ABC"} << ok;
    QTest::newRow("length 9") << raw("IK1ABC-15\r\n") << QByteArrayList{"IK1ABC-15"} << ok;
    QTest::newRow("length 10") << raw("IK1ABCD-15\r\n") << none << length;
    QTest::newRow("invalid entry drops those before it")
        << raw("IK1ABC\r\nIK2DEF\r\nX\r\nIK3GHI\r\n") << none << length;
    QTest::newRow("NUL bytes are characters")
        << raw("AB\0\0C\r\n") << QByteArrayList{raw("AB\0\0C")} << ok;
    QTest::newRow("NUL bytes count in the length")
        << raw("\0\0\0\0\0\0\0\0\0\0\r\n") << none << length;
    QTest::newRow("high bytes") << raw("\xC4\xD6\xDC\xFF\r\n")
                                << QByteArrayList{raw("\xC4\xD6\xDC\xFF")} << ok;
    QTest::newRow("unclosed quote")
        << raw("IK1ABC\r\n\"IK2DEF\r\nIK3GHI\r\n") << none << ListFileProblem::UnclosedQuote;
    QTest::newRow("unclosed quote after a closed one")
        << raw("\"IK1ABC\",\"IK2") << none << ListFileProblem::UnclosedQuote;
    QTest::newRow("huge entry") << QByteArray(100000, 'x') << none << length;
}

void TestListFile::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, calls);
    QFETCH(ListFileProblem, problem);

    const ListFileReadResult result = readStationList(bytes.toStdString());
    QCOMPARE(int(result.problem), int(problem));
    QCOMPARE(result.valid(), problem == ListFileProblem::None);
    QCOMPARE(show(result.calls), show(calls));
}

void TestListFile::limitsEntryCount_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("valid");

    QTest::newRow("32 767 entries") << 32767 << true;
    QTest::newRow("32 768 entries") << 32768 << false;
}

void TestListFile::limitsEntryCount()
{
    QFETCH(int, entries);
    QFETCH(bool, valid);

    std::vector<std::string> calls;
    for (int i = 0; i < entries; ++i)
        calls.push_back("IK" + std::to_string(100000 + i));
    const ListFileReadResult result = readStationList(writeStationList(calls));
    QCOMPARE(result.valid(), valid);
    if (valid) {
        QCOMPARE(result.calls.size(), calls.size());
        QCOMPARE(QByteArray::fromStdString(result.calls.back()),
                 QByteArray::fromStdString(calls.back()));
    } else {
        QCOMPARE(int(result.problem), int(ListFileProblem::TooManyEntries));
        QVERIFY(result.calls.empty());
    }
}

void TestListFile::writes_data()
{
    QTest::addColumn<QByteArrayList>("calls");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty list") << QByteArrayList{} << QByteArray();
    QTest::newRow("calls in list order")
        << QByteArrayList{"IK2DEF", "IK1ABC-13"} << raw("IK2DEF\r\nIK1ABC-13\r\n");
    QTest::newRow("written unchecked")
        << QByteArrayList{"A", "", "a,b", raw("\"q\xFF\0")} << raw("A\r\n\r\na,b\r\n\"q\xFF\0\r\n");
}

void TestListFile::writes()
{
    QFETCH(QByteArrayList, calls);
    QFETCH(QByteArray, bytes);

    QCOMPARE(stationstest::escaped(writeStationList(toStd(calls))),
             stationstest::escaped(bytes.toStdString()));
}

void TestListFile::roundTrip_data()
{
    QTest::addColumn<QByteArrayList>("calls");
    QTest::addColumn<bool>("valid");

    QTest::newRow("empty list") << QByteArrayList{} << true;
    QTest::newRow("calls with SSIDs")
        << QByteArrayList{"IK1ABC", "IK1ABC-1", "iz2xyz-15", "W1AW"} << true;
    QTest::newRow("duplicates") << QByteArrayList{"IK1ABC", "IK2DEF", "IK1ABC"} << true;
    QTest::newRow("3 and 9 bytes") << QByteArrayList{"K1A", "IK1ABC-15"} << true;
    QTest::newRow("high bytes") << QByteArrayList{raw("\xC4\xD6\xDC-1")} << true;
    QTest::newRow("short call saved, load rejected") << QByteArrayList{"IK1ABC", "K1"} << false;
    QTest::newRow("long call saved, load rejected") << QByteArrayList{"IK1ABCDE-15"} << false;
}

void TestListFile::roundTrip()
{
    QFETCH(QByteArrayList, calls);
    QFETCH(bool, valid);

    const ListFileReadResult result = readStationList(writeStationList(toStd(calls)));
    QCOMPARE(result.valid(), valid);
    if (valid)
        QCOMPARE(show(result.calls), show(calls));
}

void TestListFile::savesOverOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("WxList.txt"));
    QVERIFY(writeFile(path, "OLD1\r\nOLD2\r\nOLD3\r\n"));

    const std::string bytes = writeStationList({"IK1ABC"});
    const quintaro::FileWriteResult written =
        quintaro::writeFileAtomically(QFile::encodeName(path).toStdString(), bytes);
    QVERIFY2(written.ok, written.error.c_str());
    QCOMPARE(readFile(path), QByteArray("IK1ABC\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("WxList.txt")});
}

void TestListFile::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<bool>("readOnlyFolder"); // else the file size limit stops the write

    QTest::newRow("read-only folder") << true;
    QTest::newRow("write fails half way") << false;
}

void TestListFile::failedSaveKeepsOldFile()
{
    QFETCH(bool, readOnlyFolder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("WxList.txt"));
    const QByteArray old = "OLD1\r\nOLD2\r\n";
    QVERIFY(writeFile(path, old));
    std::vector<std::string> calls(1000, "IK1ABC-13");
    const std::string nativePath = QFile::encodeName(path).toStdString();

    quintaro::FileWriteResult written;
    if (readOnlyFolder) {
#ifdef Q_OS_WIN
        QSKIP("on Windows: a folder's permissions stop no one under wine");
#else
        // Permissions do not stop the superuser; the other row covers that case.
        if (::geteuid() == 0)
            QSKIP("running as root, a read-only folder is still writable");
#endif
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        written = quintaro::writeFileAtomically(nativePath, writeStationList(calls));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    } else {
        if (!testsupport::FileSizeLimit::kAvailable)
            QSKIP("on Windows: no file-size limit (setrlimit) to make the write fail");
        // A file size limit makes the write fail after some bytes, even for root.
        const testsupport::FileSizeLimit small(16);
        QVERIFY(small.ok());
        written = quintaro::writeFileAtomically(nativePath, writeStationList(calls));
    }
    QVERIFY(!written.ok);
    QVERIFY(!written.error.empty());
    QCOMPARE(readFile(path), old);
    // No half-written temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("WxList.txt")});
}

void TestListFile::saveIntoMissingFolderFails_data()
{
    QTest::addColumn<QString>("relativePath");

    QTest::newRow("folder does not exist") << QStringLiteral("missing/WxList.txt");
    QTest::newRow("folder is a file") << QStringLiteral("plain/WxList.txt");
}

void TestListFile::saveIntoMissingFolderFails()
{
    QFETCH(QString, relativePath);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("plain")), "not a folder"));
    const quintaro::FileWriteResult written = quintaro::writeFileAtomically(
        QFile::encodeName(dir.filePath(relativePath)).toStdString(), writeStationList({"IK1ABC"}));
    QVERIFY(!written.ok);
    QVERIFY(!written.error.empty());
    QCOMPARE(readFile(dir.filePath(QStringLiteral("plain"))), QByteArray("not a folder"));
}

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"
