// The main window's wiring of the engine link, against a local stand-in
// engine: the Connect command and its states, the address it connects to,
// the title set between the two requests, what the window shows of the
// frames, peers that do not speak the protocol, and frames that arrive while
// a message box is open. The link's own rules (every split of the stream,
// the order of its reports, receivers running event loops) are tested on
// the link, in tests/link.

#include "LinkWindow.h"

#include <QTcpServer>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

using namespace agwtest;
using namespace testsupport;

Q_DECLARE_METATYPE(std::vector<std::string>)

class TestAgwLink : public QObject
{
    Q_OBJECT

private slots:
    void requestsInOrderWithTitleBetween_data();
    void requestsInOrderWithTitleBetween();
    void statesOfTheLink();
    void connectOnStartup();
    void unloadClosesTheLink();
    void hostFromAddressBox_data();
    void hostFromAddressBox();
    void noHostAtAll_data();
    void noHostAtAll();
    void refusedConnection();
    void commandWhileConnecting();
    void engineClosesTheLink();
    void framesOfEveryKind();
    void weatherDetection_data();
    void weatherDetection();
    void sameStationTwice();
    void peerThatIsNotAnEngine_data();
    void peerThatIsNotAnEngine();
    void framesArrivingWhileABoxIsOpen_data();
    void framesArrivingWhileABoxIsOpen();
    void monitorWindowDuringAFlood();
    void newStationWhileARedrawWaits_data();
    void newStationWhileARedrawWaits();
};

void TestAgwLink::requestsInOrderWithTitleBetween_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("title");

    QTest::newRow("empty list") << QStringList() << QStringLiteral("Quintaro - 0 stations");
    // The connected notification writes the plain form even for a list that
    // was never saved.
    QTest::newRow("two unsaved stations")
        << QStringList{QStringLiteral("IK1ABC"), QStringLiteral("IZ2XYZ-13")}
        << QStringLiteral("Quintaro - 2 stations");
}

void TestAgwLink::requestsInOrderWithTitleBetween()
{
    QFETCH(QStringList, listed);
    QFETCH(QString, title);

    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    if (!listed.isEmpty()) {
        // The stations are heard on a connection of their own, closed again.
        QTcpSocket *peer = w.connectTo(engine);
        QVERIFY(peer);
        for (const QString &call : listed)
            send(peer, monitoredFrame('U', call.toStdString(), kWxPositionless));
        QTRY_COMPARE_WITH_TIMEOUT(w.stations(), listed, kWait);
        w.connectItem()->trigger();
        QVERIFY(w.showsClosed());
    }

    // Requests are queued on the socket and leave it later, so what is queued
    // when the title changes tells which requests were sent before it.
    qint64 queuedAtTitle = -1;
    QString titleSeen;
    connect(&w.window, &QWidget::windowTitleChanged, &w.window, [&](const QString &t) {
        queuedAtTitle = w.socket()->bytesToWrite();
        titleSeen = t;
    });

    w.connectTo();
    QTcpSocket *peer = engine.accept();
    QVERIFY(peer);
    const QByteArray received = receive(peer, 72);
    QCOMPARE(received, qbytes(request('m') + request('R')));
    QCOMPARE(titleSeen, title);
    QCOMPARE(queuedAtTitle, qint64(36));
    QCOMPARE(w.title(), title);
    // Nothing else follows the two requests.
    QVERIFY(!peer->waitForReadyRead(50));
}

