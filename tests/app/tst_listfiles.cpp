// Station list files and the batch file, driven through the main window: the
// dialogs, what is read and written, the title after each outcome, the list
// kept safe from bad files and failed saves.

#include "FileSizeLimit.h"
#include "StationWindow.h"

#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#ifdef Q_OS_WIN
#include "WindowsText.h"
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace quintaro;
using testsupport::kBatchHeader;
using testsupport::StationWindow;

namespace {

// A list on screen before the file operation: two stations, the first open
// and the second selected, titled as heard.
void prepareList(StationWindow &w)
{
    QVERIFY(w.hear("PRE1AA"));
    QVERIFY(w.hear("PRE2BB"));
    w.select(0);
    w.trigger("nmuSetItem");
    w.select(1);
}

void checkListUnchanged(StationWindow &w)
{
    QCOMPARE(w.calls(), (QStringList{"PRE1AA", "PRE2BB"}));
    QCOMPARE(w.statuses(), (QList<int>{1, 0}));
    QCOMPARE(w.selected(), 1);
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 2 stations (list not saved)"));
    QCOMPARE(w.menus(), QStringLiteral("++"));
}

// The list file title the window keeps, as a cancelled load shows it in the
// title (the cancel changes nothing else that these tests look at later).
QString fileTitleShown(StationWindow &w)
{
    w.run(QStringLiteral("load-cancel"));
    const QString title = w.title();
    const QString prefix = QStringLiteral("Quintaro - ");
    const QString suffix = QStringLiteral(" - %1 stations").arg(w.calls().size());
    if (!title.startsWith(prefix) || !title.endsWith(suffix))
        return QStringLiteral("<title %1>").arg(title);
    return title.mid(prefix.size(), title.size() - prefix.size() - suffix.size());
}

std::string radioBytes(const QString &call)
{
    return call.toLatin1().toStdString();
}

QByteArray manyCalls(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += 'S' + QByteArray::number(100000 + i) + "\r\n";
    return bytes;
}

} // namespace

class TestListFiles : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip();
    void reads_data();
    void reads();
    void unreadableFile_data();
    void unreadableFile();
    void endlessFile();
    void namedPipe();
    void dialogCancel_data();
    void dialogCancel();
    void saveWithEmptyList();
    void saveWritesEveryEntryUnchanged();
    void launchAllAfterLoad_data();
    void launchAllAfterLoad();
    void failedSave_data();
    void failedSave();
    void fileNameShownAsItIs_data();
    void fileNameShownAsItIs();
    void batchBytes_data();
    void batchBytes();
};

void TestListFiles::roundTrip()
{
    StationWindow w;
    w.clickAutoLoad();
    QVERIFY(w.hear("IK1ABC-13"));
    w.clickAutoLoad();
    QVERIFY(w.hear("ik2def"));
    QVERIFY(w.hear("IK3GHI"));
    QVERIFY(w.dir.write(QStringLiteral("WxList.txt"), "OLD1AA\r\nOLD2BB\r\nOLD3CC\r\nOLD4DD\r\n"));

    // Saving onto an existing file replaces it without a question.
    w.save(QStringLiteral("WxList.txt"));
    QCOMPARE(w.dir.read(QStringLiteral("WxList.txt")),
             QByteArray("IK1ABC-13\r\nik2def\r\nIK3GHI\r\n"));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - WxList.txt - 3 stations"));
    QCOMPARE(w.boxes.requests.size(), 0);
    QCOMPARE(w.files(), QStringList{"WxList.txt"});

    w.trigger("nmuClearList");
    QCOMPARE(fileTitleShown(w), QString());
    w.load(QStringLiteral("WxList.txt"));
    QCOMPARE(w.calls(), (QStringList{"IK1ABC-13", "ik2def", "IK3GHI"}));
    QCOMPARE(w.statuses(), (QList<int>{0, 0, 0}));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - WxList.txt - 3 stations"));
    QCOMPARE(w.menus(), QStringLiteral("++"));
    QCOMPARE(w.selected(), 0);

    // The selection after a load is the one the commands use.
    w.trigger("nmuLoadItem");
    QCOMPARE(w.started().last(), QByteArray("Orbetti.exe IK1ABC-13 localhost"));
    QCOMPARE(w.statuses(), (QList<int>{1, 0, 0}));
    // Loaded calls are known to the list: hearing one again adds nothing.
    QVERIFY(w.hear("ik2def"));
    QCOMPARE(w.calls().size(), 3);
}

