// Saving a file so that nothing the user set up is lost: links followed,
// permission bits and owner kept, a file in a folder that may not be written
// saved in place, and a file another program holds open as the system lets
// it be.

#include "AtomicFile.h"
#include "FileBytes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using quintaro::FileWriteResult;
using quintaro::writeFileAtomically;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

std::string native(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

#ifndef Q_OS_WIN
constexpr uid_t kNobody = 65534;

// Runs `save` as a user without the right to write the test's folders: root
// may write anywhere, so as root it runs in a child that has given the
// right up. True when the save reported success.
bool saveUnprivileged(const std::function<bool()> &save)
{
    if (::geteuid() != 0)
        return save();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped && save() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(native(path).c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
#endif

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    void linksAreFollowed_data();
    void linksAreFollowed();
    void linkLoop();
    void permissionsAndOwnerKept();
    void folderThatMayNotBeWritten_data();
    void folderThatMayNotBeWritten();
    void fileHeldOpen();
#ifdef Q_OS_WIN
    void attributesKept();
#endif
};

void TestAtomicFile::linksAreFollowed_data()
{
    QTest::addColumn<QStringList>("links"); // "name -> target", made in this order
    QTest::addColumn<QString>("saved");     // the name the save is given
    QTest::addColumn<QString>("target");    // the file that must hold the new bytes

    QTest::newRow("link beside its file")
        << QStringList{"Quintaro.ini -> real.ini"} << "Quintaro.ini"
        << "real.ini";
    QTest::newRow("relative link into another folder")
        << QStringList{"a/Quintaro.ini -> ../b/real.ini"} << "a/Quintaro.ini"
        << "b/real.ini";
    QTest::newRow("chain of links")
        << QStringList{"a/one -> two", "a/two -> ../b/real.ini"} << "a/one"
        << "b/real.ini";
    QTest::newRow("link to a file not there yet")
        << QStringList{"a/WxList.txt -> ../b/new.txt"} << "a/WxList.txt"
        << "b/new.txt";
}

void TestAtomicFile::linksAreFollowed()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows: a symbolic link needs a privilege there, and a link the user makes is a "
          "shortcut (.lnk)");
#else
    QFETCH(QStringList, links);
    QFETCH(QString, saved);
    QFETCH(QString, target);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("b")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("real.ini")), "old"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("b/real.ini")), "old"));
    for (const QString &link : links) {
        const QString name = link.section(QStringLiteral(" -> "), 0, 0);
        const QString to = link.section(QStringLiteral(" -> "), 1);
        QCOMPARE(::symlink(native(to).c_str(), native(dir.filePath(name)).c_str()), 0);
    }

    const FileWriteResult written = writeFileAtomically(native(dir.filePath(saved)), "new bytes");
    QVERIFY2(written.ok, written.error.c_str());
    QCOMPARE(readFile(dir.filePath(target)), QByteArray("new bytes"));
    for (const QString &link : links)
        QVERIFY(QFileInfo(dir.filePath(link.section(QStringLiteral(" -> "), 0, 0))).isSymLink());
#endif
}

void TestAtomicFile::linkLoop()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows: a symbolic link needs a privilege there, and a link the user makes is a "
          "shortcut (.lnk)");
#else
    QTemporaryDir dir;
    QCOMPARE(::symlink("b", native(dir.filePath(QStringLiteral("a"))).c_str()), 0);
    QCOMPARE(::symlink("a", native(dir.filePath(QStringLiteral("b"))).c_str()), 0);
    const FileWriteResult written = writeFileAtomically(native(dir.filePath("a")), "x");
    QVERIFY(!written.ok);
    QVERIFY2(written.error.find("link") != std::string::npos, written.error.c_str());
    QCOMPARE(QDir(dir.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)
                 .size(),
             2);
#endif
}

