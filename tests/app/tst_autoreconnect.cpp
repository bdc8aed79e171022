// "&Reconnect Automatically" as the user meets it: the File menu's toggle
// stored in Quintaro.ini; with it on, the window comes back to the engine by
// itself, says in lblAGW what goes on, shows a box only for the first
// failure of the user's own Connect, keeps its stations, and Disconnect
// stops it. A silent engine is reported either way.

#include "EngineLink.h"
#include "LinkWindow.h"

#include <QMenu>
#include <QTest>

using namespace agwtest;
using namespace testsupport;

namespace {

const QString kDefaultRecord =
    QStringLiteral("\"localhost\",\"Orbetti.exe\",0,0,4900,2950,\"#FALSE#\"\r\n");

void quicken(LinkWindow &w)
{
    auto *link = w.window.findChild<quintaro::EngineLink *>();
    QVERIFY(link);
    quintaro::EngineLink::Timing t;
    t.firstRetry = 200;
    t.longestRetry = 400;
    t.connectTimeout = 1000;
    t.versionTimeout = 400;
    link->setTiming(t);
}

QAction *reconnectItem(LinkWindow &w)
{
    return w.child<QAction>("mnuAutoReconnect");
}

// A port on this machine where nothing listens now.
quint16 closedPort()
{
    Engine engine;
    const quint16 port = engine.port();
    engine.server.close();
    return port;
}

} // namespace

class TestAutoReconnect : public QObject
{
    Q_OBJECT

private slots:
    void toggleInTheFileMenu();
    void storedAfterTheSeventhValue();
    void comesBackWhenTheEngineDoes();
    void boxOnlyForTheUsersConnect();
    void startUpRetriesQuietly();
    void silentEngine_data();
    void silentEngine();
};

void TestAutoReconnect::toggleInTheFileMenu()
{
    LinkWindow w(closedPort());
    QAction *item = reconnectItem(w);
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("&Reconnect Automatically"));
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isChecked());
    QVERIFY(!item->toolTip().isEmpty());
    // Next to "&Connect on Startup".
    const QList<QAction *> file = w.child<QMenu>("nmuFile")->actions();
    const qsizetype at = file.indexOf(w.child<QAction>("mnuAutoConnect"));
    QCOMPARE(file.value(at + 1), item);
    // Like that toggle, the choice alone never connects.
    item->trigger();
    item->trigger();
    item->trigger();
    QVERIFY(item->isChecked());
    QVERIFY(w.showsClosed() || w.caption() == QLatin1String("&Connect"));
    QCOMPARE(w.socket()->state(), QAbstractSocket::UnconnectedState);
}

void TestAutoReconnect::storedAfterTheSeventhValue()
{
    {
        LinkWindow w(closedPort());
        // A missing file is replaced by the default record, byte for byte.
        QCOMPARE(QString::fromLatin1(w.dir.read(QStringLiteral("Quintaro.ini"))), kDefaultRecord);
        reconnectItem(w)->trigger();
        w.window.close();
        QCOMPARE(w.dir.read(QStringLiteral("Quintaro.ini")),
                 QByteArray(
                     "\"localhost\",\"Orbetti.exe\",0,0,4900,2950,#FALSE#,#TRUE#,\"metric\"\r\n"));
    }
    for (const auto &[record, checked] :
         {std::pair{QByteArray("\"h\",\"p\",0,0,4900,2950,#FALSE#,#TRUE#\r\n"), true},
          std::pair{QByteArray("\"h\",\"p\",0,0,4900,2950,#FALSE#,\"#TRUE#\"\r\n"), true},
          // A file of an older version: off.
          std::pair{QByteArray("\"h\",\"p\",0,0,4900,2950,#FALSE#\r\n"), false},
          std::pair{QByteArray("\"h\",\"p\",0,0,4900,2950,#FALSE#,maybe\r\n"), false}}) {
        LinkWindow w(closedPort(), LinkWindow::NotStarted);
        QVERIFY(w.dir.write(QStringLiteral("Quintaro.ini"), record));
        w.window.start();
        QCOMPARE(reconnectItem(w)->isChecked(), checked);
        // The file is no damaged file either way: it is left as it was.
        QCOMPARE(w.dir.read(QStringLiteral("Quintaro.ini")), record);
    }
}