void TestListFiles::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("calls"); // {"<rejected>"}: the file is not a valid list

    const QStringList rejected{"<rejected>"};
    QTest::newRow("written list") << QByteArray("IK1ABC\r\nIK2DEF-13\r\n")
                                  << QStringList{"IK1ABC", "IK2DEF-13"};
    QTest::newRow("last line without CR LF")
        << QByteArray("IK1ABC\r\nIK2DEF") << QStringList{"IK1ABC", "IK2DEF"};
    QTest::newRow("lines ended by LF only")
        << QByteArray("IK1ABC\nIK2DEF\n") << QStringList{"IK1ABC", "IK2DEF"};
    QTest::newRow("blank line at the end") << QByteArray("IK1ABC\r\nIK2DEF\r\n\r\n") << rejected;
    QTest::newRow("blank line in the middle") << QByteArray("IK1ABC\r\n\r\nIK2DEF\r\n") << rejected;
    QTest::newRow("blank line at the start") << QByteArray("\r\nIK1ABC\r\n") << rejected;
    QTest::newRow("blanks before a call")
        << QByteArray("   IK1ABC\r\n IK2DEF\r\n") << QStringList{"IK1ABC", "IK2DEF"};
    QTest::newRow("quoted calls") << QByteArray("\"IK1ABC\"\r\n  \"IK2DEF\"\r\n")
                                  << QStringList{"IK1ABC", "IK2DEF"};
    QTest::newRow("comma inside quotes") << QByteArray("\"IK1,ABC\"\r\n") << QStringList{"IK1,ABC"};
    QTest::newRow("quote never closed") << QByteArray("IK1ABC\r\n\"IK2DEF\r\n") << rejected;
    QTest::newRow("two calls on one line")
        << QByteArray("IK1ABC,IK2DEF\r\nIK3GHI\r\n") << QStringList{"IK1ABC", "IK2DEF", "IK3GHI"};
    QTest::newRow("nothing between two commas") << QByteArray("IK1ABC,,IK2DEF\r\n") << rejected;
    QTest::newRow("same call twice") << QByteArray("IK1ABC\r\nIK2DEF\r\nIK1ABC\r\n")
                                     << QStringList{"IK1ABC", "IK2DEF", "IK1ABC"};
    QTest::newRow("2 characters") << QByteArray("IK1ABC\r\nAB\r\n") << rejected;
    QTest::newRow("3 characters") << QByteArray("ABC\r\n") << QStringList{"ABC"};
    QTest::newRow("9 characters") << QByteArray("IK1ABC-15\r\n") << QStringList{"IK1ABC-15"};
    QTest::newRow("10 characters") << QByteArray("IK1ABC\r\nIK1ABCD-15\r\n") << rejected;
    QTest::newRow("10 characters in quotes") << QByteArray("\"IK1ABCD-15\"\r\n") << rejected;
    QTest::newRow("bad entry after good ones")
        << QByteArray("IK1ABC\r\nIK2DEF\r\nIK3GHIJKLMN\r\n") << rejected;
    QTest::newRow("bytes of any value")
        << QByteArray("IK1\xC4\xFF\r\n") << QStringList{QString::fromLatin1("IK1\xC4\xFF")};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("a binary file") << QByteArray("\x7f"
                                                 "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                                                 16)
                                   << rejected;
    QStringList full;
    for (int i = 0; i < 32767; ++i)
        full << QStringLiteral("S%1").arg(100000 + i);
    QTest::newRow("32767 calls") << manyCalls(32767) << full;
    QTest::newRow("32768 calls") << manyCalls(32768) << rejected;
    // Blanks before a call are skipped, but a file this big cannot be a
    // list, even where its first 4 MiB would read as one.
    QTest::newRow("more than 4 MiB")
        << (QByteArray(4 * 1024 * 1024 - 8, ' ') + "IK1ABC\r\nIK2DEF\r\n") << rejected;
}

