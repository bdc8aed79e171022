// What the window shows of the engine link, as a table of event sequences:
// the Connect command's caption, the status label, and which failures get a
// box. The window's wiring of it is tested in tests/app.

#include "LinkStatus.h"

#include <QRegularExpression>
#include <QTest>

using quintaro::EngineLink;
using quintaro::LinkStatus;
using Fault = EngineLink::Fault;

namespace {

const QString kConnect = QStringLiteral("&Connect");
const QString kDisconnect = QStringLiteral("&Disconnect");
const QString kClosed = QStringLiteral("Connessione ad AGWPE chiusa");
const QString kSilent = QStringLiteral("AGWPE non risponde");

Fault faultNamed(const QString &name)
{
    static const QHash<QString, Fault> faults = {
        {QStringLiteral("Closed"), Fault::Closed},
        {QStringLiteral("Failed"), Fault::Failed},
        {QStringLiteral("TimedOut"), Fault::TimedOut},
        {QStringLiteral("NotAnEngine"), Fault::NotAnEngine},
        {QStringLiteral("Silent"), Fault::Silent},
        {QStringLiteral("Lost"), Fault::Lost},
    };
    return faults.value(name);
}

// Runs the events on a new status: "user" and "startup" Connect commands,
// "close" from this side, "version", "engine closes", "fail Fault",
// "countdown N Fault", "retrying", "reconnect on" and "reconnect off" (the
// link closed then). Returns, per failure, "box" or "quiet", with "label
// first" where the label tells of it while the box is up.
QStringList run(LinkStatus &status, const QStringList &events)
{
    QStringList failures;
    for (const QString &event : events) {
        const QStringList word = event.split(QLatin1Char(' '));
        if (event == QLatin1String("user") || event == QLatin1String("startup"))
            status.connecting(event == QLatin1String("user"));
        else if (event == QLatin1String("close"))
            status.closed();
        else if (event == QLatin1String("version"))
            status.versionReceived(2000, 78);
        else if (event == QLatin1String("engine closes"))
            status.closedByEngine();
        else if (word[0] == QLatin1String("fail")) {
            const LinkStatus::Failure f = status.failed(faultNamed(word[1]));
            failures << (f.box ? QStringLiteral("box") : QStringLiteral("quiet")) +
                            (f.labelFirst ? QStringLiteral(", label first") : QString());
        } else if (word[0] == QLatin1String("countdown"))
            status.retryCountdown(word[1].toInt(), faultNamed(word[2]));
        else if (event == QLatin1String("retrying"))
            status.retrying();
        else if (word[0] == QLatin1String("reconnect"))
            status.setReconnecting(word[1] == QLatin1String("on"), true);
        else
            qFatal("unknown event %s", qPrintable(event));
    }
    return failures;
}

// A label with its numbers taken out: the shape the label is sized for.
QString shape(QString label)
{
    return label.replace(QRegularExpression(QStringLiteral("[0-9]+")), QStringLiteral("#"));
}

} // namespace

class TestLinkStatus : public QObject
{
    Q_OBJECT

private slots:
    void afterEvents_data();
    void afterEvents();
};

