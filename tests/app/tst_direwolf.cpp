// The main window against a real Direwolf: APRS packets made into 1200-baud
// audio, demodulated by Direwolf and monitored over its AGWPE interface,
// arrive in the station list, the monitor window, Brezomat starts and the
// weather history.

#include "CorpusPacket.h"
#include "DirewolfRunner.h"
#include "HistoryFixture.h"
#include "LinkWindow.h"

#include <QMap>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct Packet
{
    QByteArray monitorForm; // "SRC>DEST,PATH:info", as gen_packets reads it
    bool weather;

    QString call() const { return QString::fromLatin1(monitorForm.left(monitorForm.indexOf('>'))); }
    QString info() const
    {
        return QString::fromLatin1(monitorForm.mid(monitorForm.indexOf(':') + 1));
    }
    // Direwolf's first monitor line for the packet; the time is left open.
    QRegularExpression header() const
    {
        const QByteArray address = monitorForm.left(monitorForm.indexOf(':'));
        const QByteArray to = address.mid(address.indexOf('>') + 1);
        const qsizetype comma = to.indexOf(',');
        QString text = QStringLiteral(" 1:Fm ") + call() + QStringLiteral(" To ") +
                       QString::fromLatin1(comma < 0 ? to : to.left(comma));
        if (comma >= 0)
            text += QStringLiteral(" Via ") + QString::fromLatin1(to.mid(comma + 1));
        text += QStringLiteral(" <UI pid=F0 Len=%1 PF=0 >").arg(info().size());
        return QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(text) +
                                  QStringLiteral("\\[\\d\\d:\\d\\d:\\d\\d\\]$"));
    }
};

// A positionless weather report, a position report with the weather symbol,
// a position report without, a message, and a weather report from a call
// with an SSID.
QList<Packet> packets()
{
    return {
        {"IK1WXA>APRS,WIDE2-1:_10090556c220s004g005t077r000p000P000h50b09900", true},
        {"IZ2WXB>APDW16,WIDE1-1,WIDE2-1:!4530.12N/00912.34E_180/005g010t068r000p000P000h55b10132",
         true},
        {"IW3POS-9>APRS:!4512.00N/01100.00E>Verso Verona", false},
        {"IK4MSG>APRS::IK1WXA   :Che tempo fa?{01", false},
        {"IK5WXC-13>APRS,WIDE2-2:_10091234c090s002g004t070r001p010P005h80b10150", true},
    };
}

// Whether the two monitor lines are Direwolf's for this packet.
bool showsPacket(const QStringList &lines, const Packet &p)
{
    return lines.size() == 2 && p.header().match(lines[0]).hasMatch() && lines[1] == p.info();
}

} // namespace

class TestDirewolf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void weatherStationsFromRadioAudio();
    void engineEndingClosesTheLink();
    void historyKeepsWhatTheDetailsCount();

private:
    QByteArray m_audio; // every packet, with silence between
};

void TestDirewolf::initTestCase()
{
    QString missing;
    if (!DirewolfRunner::installed(&missing))
        QSKIP(qPrintable(missing + QStringLiteral(" is not installed (scripts/install-deps.sh)")));
    m_audio = DirewolfRunner::silence(200);
    for (const Packet &p : packets()) {
        QString error;
        const QByteArray audio = DirewolfRunner::packetAudio(p.monitorForm, &error);
        QVERIFY2(!audio.isEmpty(), qPrintable(error));
        m_audio += audio + DirewolfRunner::silence(300);
    }
}

void TestDirewolf::weatherStationsFromRadioAudio()
{
    DirewolfRunner direwolf;
    QVERIFY2(direwolf.start(), qPrintable(direwolf.errorString()));

    LinkWindow w(direwolf.agwPort());
    w.clickAutoLoad();
    const AddedStations added(w);
    w.connectTo();
    // Direwolf handles the requests in order, so once the version reply is
    // in, monitoring is on and nothing demodulated from now on is dropped.
    QTRY_COMPARE_WITH_TIMEOUT(w.label(), kDirewolfVersion, kWait);
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 0 stations"));

    QVERIFY(direwolf.writeAudio(m_audio));
    const QList<Packet> sent = packets();
    QTRY_VERIFY2_WITH_TIMEOUT(showsPacket(w.monitor(), sent.last()),
                              qPrintable(w.monitor().join(QLatin1Char('|')) + "\n" +
                                         QString::fromLocal8Bit(direwolf.output())),
                              kWait);

    QStringList weatherCalls;
    std::vector<std::string> commandLines;
    for (const Packet &p : sent) {
        if (!p.weather)
            continue;
        weatherCalls << p.call();
        commandLines.push_back("Orbetti.exe " + p.call().toStdString() + " 127.0.0.1");
    }
    QCOMPARE(w.stations(), weatherCalls);
    // The monitor window showed each station's packet as it was added.
    QCOMPARE(added.monitorAtAdd.size(), weatherCalls.size());
    int i = 0;
    for (const Packet &p : sent) {
        if (p.weather)
            QVERIFY2(showsPacket(added.monitorAtAdd[i++], p),
                     qPrintable(added.monitorAtAdd[i - 1].join(QLatin1Char('|'))));
    }
    QCOMPARE(w.starter.commandLines, commandLines);
    const QAbstractItemModel *list = w.list()->model();
    for (int row = 0; row < list->rowCount(); ++row)
        QVERIFY(isOpen(list->index(row, 0)));
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 3 stations (list not saved)"));
    QCOMPARE(w.label(), kDirewolfVersion);
    QVERIFY(w.boxes.requests.isEmpty());

    w.window.close();
}