void TestListFiles::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, calls);

    StationWindow w;
    prepareList(w);
    QVERIFY(w.dir.write(QStringLiteral("list.txt"), bytes));
    w.load(QStringLiteral("list.txt"));

    if (calls == QStringList{"<rejected>"}) {
        QCOMPARE(w.boxes.requests.size(), 1);
        const auto &box = w.boxes.requests.first();
        QCOMPARE(box.prompt, "Error loading Wx Station List file:" + testsupport::kCrLf +
                                 "list.txtdoes not contain a valid list");
        QCOMPARE(box.style, 0);
        QCOMPARE(box.title, QStringLiteral("Error opening Wx List"));
        // The stations on screen survive a bad file, and are never shown
        // as the rejected file's, not even by a later cancelled load.
        checkListUnchanged(w);
        QVERIFY(w.hear("PRE1AA"));
        QCOMPARE(w.calls().size(), 2);
        w.run(QStringLiteral("load-cancel"));
        QCOMPARE(w.title(), QStringLiteral("Quintaro -  - 2 stations"));
        return;
    }
    QCOMPARE(w.boxes.requests.size(), 0);
    QCOMPARE(w.calls(), calls);
    QCOMPARE(w.statuses(), QList<int>(calls.size(), 0));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - list.txt - %1 stations").arg(calls.size()));
    QCOMPARE(w.menus(), QStringLiteral("++"));
    QCOMPARE(w.selected(), calls.isEmpty() ? -1 : 0);
    // The stations of the old list are gone from it: heard again, they are new.
    QVERIFY(w.hear("PRE1AA"));
    QCOMPARE(w.calls().size(), qMin<qsizetype>(calls.size() + 1, 32767));
}

void TestListFiles::unreadableFile_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("no such file") << "missing.txt";
    QTest::newRow("a folder") << "folder.txt";
    QTest::newRow("in a folder that does not exist") << "nowhere/list.txt";
    // Opens as a regular file, then fails at the first read.
    QTest::newRow("read error") << "/proc/self/mem";
}

void TestListFiles::unreadableFile()
{
    QFETCH(QString, name);

    StationWindow w;
    QVERIFY(QDir(w.dir.path()).mkdir(QStringLiteral("folder.txt")));
    prepareList(w);
    if (QFileInfo(name).isAbsolute()) {
        if (!QFileInfo(name).isFile())
            QSKIP("no such file here");
        w.dialogs.answerNext(name);
        w.trigger("nmuLoad");
    } else {
        w.load(name);
    }

    QCOMPARE(w.boxes.requests.size(), 0);
    checkListUnchanged(w);
    QCOMPARE(fileTitleShown(w), QFileInfo(name).fileName());
}

void TestListFiles::endlessFile()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/zero")))
        QSKIP("no /dev/zero here");
    StationWindow w;
    prepareList(w);
    w.dialogs.answerNext(QStringLiteral("/dev/zero"));
    w.trigger("nmuLoad");
    QCOMPARE(w.boxes.requests.size(), 0);
    checkListUnchanged(w);
    QCOMPARE(fileTitleShown(w), QStringLiteral("zero"));
}

