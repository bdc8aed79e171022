// The engine link on its own, against a local stand-in engine: the two
// requests around connected(), frames cut across every split, the order of
// what it reports, the engine closing, peers that do not speak AGWPE, and
// receivers that run an event loop (a message box) while more bytes come,
// the engine closes, or they close or reopen the link themselves.

#include "AgwTestEngine.h"
#include "EngineLink.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

using namespace agwtest;
using quintaro::EngineLink;
using testsupport::kWait;
using testsupport::waitUntil;

namespace {

const QString kHost = QStringLiteral("127.0.0.1");

QTcpSocket *socketOf(EngineLink &link)
{
    return link.findChild<QTcpSocket *>(QStringLiteral("Winsock1"));
}

// Connects the link to the stand-in engine; the engine's end of the link
// once it has answered the link's requests, null when that failed.
QTcpSocket *linkTo(Engine &engine, EngineLink &link, const QString &host = kHost)
{
    if (!engine.listening())
        return nullptr;
    link.connectToEngine(host, engine.port());
    return engine.acceptLink();
}

// The stream cut at the given positions (ascending, inside the stream).
std::vector<std::string> cutAt(const std::string &stream, std::vector<std::size_t> positions)
{
    std::vector<std::string> chunks;
    std::size_t from = 0;
    positions.push_back(stream.size());
    for (const std::size_t to : positions) {
        if (to > from)
            chunks.push_back(stream.substr(from, to - from));
        from = std::max(from, to);
    }
    return chunks;
}

// Everything the link reports, in the order it does, with the weather
// reports copied out of the views that are valid only during the signal.
struct Recorder
{
    struct Report
    {
        std::string call;
        std::string monitorText;
    };

    explicit Recorder(EngineLink &link)
    {
        QObject::connect(&link, &EngineLink::connected, &link, [this] { events << "connected"; });
        QObject::connect(&link, &EngineLink::versionReceived, &link,
                         [this](quint16 major, quint16 minor) {
                             enter();
                             events << QStringLiteral("version %1.%2").arg(major).arg(minor);
                             leave();
                         });
        QObject::connect(&link, &EngineLink::monitorLinesChanged, &link,
                         [this](const QStringList &lines) {
                             events << QStringLiteral("monitor ") + lines.join(QLatin1Char('|'));
                             shown << lines;
                         });
        QObject::connect(
            &link, &EngineLink::weatherReportsHeard, &link,
            [this](std::span<const quintaro::agw::HeardReport> heard) {
                enter();
                QStringList calls;
                for (const quintaro::agw::HeardReport &r : heard) {
                    reports.push_back({std::string(r.call), std::string(r.monitorText)});
                    calls << QString::fromStdString(std::string(r.call));
                }
                events << QStringLiteral("reports ") + calls.join(QLatin1Char(','));
                leave();
            });
        QObject::connect(&link, &EngineLink::closedByEngine, &link, [this] { events << "closed"; });
        QObject::connect(&link, &EngineLink::failed, &link, [this](const QString &reason) {
            events << QStringLiteral("failed ") + reason;
        });
    }

    QStringList calls() const
    {
        QStringList list;
        for (const Report &r : reports)
            list << QString::fromStdString(r.call);
        return list;
    }
    // The events whose text starts with the prefix.
    QStringList only(const QString &prefix) const
    {
        QStringList found;
        for (const QString &event : events) {
            if (event.startsWith(prefix))
                found << event;
        }
        return found;
    }

    // A report or a version emitted while a receiver of another still runs
    // would be reported from inside the link's handling of a read.
    void enter() { nested = nested || busy++ > 0; }
    void leave() { --busy; }