void TestAgwLink::statesOfTheLink()
{
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());

    // Idle.
    QCOMPARE(w.caption(), QStringLiteral("&Connect"));
    QCOMPARE(w.label(), QStringLiteral("Status Window"));
    QCOMPARE(w.socket()->state(), QAbstractSocket::UnconnectedState);

    // Connecting: the command returns before the connection is made.
    w.connectTo();
    QVERIFY(w.socket()->state() != QAbstractSocket::UnconnectedState);
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    QCOMPARE(w.label(), QStringLiteral("Status Window"));

    // Connected: the label waits for the version reply.
    QTcpSocket *peer = engine.accept();
    QVERIFY(peer);
    QCOMPARE(receive(peer, 72).size(), 72);
    QCOMPARE(w.socket()->state(), QAbstractSocket::ConnectedState);
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    QCOMPARE(w.label(), QStringLiteral("Status Window"));
    send(peer, versionReply());
    QTRY_COMPARE_WITH_TIMEOUT(w.label(), kVersion2000, kWait);

    // Closed by the command; the engine sees the connection end.
    w.connectItem()->trigger();
    QCOMPARE(w.linkShown(), kLinkClosed);
    QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, kWait);

    // Connecting again leaves the label as it is.
    w.connectItem()->trigger();
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    QCOMPARE(w.label(), kClosed);
    peer = engine.accept();
    QVERIFY(peer);
    QCOMPARE(receive(peer, 72).size(), 72);

    // Failed: the socket's error notification; the box gives the system's
    // words for it.
    const QString reason = w.socket()->errorString();
    emit w.socket()->errorOccurred(QAbstractSocket::NetworkError);
    QCOMPARE(w.boxes.requests.size(), 1);
    QCOMPARE(w.boxes.requests[0].prompt, reason);
    QCOMPARE(w.boxes.requests[0].style, 48);
    QCOMPARE(w.boxes.requests[0].title, kErrorTitle);
    QCOMPARE(w.linkShown(), kLinkClosed);
    QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, kWait);

    // And from Failed the command connects once more.
    w.connectItem()->trigger();
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    QVERIFY(engine.accept());
    QCOMPARE(w.boxes.requests.size(), 1);
}

void TestAgwLink::connectOnStartup()
{
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port(), LinkWindow::NotStarted);
    QVERIFY(w.dir.write(QStringLiteral("Quintaro.ini"),
                        "\"127.0.0.1\",\"Orbetti.exe\",0,0,4900,2950,\"#TRUE#\"\r\n"));
    w.window.start();
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    QTcpSocket *peer = engine.accept();
    QVERIFY(peer);
    QCOMPARE(receive(peer, 72), qbytes(request('m') + request('R')));
    QCOMPARE(w.socket()->peerName(), QStringLiteral("127.0.0.1"));
    QCOMPARE(w.socket()->peerPort(), engine.port());
}

void TestAgwLink::unloadClosesTheLink()
{
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);
    send(peer, versionReply());
    QTRY_COMPARE_WITH_TIMEOUT(w.label(), kVersion2000, kWait);

    QVERIFY(w.window.close());
    // The unload ran: it saved the address the link was opened with.
    QVERIFY(w.dir.read(QStringLiteral("Quintaro.ini")).startsWith("\"127.0.0.1\","));
    QCOMPARE(w.socket()->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, kWait);
    // The unload step leaves the captions as they were.
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    QCOMPARE(w.label(), kVersion2000);
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestAgwLink::hostFromAddressBox_data()
{
    QTest::addColumn<QString>("first");  // address box at the first Connect
    QTest::addColumn<QString>("second"); // address box at the second Connect

    QTest::newRow("spaces around the host") << "  127.0.0.1  "
                                            << "127.0.0.1   ";
    QTest::newRow("empty box reuses the previous host") << "127.0.0.1"
                                                        << "";
    QTest::newRow("box of spaces reuses the previous host") << " 127.0.0.1"
                                                            << "    ";
}

void TestAgwLink::hostFromAddressBox()
{
    QFETCH(QString, first);
    QFETCH(QString, second);

    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    QVERIFY(w.connectTo(engine, first));
    QCOMPARE(w.socket()->peerName(), QStringLiteral("127.0.0.1"));
    w.connectItem()->trigger(); // disconnect

    w.txtAddr()->setText(second);
    w.connectItem()->trigger();
    QTcpSocket *peer = engine.accept();
    QVERIFY(peer);
    QCOMPARE(receive(peer, 72), qbytes(request('m') + request('R')));
    QCOMPARE(w.socket()->peerName(), QStringLiteral("127.0.0.1"));
    QCOMPARE(w.socket()->peerPort(), engine.port());
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestAgwLink::noHostAtAll_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty box") << "";
    QTest::newRow("box of spaces") << "     ";
}