void TestListFiles::namedPipe()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows: a named pipe never lies in a folder (mkfifo)");
#else
    StationWindow w;
    const QByteArray fifo = QFile::encodeName(w.dir.filePath(QStringLiteral("pipe.txt")));
    QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
    prepareList(w);

    // Something that would write into the pipe as soon as anyone reads it;
    // the window must not wait for it.
    std::atomic<bool> stop = false;
    std::atomic<bool> wrote = false;
    std::thread writer([&] {
        for (int i = 0; i < 500 && !stop; ++i) {
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                wrote = ::write(fd, "IK1ABC\r\n", 8) == 8;
                ::close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    w.load(QStringLiteral("pipe.txt"));
    stop = true;
    writer.join();

    QVERIFY(!wrote);
    QCOMPARE(w.boxes.requests.size(), 0);
    checkListUnchanged(w);
    QCOMPARE(fileTitleShown(w), QStringLiteral("pipe.txt"));
#endif
}

void TestListFiles::dialogCancel_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("dialogTitle");
    QTest::addColumn<QString>("titleAfter");

    QTest::newRow("load") << "load" << int(FileDialogRequest::Open) << "Text Files (*.txt)|*.txt"
                          << "WxList.txt"
                          << "Load Wx List"
                          << "Quintaro -  - 2 stations";
    QTest::newRow("save") << "save" << int(FileDialogRequest::Save) << "Text Files (*.txt)|*.txt"
                          << "WxList.txt"
                          << "Save Wx List"
                          << "Quintaro - 2 stations (list not saved)";
    QTest::newRow("batch") << "batch" << int(FileDialogRequest::Save) << "Batch Files (*.bat)|*.bat"
                           << "WxLoad.bat"
                           << "Save Batch File"
                           << "Quintaro - 2 stations (list not saved)";
}

void TestListFiles::dialogCancel()
{
    QFETCH(QString, command);
    QFETCH(int, mode);
    QFETCH(QString, filter);
    QFETCH(QString, fileName);
    QFETCH(QString, dialogTitle);
    QFETCH(QString, titleAfter);

    StationWindow w;
    prepareList(w);
    // Whatever an earlier use left in the window's one dialog is set anew:
    // here the path command's filter, file name and title.
    w.dialogs.answerNext(QStringLiteral("/opt/elsewhere/Orbetti.exe"));
    w.trigger("nmuPath");
    QCOMPARE(w.txtPath()->text(), QStringLiteral("/opt/elsewhere/Orbetti.exe"));

    w.dialogs.cancelNext();
    if (command == QLatin1String("load"))
        w.trigger("nmuLoad");
    else if (command == QLatin1String("save"))
        w.trigger("nmuSave");
    else
        w.trigger("nmuBatch");

    QCOMPARE(w.dialogs.requests.size(), 2);
    const FileDialogRequest &r = w.dialogs.requests.last();
    QCOMPARE(int(r.mode), mode);
    QCOMPARE(r.filter, filter);
    QCOMPARE(r.filterIndex, 1);
    QCOMPARE(r.fileName, fileName);
    QCOMPARE(r.initDir, QStringLiteral(".\\"));
    QCOMPARE(r.title, dialogTitle);

    QCOMPARE(w.boxes.requests.size(), 0);
    QCOMPARE(w.files(), QStringList{});
    QCOMPARE(w.title(), titleAfter);
    QCOMPARE(w.calls(), (QStringList{"PRE1AA", "PRE2BB"}));
    QCOMPARE(w.statuses(), (QList<int>{1, 0}));
    QCOMPARE(w.menus(), QStringLiteral("++"));
    // A cancelled load still selects the first entry.
    QCOMPARE(w.selected(), command == QLatin1String("load") ? 0 : 1);
    QCOMPARE(fileTitleShown(w), QString());
}

void TestListFiles::saveWithEmptyList()
{
    StationWindow w;
    w.trigger("nmuSave");
    QVERIFY(w.hear("IK1ABC"));
    w.trigger("nmuClearList");
    w.trigger("nmuSave");
    QCOMPARE(w.dialogs.requests.size(), 0);
    QCOMPARE(w.files(), QStringList{});
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 0 stations"));
}

void TestListFiles::saveWritesEveryEntryUnchanged()
{
    StationWindow w;
    for (const char *call : {"AB", "IK1ABC", "IK1ABCD-15", " IK2 DEF ", "IK3,GHI"})
        QVERIFY(w.hear(call));
    w.save(QStringLiteral("odd.txt"));
    QCOMPARE(w.dir.read(QStringLiteral("odd.txt")),
             QByteArray("AB\r\nIK1ABC\r\nIK1ABCD-15\r\n IK2 DEF \r\nIK3,GHI\r\n"));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - odd.txt - 5 stations"));
    w.load(QStringLiteral("odd.txt"));
    QCOMPARE(w.boxTitles(), QStringList{"Error opening Wx List"});
    QCOMPARE(w.calls().size(), 5);
}

void TestListFiles::launchAllAfterLoad_data()
{
    QTest::addColumn<bool>("autoLoadAll");
    QTest::addColumn<QString>("file"); // "" cancels the dialog
    QTest::addColumn<QByteArrayList>("started");
    QTest::addColumn<QStringList>("boxTitles");

    const QByteArrayList old{"b PRE1AA h", "b PRE2BB h"};
    QTest::newRow("list replaced")
        << true << "two.txt" << QByteArrayList{"b IK1ABC h", "b IK2DEF h"} << QStringList{};
    QTest::newRow("dialog cancelled") << true << "" << old << QStringList{};
    // The stations on screen were not asked for by this load.
    QTest::newRow("file rejected")
        << true << "bad.txt" << QByteArrayList{} << QStringList{"Error opening Wx List"};
    QTest::newRow("file not read") << true << "missing.txt" << old << QStringList{};
    QTest::newRow("empty file") << true << "empty.txt" << QByteArrayList{} << QStringList{};
    QTest::newRow("option off") << false << "two.txt" << QByteArrayList{} << QStringList{};
    QTest::newRow("option off, cancelled") << false << "" << QByteArrayList{} << QStringList{};
}

void TestListFiles::launchAllAfterLoad()
{
    QFETCH(bool, autoLoadAll);
    QFETCH(QString, file);
    QFETCH(QByteArrayList, started);
    QFETCH(QStringList, boxTitles);

    StationWindow w;
    QVERIFY(w.dir.write(QStringLiteral("two.txt"), "IK1ABC\r\nIK2DEF\r\n"));
    QVERIFY(w.dir.write(QStringLiteral("bad.txt"), "IK1ABC\r\nIK\r\n"));
    QVERIFY(w.dir.write(QStringLiteral("empty.txt"), ""));
    w.txtPath()->setText(QStringLiteral("b"));
    w.txtAddr()->setText(QStringLiteral("h"));
    QVERIFY(w.hear("PRE1AA"));
    QVERIFY(w.hear("PRE2BB"));
    if (autoLoadAll)
        w.clickAutoLoadAll();

    if (file.isEmpty())
        w.dialogs.cancelNext();
    else
        w.dialogs.answerNext(w.dir.filePath(file));
    w.trigger("nmuLoad");

    QCOMPARE(w.started(), started);
    QCOMPARE(w.boxTitles(), boxTitles);
    QCOMPARE(w.statuses(), QList<int>(w.calls().size(), started.isEmpty() ? 0 : 1));
}

void TestListFiles::failedSave_data()
{
    QTest::addColumn<QString>("command"); // "save" or "batch"
    QTest::addColumn<QString>("target");  // relative to the work directory
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("sizeLimit");

    // The system's own words.
#ifdef Q_OS_WIN
    const QString noFolder =
        QString::fromStdString(quintaro::windowsErrorText(ERROR_PATH_NOT_FOUND));
    const QString notFolder = noFolder;
    const QString folder = QString::fromStdString(quintaro::windowsErrorText(ERROR_ACCESS_DENIED));
#else
    const QString noFolder = QStringLiteral("No such file or directory");
    const QString notFolder = QStringLiteral("Not a directory");
    const QString folder = QStringLiteral("Is a directory");
#endif
    for (const char *command : {"save", "batch"}) {
        const QString c = QLatin1String(command);
        const QString ext =
            c == QLatin1String("save") ? QStringLiteral(".txt") : QStringLiteral(".bat");
        QTest::addRow("%s: folder does not exist", command)
            << c << "nowhere/new" + ext << noFolder << false;
        QTest::addRow("%s: folder is a file", command)
            << c << "plain.dat/new" + ext << notFolder << false;
        QTest::addRow("%s: name of a folder", command) << c << "folder" + ext << folder << false;
        QTest::addRow("%s: file too large, old file kept", command)
            << c << "old" + ext << "File too large" << true;
    }
}

void TestListFiles::failedSave()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QFETCH(bool, sizeLimit);
    if (sizeLimit && !testsupport::FileSizeLimit::kAvailable)
        QSKIP("on Windows: no file-size limit (setrlimit) to make the write fail");

    StationWindow w;
    const QByteArray oldBytes = "OLD1AA\r\nOLD2BB\r\n";
    QVERIFY(w.dir.write(QStringLiteral("plain.dat"), oldBytes));
    QVERIFY(w.dir.write(QStringLiteral("old.txt"), oldBytes));
    QVERIFY(w.dir.write(QStringLiteral("old.bat"), oldBytes));
    QVERIFY(QDir(w.dir.path()).mkdir(QStringLiteral("folder.txt")));
    QVERIFY(QDir(w.dir.path()).mkdir(QStringLiteral("folder.bat")));
    const QStringList filesBefore = w.files();

    QVERIFY(w.hear("IK1ABC"));
    QVERIFY(w.hear("IK2DEF"));
    w.save(QStringLiteral("good.txt"));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - good.txt - 2 stations"));
    QCOMPARE(w.boxes.requests.size(), 0);

    {
        std::optional<testsupport::FileSizeLimit> limit;
        if (sizeLimit) {
            limit.emplace(8);
            QVERIFY(limit->ok());
        }
        if (command == QLatin1String("save"))
            w.save(target);
        else
            w.batch(target);
    }

    QCOMPARE(w.boxes.requests.size(), 1);
    const auto &box = w.boxes.requests.first();
    QCOMPARE(box.style, 48);
    QVERIFY2(box.prompt.contains(QFileInfo(target).fileName()), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(reason), qPrintable(box.prompt));
    // A failed save is not taken for a saved list.
    QCOMPARE(w.title(), QStringLiteral("Quintaro - good.txt - 2 stations"));
    QCOMPARE(w.calls(), (QStringList{"IK1ABC", "IK2DEF"}));
    QCOMPARE(fileTitleShown(w), QStringLiteral("good.txt"));
    // Old files as they were, and nothing half-written left behind.
    QCOMPARE(w.dir.read(QStringLiteral("plain.dat")), oldBytes);
    QCOMPARE(w.dir.read(QStringLiteral("old.txt")), oldBytes);
    QCOMPARE(w.dir.read(QStringLiteral("old.bat")), oldBytes);
    QVERIFY(QFileInfo(w.dir.filePath(QStringLiteral("folder.txt"))).isDir());
    QStringList filesAfter = filesBefore + QStringList{"good.txt"};
    filesAfter.sort();
    QCOMPARE(w.files(), filesAfter);

    // Once the cause is gone, the same file saves.
    if (sizeLimit) {
        if (command == QLatin1String("save")) {
            w.save(target);
            QCOMPARE(w.dir.read(target), QByteArray("IK1ABC\r\nIK2DEF\r\n"));
            QCOMPARE(w.title(), QStringLiteral("Quintaro - old.txt - 2 stations"));
        } else {
            w.batch(target);
            QVERIFY(w.dir.read(target).startsWith(kBatchHeader));
        }
        QCOMPARE(w.boxes.requests.size(), 1);
    }
}

