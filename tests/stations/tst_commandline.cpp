#include "ByteLists.h"
#include "CommandLine.h"

#include <QTest>
#include <set>

using namespace quintaro::stations;
using stationstest::raw;
using stationstest::show;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void buildsLine_data();
    void buildsLine();
    void resolves_data();
    void resolves();
};

void TestCommandLine::buildsLine_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << raw("/opt/brez/Orbetti") << raw("IK1ABC-13") << raw("localhost")
                           << raw("/opt/brez/Orbetti IK1ABC-13 localhost");
    QTest::newRow("spaces around path and address")
        << raw("   /opt/brez  ") << raw("IK1ABC") << raw("  127.0.0.1   ")
        << raw("/opt/brez IK1ABC 127.0.0.1");
    QTest::newRow("spaces inside path and address kept")
        << raw(" /tmp/my dir/brez ") << raw("IK1ABC") << raw(" my host ")
        << raw("/tmp/my dir/brez IK1ABC my host");
    QTest::newRow("empty address ends in call and blank")
        << raw("/opt/brez") << raw("IK1ABC") << raw("") << raw("/opt/brez IK1ABC ");
    QTest::newRow("address of spaces only")
        << raw("/opt/brez") << raw("IK1ABC") << raw("    ") << raw("/opt/brez IK1ABC ");
    QTest::newRow("empty path starts with blank")
        << raw("") << raw("IK1ABC") << raw("localhost") << raw(" IK1ABC localhost");
    QTest::newRow("path of spaces only")
        << raw("   ") << raw("IK1ABC") << raw("localhost") << raw(" IK1ABC localhost");
    QTest::newRow("call not trimmed, blank inside kept")
        << raw("/opt/brez") << raw(" IK1 ABC ") << raw("h") << raw("/opt/brez  IK1 ABC  h");
    QTest::newRow("call bytes unchanged") << raw("/opt/brez") << raw("$(id);\"\xC4\xFF\x01")
                                          << raw("h") << raw("/opt/brez $(id);\"\xC4\xFF\x01 h");
    QTest::newRow("only spaces are trimmed, not tabs")
        << raw("\t/opt/brez ") << raw("IK1ABC") << raw(" h\t") << raw("\t/opt/brez IK1ABC h\t");
    QTest::newRow("everything empty") << raw("") << raw("") << raw("") << raw("  ");
}

void TestCommandLine::buildsLine()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, call);
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, expected);

    const std::string line =
        buildCommandLine(path.toStdString(), call.toStdString(), address.toStdString());
    QCOMPARE(QByteArray::fromStdString(line), expected);
}

namespace {

// A file system that knows only the listed executable files; "*" makes
// every path an executable file.
// A current directory with a drive letter asks for Windows' rules, with the
// program in C:\Quintaro and the system's folders C:\Windows\system32 and
// C:\Windows.
ExecutableLookup fakeLookup(const QByteArrayList &executables, const QByteArray &cwd,
                            const QByteArray &searchPath)
{
    std::set<std::string> files;
    for (const QByteArray &file : executables)
        files.insert(file.toStdString());
    const bool everything = files.count("*") > 0;
    ExecutableLookup lookup;
    lookup.isExecutableFile = [files, everything](const std::string &path) {
        return everything || files.count(path) > 0;
    };
    lookup.currentDirectory = cwd.toStdString();
    lookup.searchPath = searchPath.toStdString();
    if (cwd.contains(':')) {
        lookup.rules = PathRules::Windows;
        lookup.programDirectory = "C:\\Quintaro";
        lookup.systemDirectories = {"C:\\Windows\\system32", "C:\\Windows"};
    }
    return lookup;
}

} // namespace