    QStringList events;
    QList<QStringList> shown;
    std::vector<Report> reports;
    int busy = 0;
    bool nested = false;
};

struct SplitStream
{
    std::string bytes;
    std::size_t bigFrameAt = 0;
    std::size_t bigFrameSize = 0;
    std::vector<std::size_t> frameStarts;
};

const std::string kBigComment(40000, 'x');

std::string bigData()
{
    return kBigComment + "\r" + monitorData("IW3BIG", kWxPositionless);
}

// Every kind of frame an engine sends, in one stream; a frame of more than
// 32 767 bytes among them.
SplitStream splitStream()
{
    SplitStream s;
    auto add = [&s](const std::string &f) {
        s.frameStarts.push_back(s.bytes.size());
        s.bytes += f;
    };
    add(versionReply());
    add(makeFrame('U', "EMPTY", ""));
    add(monitoredFrame('U', "IK1ABC", kWxPositionless));
    add(monitoredFrame('T', "IZ2XYZ-13", kWxPosition));
    add(monitoredFrame('u', "IK9LOW", kWxPositionless));
    add(makeFrame('X', "OTHER", "ignored"));
    const std::string big = makeFrame('U', "IW3BIG", bigData());
    s.bigFrameAt = s.bytes.size();
    s.bigFrameSize = big.size();
    add(big);
    add(monitoredFrame('U', "IW3POS-9", kPosition));
    // A monitored frame without data is passed over: it would otherwise
    // empty the monitor window.
    add(makeFrame('U', "EMPTY", ""));
    return s;
}

QString monitorEvent(const std::string &call, const std::string &info)
{
    return QStringLiteral("monitor ") + monitorLines(call, info).join(QLatin1Char('|'));
}

} // namespace

Q_DECLARE_METATYPE(std::vector<std::string>)

class TestEngineLink : public QObject
{
    Q_OBJECT

private slots:
    void requestsInOrder_data();
    void requestsInOrder();
    void framesInEverySplit_data();
    void framesInEverySplit();
    void monitorLinesBeforeTheVersion_data();
    void monitorLinesBeforeTheVersion();
    void engineClosesTheLink();
    void receiverRunsAnEventLoop_data();
    void receiverRunsAnEventLoop();
    void peerThatIsNotAnEngine_data();
    void peerThatIsNotAnEngine();
};

void TestEngineLink::requestsInOrder_data()
{
    QTest::addColumn<QString>("receiver"); // what a receiver of connected() does

    QTest::newRow("receivers leave the link as it is") << "nothing";
    QTest::newRow("a receiver closes the link") << "close";
    QTest::newRow("a receiver connects anew") << "reconnect";
}

void TestEngineLink::requestsInOrder()
{
    QFETCH(QString, receiver);

    Engine engine;
    QVERIFY(engine.listening());
    EngineLink link;
    // Requests are queued on the socket and leave it later, so what is
    // queued when connected() comes tells which were sent before it.
    QList<qint64> queuedAtConnected;
    connect(&link, &EngineLink::connected, &link, [&] {
        queuedAtConnected << socketOf(link)->bytesToWrite();
        if (queuedAtConnected.size() > 1)
            return;
        if (receiver == QLatin1String("close"))
            link.disconnectFromEngine();
        else if (receiver == QLatin1String("reconnect"))
            link.connectToEngine(kHost, engine.port());
    });

    link.connectToEngine(kHost, engine.port());
    QVERIFY(!link.isClosed());
    QTcpSocket *peer = engine.accept();
    QVERIFY(peer);
    const QByteArray both = qbytes(request('m') + request('R'));
    if (receiver == QLatin1String("nothing")) {
        QCOMPARE(receive(peer, 72), both);
        QCOMPARE(queuedAtConnected, QList<qint64>{36});
        // Nothing else follows the two requests.
        QVERIFY(!peer->waitForReadyRead(50));
        QVERIFY(!link.isClosed());
        return;
    }

    // The connection the receiver left never gets the version request.
    QByteArray got;
    QVERIFY(waitUntil([&] {
        got += peer->readAll();
        return peer->state() == QAbstractSocket::UnconnectedState;
    }));
    got += peer->readAll();
    QVERIFY2(got.isEmpty() || got == qbytes(request('m')), got.toHex().constData());
    if (receiver == QLatin1String("close")) {
        QVERIFY(link.isClosed());
        QCOMPARE(queuedAtConnected, QList<qint64>{36});
        QVERIFY(!engine.server.waitForNewConnection(50));
    } else {
        QTcpSocket *next = engine.accept();
        QVERIFY(next);
        QCOMPARE(receive(next, 72), both);
        QCOMPARE(queuedAtConnected, (QList<qint64>{36, 36}));
        QVERIFY(!link.isClosed());
    }
}

