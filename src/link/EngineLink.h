#pragma once

#include "FrameStream.h"
#include "MonitorParser.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <span>
#include <string>
#include <vector>

class QTcpSocket;
class QTimer;

namespace quintaro {

// The one connection to the packet engine: it owns the socket and the frame
// stream, sends the two requests, cuts what arrives into frames and parses
// them, and reports what it heard through signals.
//
// Every signal is emitted after the link has finished with the bytes it
// read, never from inside the walk over them, so a receiver may run an event
// loop (a message box); while one does, the link reads nothing, and carries
// on where it stopped once the receiver has returned. Only the engine's
// closing is told at once, so that the link never shows as open when it is
// not; what it sent before is still reported afterwards. A receiver may also
// close or reopen the link; what the old connection still held is then
// dropped.
//
// The link watches over itself: a connect that does not complete in time, an
// engine that accepts the connection but never answers the version request,
// and an engine that stays silent and leaves a version request unanswered
// all fail the link. When asked to reconnect, the link tries again after it
// failed or the engine closed it, with a wait that doubles from try to try,
// until disconnectFromEngine().
class EngineLink : public QObject
{
    Q_OBJECT

public:
    // Where an AGWPE engine listens.
    static constexpr quint16 kAgwPort = 8000;

    // Why the link ended.
    enum class Fault {
        Closed,      // the engine closed the connection
        Failed,      // the connection could not be made, or broke (the system's reason)
        TimedOut,    // the connection was not made in time
        NotAnEngine, // the peer sent data that are not AGWPE frames
        Silent,      // the engine never answered the version request
        Lost,        // the engine stayed silent and left a version request unanswered
    };
    Q_ENUM(Fault)

    // The link's times, in milliseconds. A retry waits firstRetry, then
    // twice as long each time up to longestRetry, each wait moved at random
    // by up to `spread` of it either way, so that many clients of one engine
    // do not all come back at once; after a link that lived stableLink the
    // waits start again at firstRetry.
    struct Timing
    {
        int firstRetry = 2000;
        int longestRetry = 60000;
        double spread = 0.1;
        int stableLink = 60000;
        int connectTimeout = 10000;
        int versionTimeout = 10000;
        // After this long without a byte from the engine, a version request
        // asks whether it is still there; its answer (or any byte) must come
        // within silenceReplyTimeout. A host gone without closing the
        // connection is so noticed within 90 s.
        int silence = 60000;
        int silenceReplyTimeout = 30000;
    };

    // The next retry: its number since the link last lived stableLink (0
    // the first) and the wait before it. `triesBefore` counts the retries
    // since then before this one, `lastLinkLived` is how long the link that
    // just ended lived (0 when it never came up), and `draw`, from 0 to 1,
    // moves the wait by up to `spread` of it either way.
    struct Retry
    {
        int number = 0;
        qint64 waitMs = 0;
    };
    static Retry planRetry(const Timing &timing, int triesBefore, qint64 lastLinkLived,
                           double draw);

    explicit EngineLink(QObject *parent = nullptr);
    ~EngineLink() override;

    void setTiming(const Timing &timing) { m_timing = timing; }
    // Whether a link that ends is tried again, until disconnectFromEngine().
    void setReconnecting(bool on);

    // Starts connecting; connected() or failed() follows.
    void connectToEngine(const QString &host, quint16 port);
    // Closes the link, abandons an attempt or stops the retries, at once;
    // nothing more of it is reported.
    void disconnectFromEngine();
    // No connection, no attempt under way and no retry waiting.
    bool isClosed() const;

signals:
    // The connection is up and monitoring has been asked for; the version
    // request follows once the receivers have returned.
    void connected();
    void versionReceived(quint16 majorVersion, quint16 minorVersion);
    // The last two lines of the latest monitored frame, older first. During
    // a flood at most every 20 ms; always before any other signal, so that
    // what the monitor window shows never trails the rest.
    void monitorLinesChanged(const QStringList &lines);
    // The weather reports of one read, in stream order; the views are valid
    // until the receivers return. Their frames are newer than any lines
    // still waiting to be shown, which are dropped: a receiver may show a
    // report's own lines and then wait in a box, and older lines must not
    // come back over them meanwhile.
    void weatherReportsHeard(std::span<const agw::HeardReport> reports);
    void closedByEngine();
    // The link failed and is closed: the reason in words for the user.
    void failed(const QString &reason, quintaro::EngineLink::Fault fault);
    // A retry waits: the seconds left, rounded up, when the wait begins and
    // every second after; `why` the link ended.
    void retryCountdown(int secondsLeft, quintaro::EngineLink::Fault why);
    // A retry begins to connect.
    void retrying();

private:
    void readWaiting();
    bool readPiece();
    void emitEvents(quint64 generation);
    void takeLatestMonitorLines(std::string_view monitorText);
    void dropPendingMonitorLines();
    void flushMonitorLines();
    void scheduleMonitorFlush();
    void sendRequest(std::uint8_t kind);
    void onConnected();
    void onDisconnected();
    void fail(const QString &reason, Fault fault);
    void closeSocket();
    void startAttempt();
    void retryIfWanted(Fault why);
    void tellCountdown();
    QString peerName() const;

    QTcpSocket *m_socket = nullptr;
    agw::FrameStream m_stream;
    QString m_host;
    quint16 m_port = 0;
    // Counts connections, so that what a receiver's event loop let happen
    // (a new connection, a closed one) stops the reporting of the old.
    quint64 m_generation = 0;
    bool m_emitting = false;
    bool m_closing = false;
    bool m_resetPending = false;
    bool m_engineClosed = false;
    bool m_closeReported = false;

    // What one read produced, reported once the walk is over.
    struct VersionEvent
    {
        std::size_t reportsBefore = 0; // weather reports that came before it
        agw::Version version;
        std::string_view monitorTextBefore; // the monitored frame before it
    };
    std::vector<agw::HeardReport> m_reports;
    std::vector<VersionEvent> m_versions;
    std::string_view m_latestMonitorText;

    // The monitor window's lines, redrawn at most every kMonitorRefreshMs
    // while frames keep coming.
    std::string m_pendingLines[2];
    int m_pendingLineCount = 0;
    bool m_monitorDirty = false;
    QElapsedTimer m_lastMonitorFlush;
    QTimer *m_monitorFlushTimer = nullptr;

    // Watching the link, and retrying: wanted from connectToEngine() until
    // disconnectFromEngine().
    Timing m_timing;
    bool m_reconnecting = false;
    bool m_wanted = false;
    int m_retries = 0; // since the last link that lived stableLink
    Fault m_retryReason = Fault::Closed;
    QDeadlineTimer m_retryDeadline;
    QTimer *m_retryTimer = nullptr;
    QTimer *m_countdownTimer = nullptr;
    QTimer *m_connectTimer = nullptr;
    QTimer *m_versionTimer = nullptr;
    QTimer *m_silenceTimer = nullptr;
    QTimer *m_silenceReplyTimer = nullptr;
    QElapsedTimer m_connectedSince;
    qint64 m_lastLinkLived = 0;
};

} // namespace quintaro