void TestAutoReconnect::comesBackWhenTheEngineDoes()
{
    Engine engine;
    LinkWindow w(engine.port());
    quicken(w);
    reconnectItem(w)->trigger();
    QTcpSocket *peer = w.connectTo(engine);
    QVERIFY(peer);
    send(peer, versionReply() + monitoredFrame('U', "IK1AAA", kWxPositionless) +
                   monitoredFrame('U', "IK2BBB", kWxPosition));
    QTRY_COMPARE(w.stations(), (QStringList{"IK1AAA", "IK2BBB"}));

    const QStringList later{"IK3CCC", "IK4DDD", "IK5EEE"};
    QStringList expected{"IK1AAA", "IK2BBB"};
    for (const QString &call : later) {
        peer->disconnectFromHost();
        QTRY_VERIFY(w.label().startsWith(QStringLiteral("Collegamento perso: riprovo tra ")));
        QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
        // Back again, with monitoring and the version asked for anew.
        delete peer;
        peer = engine.acceptLink();
        QVERIFY(peer);
        QTRY_COMPARE(w.title(), QStringLiteral("Quintaro - %1 stations").arg(expected.size()));
        send(peer, versionReply() + monitoredFrame('U', "IK1AAA", kWxPositionless) +
                       monitoredFrame('U', call.toStdString(), kWxPositionless));
        expected << call;
        QTRY_COMPARE(w.label(), kVersion2000);
        QTRY_COMPARE(w.stations(), expected);
    }
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestAutoReconnect::boxOnlyForTheUsersConnect()
{
    Engine engine;
    const quint16 port = engine.port();
    engine.server.close();
    LinkWindow w(port);
    quicken(w);
    reconnectItem(w)->trigger();
    w.connectTo();
    QTRY_VERIFY(w.label().startsWith(QStringLiteral("Connessione fallita: riprovo tra ")));
    QCOMPARE(w.boxes.requests.size(), 1);
    QCOMPARE(w.boxes.requests.first().title, kErrorTitle);
    QCOMPARE(w.caption(), QStringLiteral("&Disconnect"));
    // The retries fail quietly; while one connects, the label says so.
    QStringList labels;
    auto *link = w.window.findChild<quintaro::EngineLink *>();
    QObject::connect(link, &quintaro::EngineLink::retrying, link, [&] { labels << w.label(); });
    QTRY_VERIFY_WITH_TIMEOUT(labels.size() >= 3, 5000);
    QCOMPARE(labels.first(), QStringLiteral("Connessione ad AGWPE in corso"));
    QCOMPARE(w.boxes.requests.size(), 1);

    // One command stops everything.
    w.connectItem()->trigger();
    QVERIFY(w.showsClosed());
    QVERIFY(engine.server.listen(QHostAddress::LocalHost, port));
    QTest::qWait(3 * 400);
    QVERIFY(!engine.server.hasPendingConnections());
    QVERIFY(w.showsClosed());
}

void TestAutoReconnect::startUpRetriesQuietly()
{
    Engine engine;
    const quint16 port = engine.port();
    engine.server.close();
    LinkWindow w(port, LinkWindow::NotStarted);
    quicken(w);
    QVERIFY(w.dir.write(QStringLiteral("Quintaro.ini"),
                        "\"127.0.0.1\",\"Orbetti.exe\",0,0,4900,2950,#TRUE#,#TRUE#\r\n"));
    w.window.start();
    // The engine is not up yet (a machine starting): no box waits for
    // anybody; the window keeps trying, and connects once the engine is up.
    QTRY_VERIFY(w.label().startsWith(QStringLiteral("Connessione fallita: riprovo tra ")));
    QVERIFY(engine.server.listen(QHostAddress::LocalHost, port));
    QTcpSocket *peer = engine.acceptLink();
    QVERIFY(peer);
    send(peer, versionReply());
    QTRY_COMPARE(w.label(), kVersion2000);
    QVERIFY(w.boxes.requests.isEmpty());
}

void TestAutoReconnect::silentEngine_data()
{
    QTest::addColumn<bool>("reconnecting");
    QTest::newRow("option off") << false;
    QTest::newRow("option on") << true;
}

void TestAutoReconnect::silentEngine()
{
    QFETCH(bool, reconnecting);
    Engine engine;
    LinkWindow w(engine.port());
    quicken(w);
    if (reconnecting)
        reconnectItem(w)->trigger();
    // The engine takes the connection and the requests, and never answers.
    QString labelAtBox;
    w.boxes.whileShown = [&](const FakeMessageBoxes::Request &) { labelAtBox = w.label(); };
    QVERIFY(w.connectTo(engine));
    QTRY_COMPARE(w.boxes.requests.size(), 1);
    QCOMPARE(labelAtBox, QStringLiteral("AGWPE non risponde"));
    QVERIFY(w.boxes.requests.first().prompt.contains(QStringLiteral("does not answer")));
    if (reconnecting) {
        QTRY_VERIFY(w.label().startsWith(QStringLiteral("AGWPE non risponde: riprovo tra ")));
        QVERIFY(engine.acceptLink());
    } else {
        QCOMPARE(w.label(), QStringLiteral("AGWPE non risponde"));
        QCOMPARE(w.caption(), QStringLiteral("&Connect"));
    }
}

QTEST_MAIN(TestAutoReconnect)
#include "tst_autoreconnect.moc"