void TestListFiles::batchBytes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QByteArray>("lines"); // after the three header lines
    QTest::addColumn<QStringList>("leftOut");

    const QStringList two{"IK1ABC", "IK2DEF-13"};
    QTest::newRow("empty list") << "/opt/brez/Orbetti"
                                << "localhost" << QStringList{} << QByteArray() << QStringList{};
    QTest::newRow("two calls") << "/opt/brez/Orbetti"
                               << "localhost" << two
                               << QByteArray("/opt/brez/Orbetti IK1ABC localhost\r\n"
                                             "/opt/brez/Orbetti IK2DEF-13 localhost\r\n")
                               << QStringList{};
    QTest::newRow("path with blanks, unquoted")
        << "C:\\Program Files\\Brezomat\\Orbetti.exe"
        << "10.0.0.2" << two
        << QByteArray("C:\\Program Files\\Brezomat\\Orbetti.exe IK1ABC 10.0.0.2\r\n"
                      "C:\\Program Files\\Brezomat\\Orbetti.exe IK2DEF-13 10.0.0.2\r\n")
        << QStringList{};
    QTest::newRow("blanks around path and address")
        << "   Orbetti.exe  "
        << "  radio.lan " << QStringList{"IK1ABC"} << QByteArray("Orbetti.exe IK1ABC radio.lan\r\n")
        << QStringList{};
    QTest::newRow("empty path") << ""
                                << "localhost" << two
                                << QByteArray(" IK1ABC localhost\r\n IK2DEF-13 localhost\r\n")
                                << QStringList{};
    QTest::newRow("empty address")
        << "Orbetti.exe"
        << "" << QStringList{"IK1ABC"} << QByteArray("Orbetti.exe IK1ABC \r\n") << QStringList{};
    QTest::newRow("letters, digits and dash in any case")
        << "b"
        << "h" << QStringList{"ik1abc-1", "Q-Z9"} << QByteArray("b ik1abc-1 h\r\nb Q-Z9 h\r\n")
        << QStringList{};
    QTest::newRow("shell metacharacters left out")
        << "b"
        << "h" << QStringList{"A&B",  "IK1ABC", "IK2|X",  "IK3>Y",     "IK4%Z%",  "IK5^",
                              "A\"Q", "IK6 SP", "IK7(8)", "IK8;rm -r", "IK9`id`", "IK2DEF-9"}
        << QByteArray("b IK1ABC h\r\nb IK2DEF-9 h\r\n")
        << QStringList{"A&B",  "IK2|X",  "IK3>Y",  "IK4%Z%",    "IK5^",
                       "A\"Q", "IK6 SP", "IK7(8)", "IK8;rm -r", "IK9`id`"};
    QTest::newRow("bytes beyond ASCII left out")
        << "b"
        << "h" << QStringList{QString::fromLatin1("IK1\xC4"), "IK2DEF"}
        << QByteArray("b IK2DEF h\r\n") << QStringList{QString::fromLatin1("IK1\xC4")};
}