void TestAgwLink::noHostAtAll()
{
    QFETCH(QString, address);

    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    w.connectTo(address);

    QCOMPARE(w.boxes.requests.size(), 1);
    QCOMPARE(w.boxes.requests[0].style, 48);
    QCOMPARE(w.boxes.requests[0].title, kErrorTitle);
    QVERIFY2(w.boxes.requests[0].prompt.contains(QStringLiteral("address")),
             qPrintable(w.boxes.requests[0].prompt));
    QCOMPARE(w.linkShown(), kLinkClosed);
    QVERIFY(w.socket()->peerName().isEmpty());
    QVERIFY(!engine.server.waitForNewConnection(50));
    // No host was taken: the next Connect with the box still empty fails
    // the same way.
    w.connectTo(QString());
    QCOMPARE(w.boxes.requests.size(), 2);
    QCOMPARE(w.boxes.requests[1].prompt, w.boxes.requests[0].prompt);
    QVERIFY(!engine.server.waitForNewConnection(50));
}

void TestAgwLink::refusedConnection()
{
    quint16 deadPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        deadPort = probe.serverPort();
    }
    LinkWindow w(deadPort);
    w.connectTo();

    QTRY_COMPARE_WITH_TIMEOUT(w.boxes.requests.size(), 1, kWait);
    QCOMPARE(w.boxes.requests[0].prompt, QStringLiteral("Connection refused"));
    QCOMPARE(w.boxes.requests[0].style, 48);
    QCOMPARE(w.boxes.requests[0].title, kErrorTitle);
    QCOMPARE(w.linkShown(), kLinkClosed);
    // One failure, one box.
    QTest::qWait(50);
    QCOMPARE(w.boxes.requests.size(), 1);
}