void TestDirewolf::engineEndingClosesTheLink()
{
    DirewolfRunner direwolf;
    QVERIFY2(direwolf.start(), qPrintable(direwolf.errorString()));

    LinkWindow w(direwolf.agwPort());
    w.connectTo();
    QTRY_VERIFY2_WITH_TIMEOUT(w.label() == kDirewolfVersion,
                              qPrintable(w.label() + "\n" + direwolf.output()), kWait);

    direwolf.stop();
    QTRY_COMPARE_WITH_TIMEOUT(w.caption(), QStringLiteral("&Connect"), kWait);
    QCOMPARE(w.label(), kClosed);
    QVERIFY(w.boxes.requests.isEmpty());
    QCOMPARE(w.socket()->state(), QAbstractSocket::UnconnectedState);

    w.window.close();
}

void TestDirewolf::historyKeepsWhatTheDetailsCount()
{
    // Real weather reports of four stations as the radio brings them: one
    // frame heard again through a digipeater a moment later, one station
    // heard twice. `stored`: the report is a row of its own in the store.
    const struct
    {
        QByteArray call, infoStart, path;
        bool stored;
    } kHeard[] = {
        {"W4ZZK-1", "_0618", "WIDE1-1", true},
        {"EI2WCP-2", "_0619", "WIDE2-1", true},
        {"WB6AHC-1", "_0620", "WIDE1-1", true},
        {"EI2WCP-2", "_0619", "IR1DG*,WIDE2*", false}, // IR1DG's copy
        {"OH2RDP-1", "=6030", "WIDE2-1", true},        // a position with weather
        {"WB6AHC-1", "_0519", "WIDE1-1", true},        // its next report
    };
    const QMap<QString, int> kReports{
        {"W4ZZK-1", 1}, {"EI2WCP-2", 1}, {"WB6AHC-1", 2}, {"OH2RDP-1", 1}};

    QByteArray audio = DirewolfRunner::silence(200);
    QStringList expectedRows;
    for (const auto &h : kHeard) {
        const QByteArray packet = corpusPacket(h.call, h.infoStart, h.path);
        QVERIFY2(!packet.isEmpty(), h.call.constData());
        QString error;
        const QByteArray sound = DirewolfRunner::packetAudio(packet, &error);
        QVERIFY2(!sound.isEmpty(), qPrintable(error));
        audio += sound + DirewolfRunner::silence(300);
        if (h.stored)
            expectedRows << QString::fromLatin1(h.call + ' ' + h.path + ' ' +
                                                packet.mid(packet.indexOf(':') + 1));
    }

    DirewolfRunner direwolf;
    QVERIFY2(direwolf.start(), qPrintable(direwolf.errorString()));
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("history.sqlite"));
    QMap<QString, int> counted;
    {
        // The window records into the store named when it is made.
        LinkWindow w(direwolf.agwPort(), LinkWindow::Started, store);
        w.connectTo();
        QTRY_COMPARE_WITH_TIMEOUT(w.label(), kDirewolfVersion, kWait);
        QVERIFY(direwolf.writeAudio(audio));
        // Direwolf prints each frame it demodulates ("[0.3] SRC>DEST,...:info"):
        // every copy reached the window, the digipeated one too.
        static const QRegularExpression kDecoded(QStringLiteral("^\\[\\d[^\\]]*\\] \\S+>"),
                                                 QRegularExpression::MultilineOption);
        QTRY_VERIFY2_WITH_TIMEOUT(QString::fromLatin1(direwolf.output()).count(kDecoded) ==
                                      int(std::size(kHeard)),
                                  direwolf.output().constData(), 3 * kWait);

        w.window.findChildren<QAction *>(QStringLiteral("nmuDetails")).value(0)->trigger();
        const auto *table = w.child<QTableView>("tblStationDetails");
        QVERIFY(table);
        const auto countsShown = [table] {
            QMap<QString, int> counts;
            const QAbstractItemModel *model = table->model();
            for (int r = 0; r < model->rowCount(); ++r)
                counts[model->index(r, 0).data().toString()] = model->index(r, 2).data().toInt();
            return counts;
        };
        QTRY_COMPARE_WITH_TIMEOUT(countsShown(), kReports, 3 * kWait);
        counted = countsShown();
        // Closing the window writes what waits for the store.
        w.window.close();
    }

    HistoryFixture history(store);
    QSqlQuery query(history.database());
    QVERIFY(query.exec(QStringLiteral("SELECT call, path, info FROM reports ORDER BY id")));
    QStringList rows;
    QMap<QString, int> perCall;
    while (query.next()) {
        rows << query.value(0).toString() + ' ' + query.value(1).toString() + ' ' +
                    QString::fromLatin1(query.value(2).toByteArray());
        ++perCall[query.value(0).toString()];
    }
    QCOMPARE(perCall, counted);
    // The digipeated copy is in the store once, with the first copy's path.
    QCOMPARE(rows, expectedRows);
}

QTEST_MAIN(TestDirewolf)
#include "tst_direwolf.moc"