void TestEngineLink::framesInEverySplit_data()
{
    QTest::addColumn<std::vector<std::string>>("chunks");

    const SplitStream s = splitStream();
    std::vector<std::size_t> at;

    QTest::newRow("all in one write") << std::vector<std::string>{s.bytes};

    at.assign(s.frameStarts.begin() + 1, s.frameStarts.end());
    QTest::newRow("one write per frame") << cutAt(s.bytes, at);

    // Byte by byte up to well into the big frame; its 40 000 bytes of
    // comment then come in pieces.
    at.clear();
    for (std::size_t i = 1; i < s.bigFrameAt + 100; ++i)
        at.push_back(i);
    for (std::size_t i = s.bigFrameAt + 100; i < s.bytes.size(); i += 997)
        at.push_back(i);
    QTest::newRow("byte by byte") << cutAt(s.bytes, at);

    // Inside the header: in the CallFrom field, and between the two bytes of
    // the data length.
    at.clear();
    for (const std::size_t start : s.frameStarts) {
        at.push_back(start + 12);
        at.push_back(start + 29);
    }
    QTest::newRow("header split") << cutAt(s.bytes, at);

    // Each write ends inside a frame's data and carries the next header.
    at.clear();
    for (std::size_t i = 1; i < s.frameStarts.size(); ++i)
        at.push_back(s.frameStarts[i] + 40);
    QTest::newRow("data split, several headers per write") << cutAt(s.bytes, at);

    // The big frame's header alone, then its data in two halves.
    at.assign(s.frameStarts.begin() + 1, s.frameStarts.end());
    at.push_back(s.bigFrameAt + 36);
    at.push_back(s.bigFrameAt + s.bigFrameSize / 2);
    std::sort(at.begin(), at.end());
    QTest::newRow("big frame in pieces") << cutAt(s.bytes, at);
}

void TestEngineLink::framesInEverySplit()
{
    QFETCH(std::vector<std::string>, chunks);

    Engine engine;
    EngineLink link;
    Recorder seen(link);
    QTcpSocket *peer = linkTo(engine, link);
    QVERIFY(peer);

    std::string joined;
    for (const std::string &c : chunks)
        joined += c;
    QCOMPARE(joined, splitStream().bytes);
    QCOMPARE(deliver(socketOf(link), peer, chunks), chunks.size());
    QVERIFY(waitUntil([&] {
        return !seen.shown.isEmpty() && seen.shown.last() == monitorLines("IW3POS-9", kPosition);
    }));

    QCOMPARE(seen.only(QStringLiteral("version")), QStringList{QStringLiteral("version 2000.78")});
    QCOMPARE(seen.calls(), (QStringList{QStringLiteral("IK1ABC"), QStringLiteral("IZ2XYZ-13"),
                                        QStringLiteral("IW3BIG")}));
    QCOMPARE(seen.reports[0].monitorText, monitorData("IK1ABC", kWxPositionless));
    QCOMPARE(seen.reports[1].monitorText, monitorData("IZ2XYZ-13", kWxPosition));
    QCOMPARE(seen.reports[2].monitorText, bigData());
    // Only monitored frames with data ever reach the monitor window.
    for (const QStringList &lines : seen.shown)
        QCOMPARE(lines.size(), 2);
    QVERIFY(seen.only(QStringLiteral("failed")).isEmpty());
    QVERIFY(seen.only(QStringLiteral("closed")).isEmpty());
    QVERIFY(!seen.nested);
    QVERIFY(!link.isClosed());
}

