// The engine link looking after itself: it comes back when the engine closes
// it, with waits that double and start again after a link that lived (the
// waits as a table, and once over a socket); it
// notices an engine that never answers, a connect that hangs and a host
// gone silent; Disconnect stops it all at once. Times are shortened here;
// the proportions are the program's.

#include "AgwTestEngine.h"
#include "EngineLink.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using quintaro::EngineLink;

namespace {

using Fault = EngineLink::Fault;

EngineLink::Timing quickTiming()
{
    EngineLink::Timing t;
    t.firstRetry = 200;
    t.longestRetry = 800;
    t.spread = 0.1;
    t.stableLink = 60000;
    t.connectTimeout = 300;
    t.versionTimeout = 300;
    t.silence = 250;
    t.silenceReplyTimeout = 250;
    return t;
}

// A listening socket that takes no connection: its queue of connections not
// yet accepted is filled first, so that the system drops every further
// connect request, as a host that drops packets does.
class FullListener
{
public:
    FullListener()
    {
        m_listener.setListenBacklogSize(0);
        m_listener.setMaxPendingConnections(0);
        if (!m_listener.listen(QHostAddress::LocalHost))
            return;
        for (QTcpSocket &filler : m_fillers)
            filler.connectToHost(QHostAddress::LocalHost, m_listener.serverPort());
        m_port = m_listener.serverPort();
    }
    quint16 port() const { return m_port; }

private:
    QTcpServer m_listener;
    QTcpSocket m_fillers[3];
    quint16 m_port = 0;
};

} // namespace

class TestReconnect : public QObject
{
    Q_OBJECT

private slots:
    void engineClosesAndComesBack();
    void retryWaits_data();
    void retryWaits();
    void noRetryWithoutTheOption();
    void engineThatNeverAnswers();
    void connectThatHangs();
    void hostGoneSilent();
    void disconnectStopsRetries();
};

void TestReconnect::engineClosesAndComesBack()
{
    agwtest::Engine engine;
    QVERIFY(engine.listening());
    EngineLink link;
    link.setTiming(quickTiming());
    link.setReconnecting(true);
    QSignalSpy closed(&link, &EngineLink::closedByEngine);
    QSignalSpy countdowns(&link, &EngineLink::retryCountdown);
    QSignalSpy retries(&link, &EngineLink::retrying);
    link.connectToEngine(QStringLiteral("127.0.0.1"), engine.port());

    // Each connection gets its two requests, then the engine closes it; the
    // waits before the next connection double up to the longest.
    const QList<int> expected{200, 400, 800, 800};
    // Timed from the moment the link tells of the close, not from when a
    // test's poll notices it.
    QElapsedTimer sinceClose;
    QObject::connect(&link, &EngineLink::closedByEngine, &link, [&] { sinceClose.start(); });
    for (int cycle = 0; cycle <= expected.size(); ++cycle) {
        QTcpSocket *peer = engine.acceptLink();
        QVERIFY2(peer, qPrintable(QStringLiteral("no connection in cycle %1").arg(cycle)));
        if (cycle > 0) {
            const qint64 waited = sinceClose.elapsed();
            const int wait = expected.at(cycle - 1);
            qInfo("retry %d came %lld ms after the close (wait %d ms, spread 10 %%)", cycle, waited,
                  wait);
            // The spread of 10 %, and time for the event loop either way.
            QVERIFY2(waited >= wait * 0.9 - 5 && waited <= wait * 1.1 + 150,
                     qPrintable(QStringLiteral("cycle %1 waited %2 ms, not about %3")
                                    .arg(cycle)
                                    .arg(waited)
                                    .arg(wait)));
        }
        if (cycle == expected.size())
            break;
        peer->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), cycle + 1, 5000);
        QVERIFY(!link.isClosed());
        QCOMPARE(countdowns.last().at(1).value<Fault>(), Fault::Closed);
        delete peer;
    }
    QCOMPARE(retries.size(), expected.size());
}

void TestReconnect::retryWaits_data()
{
    QTest::addColumn<int>("triesBefore");
    QTest::addColumn<int>("lastLinkLived"); // ms
    QTest::addColumn<double>("draw");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("wait"); // ms

    // The program's times: 2 s doubling up to a minute, 10 % either way,
    // and a link that lived a minute starts the count again.
    QTest::newRow("first") << 0 << 0 << 0.5 << 0 << 2000;
    QTest::newRow("second") << 1 << 0 << 0.5 << 1 << 4000;
    QTest::newRow("fifth") << 4 << 0 << 0.5 << 4 << 32000;
    QTest::newRow("sixth, at the longest") << 5 << 0 << 0.5 << 5 << 60000;
    QTest::newRow("a night of retries") << 2000 << 0 << 0.5 << 2000 << 60000;
    QTest::newRow("after a short link") << 5 << 59999 << 0.5 << 5 << 60000;
    QTest::newRow("after a link that lived") << 5 << 60000 << 0.5 << 0 << 2000;
    QTest::newRow("earliest draw") << 0 << 0 << 0.0 << 0 << 1800;
    QTest::newRow("latest draw") << 0 << 0 << 1.0 << 0 << 2200;
    QTest::newRow("latest draw at the longest") << 9 << 0 << 1.0 << 9 << 66000;
}