void TestCommandLine::resolves_data()
{
    QTest::addColumn<QByteArrayList>("executables");
    QTest::addColumn<QByteArray>("cwd");
    QTest::addColumn<QByteArray>("searchPath");
    QTest::addColumn<QByteArray>("commandLine");
    QTest::addColumn<QByteArray>("program"); // empty: no program found
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArrayList>("arguments");

    const QByteArray cwd = "/home/op";
    const QByteArray path = "/usr/bin:/bin";

    QTest::newRow("absolute path")
        << QByteArrayList{"/usr/local/bin/brez"} << cwd << path
        << raw("/usr/local/bin/brez IK1ABC localhost") << raw("/usr/local/bin/brez")
        << raw("/usr/local/bin/brez") << QByteArrayList{"IK1ABC", "localhost"};
    QTest::newRow("folder with a blank")
        << QByteArrayList{"/tmp/my dir/brez"} << cwd << path
        << raw("/tmp/my dir/brez IK1ABC localhost") << raw("/tmp/my dir/brez")
        << raw("/tmp/my dir/brez") << QByteArrayList{"IK1ABC", "localhost"};
    QTest::newRow("drive-style path with a blank")
        << QByteArrayList{"/home/op/C:/Program Files/x.exe"} << cwd << path
        << raw("C:/Program Files/x.exe IK1ABC 10.0.0.1") << raw("/home/op/C:/Program Files/x.exe")
        << raw("C:/Program Files/x.exe") << QByteArrayList{"IK1ABC", "10.0.0.1"};
    QTest::newRow("shortest existing prefix wins")
        << QByteArrayList{"/tmp/my", "/tmp/my dir/brez"} << cwd << path
        << raw("/tmp/my dir/brez IK1ABC localhost") << raw("/tmp/my") << raw("/tmp/my")
        << QByteArrayList{"dir/brez", "IK1ABC", "localhost"};
    QTest::newRow("whole text as the program")
        << QByteArrayList{"/opt/a b c"} << cwd << path << raw("/opt/a b c") << raw("/opt/a b c")
        << raw("/opt/a b c") << QByteArrayList{};
    QTest::newRow("plain name in current directory first")
        << QByteArrayList{"/home/op/Orbetti.exe", "/usr/bin/Orbetti.exe"} << cwd << path
        << raw("Orbetti.exe IK1ABC localhost") << raw("/home/op/Orbetti.exe") << raw("Orbetti.exe")
        << QByteArrayList{"IK1ABC", "localhost"};
    QTest::newRow("plain name on the search path")
        << QByteArrayList{"/bin/Orbetti.exe"} << cwd << path << raw("Orbetti.exe IK1ABC h")
        << raw("/bin/Orbetti.exe") << raw("Orbetti.exe") << QByteArrayList{"IK1ABC", "h"};
    QTest::newRow("search path in its order")
        << QByteArrayList{"/usr/bin/brez", "/bin/brez"} << cwd << raw("/bin::/usr/bin")
        << raw("brez IK1ABC h") << raw("/bin/brez") << raw("brez") << QByteArrayList{"IK1ABC", "h"};
    QTest::newRow("relative search path entry")
        << QByteArrayList{"/home/op/tools/brez"} << cwd << raw("tools") << raw("brez X h")
        << raw("/home/op/tools/brez") << raw("brez") << QByteArrayList{"X", "h"};
    QTest::newRow("name with slash relative to current directory")
        << QByteArrayList{"/home/op/bin/brez"} << cwd << path << raw("bin/brez IK1ABC h")
        << raw("/home/op/bin/brez") << raw("bin/brez") << QByteArrayList{"IK1ABC", "h"};
    QTest::newRow("name with slash not searched on the path")
        << QByteArrayList{"/usr/bin/bin/brez"} << cwd << path << raw("bin/brez IK1ABC h")
        << QByteArray() << QByteArray() << QByteArrayList{};
    QTest::newRow("current directory is the root")
        << QByteArrayList{"/brez"} << raw("/") << raw("") << raw("brez X h") << raw("/brez")
        << raw("brez") << QByteArrayList{"X", "h"};
    QTest::newRow("nothing found")
        << QByteArrayList{"/opt/other"} << cwd << path << raw("/opt/brez IK1ABC h") << QByteArray()
        << QByteArray() << QByteArrayList{};
    QTest::newRow("empty path never runs the call")
        << QByteArrayList{"*"} << cwd << path << raw(" IK1ABC localhost") << QByteArray()
        << QByteArray() << QByteArrayList{};
    QTest::newRow("empty path, call in current directory")
        << QByteArrayList{"/home/op/IK1ABC", "/home/op/ IK1ABC", "/usr/bin/IK1ABC"} << cwd << path
        << raw(" IK1ABC ") << QByteArray() << QByteArray() << QByteArrayList{};
    QTest::newRow("empty text") << QByteArrayList{"*"} << cwd << path << raw("") << QByteArray()
                                << QByteArray() << QByteArrayList{};
    QTest::newRow("NUL byte cannot be passed")
        << QByteArrayList{"*"} << cwd << path << raw("/opt/brez AB\0C h") << QByteArray()
        << QByteArray() << QByteArrayList{};
    QTest::newRow("tabs and runs of blanks separate, trailing blank adds nothing")
        << QByteArrayList{"/opt/brez"} << cwd << path << raw("/opt/brez\tIK1ABC \t  ")
        << raw("/opt/brez") << raw("/opt/brez") << QByteArrayList{"IK1ABC"};
    QTest::newRow("blank inside the call splits it")
        << QByteArrayList{"/opt/brez"} << cwd << path << raw("/opt/brez IK1 ABC h")
        << raw("/opt/brez") << raw("/opt/brez") << QByteArrayList{"IK1", "ABC", "h"};
    QTest::newRow("metacharacters and quotes pass untouched")
        << QByteArrayList{"/opt/brez"} << cwd << path
        << raw("/opt/brez $(id);|&<>* \"a b\" 'c' \\d %PATH%") << raw("/opt/brez")
        << raw("/opt/brez") << QByteArrayList{"$(id);|&<>*", "\"a", "b\"", "'c'", "\\d", "%PATH%"};
    const QByteArray home = "C:\\Users\\op";
    const QByteArray winPath = "C:\\Windows\\system32;C:\\Windows";
    QTest::newRow("Windows: drive, backslashes and a blank in a folder")
        << QByteArrayList{"C:\\Program Files\\Brez\\brez.exe"} << home << winPath
        << raw("C:\\Program Files\\Brez\\brez.exe IK1ABC 127.0.0.1")
        << raw("C:\\Program Files\\Brez\\brez.exe") << raw("C:\\Program Files\\Brez\\brez.exe")
        << QByteArrayList{"IK1ABC", "127.0.0.1"};
    QTest::newRow("Windows: forward slashes")
        << QByteArrayList{"C:/Tools/brez.exe"} << home << winPath << raw("C:/Tools/brez.exe X h")
        << raw("C:/Tools/brez.exe") << raw("C:/Tools/brez.exe") << QByteArrayList{"X", "h"};
    QTest::newRow("Windows: .exe added to a name without an extension")
        << QByteArrayList{"C:\\Tools\\brez.exe"} << home << winPath << raw("C:\\Tools\\brez X h")
        << raw("C:\\Tools\\brez.exe") << raw("C:\\Tools\\brez") << QByteArrayList{"X", "h"};
    QTest::newRow("Windows: another extension taken as it is")
        << QByteArrayList{"C:\\Tools\\brez.cmd", "C:\\Tools\\brez.cmd.exe"} << home << winPath
        << raw("C:\\Tools\\brez.cmd X") << raw("C:\\Tools\\brez.cmd") << raw("C:\\Tools\\brez.cmd")
        << QByteArrayList{"X"};
    QTest::newRow("Windows: the program's own folder before the current one")
        << QByteArrayList{"C:\\Users\\op\\Orbetti.exe", "C:\\Quintaro\\Orbetti.exe"} << home
        << winPath << raw("Orbetti.exe X h") << raw("C:\\Quintaro\\Orbetti.exe")
        << raw("Orbetti.exe") << QByteArrayList{"X", "h"};
    QTest::newRow("Windows: the system's folders before PATH")
        << QByteArrayList{"C:\\Windows\\notepad.exe", "D:\\Radio\\notepad.exe"} << home
        << raw("D:\\Radio") << raw("notepad X") << raw("C:\\Windows\\notepad.exe") << raw("notepad")
        << QByteArrayList{"X"};
    QTest::newRow("Windows: PATH split at semicolons, drive letters kept")
        << QByteArrayList{"D:\\Radio\\Orbetti.exe"} << home << raw("C:\\Bin;;\"D:\\Radio\"")
        << raw("Orbetti.exe X h") << raw("D:\\Radio\\Orbetti.exe") << raw("Orbetti.exe")
        << QByteArrayList{"X", "h"};
    QTest::newRow("Windows: relative name with a backslash")
        << QByteArrayList{"C:\\Users\\op\\bin\\brez.exe"} << home << winPath << raw("bin\\brez X")
        << raw("C:\\Users\\op\\bin\\brez.exe") << raw("bin\\brez") << QByteArrayList{"X"};
    QTest::newRow("Windows: network share")
        << QByteArrayList{"\\\\server\\ham\\brez.exe"} << home << winPath
        << raw("\\\\server\\ham\\brez.exe X") << raw("\\\\server\\ham\\brez.exe")
        << raw("\\\\server\\ham\\brez.exe") << QByteArrayList{"X"};
    QTest::newRow("Windows: empty path never runs the call")
        << QByteArrayList{"*"} << home << winPath << raw(" IK1ABC h") << QByteArray()
        << QByteArray() << QByteArrayList{};
    QTest::newRow("high bytes and line ends pass untouched")
        << QByteArrayList{"/opt/brez"} << cwd << path << raw("/opt/brez \xC4\xFF\r\nX h")
        << raw("/opt/brez") << raw("/opt/brez") << QByteArrayList{raw("\xC4\xFF\r\nX"), "h"};
}

void TestCommandLine::resolves()
{
    QFETCH(QByteArrayList, executables);
    QFETCH(QByteArray, cwd);
    QFETCH(QByteArray, searchPath);
    QFETCH(QByteArray, commandLine);
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, name);
    QFETCH(QByteArrayList, arguments);

    const auto resolved =
        resolveCommandLine(commandLine.toStdString(), fakeLookup(executables, cwd, searchPath));
    if (program.isEmpty()) {
        QVERIFY2(!resolved, resolved ? resolved->program.c_str() : "");
        return;
    }
    QVERIFY(resolved);
    QCOMPARE(QByteArray::fromStdString(resolved->program), program);
    QCOMPARE(QByteArray::fromStdString(resolved->name), name);
    QCOMPARE(show(resolved->arguments), show(arguments));
    QCOMPARE(resolved->argv().size(), resolved->arguments.size() + 1);
    QCOMPARE(QByteArray::fromStdString(resolved->argv().front()), name);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
