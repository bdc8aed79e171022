// The station list's own rules: the title and the menus after every event,
// calls told apart by their exact bytes, the open status, the limit, and
// entries found again after others were removed.

#include "ByteLists.h"
#include "StationList.h"

#include <QStringList>
#include <QTest>

using namespace quintaro::stations;
using stationstest::raw;

namespace {

QString shownTitle(const StationList &list)
{
    const std::optional<std::string> title = list.title();
    return title ? QString::fromStdString(*title) : QStringLiteral("<none>");
}

QString menus(const StationList &list)
{
    return list.menusEnabled() ? QStringLiteral("++") : QStringLiteral("--");
}

// One event, written as in the tables below: "add CALL", "remove INDEX"
// (-1: the Cancel command with nothing selected), "clear", "open INDEX",
// "close INDEX", "replace FILE [CALL ...]" (a list file loaded),
// "load-cancel", "load-failed FILE", "saving FILE", "connected".
bool apply(StationList &list, const QString &step)
{
    const QStringList words = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = words.value(0);
    const std::string arg = words.value(1).toStdString();
    if (verb == QLatin1String("add"))
        list.add(arg);
    else if (verb == QLatin1String("remove"))
        list.remove(words.value(1).toInt());
    else if (verb == QLatin1String("clear"))
        list.clear();
    else if (verb == QLatin1String("open"))
        list.setOpen(words.value(1).toInt(), true);
    else if (verb == QLatin1String("close"))
        list.setOpen(words.value(1).toInt(), false);
    else if (verb == QLatin1String("replace")) {
        std::vector<std::string> calls;
        for (const QString &call : words.mid(2))
            calls.push_back(call.toStdString());
        list.replace(calls, arg);
    } else if (verb == QLatin1String("load-cancel"))
        list.loadCancelled();
    else if (verb == QLatin1String("load-failed"))
        list.loadFailed(arg);
    else if (verb == QLatin1String("saving"))
        list.saving(arg);
    else if (verb == QLatin1String("connected"))
        list.connectionMade();
    else
        return false;
    return true;
}

std::vector<std::string> numberedCalls(int count)
{
    std::vector<std::string> calls;
    calls.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        calls.push_back('S' + std::to_string(100000 + i));
    return calls;
}

} // namespace

class TestStationList : public QObject
{
    Q_OBJECT

private slots:
    void titleAndMenus_data();
    void titleAndMenus();
    void distinctCalls_data();
    void distinctCalls();
    void callListedTwiceByAFile();
    void openStatus_data();
    void openStatus();
    void limit();
    void entriesFoundAgain();
};

// Each step: "event | title afterwards | menus afterwards", the menus being
// "&Wx List" then "&Save Wx Station List as...", "+" enabled, "-" disabled;
// "<none>" while no event has written a title.
void TestStationList::titleAndMenus_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("stations heard") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "add IK2DEF    | Quintaro - 2 stations (list not saved) | ++",
        "add IK1ABC    | Quintaro - 2 stations (list not saved) | ++",
    };
    QTest::newRow("cancel without selection on three") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "add IK2DEF    | Quintaro - 2 stations (list not saved) | ++",
        "add IK3GHI    | Quintaro - 3 stations (list not saved) | ++",
        "saving s.txt  | Quintaro - s.txt - 3 stations          | ++",
        "remove -1     | Quintaro - 3 stations (list not saved) | ++",
    };
    QTest::newRow("cancel of an entry") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "add IK2DEF    | Quintaro - 2 stations (list not saved) | ++",
        "remove 0      | Quintaro - 1 stations (list not saved) | ++",
    };
    QTest::newRow("cancel of the last entry forgets the file") << QStringList{
        "replace one.txt IK3GHI | Quintaro - one.txt - 1 stations  | ++",
        "remove 0      | Quintaro - 0 stations (list not saved) | --",
        "load-cancel   | Quintaro -  - 0 stations               | --",
    };
    QTest::newRow("cancel with nothing selected on an empty list") << QStringList{
        "remove -1     | Quintaro - 0 stations (list not saved) | --",
    };
    QTest::newRow("clear forgets the file") << QStringList{
        "replace two.txt IK1ABC IK2DEF | Quintaro - two.txt - 2 stations | ++",
        "clear         | Quintaro - 0 stations                  | --",
        "clear         | Quintaro - 0 stations                  | --",
        "load-cancel   | Quintaro -  - 0 stations               | --",
    };
    QTest::newRow("status changes keep the title") << QStringList{
        "replace two.txt IK1ABC IK2DEF | Quintaro - two.txt - 2 stations | ++",
        "open 1        | Quintaro - two.txt - 2 stations        | ++",
        "close 1       | Quintaro - two.txt - 2 stations        | ++",
    };
    QTest::newRow("cancelled load with no list file yet") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "load-cancel   | Quintaro -  - 1 stations               | ++",
    };
    QTest::newRow("cancelled load at start") << QStringList{
        "load-cancel   | Quintaro -  - 0 stations               | --",
    };
    QTest::newRow("a heard station drops the file name, a cancelled load shows it again")
        << QStringList{
               "replace two.txt IK1ABC IK2DEF | Quintaro - two.txt - 2 stations | ++",
               "add IK9NEW    | Quintaro - 3 stations (list not saved) | ++",
               "load-cancel   | Quintaro - two.txt - 3 stations        | ++",
           };
    QTest::newRow("saved") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "saving s.txt  | Quintaro - s.txt - 1 stations          | ++",
        "add IK2DEF    | Quintaro - 2 stations (list not saved) | ++",
        "saving t.txt  | Quintaro - t.txt - 2 stations          | ++",
    };
    QTest::newRow("unreadable file keeps title and menus") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "load-failed no.txt | Quintaro - 1 stations (list not saved) | ++",
        "load-cancel   | Quintaro - no.txt - 1 stations         | ++",
    };
    QTest::newRow("unreadable file at start writes no title") << QStringList{
        "load-failed no.txt | <none>                            | --",
        "load-cancel   | Quintaro - no.txt - 0 stations         | --",
    };
    QTest::newRow("empty file at start keeps the menus disabled") << QStringList{
        "replace empty.txt | Quintaro - empty.txt - 0 stations  | --",
    };
    QTest::newRow("empty file over a list keeps the menus enabled") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "replace empty.txt | Quintaro - empty.txt - 0 stations  | ++",
        "open 0        | Quintaro - empty.txt - 0 stations      | ++",
        "remove -1     | Quintaro - 0 stations (list not saved) | --",
    };
    QTest::newRow("connection at start") << QStringList{
        "connected     | Quintaro - 0 stations                  | --",
    };
    QTest::newRow("connection drops the unsaved ending") << QStringList{
        "add IK1ABC    | Quintaro - 1 stations (list not saved) | ++",
        "connected     | Quintaro - 1 stations                  | ++",
        "add IK2DEF    | Quintaro - 2 stations (list not saved) | ++",
    };
    QTest::newRow("connection after a load") << QStringList{
        "replace two.txt IK1ABC IK2DEF | Quintaro - two.txt - 2 stations | ++",
        "connected     | Quintaro - 2 stations                  | ++",
        "load-cancel   | Quintaro - two.txt - 2 stations        | ++",
    };
}