void TestAgwLink::commandWhileConnecting()
{
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    w.connectTo();
    QVERIFY(w.socket()->state() != QAbstractSocket::ConnectedState);
    QVERIFY(w.socket()->state() != QAbstractSocket::UnconnectedState);

    w.connectItem()->trigger();
    QCOMPARE(w.linkShown(), kLinkClosed);

    // The abandoned attempt never becomes a link: no request reaches the
    // engine, should the attempt have got that far.
    if (QTcpSocket *peer = engine.accept()) {
        QVERIFY(!peer->waitForReadyRead(100));
        QCOMPARE(peer->bytesAvailable(), qint64(0));
    }
    QCOMPARE(w.caption(), QStringLiteral("&Connect"));
    QCOMPARE(w.label(), kClosed);
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestAgwLink::engineClosesTheLink()
{
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);

    // What the engine sent just before closing still counts; a frame it cut
    // short by closing is never completed by the next connection's bytes.
    send(peer, versionReply() + monitoredFrame('U', "IK1ABC", kWxPositionless) +
                   monitoredFrame('U', "IK9CUT", kWxPositionless).substr(0, 50));
    peer->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(w.caption(), QStringLiteral("&Connect"), kWait);
    QCOMPARE(w.label(), kClosed);
    QCOMPARE(w.socket()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(w.stations(), QStringList{QStringLiteral("IK1ABC")});
    QCOMPARE(w.monitor(), monitorLines("IK1ABC", kWxPositionless));
    QVERIFY(w.boxes.requests.isEmpty());

    // The next command connects again.
    w.connectItem()->trigger();
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    peer = engine.accept();
    QVERIFY(peer);
    QCOMPARE(receive(peer, 72), qbytes(request('m') + request('R')));
    send(peer, monitoredFrame('U', "IZ2XYZ-13", kWxPosition));
    QTRY_COMPARE_WITH_TIMEOUT(w.monitor(), monitorLines("IZ2XYZ-13", kWxPosition), kWait);
    QCOMPARE(w.stations(), (QStringList{QStringLiteral("IK1ABC"), QStringLiteral("IZ2XYZ-13")}));
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestAgwLink::framesOfEveryKind()
{
    // Every kind of frame an engine sends, read together: each new station
    // is added with its own frame in the monitor window, the last frame
    // stays there.
    const std::string big = makeFrame(
        'U', "IW3BIG", std::string(40000, 'x') + "\r" + monitorData("IW3BIG", kWxPositionless));
    const std::string stream =
        versionReply() + makeFrame('U', "EMPTY", "") +
        monitoredFrame('U', "IK1ABC", kWxPositionless) +
        monitoredFrame('T', "IZ2XYZ-13", kWxPosition) +
        monitoredFrame('u', "IK9LOW", kWxPositionless) + makeFrame('X', "OTHER", "ignored") + big +
        monitoredFrame('U', "IW3POS-9", kPosition) + makeFrame('U', "EMPTY", "");

    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    const AddedStations added(w);
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);
    send(peer, stream);

    const QStringList expected{QStringLiteral("IK1ABC"), QStringLiteral("IZ2XYZ-13"),
                               QStringLiteral("IW3BIG")};
    QTRY_COMPARE_WITH_TIMEOUT(w.monitor(), monitorLines("IW3POS-9", kPosition), kWait);
    QCOMPARE(w.stations(), expected);
    QCOMPARE(w.label(), kVersion2000);
    QCOMPARE(w.title(), QStringLiteral("Quintaro - 3 stations (list not saved)"));

    // When each station was added, the monitor window showed its frame.
    QCOMPARE(added.calls, expected);
    QCOMPARE(added.monitorAtAdd.size(), 3);
    QCOMPARE(added.monitorAtAdd[0], monitorLines("IK1ABC", kWxPositionless));
    QCOMPARE(added.monitorAtAdd[1], monitorLines("IZ2XYZ-13", kWxPosition));
    QCOMPARE(added.monitorAtAdd[2], monitorLines("IW3BIG", kWxPositionless));
    QVERIFY(w.boxes.requests.isEmpty());
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
}

void TestAgwLink::weatherDetection_data()
{
    QTest::addColumn<char>("kind");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("info");
    QTest::addColumn<bool>("added");

    const QString positionless = QString::fromStdString(kWxPositionless);
    QTest::newRow("U positionless report") << 'U' << "IK1ABC" << positionless << true;
    QTest::newRow("T positionless report") << 'T' << "IK1ABC" << positionless << true;
    QTest::newRow("lower-case u") << 'u' << "IK1ABC" << positionless << false;
    QTest::newRow("U position with weather, SSID call")
        << 'U' << "IZ2XYZ-13" << QString::fromStdString(kWxPosition) << true;
    QTest::newRow("U object with weather")
        << 'U' << "IK2OBJ"
        << "; WXSTN   *111111z4530.12N/00912.34E_090/003g005t060" << true;
    QTest::newRow("U position without weather")
        << 'U' << "IW3POS-9" << QString::fromStdString(kPosition) << false;
    QTest::newRow("U message naming a weather report") << 'U' << "IK4MSG"
                                                       << ":IK1ABC   :_180 wind{01" << false;
    QTest::newRow("U status") << 'U' << "IK5STA"
                              << ">_123 weather soon" << false;
    QTest::newRow("ten-character call") << 'U' << "IK1ABCDE-1" << positionless << true;
}

void TestAgwLink::weatherDetection()
{
    QFETCH(char, kind);
    QFETCH(QString, call);
    QFETCH(QString, info);
    QFETCH(bool, added);

    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);

    // A version reply after the frame tells when the frame has been handled.
    send(peer, monitoredFrame(kind, call.toStdString(), info.toStdString()) + versionReply());
    QTRY_COMPARE_WITH_TIMEOUT(w.label(), kVersion2000, kWait);
    QCOMPARE(w.stations(), added ? QStringList{call} : QStringList());
    const bool monitored = kind == 'U' || kind == 'T';
    QCOMPARE(w.monitor(),
             monitored ? monitorLines(call.toStdString(), info.toStdString()) : QStringList());
    QCOMPARE(w.title(), added ? QStringLiteral("Quintaro - 1 stations (list not saved)")
                              : QStringLiteral("Quintaro - 0 stations"));
}

void TestAgwLink::sameStationTwice()
{
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    w.clickAutoLoad();
    QVERIFY(w.child<QCheckBox>("chkAutoLoad")->isChecked());
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);

    send(peer, monitoredFrame('U', "IK1ABC", kWxPositionless));
    QTRY_COMPARE_WITH_TIMEOUT(w.stations(), QStringList{QStringLiteral("IK1ABC")}, kWait);
    QCOMPARE(w.starter.commandLines.size(), std::size_t(1));
    const QString title = w.title();

    send(peer,
         monitoredFrame('T', "IK1ABC", kWxPosition) + monitoredFrame('U', "IW3POS-9", kPosition));
    QTRY_COMPARE_WITH_TIMEOUT(w.monitor(), monitorLines("IW3POS-9", kPosition), kWait);
    QCOMPARE(w.stations(), QStringList{QStringLiteral("IK1ABC")});
    QCOMPARE(w.starter.commandLines.size(), std::size_t(1));
    QCOMPARE(w.title(), title);
}