void TestEngineLink::monitorLinesBeforeTheVersion_data()
{
    QTest::addColumn<std::vector<std::string>>("chunks");

    const std::string f1 = monitoredFrame('U', "IK1ONE", kPosition);
    const std::string f2 = monitoredFrame('U', "IK2TWO", kPosition);
    const std::string f3 = monitoredFrame('U', "IK3AFT", kPosition);
    const std::string version = versionReply();
    QTest::newRow("one read") << std::vector<std::string>{f1 + f2 + version + f3};
    // Reads close together: the second frame's lines may still wait for the
    // next redraw of a flood when the reply comes.
    QTest::newRow("a read each") << std::vector<std::string>{f1, f2, version, f3};
}

void TestEngineLink::monitorLinesBeforeTheVersion()
{
    // What the monitor window shows never trails the status: when the
    // version reply is reported, the frame before it has been shown.
    QFETCH(std::vector<std::string>, chunks);

    Engine engine;
    EngineLink link;
    Recorder seen(link);
    QTcpSocket *peer = linkTo(engine, link);
    QVERIFY(peer);

    QCOMPARE(deliver(socketOf(link), peer, chunks), chunks.size());
    const QString last = monitorEvent("IK3AFT", kPosition);
    QVERIFY(waitUntil([&] { return !seen.events.isEmpty() && seen.events.last() == last; }));
    const qsizetype version = seen.events.indexOf(QStringLiteral("version 2000.78"));
    QVERIFY2(version > 0, qPrintable(seen.events.join(QLatin1Char('\n'))));
    QVERIFY2(seen.events.at(version - 1) == monitorEvent("IK2TWO", kPosition),
             qPrintable(seen.events.join(QLatin1Char('\n'))));
}

void TestEngineLink::engineClosesTheLink()
{
    Engine engine;
    EngineLink link;
    Recorder seen(link);
    QTcpSocket *peer = linkTo(engine, link);
    QVERIFY(peer);

    // What the engine sent just before closing still counts, and is
    // reported before the end; a frame it cut short by closing is never
    // completed by the next connection's bytes.
    send(peer, versionReply() + monitoredFrame('U', "IK1ABC", kWxPositionless) +
                   monitoredFrame('U', "IK9CUT", kWxPositionless).substr(0, 50));
    peer->disconnectFromHost();
    QVERIFY(waitUntil([&] { return seen.events.contains(QStringLiteral("closed")); }));
    QVERIFY(link.isClosed());
    QCOMPARE(seen.events,
             (QStringList{QStringLiteral("connected"), QStringLiteral("version 2000.78"),
                          QStringLiteral("reports IK1ABC"), monitorEvent("IK1ABC", kWxPositionless),
                          QStringLiteral("closed")}));

    peer = linkTo(engine, link);
    QVERIFY(peer);
    send(peer, monitoredFrame('U', "IZ2XYZ-13", kWxPosition));
    QVERIFY(waitUntil([&] { return seen.reports.size() == 2; }));
    QCOMPARE(seen.calls(), (QStringList{QStringLiteral("IK1ABC"), QStringLiteral("IZ2XYZ-13")}));
    QTest::qWait(30);
    QCOMPARE(seen.only(QStringLiteral("closed")).size(), 1);
    QVERIFY(seen.only(QStringLiteral("failed")).isEmpty());
}

void TestEngineLink::receiverRunsAnEventLoop_data()
{
    // While the first receiver of a read runs an event loop:
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QStringList>("calls"); // the reports, in order, at the end

    const QStringList all{"IK1AAA", "IK1BBB", "IK1CCC", "IK1DDD"};
    QTest::newRow("more frames arrive") << "more" << all;
    QTest::newRow("more frames arrive, then the engine closes") << "engine closes" << all;
    QTest::newRow("the receiver closes the link") << "receiver closes" << QStringList{"IK1AAA"};
    QTest::newRow("the receiver connects anew")
        << "receiver reconnects" << QStringList{"IK1AAA", "IK1NEW"};
    QTest::newRow("more frames arrive while the version's receiver runs it")
        << "more, version" << all;
}

