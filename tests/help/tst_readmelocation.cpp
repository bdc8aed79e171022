// Where the read-me is looked for: the current directory first, then the
// installed program's data folder, then the program's own folder.

#include "ReadmeLocation.h"

#include <QStringList>
#include <QTest>

using quintaro::help::readmeCandidates;

class TestReadmeLocation : public QObject
{
    Q_OBJECT

private slots:
    void candidates_data();
    void candidates();
};

void TestReadmeLocation::candidates_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("installed") << "Leggimi_Quintaro.rtf"
                               << "/usr/bin"
                               << QStringList{"Leggimi_Quintaro.rtf",
                                              "/usr/bin/../share/quintaro/Leggimi_Quintaro.rtf",
                                              "/usr/bin/Leggimi_Quintaro.rtf"};
    QTest::newRow("moved elsewhere, folder given with a slash")
        << "Leggimi_Quintaro.rtf"
        << "/opt/q/bin/"
        << QStringList{"Leggimi_Quintaro.rtf", "/opt/q/bin/../share/quintaro/Leggimi_Quintaro.rtf",
                       "/opt/q/bin/Leggimi_Quintaro.rtf"};
    QTest::newRow("a name with a folder means that folder only")
        << "docs/Leggimi.rtf"
        << "/usr/bin" << QStringList{"docs/Leggimi.rtf"};
    QTest::newRow("no program folder known") << "Leggimi_Quintaro.rtf"
                                             << "" << QStringList{"Leggimi_Quintaro.rtf"};
    QTest::newRow("no name") << ""
                             << "/usr/bin" << QStringList{""};
}

void TestReadmeLocation::candidates()
{
    QFETCH(QString, name);
    QFETCH(QString, programFolder);
    QFETCH(QStringList, expected);
    QStringList found;
    for (const std::string &c :
         readmeCandidates(name.toStdString(), programFolder.toStdString(), "../share/quintaro"))
        found << QString::fromStdString(c);
    QCOMPARE(found, expected);
}

QTEST_APPLESS_MAIN(TestReadmeLocation)
#include "tst_readmelocation.moc"