void TestAgwLink::peerThatIsNotAnEngine_data()
{
    QTest::addColumn<std::vector<std::string>>("chunks");
    QTest::addColumn<QString>("label");            // lblAGW just before the box
    QTest::addColumn<bool>("peerClosesMeanwhile"); // while the box is open

    const std::string http = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 512"
                             "\r\n\r\n<html><body>It works</body></html>";
    QTest::newRow("web server reply") << std::vector<std::string>{http} << "Status Window" << false;
    QTest::newRow("web server reply, then the peer closes")
        << std::vector<std::string>{http} << "Status Window" << true;
    std::vector<std::string> trickle;
    for (const char c : http.substr(0, 36))
        trickle.emplace_back(1, c);
    QTest::newRow("web server reply, trickling") << trickle << "Status Window" << false;
    QTest::newRow("engine frames, then other bytes")
        << std::vector<std::string>{versionReply(), http} << kVersion2000 << false;
    // A header announcing more than 65 535 bytes of data.
    std::string absurd = makeFrame('U', "IK1ABC", "");
    absurd[30] = '\x10';
    QTest::newRow("absurd data length")
        << std::vector<std::string>{absurd} << "Status Window" << false;
    QTest::newRow("absurd data length, then the peer closes")
        << std::vector<std::string>{absurd} << "Status Window" << true;
}

void TestAgwLink::peerThatIsNotAnEngine()
{
    QFETCH(std::vector<std::string>, chunks);
    QFETCH(QString, label);
    QFETCH(bool, peerClosesMeanwhile);

    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);

    // The peer goes on sending while the box is open.
    QString labelAtBox;
    w.boxes.whileShown = [&](const FakeMessageBoxes::Request &) {
        if (!labelAtBox.isEmpty())
            return;
        labelAtBox = w.label();
        send(peer, std::string(64 * 1024, 'Z'));
        if (peerClosesMeanwhile) {
            peer->disconnectFromHost();
            waitUntil([&] { return w.socket()->state() == QAbstractSocket::UnconnectedState; });
        } else {
            QTest::qWait(30);
        }
    };
    // Each chunk but the last reaches the window on its own.
    QCOMPARE(w.deliver(peer, std::vector<std::string>(chunks.begin(), chunks.end() - 1)),
             chunks.size() - 1);
    send(peer, chunks.back());

    QTRY_COMPARE_WITH_TIMEOUT(w.boxes.requests.size(), 1, kWait);
    QCOMPARE(w.boxes.requests[0].style, 48);
    QCOMPARE(w.boxes.requests[0].title, kErrorTitle);
    QVERIFY2(w.boxes.requests[0].prompt.contains(QStringLiteral("AGWPE")),
             qPrintable(w.boxes.requests[0].prompt));
    QCOMPARE(labelAtBox, label);
    QCOMPARE(w.linkShown(), kLinkClosed);
    QVERIFY(w.stations().isEmpty());
    // The link stopped reading: the peer sees it gone, nothing more is kept.
#ifdef Q_OS_WIN
    // Wine loses a reset that comes while Qt has the socket's notices off,
    // as it has here: the peer learns of it when it writes.
    send(peer, "?");
#endif
    QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, kWait);
    QCOMPARE(w.socket()->bytesAvailable(), qint64(0));
    QTest::qWait(30);
    QCOMPARE(w.boxes.requests.size(), 1);

    // A new connection starts afresh, with nothing of the old stream.
    w.boxes.whileShown = nullptr;
    peer = w.connectTo(engine);
    QVERIFY(peer);
    send(peer, monitoredFrame('U', "IK1ABC", kWxPositionless));
    QTRY_COMPARE_WITH_TIMEOUT(w.stations(), QStringList{QStringLiteral("IK1ABC")}, kWait);
    QCOMPARE(w.boxes.requests.size(), 1);
}

void TestAgwLink::framesArrivingWhileABoxIsOpen_data()
{
    QTest::addColumn<bool>("engineCloses");
    QTest::newRow("engine stays") << false;
    QTest::newRow("engine closes while a box is open") << true;
}

