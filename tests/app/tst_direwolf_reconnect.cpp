// Reconnect Automatically against a real Direwolf: restarted on its port
// while Quintaro runs, it is found again and its stations arrive; serving
// its three clients already, it leaves a fourth unanswered, and Quintaro
// says so within the bound.

#include "DirewolfRunner.h"
#include "EngineLink.h"
#include "LinkWindow.h"

#include <QElapsedTimer>
#include <QTest>

using namespace testsupport;

namespace {

constexpr int kDirewolfWait = 20000;

QByteArray audioOf(const QList<QByteArray> &monitorForms)
{
    QByteArray audio = DirewolfRunner::silence(200);
    for (const QByteArray &packet : monitorForms) {
        QString error;
        const QByteArray one = DirewolfRunner::packetAudio(packet, &error);
        if (one.isEmpty())
            qWarning("%s", qPrintable(error));
        audio += one + DirewolfRunner::silence(300);
    }
    return audio;
}

} // namespace

class TestDirewolfReconnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void engineRestartedOnItsPort();
    void fourthClientIsTold();
};

void TestDirewolfReconnect::initTestCase()
{
    QString missing;
    if (!DirewolfRunner::installed(&missing))
        QSKIP(qPrintable(missing + QStringLiteral(" is not installed (scripts/install-deps.sh)")));
}

void TestDirewolfReconnect::engineRestartedOnItsPort()
{
    DirewolfRunner direwolf;
    QVERIFY2(direwolf.start(), qPrintable(direwolf.errorString()));
    LinkWindow w(direwolf.agwPort());
    auto *link = w.window.findChild<quintaro::EngineLink *>();
    quintaro::EngineLink::Timing timing;
    timing.firstRetry = 250;
    timing.longestRetry = 1000;
    link->setTiming(timing);
    w.child<QAction>("mnuAutoReconnect")->trigger();
    w.connectTo();
    QTRY_COMPARE_WITH_TIMEOUT(w.label(), kDirewolfVersion, kDirewolfWait);

    const QByteArray first = "IK1RST>APRS:_10090556c220s004g005t077r000p000P000h50b09900";
    const QByteArray second = "IZ2RST>APRS:!4530.12N/00912.34E_180/005g010t068h55b10132";
    QVERIFY(direwolf.writeAudio(audioOf({first})));
    QTRY_COMPARE_WITH_TIMEOUT(w.stations(), QStringList{"IK1RST"}, kDirewolfWait);

    // Restarted by its user on its port.
    const quint16 port = direwolf.agwPort();
    direwolf.stop();
    QVERIFY2(direwolf.startOnPort(port), qPrintable(direwolf.errorString()));
    // The window notices, waits, comes back, and asks for the version again.
    QTRY_VERIFY_WITH_TIMEOUT(w.label() != kDirewolfVersion, kDirewolfWait);
    QTRY_COMPARE_WITH_TIMEOUT(w.label(), kDirewolfVersion, kDirewolfWait);
    QVERIFY(direwolf.writeAudio(audioOf({first, second})));
    QTRY_COMPARE_WITH_TIMEOUT(w.stations(), (QStringList{"IK1RST", "IZ2RST"}), kDirewolfWait);
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestDirewolfReconnect::fourthClientIsTold()
{
    DirewolfRunner direwolf;
    QVERIFY2(direwolf.start(), qPrintable(direwolf.errorString()));
    // Three programs are served first.
    std::vector<std::unique_ptr<QTcpSocket>> others;
    for (int i = 0; i < 3; ++i) {
        others.push_back(std::make_unique<QTcpSocket>());
        others.back()->connectToHost(QStringLiteral("127.0.0.1"), direwolf.agwPort());
        QVERIFY(others.back()->waitForConnected(5000));
        others.back()->write(QByteArray(agwtest::qbytes(agwtest::request('R'))));
        QTRY_VERIFY_WITH_TIMEOUT(others.back()->bytesAvailable() >= 44, kDirewolfWait);
    }

    LinkWindow w(direwolf.agwPort());
    QElapsedTimer clock;
    clock.start();
    w.connectTo();
    QTRY_COMPARE_WITH_TIMEOUT(w.boxes.requests.size(), 1, kDirewolfWait);
    const qint64 took = clock.elapsed();
    // The program's own bound: 10 s after the version request.
    QVERIFY2(took >= 9500 && took < 12000, qPrintable(QString::number(took)));
    QCOMPARE(w.label(), QStringLiteral("AGWPE non risponde"));
    QVERIFY(w.boxes.requests.first().prompt.contains(QStringLiteral("does not answer")));
}

QTEST_MAIN(TestDirewolfReconnect)
#include "tst_direwolf_reconnect.moc"
