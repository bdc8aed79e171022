// The main window against a real Direwolf: APRS packets made into 1200-baud
// audio, demodulated by Direwolf and monitored over its AGWPE interface,
// arrive in the station list, the monitor window and Brezomat starts.

#include "DirewolfRunner.h"
#include "LinkWindow.h"

#include <QRegularExpression>
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

QTEST_MAIN(TestDirewolf)
#include "tst_direwolf.moc"
