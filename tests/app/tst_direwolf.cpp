// The main window against a real Direwolf: APRS packets made into 1200-baud
// audio, demodulated by Direwolf and monitored over its AGWPE interface,
// arrive in the station list, the monitor window and Brezomat starts.

#include "AgwTestFrames.h"
#include "DirewolfRunner.h"
#include "EventWait.h"
#include "FakeDialogs.h"
#include "RecordingProgramStarter.h"
#include "WorkDir.h"
#include "frmQuintaro.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

#include <string>
#include <vector>

using namespace agwtest;
using testsupport::items;
using testsupport::kWait;
using testsupport::waitUntil;
using namespace quintaro;
using testsupport::DirewolfRunner;
using testsupport::FakeMessageBoxes;
using testsupport::RecordingProgramStarter;
using testsupport::WorkDir;

namespace {

// Direwolf 1.6 answers the version request with 2005.127.
const QString kDirewolfVersion = QStringLiteral("Connesso ad AGWPE v2005.127");
const QString kClosed = QStringLiteral("Connessione ad AGWPE chiusa");

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

    WorkDir dir;
    FakeMessageBoxes boxes;
    RecordingProgramStarter starter;
    frmQuintaro window;
    window.Form_Load();
    window.findChild<QCheckBox *>(QStringLiteral("chkAutoLoad"))->click();
    auto *lstWxCalls = window.findChild<QListWidget *>(QStringLiteral("lstWxCalls"));
    auto *List2 = window.findChild<QListWidget *>(QStringLiteral("List2"));
    auto *lblAGW = window.findChild<QLabel *>(QStringLiteral("lblAGW"));

    // What the monitor window showed as each station was added.
    QList<QStringList> monitorAtAdd;
    connect(lstWxCalls->model(), &QAbstractItemModel::rowsInserted, lstWxCalls,
            [&] { monitorAtAdd << items(List2); });

    window.setAgwPortForTesting(direwolf.agwPort());
    window.findChild<QLineEdit *>(QStringLiteral("txtAddr"))->setText(QStringLiteral("127.0.0.1"));
    window.findChild<QAction *>(QStringLiteral("nmuConnect"))->trigger();
    // Direwolf handles the requests in order, so once the version reply is
    // in, monitoring is on and nothing demodulated from now on is dropped.
    QTRY_COMPARE_WITH_TIMEOUT(lblAGW->text(), kDirewolfVersion, kWait);
    QCOMPARE(window.windowTitle(), QStringLiteral("Quintaro - 0 stations"));

    QVERIFY(direwolf.writeAudio(m_audio));
    const QList<Packet> sent = packets();
    QTRY_VERIFY2_WITH_TIMEOUT(showsPacket(items(List2), sent.last()),
                              qPrintable(items(List2).join(QLatin1Char('|')) + "\n" +
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
    QCOMPARE(items(lstWxCalls), weatherCalls);
    QCOMPARE(monitorAtAdd.size(), weatherCalls.size());
    int added = 0;
    for (const Packet &p : sent) {
        if (p.weather)
            QVERIFY2(showsPacket(monitorAtAdd[added++], p),
                     qPrintable(monitorAtAdd[added - 1].join(QLatin1Char('|'))));
    }
    QCOMPARE(starter.commandLines, commandLines);
    for (int i = 0; i < lstWxCalls->count(); ++i)
        QCOMPARE(lstWxCalls->item(i)->data(Qt::UserRole).toInt(), 1);
    QCOMPARE(window.windowTitle(), QStringLiteral("Quintaro - 3 stations (list not saved)"));
    QCOMPARE(lblAGW->text(), kDirewolfVersion);
    QVERIFY(boxes.requests.isEmpty());

    window.Form_Unload();
}

void TestDirewolf::engineEndingClosesTheLink()
{
    DirewolfRunner direwolf;
    QVERIFY2(direwolf.start(), qPrintable(direwolf.errorString()));

    WorkDir dir;
    FakeMessageBoxes boxes;
    RecordingProgramStarter starter;
    frmQuintaro window;
    window.Form_Load();
    auto *nmuConnect = window.findChild<QAction *>(QStringLiteral("nmuConnect"));
    auto *lblAGW = window.findChild<QLabel *>(QStringLiteral("lblAGW"));
    window.setAgwPortForTesting(direwolf.agwPort());
    window.findChild<QLineEdit *>(QStringLiteral("txtAddr"))->setText(QStringLiteral("127.0.0.1"));
    nmuConnect->trigger();
    QTRY_VERIFY2_WITH_TIMEOUT(lblAGW->text() == kDirewolfVersion,
                              qPrintable(lblAGW->text() + "\n" + direwolf.output()), kWait);

    direwolf.stop();
    QTRY_COMPARE_WITH_TIMEOUT(nmuConnect->text(), QStringLiteral("&Connect"), kWait);
    QCOMPARE(lblAGW->text(), kClosed);
    QVERIFY(boxes.requests.isEmpty());
    QCOMPARE(window.findChild<QTcpSocket *>(QStringLiteral("Winsock1"))->state(),
             QAbstractSocket::UnconnectedState);

    window.Form_Unload();
}

QTEST_MAIN(TestDirewolf)
#include "tst_direwolf.moc"