void TestListFiles::batchBytes()
{
    QFETCH(QString, path);
    QFETCH(QString, address);
    QFETCH(QStringList, calls);
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, leftOut);

    StationWindow w;
    w.txtPath()->setText(path);
    w.txtAddr()->setText(address);
    w.load(QStringLiteral("missing.txt")); // a list file title to keep
    bool autoLoad = false;
    for (int i = 0; i < calls.size(); ++i) {
        // Every other entry open: the batch file does not look.
        if ((i % 2 == 0) != autoLoad) {
            w.clickAutoLoad();
            autoLoad = !autoLoad;
        }
        QVERIFY(w.hear(radioBytes(calls.at(i))));
    }
    const QList<int> statusesBefore = w.statuses();
    const QString titleBefore = w.title();
    QVERIFY(w.dir.write(QStringLiteral("WxLoad.bat"), "old contents, much longer than a header"));

    w.batch(QStringLiteral("WxLoad.bat"));
    QCOMPARE(w.dir.read(QStringLiteral("WxLoad.bat")), kBatchHeader + lines);

    if (leftOut.isEmpty()) {
        QCOMPARE(w.boxes.requests.size(), 0);
    } else {
        QCOMPARE(w.boxes.requests.size(), 1);
        const auto &box = w.boxes.requests.first();
        QCOMPARE(box.style, 48);
        // One line of explanation, then the calls left out, one per line.
        QCOMPARE(box.prompt.split(testsupport::kCrLf).mid(1), leftOut);
    }
    QCOMPARE(w.calls(), calls);
    QCOMPARE(w.statuses(), statusesBefore);
    QCOMPARE(w.title(), titleBefore);
    QCOMPARE(w.files(), QStringList{"WxLoad.bat"});
    QCOMPARE(fileTitleShown(w), QStringLiteral("missing.txt"));
}

void TestListFiles::fileNameShownAsItIs_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("%1") << "list%1.txt";
    QTest::newRow("%2") << "list%2.txt";
    QTest::newRow("[*]") << "a[*].txt";
    QTest::newRow("[*][*]") << "b[*][*]c.txt";
}

void TestListFiles::fileNameShownAsItIs()
{
    QFETCH(QString, name);
#ifdef Q_OS_WIN
    if (name.contains(QLatin1Char('*')))
        QSKIP("on Windows: no file name may hold '*'");
#endif

    StationWindow w;
    prepareList(w);
    w.save(name);
    const QString title = QStringLiteral("Quintaro - ") + name + QStringLiteral(" - 2 stations");
    QCOMPARE(w.shownTitle(), title);
    w.load(name);
    QCOMPARE(w.shownTitle(), title);

    QVERIFY(w.dir.write(name, "IK\r\n"));
    w.load(name);
    QCOMPARE(w.boxes.requests.size(), 1);
    QCOMPARE(w.boxes.requests.first().prompt,
             "Error loading Wx Station List file:" + testsupport::kCrLf + name +
                 "does not contain a valid list");
}

QTEST_MAIN(TestListFiles)
#include "tst_listfiles.moc"
