#pragma once

#include "FrameStream.h"
#include "MonitorParser.h"

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
// on where it stopped once the receiver has returned. A receiver may also
// close or reopen the link; what the old connection still held is then
// dropped.
class EngineLink : public QObject
{
    Q_OBJECT

public:
    // Where an AGWPE engine listens.
    static constexpr quint16 kAgwPort = 8000;

    explicit EngineLink(QObject *parent = nullptr);
    ~EngineLink() override;

    // Starts connecting; connected() or failed() follows.
    void connectToEngine(const QString &host, quint16 port);
    // Closes the link, or abandons the attempt, at once; nothing more of it
    // is reported.
    void disconnectFromEngine();
    // No connection and no attempt under way.
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
    // until the receivers return.
    void weatherReportsHeard(std::span<const agw::HeardReport> reports);
    void closedByEngine();
    // The link failed and is closed: the reason in the system's words.
    void failed(const QString &reason);

private:
    void readWaiting();
    bool readPiece();
    void emitEvents(quint64 generation);
    void takeLatestMonitorLines(std::string_view monitorText);
    void flushMonitorLines();
    void scheduleMonitorFlush();
    void sendRequest(std::uint8_t kind);
    void onConnected();
    void onDisconnected();
    void fail(const QString &reason);
    void closeSocket();

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
};

} // namespace quintaro