void TestStationList::titleAndMenus()
{
    QFETCH(QStringList, steps);

    StationList list;
    QCOMPARE(shownTitle(list), QStringLiteral("<none>"));
    QCOMPARE(menus(list), QStringLiteral("--"));
    for (const QString &line : steps) {
        const QStringList parts = line.split(QLatin1Char('|'));
        QCOMPARE(parts.size(), 3);
        const QString step = parts.at(0).trimmed();
        QVERIFY2(apply(list, step), qPrintable(step));
        QCOMPARE(shownTitle(list), parts.at(1).trimmed());
        QCOMPARE(menus(list), parts.at(2).trimmed());
    }
}

void TestStationList::distinctCalls_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("distinct");

    QTest::newRow("letter case") << raw("IK1ABC") << raw("ik1abc") << true;
    QTest::newRow("one letter's case") << raw("IK1ABC-13") << raw("IK1aBC-13") << true;
    QTest::newRow("SSID suffix") << raw("IK1ABC") << raw("IK1ABC-13") << true;
    QTest::newRow("other SSID") << raw("IK1ABC-1") << raw("IK1ABC-13") << true;
    QTest::newRow("trailing blank") << raw("IK1ABC") << raw("IK1ABC ") << true;
    QTest::newRow("leading blank") << raw("IK1ABC") << raw(" IK1ABC") << true;
    QTest::newRow("bytes after a NUL") << raw("IK1\0A") << raw("IK1\0B") << true;
    QTest::newRow("high bytes") << raw("IK1\xC4") << raw("IK1\xE4") << true;
    QTest::newRow("same call twice") << raw("IK1ABC-13") << raw("IK1ABC-13") << false;
    QTest::newRow("empty call twice") << raw("") << raw("") << false;
}

void TestStationList::distinctCalls()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, distinct);

    StationList list;
    QCOMPARE(list.add(first.toStdString()), StationList::AddResult::Added);
    list.saving("s.txt");
    QCOMPARE(list.add(second.toStdString()),
             distinct ? StationList::AddResult::Added : StationList::AddResult::AlreadyListed);
    QVERIFY(list.contains(second.toStdString()));
    QCOMPARE(list.count(), distinct ? 2 : 1);
    QCOMPARE(QByteArray::fromStdString(list.call(list.count() - 1)), distinct ? second : first);
    // A station heard again changes nothing, not even the title.
    QCOMPARE(shownTitle(list), distinct ? QStringLiteral("Quintaro - 2 stations (list not saved)")
                                        : QStringLiteral("Quintaro - s.txt - 1 stations"));
}