void TestReconnect::retryWaits()
{
    QFETCH(int, triesBefore);
    QFETCH(int, lastLinkLived);
    QFETCH(double, draw);
    QFETCH(int, number);
    QFETCH(int, wait);
    const EngineLink::Retry retry =
        EngineLink::planRetry(EngineLink::Timing(), triesBefore, lastLinkLived, draw);
    QCOMPARE(retry.number, number);
    QCOMPARE(retry.waitMs, qint64(wait));
}

void TestReconnect::noRetryWithoutTheOption()
{
    agwtest::Engine engine;
    EngineLink link;
    link.setTiming(quickTiming());
    QSignalSpy closed(&link, &EngineLink::closedByEngine);
    QSignalSpy countdowns(&link, &EngineLink::retryCountdown);
    link.connectToEngine(QStringLiteral("127.0.0.1"), engine.port());
    QTcpSocket *peer = engine.acceptLink();
    QVERIFY(peer);
    peer->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 5000);
    QVERIFY(link.isClosed());
    QTest::qWait(500);
    QVERIFY(countdowns.isEmpty());
    QVERIFY(!engine.server.hasPendingConnections());
}

void TestReconnect::engineThatNeverAnswers()
{
    agwtest::Engine engine;
    EngineLink link;
    link.setTiming(quickTiming());
    link.setReconnecting(true);
    QSignalSpy failed(&link, &EngineLink::failed);
    QSignalSpy countdowns(&link, &EngineLink::retryCountdown);
    QElapsedTimer clock;
    clock.start();
    link.connectToEngine(QStringLiteral("127.0.0.1"), engine.port());
    // The engine takes the connection and both requests, and says nothing.
    QTcpSocket *peer = engine.acceptLink();
    QVERIFY(peer);
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
    QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 1000,
             qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(failed.first().at(1).value<Fault>(), Fault::Silent);
    QVERIFY(failed.first().at(0).toString().contains(QStringLiteral("does not answer")));
    QCOMPARE(countdowns.last().at(1).value<Fault>(), Fault::Silent);
    // It comes back and asks again.
    QVERIFY(engine.acceptLink());
}

void TestReconnect::connectThatHangs()
{
    FullListener listener;
    QVERIFY(listener.port() != 0);
    EngineLink link;
    link.setTiming(quickTiming());
    QSignalSpy failed(&link, &EngineLink::failed);
    QElapsedTimer clock;
    clock.start();
    link.connectToEngine(QStringLiteral("127.0.0.1"), listener.port());
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
    QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 1000,
             qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(failed.first().at(1).value<Fault>(), Fault::TimedOut);
    QVERIFY(failed.first().at(0).toString().contains(QStringLiteral("could not be reached")));
    QVERIFY(link.isClosed());
}

void TestReconnect::hostGoneSilent()
{
    agwtest::Engine engine;
    EngineLink link;
    link.setTiming(quickTiming());
    QSignalSpy versions(&link, &EngineLink::versionReceived);
    QSignalSpy failed(&link, &EngineLink::failed);
    link.connectToEngine(QStringLiteral("127.0.0.1"), engine.port());
    QTcpSocket *peer = engine.acceptLink();
    QVERIFY(peer);
    agwtest::send(peer, agwtest::versionReply());
    QTRY_COMPARE_WITH_TIMEOUT(versions.size(), 1, 5000);
    QElapsedTimer clock;
    clock.start();

    // Traffic keeps the link as it is.
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(150);
        agwtest::send(peer, agwtest::monitoredFrame('U', "IK1ABC", agwtest::kPosition));
    }
    QVERIFY(failed.isEmpty());
    clock.start();
    // Then nothing: after the silence the link asks for the version, with
    // nothing but the protocol's own request, and gives up when no answer
    // comes.
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
    QVERIFY2(clock.elapsed() >= 500 && clock.elapsed() < 1200,
             qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(failed.first().at(1).value<Fault>(), Fault::Lost);
    QCOMPARE(peer->readAll(), agwtest::qbytes(agwtest::request('R')));
}

void TestReconnect::disconnectStopsRetries()
{
    agwtest::Engine engine;
    EngineLink link;
    link.setTiming(quickTiming());
    link.setReconnecting(true);
    QSignalSpy countdowns(&link, &EngineLink::retryCountdown);
    link.connectToEngine(QStringLiteral("127.0.0.1"), engine.port());
    QTcpSocket *peer = engine.acceptLink();
    QVERIFY(peer);
    peer->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(!countdowns.isEmpty(), 5000);
    QVERIFY(!link.isClosed());
    link.disconnectFromEngine();
    QVERIFY(link.isClosed());
    QTest::qWait(3 * 200);
    QVERIFY(!engine.server.hasPendingConnections());
}

QTEST_GUILESS_MAIN(TestReconnect)
#include "tst_reconnect.moc"