void TestAgwLink::framesArrivingWhileABoxIsOpen()
{
    QFETCH(bool, engineCloses);

    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    w.clickAutoLoad();
    const AddedStations added(w);
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);

    const std::string f1 = monitoredFrame('U', "IK1AAA", kWxPositionless);
    const std::string f2 = monitoredFrame('U', "IK1BBB", kWxPosition);
    const std::string f3 = monitoredFrame('U', "IW3POS-9", kPosition);
    const std::string f4 = monitoredFrame('T', "IK1CCC", kWxPositionless);
    const std::string f5 = monitoredFrame('U', "IK1AAA", kWxPosition);

    // The first two stations' displays fail to start, so each shows a box;
    // while it is open, the rest of the stream comes in, frames cut anywhere.
    w.starter.failNext(2);
    int shown = 0;
    w.boxes.whileShown = [&](const FakeMessageBoxes::Request &) {
        ++shown;
        QTcpSocket *socket = w.socket();
        std::string more;
        if (shown == 1)
            more = f2.substr(20) + f3 + f4.substr(0, 50);
        else if (shown == 2)
            more = f4.substr(50) + f5;
        if (more.empty())
            return;
        const qint64 before = socket->bytesAvailable();
        send(peer, more);
        QVERIFY(
            waitUntil([&] { return socket->bytesAvailable() >= before + qint64(more.size()); }));
        if (shown == 2 && engineCloses) {
            peer->disconnectFromHost();
            QVERIFY(
                waitUntil([&] { return socket->state() == QAbstractSocket::UnconnectedState; }));
        }
    };
    send(peer, f1 + f2.substr(0, 20));

    QTRY_COMPARE_WITH_TIMEOUT(w.monitor(), monitorLines("IK1AAA", kWxPosition), kWait);
    const QStringList calls{QStringLiteral("IK1AAA"), QStringLiteral("IK1BBB"),
                            QStringLiteral("IK1CCC")};
    QCOMPARE(w.stations(), calls);
    QCOMPARE(added.calls, calls);
    QCOMPARE(added.monitorAtAdd[0], monitorLines("IK1AAA", kWxPositionless));
    QCOMPARE(added.monitorAtAdd[1], monitorLines("IK1BBB", kWxPosition));
    QCOMPARE(added.monitorAtAdd[2], monitorLines("IK1CCC", kWxPositionless));

    // One start per new station, in order; only the two that failed boxed.
    QCOMPARE(w.starter.commandLines, (std::vector<std::string>{"Orbetti.exe IK1AAA 127.0.0.1",
                                                               "Orbetti.exe IK1BBB 127.0.0.1",
                                                               "Orbetti.exe IK1CCC 127.0.0.1"}));
    QCOMPARE(w.boxes.requests.size(), 2);
    QCOMPARE(w.boxes.requests[0].title, QStringLiteral("Wx Station IK1AAA not loaded"));
    QCOMPARE(w.boxes.requests[1].title, QStringLiteral("Wx Station IK1BBB not loaded"));
    const QAbstractItemModel *list = w.list()->model();
    QVERIFY(!isOpen(list->index(0, 0)));
    QVERIFY(!isOpen(list->index(1, 0)));
    QVERIFY(isOpen(list->index(2, 0)));

    if (engineCloses) {
        QCOMPARE(w.caption(), QStringLiteral("&Connect"));
        QCOMPARE(w.label(), kClosed);
    } else {
        QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
        QCOMPARE(w.socket()->state(), QAbstractSocket::ConnectedState);
    }
}