void TestEngineLink::receiverRunsAnEventLoop()
{
    QFETCH(QString, meanwhile);
    QFETCH(QStringList, calls);
    const bool inVersion = meanwhile == QLatin1String("more, version");

    Engine engine;
    EngineLink link;
    Recorder seen(link);
    QTcpSocket *peer = linkTo(engine, link);
    QVERIFY(peer);
    QTcpSocket *socket = socketOf(link);

    const std::string f1 = monitoredFrame('U', "IK1AAA", kWxPositionless);
    const std::string f2 = monitoredFrame('U', "IK1BBB", kWxPosition);
    const std::string f3 = monitoredFrame('U', "IW3POS-9", kPosition);
    const std::string f4 = monitoredFrame('T', "IK1CCC", kWxPositionless);
    const std::string f5 = monitoredFrame('U', "IK1DDD", kWxPosition);

    // Sends bytes and waits until they wait in the socket: the link must
    // not read them while the receiver's loop runs.
    const auto arrive = [&](QTcpSocket *from, const std::string &bytes) {
        const qint64 before = socket->bytesAvailable();
        send(from, bytes);
        return waitUntil([&] { return socket->bytesAvailable() >= before + qint64(bytes.size()); });
    };
    bool ran = false;
    bool arrived = false;
    bool viewsKept = false;
    QStringList nestedEvents;
    const auto runLoop = [&](std::span<const quintaro::agw::HeardReport> heard) {
        ran = true;
        std::vector<std::string> copies;
        for (const quintaro::agw::HeardReport &r : heard)
            copies.emplace_back(r.monitorText);
        arrived = arrive(peer, f2.substr(20) + f3 + f4.substr(0, 50));
        if (meanwhile == QLatin1String("engine closes")) {
            arrived = arrived && arrive(peer, f4.substr(50) + f5);
            peer->disconnectFromHost();
            arrived = arrived && waitUntil([&] {
                          return socket->state() == QAbstractSocket::UnconnectedState;
                      });
        } else if (meanwhile == QLatin1String("receiver closes")) {
            link.disconnectFromEngine();
        } else if (meanwhile == QLatin1String("receiver reconnects")) {
            peer = linkTo(engine, link);
            arrived = arrived && peer && arrive(peer, monitoredFrame('U', "IK1NEW", kWxPosition));
        }
        QTest::qWait(20);
        nestedEvents = seen.events;
        // The views given to the receiver hold until it returns, whatever
        // its loop let happen.
        viewsKept = heard.size() == copies.size();
        for (std::size_t i = 0; viewsKept && i < heard.size(); ++i)
            viewsKept = heard[i].monitorText == copies[i];
    };
    if (inVersion) {
        connect(&link, &EngineLink::versionReceived, &link, [&] {
            if (!ran)
                runLoop({});
        });
    } else {
        connect(&link, &EngineLink::weatherReportsHeard, &link,
                [&](std::span<const quintaro::agw::HeardReport> heard) {
                    if (!ran)
                        runLoop(heard);
                });
    }
    send(peer, inVersion ? f1 + versionReply() + f2.substr(0, 20) : f1 + f2.substr(0, 20));
    QVERIFY(waitUntil([&] { return ran; }));
    QVERIFY(arrived);
    QVERIFY(viewsKept);
    // Nothing of what arrived was reported during the loop; the engine's
    // end was, at once, so that nothing claims a live link.
    const bool engineCloses = meanwhile == QLatin1String("engine closes");
    QVERIFY2(nestedEvents.filter(QStringLiteral("reports")).size() == 1 &&
                 nestedEvents.contains(QStringLiteral("closed")) == engineCloses,
             qPrintable(nestedEvents.join(QLatin1Char('\n'))));
    if (meanwhile.startsWith(QLatin1String("more")))
        send(peer, f4.substr(50) + f5);

    QVERIFY2(waitUntil([&] { return seen.calls().size() >= calls.size(); }),
             qPrintable(seen.events.join(QLatin1Char('\n'))));
    QTest::qWait(50);
    QCOMPARE(seen.calls(), calls);
    QVERIFY(!seen.nested);
    QVERIFY(seen.only(QStringLiteral("failed")).isEmpty());
    if (inVersion) {
        // The report of the frame before the reply came before it.
        QCOMPARE(seen.events.indexOf(QStringLiteral("reports IK1AAA")),
                 seen.events.indexOf(QStringLiteral("version 2000.78")) - 2);
    }
    if (engineCloses) {
        // Told once, and what the engine sent before its end still came.
        QCOMPARE(seen.only(QStringLiteral("closed")).size(), 1);
        QVERIFY(link.isClosed());
    } else {
        QVERIFY(seen.only(QStringLiteral("closed")).isEmpty());
        QCOMPARE(link.isClosed(), meanwhile == QLatin1String("receiver closes"));
    }
    if (meanwhile == QLatin1String("receiver reconnects"))
        QCOMPARE(seen.only(QStringLiteral("connected")).size(), 2);
}