// A loaded file may list a call twice: the call stays listed until its last
// entry is removed.
void TestStationList::callListedTwiceByAFile()
{
    StationList list;
    list.replace({"IK1ABC", "IK2DEF", "IK1ABC"}, "two.txt");
    QCOMPARE(list.count(), 3);
    list.remove(0);
    QVERIFY(list.contains("IK1ABC"));
    QCOMPARE(list.add("IK1ABC"), StationList::AddResult::AlreadyListed);
    list.remove(1);
    QVERIFY(!list.contains("IK1ABC"));
    QCOMPARE(list.add("IK1ABC"), StationList::AddResult::Added);
    QCOMPARE(list.calls(), (std::vector<std::string>{"IK2DEF", "IK1ABC"}));
}

void TestStationList::openStatus_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("statuses");

    using S = QStringList;
    using L = QList<int>;
    QTest::newRow("heard stations start closed") << S{"add A1A", "add B2B"} << L{0, 0};
    QTest::newRow("opened and closed")
        << S{"add A1A", "add B2B", "open 1", "open 0", "close 1"} << L{1, 0};
    QTest::newRow("out of range changes nothing")
        << S{"add A1A", "open -1", "open 1", "open 99"} << L{0};
    QTest::newRow("removal keeps the others' status")
        << S{"add A1A", "add B2B", "add C3C", "open 0", "open 2", "remove 1"} << L{1, 1};
    QTest::newRow("a new station after a removal starts closed")
        << S{"add A1A", "add B2B", "open 1", "remove 1", "add C3C"} << L{0, 0};
    QTest::newRow("a loaded list starts closed")
        << S{"add A1A", "open 0", "replace f.txt A1A B2B"} << L{0, 0};
    QTest::newRow("a cleared list forgets") << S{"add A1A", "open 0", "clear", "add A1A"} << L{0};
}

void TestStationList::openStatus()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, statuses);

    StationList list;
    for (const QString &step : steps)
        QVERIFY2(apply(list, step), qPrintable(step));
    QList<int> got;
    for (int i = 0; i < list.count(); ++i)
        got << (list.isOpen(i) ? 1 : 0);
    QCOMPARE(got, statuses);
}

void TestStationList::limit()
{
    QCOMPARE(kMaxStations, 32767);
    StationList list;
    const std::vector<std::string> calls = numberedCalls(kMaxStations - 1);
    list.replace(calls, "full.txt");
    QVERIFY(!list.isFull());
    QCOMPARE(list.add("IK1ONE"), StationList::AddResult::Added);
    QVERIFY(list.isFull());
    QCOMPARE(list.count(), 32767);
    const std::optional<std::string> full = list.title();

    // A new station is turned away; one already listed is reported as such.
    QCOMPARE(list.add("IK2TWO"), StationList::AddResult::Full);
    QVERIFY(!list.contains("IK2TWO"));
    QCOMPARE(list.add("S100005"), StationList::AddResult::AlreadyListed);
    QCOMPARE(list.count(), 32767);
    QCOMPARE(list.title(), full);

    // Room made, a new station fits again, at the end.
    list.remove(0);
    QCOMPARE(list.add("IK2TWO"), StationList::AddResult::Added);
    QCOMPARE(list.call(32766), std::string("IK2TWO"));
    QCOMPARE(list.add("IK3THR"), StationList::AddResult::Full);
}

// A command that waits (a box, a pause for events) finds its entry again by
// its identifier, wherever it has moved, and never another entry in its old
// place.
void TestStationList::entriesFoundAgain()
{
    StationList list;
    for (const char *call : {"A1A", "B2B", "C3C", "D4D"})
        list.add(call);
    const StationList::EntryId c = list.entryId(2);
    const StationList::EntryId d = list.entryId(3);
    QCOMPARE(list.indexOf(c, 2), 2);

    list.remove(0);
    QCOMPARE(list.indexOf(c, 2), 1);
    list.remove(3); // no such entry: nothing moves
    QCOMPARE(list.indexOf(d, 3), 2);

    list.remove(1);
    QCOMPARE(list.indexOf(c, 2), -1);
    QCOMPARE(list.indexOf(d, 3), 1);
    QCOMPARE(list.call(1), std::string("D4D"));

    // Other entries in the old places, the same call among them: not found.
    list.add("C3C");
    list.add("E5E");
    QCOMPARE(list.call(2), std::string("C3C"));
    QCOMPARE(list.indexOf(c, 2), -1);

    list.clear();
    for (const char *call : {"A1A", "B2B", "C3C", "D4D"})
        list.add(call);
    QCOMPARE(list.indexOf(c, 2), -1);
    QCOMPARE(list.indexOf(d, 3), -1);
    const StationList::EntryId a = list.entryId(0);
    list.replace(list.calls(), "f.txt");
    QCOMPARE(list.indexOf(a, 0), -1);
    // A last known place beyond the list's end.
    QCOMPARE(list.indexOf(list.entryId(3), 99), 3);
}

QTEST_APPLESS_MAIN(TestStationList)
#include "tst_stationlist.moc"