void TestAtomicFile::permissionsAndOwnerKept()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows: no permission bits or owner of this kind (chmod, chown)");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("WxList.txt"));
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0604)}) {
        QVERIFY(writeFile(path, "old"));
        QCOMPARE(::chmod(native(path).c_str(), mode), 0);
        QVERIFY(writeFileAtomically(native(path), "new").ok);
        QCOMPARE(modeOf(path), mode);
    }
    if (::geteuid() != 0)
        QSKIP("only root may give a file to another owner");
    QCOMPARE(::chown(native(path).c_str(), kNobody, kNobody), 0);
    QVERIFY(writeFileAtomically(native(path), "newer").ok);
    struct stat st
    {
    };
    QCOMPARE(::stat(native(path).c_str(), &st), 0);
    QCOMPARE(st.st_uid, kNobody);
    QCOMPARE(st.st_gid, gid_t(kNobody));
    QCOMPARE(readFile(path), QByteArray("newer"));
#endif
}

void TestAtomicFile::folderThatMayNotBeWritten_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("fileWritable");
    QTest::addColumn<bool>("saved");
    QTest::newRow("writable file is saved in place") << true << true << true;
    QTest::newRow("read-only file") << true << false << false;
    QTest::newRow("new file") << false << false << false;
}

void TestAtomicFile::folderThatMayNotBeWritten()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows: a folder's permissions stop no one under wine, and no other user (setuid) "
          "is at hand to be stopped");
#else
    QFETCH(bool, fileExists);
    QFETCH(bool, fileWritable);
    QFETCH(bool, saved);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quintaro.ini"));
    const QByteArray old =
        "\"localhost\",\"a much longer path than the new one\",0,0,1,1,#TRUE#\r\n";
    if (fileExists) {
        QVERIFY(writeFile(path, old));
        QCOMPARE(::chmod(native(path).c_str(), fileWritable ? 0666 : 0444), 0);
    }
    QCOMPARE(::chmod(native(dir.path()).c_str(), 0555), 0);
    const auto restore = qScopeGuard([&] { ::chmod(native(dir.path()).c_str(), 0700); });

    const bool ok = saveUnprivileged([&] { return writeFileAtomically(native(path), "new").ok; });
    QCOMPARE(ok, saved);
    QCOMPARE(readFile(path), saved ? QByteArray("new") : fileExists ? old : "<missing>");
    // Nothing was left behind beside it.
    QCOMPARE(QDir(dir.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
             fileExists ? QStringList{"Quintaro.ini"} : QStringList{});
#endif
}

// Linux replaces a file whatever holds it open (the holder keeps reading the
// old one); Windows lets no file be replaced while a handle that does not
// share its deletion is open on it, as most programs open files.
void TestAtomicFile::fileHeldOpen()
{
#ifdef Q_OS_WIN
    const bool replaced = false;
#else
    const bool replaced = true;
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("WxList.txt"));
    QVERIFY(writeFile(path, "old"));
    QFile holder(path);
    QVERIFY(holder.open(QIODevice::ReadOnly));

    const FileWriteResult written = writeFileAtomically(native(path), "new");
    QCOMPARE(written.ok, replaced);
    QVERIFY2(replaced || written.error.find("cannot replace the file") == 0, written.error.c_str());
    QCOMPARE(holder.readAll(), QByteArray("old"));
    holder.close();
    QCOMPARE(readFile(path), replaced ? QByteArray("new") : QByteArray("old"));
    QCOMPARE(QDir(dir.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
             QStringList{"WxList.txt"});
    // Once let go of, it is replaced.
    QVERIFY(writeFileAtomically(native(path), "newer").ok);
    QCOMPARE(readFile(path), QByteArray("newer"));
}

#ifdef Q_OS_WIN
// What the user set on the file's attributes stays on the one saved.
void TestAtomicFile::attributesKept()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quintaro.ini"));
    QVERIFY(writeFile(path, "old"));
    const std::wstring wide = QDir::toNativeSeparators(path).toStdWString();
    QVERIFY(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN));
    QVERIFY(writeFileAtomically(native(path), "new").ok);
    QCOMPARE(readFile(path), QByteArray("new"));
    QCOMPARE(::GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN,
             DWORD(FILE_ATTRIBUTE_HIDDEN));
}
#endif

QTEST_APPLESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