void TestEngineLink::peerThatIsNotAnEngine_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("before"); // good frames before the bytes that are not
    QTest::addColumn<QByteArray>("bad");

    const std::string http = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html></html>";
    // A header announcing more than 65 535 bytes of data.
    std::string absurd = makeFrame('U', "IK1ABC", "");
    absurd[30] = '\x10';
    QTest::newRow("web server reply") << kHost << QByteArray() << qbytes(http);
    QTest::newRow("engine frames, then other bytes")
        << kHost << qbytes(versionReply() + monitoredFrame('U', "IK1ABC", kWxPositionless))
        << qbytes(http);
    // An IPv6 address may carry a scope after "%": the reason names the host
    // and the port exactly as they are.
    QTest::newRow("host named with a percent sign")
        << QStringLiteral("::ffff:127.0.0.1%1") << QByteArray() << qbytes(absurd);
}

void TestEngineLink::peerThatIsNotAnEngine()
{
    QFETCH(QString, host);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, bad);

    Engine engine;
    EngineLink link;
    Recorder seen(link);
    QTcpSocket *peer = linkTo(engine, link, host);
    QVERIFY(peer);

    send(peer, (before + bad).toStdString());
    QVERIFY(waitUntil([&] { return !seen.only(QStringLiteral("failed")).isEmpty(); }));
    // Reported once, last, with the link already closed: later bytes and
    // the peer's closing cannot report it again.
    QVERIFY(link.isClosed());
    send(peer, bad.toStdString());
    QVERIFY(waitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    QTest::qWait(30);
    const QString reason = QStringLiteral("failed The peer at ") + host + QStringLiteral(" port ") +
                           QString::number(engine.port()) +
                           QStringLiteral(" does not speak the AGWPE protocol: it sent data that "
                                          "are not AGWPE frames.");
    QCOMPARE(seen.only(QStringLiteral("failed")), QStringList{reason});
    QCOMPARE(seen.events.last(), reason);
    QCOMPARE(seen.calls(),
             before.isEmpty() ? QStringList() : QStringList{QStringLiteral("IK1ABC")});
    QVERIFY(seen.only(QStringLiteral("closed")).isEmpty());

    // A new connection starts with nothing of the old stream.
    peer = linkTo(engine, link);
    QVERIFY(peer);
    send(peer, monitoredFrame('U', "IZ2NEW", kWxPositionless));
    QVERIFY(waitUntil([&] { return seen.calls().contains(QStringLiteral("IZ2NEW")); }));
    QCOMPARE(seen.only(QStringLiteral("failed")).size(), 1);
}

QTEST_GUILESS_MAIN(TestEngineLink)
#include "tst_enginelink.moc"