void TestLinkStatus::afterEvents_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("failures");

    const QStringList none;
    QTest::newRow("start") << none << kConnect << "Status Window" << none;
    QTest::newRow("connecting leaves the label")
        << QStringList{"user"} << kDisconnect << "Status Window" << none;
    QTest::newRow("connected") << QStringList{"user", "version"} << kDisconnect
                               << "Connesso ad AGWPE v2000.78" << none;
    QTest::newRow("closed by the command")
        << QStringList{"user", "version", "close"} << kConnect << kClosed << none;
    QTest::newRow("connecting again leaves the label")
        << QStringList{"user", "close", "user"} << kDisconnect << kClosed << none;
    QTest::newRow("closed by the engine")
        << QStringList{"user", "version", "engine closes"} << kConnect << kClosed << none;
    QTest::newRow("a version read before the engine's close")
        << QStringList{"user", "engine closes", "version"} << kConnect << kClosed << none;
    QTest::newRow("a version read before the command's close")
        << QStringList{"user", "close", "version"} << kConnect << kClosed << none;
    QTest::newRow("failed") << QStringList{"user", "fail Failed"} << kConnect << kClosed
                            << QStringList{"box"};
    QTest::newRow("failed at start-up")
        << QStringList{"startup", "fail TimedOut"} << kConnect << kClosed << QStringList{"box"};
    QTest::newRow("silent engine") << QStringList{"user", "fail Silent"} << kConnect << kSilent
                                   << QStringList{"box, label first"};
    QTest::newRow("every failure boxed without reconnecting")
        << QStringList{"user", "version", "fail Lost", "user", "fail NotAnEngine"} << kConnect
        << kClosed << QStringList{"box", "box"};
    QTest::newRow("reconnecting: the user's first failure boxed, retries quiet")
        << QStringList{"reconnect on", "user",        "fail Failed",       "countdown 2 Failed",
                       "retrying",     "fail Failed", "countdown 4 Failed"}
        << kDisconnect << "Connessione fallita: riprovo tra 4 s" << QStringList{"box", "quiet"};
    QTest::newRow("reconnecting: quiet once the engine answered")
        << QStringList{"reconnect on", "user", "version", "fail Lost"} << kConnect << kClosed
        << QStringList{"quiet"};
    QTest::newRow("reconnecting: start-up's failure quiet")
        << QStringList{"reconnect on", "startup", "fail Silent"} << kConnect << kSilent
        << QStringList{"quiet, label first"};
    QTest::newRow("reconnecting: the engine closed")
        << QStringList{"reconnect on", "user", "version", "engine closes", "countdown 2 Closed"}
        << kDisconnect << "Collegamento perso: riprovo tra 2 s" << none;
    QTest::newRow("reconnecting: a host gone silent")
        << QStringList{"reconnect on", "user", "version", "fail Lost", "countdown 60 Lost"}
        << kDisconnect << "Collegamento perso: riprovo tra 60 s" << QStringList{"quiet"};
    QTest::newRow("reconnecting: an engine that never answers")
        << QStringList{"reconnect on", "startup", "fail Silent", "countdown 9 Silent"}
        << kDisconnect << "AGWPE non risponde: riprovo tra 9 s"
        << QStringList{"quiet, label first"};
    QTest::newRow("reconnecting: a retry under way")
        << QStringList{"reconnect on", "startup", "fail TimedOut", "countdown 1 TimedOut",
                       "retrying"}
        << kDisconnect << "Connessione ad AGWPE in corso" << QStringList{"quiet"};
    QTest::newRow("reconnecting switched off while a retry waits")
        << QStringList{"reconnect on", "startup", "fail Failed", "countdown 30 Failed",
                       "reconnect off"}
        << kConnect << kClosed << QStringList{"quiet"};
    QTest::newRow("reconnecting switched off while closed")
        << QStringList{"reconnect on", "reconnect off"} << kConnect << "Status Window" << none;
}

void TestLinkStatus::afterEvents()
{
    QFETCH(QStringList, events);
    QFETCH(QString, caption);
    QFETCH(QString, label);
    QFETCH(QStringList, failures);

    LinkStatus status;
    QCOMPARE(run(status, events), failures);
    QCOMPARE(status.caption(), caption);
    QCOMPARE(status.label(), label);
    // The label is made wide enough for every text it shows.
    QStringList shapes;
    for (const QString &text : LinkStatus::everyLabel())
        shapes << shape(text);
    QVERIFY2(shapes.contains(shape(status.label())), qPrintable(status.label()));
}

QTEST_GUILESS_MAIN(TestLinkStatus)
#include "tst_linkstatus.moc"