void TestAgwLink::monitorWindowDuringAFlood()
{
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);
    auto *monitor = w.child<QListWidget>("List2");

    // A frame after a quiet spell is shown as soon as its block is read.
    QTest::qWait(50);
    QStringList shownRightAfterRead;
    const auto watch = QObject::connect(
        w.socket(), &QTcpSocket::readyRead, monitor, [&] { shownRightAfterRead = w.monitor(); },
        Qt::QueuedConnection);
    send(peer, monitoredFrame('U', "IK1ONE", kPosition));
    QVERIFY(waitUntil([&] { return !shownRightAfterRead.isEmpty(); }));
    QCOMPARE(shownRightAfterRead, monitorLines("IK1ONE", kPosition));
    QObject::disconnect(watch);

    // Blocks that follow each other closely are shown at most every few
    // hundredths of a second, but the last one always ends up on screen.
    for (int i = 0; i < 20; ++i)
        send(peer, monitoredFrame('U', "IK2F" + std::to_string(i), kPosition));
    QTRY_COMPARE_WITH_TIMEOUT(w.monitor(), monitorLines("IK2F19", kPosition), kWait);

    // A new station never stands in the list beside an older frame's lines.
    AddedStations added(w);
    send(peer, monitoredFrame('U', "IK3NEW", kPosition) +
                   monitoredFrame('U', "IK3WX", kWxPositionless) +
                   monitoredFrame('U', "IK3AFT", kPosition));
    QVERIFY(waitUntil([&] { return added.calls.size() == 1; }));
    QCOMPARE(added.monitorAtAdd.value(0), monitorLines("IK3WX", kWxPositionless));
    QTRY_COMPARE_WITH_TIMEOUT(w.monitor(), monitorLines("IK3AFT", kPosition), kWait);

    // The engine closing shows the last lines at once.
    send(peer, monitoredFrame('U', "IK4END", kPosition));
    peer->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(w.caption(), QStringLiteral("&Connect"), kWait);
    QCOMPARE(w.monitor(), monitorLines("IK4END", kPosition));
}

void TestAgwLink::newStationWhileARedrawWaits_data()
{
    QTest::addColumn<QString>("whileBoxOpen");
    QTest::newRow("nothing happens") << QString();
    QTest::newRow("the engine closes") << QStringLiteral("engine closes");
    QTest::newRow("the link fails") << QStringLiteral("link fails");
}

void TestAgwLink::newStationWhileARedrawWaits()
{
    QFETCH(QString, whileBoxOpen);
    Engine engine;
    QVERIFY(engine.listening());
    LinkWindow w(engine.port());
    w.clickAutoLoad();
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);

    // A new station's display fails to start. Its frame comes right after
    // one whose lines still wait to be redrawn; what the user sees while
    // the warning is open, and after it, is that station's frame and the
    // link's real state, whatever the link does meanwhile. The version reply
    // of the same read came before the engine closed.
    w.starter.failNext();
    QStringList monitorInBox;
    QString linkInBox;
    int boxesShown = 0;
    w.boxes.whileShown = [&](const FakeMessageBoxes::Request &) {
        if (++boxesShown > 1) // the failure's own box
            return;
        if (whileBoxOpen == QLatin1String("engine closes")) {
            peer->disconnectFromHost();
            QVERIFY(waitUntil(
                [&] { return w.socket()->state() == QAbstractSocket::UnconnectedState; }));
        } else if (whileBoxOpen == QLatin1String("link fails")) {
            emit w.socket()->errorOccurred(QAbstractSocket::NetworkError);
        }
        // Longer than a redraw waits during a flood.
        QTest::qWait(60);
        monitorInBox = w.monitor();
        linkInBox = w.linkShown();
    };
    QCOMPARE(w.deliver(peer, {monitoredFrame('U', "IK2ONE", kPosition),
                              monitoredFrame('U', "IK2TWO", kPosition),
                              monitoredFrame('U', "IK3WX", kWxPositionless) + versionReply()}),
             std::size_t(3));
    const bool failing = whileBoxOpen == QLatin1String("link fails");
    QTRY_COMPARE_WITH_TIMEOUT(w.boxes.requests.size(), failing ? 2 : 1, kWait);
    QCOMPARE(w.boxes.requests[0].title, QStringLiteral("Wx Station IK3WX not loaded"));
    QCOMPARE(monitorInBox, monitorLines("IK3WX", kWxPositionless));
    QCOMPARE(w.monitor(), monitorLines("IK3WX", kWxPositionless));
    if (whileBoxOpen.isEmpty()) {
        QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
        QCOMPARE(w.label(), kVersion2000);
    } else {
        QCOMPARE(linkInBox, kLinkClosed);
        QCOMPARE(w.linkShown(), kLinkClosed);
    }
}

QTEST_MAIN(TestAgwLink)
#include "tst_agwlink.moc"
