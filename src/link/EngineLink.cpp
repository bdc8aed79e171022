#include "EngineLink.h"

#include "TextCodec.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

namespace quintaro {

namespace {

// During a flood the socket may hold megabytes; they are read in pieces that
// need not be copied all at once.
constexpr qint64 kReadPiece = 64 * 1024;
// No eye follows the monitor window faster, and each redraw costs far more
// than the frames of a read.
constexpr qint64 kMonitorRefreshMs = 20;

} // namespace

EngineLink::Retry EngineLink::planRetry(const Timing &timing, int triesBefore, qint64 lastLinkLived,
                                        double draw)
{
    Retry retry;
    retry.number = lastLinkLived >= timing.stableLink ? 0 : triesBefore;
    qint64 wait = timing.firstRetry;
    for (int i = 0; i < retry.number && wait < timing.longestRetry; ++i)
        wait *= 2;
    wait = qMin<qint64>(wait, timing.longestRetry);
    const double spread = timing.spread * (2.0 * draw - 1.0);
    retry.waitMs = qMax<qint64>(1, qRound64(double(wait) * (1.0 + spread)));
    return retry;
}

EngineLink::EngineLink(QObject *parent) : QObject(parent)
{
    m_socket = new QTcpSocket(this);
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    const auto singleShot = [this](auto handler) {
        auto *timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, handler);
        return timer;
    };
    m_monitorFlushTimer = singleShot(&EngineLink::flushMonitorLines);
    m_retryTimer = singleShot(&EngineLink::startAttempt);
    m_countdownTimer = new QTimer(this);
    connect(m_countdownTimer, &QTimer::timeout, this, &EngineLink::tellCountdown);
    m_connectTimer = singleShot([this] {
        fail(QStringLiteral("The packet engine at %1 could not be reached within %2 s: the host "
                            "may be off, or a firewall may drop the connection.")
                 .arg(peerName(), QString::number(m_timing.connectTimeout / 1000.0)),
             Fault::TimedOut);
    });
    m_versionTimer = singleShot([this] {
        fail(QStringLiteral("The packet engine at %1 accepted the connection but does not "
                            "answer: it may already serve as many programs as it can.")
                 .arg(peerName()),
             Fault::Silent);
    });
    m_silenceTimer = singleShot([this] {
        // The one request the protocol has for asking whether the engine is
        // there; any byte that comes back will do as an answer.
        sendRequest(agw::kVersionRequest);
        m_silenceReplyTimer->start(m_timing.silenceReplyTimeout);
    });
    m_silenceReplyTimer = singleShot([this] {
        fail(QStringLiteral("The packet engine at %1 has sent nothing for a long time and does "
                            "not answer: the connection is taken as lost.")
                 .arg(peerName()),
             Fault::Lost);
    });

    connect(m_socket, &QTcpSocket::connected, this, &EngineLink::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &EngineLink::readWaiting);
    connect(m_socket, &QTcpSocket::disconnected, this, &EngineLink::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The engine closing the link is no failure: onDisconnected says so.
        if (error != QAbstractSocket::RemoteHostClosedError)
            fail(m_socket->errorString(), Fault::Failed);
    });
}

EngineLink::~EngineLink()
{
    // A socket closed by its destructor would report to a link half gone.
    m_socket->disconnect(this);
    m_socket->abort();
}

QString EngineLink::peerName() const
{
    return m_host + QStringLiteral(" port ") + QString::number(m_port);
}

void EngineLink::setReconnecting(bool on)
{
    m_reconnecting = on;
    // Switched off while a retry waits: the link stays closed.
    if (!on && m_retryTimer->isActive()) {
        m_retryTimer->stop();
        m_countdownTimer->stop();
    }
}

void EngineLink::connectToEngine(const QString &host, quint16 port)
{
    m_host = host;
    m_port = port;
    m_wanted = true;
    m_retries = 0;
    startAttempt();
}

void EngineLink::disconnectFromEngine()
{
    m_wanted = false;
    closeSocket();
}

bool EngineLink::isClosed() const
{
    return m_socket->state() == QAbstractSocket::UnconnectedState && !m_retryTimer->isActive();
}

void EngineLink::startAttempt()
{
    const bool retry = m_retryTimer->isActive() || m_countdownTimer->isActive();
    closeSocket();
    if (retry)
        emit retrying();
    m_connectTimer->start(m_timing.connectTimeout);
    m_socket->connectToHost(m_host, m_port);
}

void EngineLink::closeSocket()
{
    ++m_generation;
    m_engineClosed = false;
    m_closeReported = false;
    for (QTimer *timer : {m_retryTimer, m_countdownTimer, m_connectTimer, m_versionTimer,
                          m_silenceTimer, m_silenceReplyTimer})
        timer->stop();
    m_lastLinkLived = m_connectedSince.isValid() ? m_connectedSince.elapsed() : 0;
    m_connectedSince.invalidate();
    m_closing = true;
    m_socket->abort();
    m_closing = false;
    // Bytes of one connection must never be completed with bytes of the
    // next. While a receiver still looks at the old bytes, they stay until
    // it has returned.
    if (m_emitting)
        m_resetPending = true;
    else
        m_stream.reset();
}

void EngineLink::retryIfWanted(Fault why)
{
    // A receiver may have reconnected or disconnected meanwhile.
    if (!m_reconnecting || !m_wanted || !isClosed())
        return;
    const Retry retry = planRetry(m_timing, m_retries, m_lastLinkLived,
                                  QRandomGenerator::global()->generateDouble());
    m_retries = retry.number + 1;
    m_retryReason = why;
    m_retryDeadline.setRemainingTime(retry.waitMs);
    m_retryTimer->start(int(retry.waitMs));
    m_countdownTimer->start(1000);
    tellCountdown();
}

void EngineLink::tellCountdown()
{
    const qint64 left = m_retryDeadline.remainingTime();
    emit retryCountdown(int((qMax<qint64>(left, 0) + 999) / 1000), m_retryReason);
}

void EngineLink::onConnected()
{
    m_connectTimer->stop();
    m_connectedSince.start();
    sendRequest(agw::kMonitorRequest);
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    const quint64 generation = m_generation;
    emit connected();
    if (generation != m_generation || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    sendRequest(agw::kVersionRequest);
    m_versionTimer->start(m_timing.versionTimeout);
}

void EngineLink::sendRequest(std::uint8_t kind)
{
    const agw::Header request = agw::makeRequest(kind);
    const qint64 sent = m_socket->write(reinterpret_cast<const char *>(request.data()),
                                        static_cast<qint64>(request.size()));
    if (sent != static_cast<qint64>(request.size()))
        fail(m_socket->errorString(), Fault::Failed);
}

void EngineLink::fail(const QString &reason, Fault fault)
{
    flushMonitorLines();
    closeSocket();
    emit failed(reason, fault);
    // The retry is planned once the receivers have returned: a box that
    // reports the failure is not overtaken by the next try.
    retryIfWanted(fault);
}

void EngineLink::onDisconnected()
{
    if (m_closing)
        return;
    // The engine closed the link: what it sent before closing still counts,
    // and is read first.
    m_engineClosed = true;
    if (m_emitting) {
        // A receiver waits in a box: the user sees the link closed at once,
        // as it is; the bytes it left are reported once the receiver has
        // returned.
        if (!m_closeReported) {
            m_closeReported = true;
            flushMonitorLines();
            emit closedByEngine();
        }
        return;
    }
    readWaiting();
}

void EngineLink::readWaiting()
{
    if (m_emitting)
        return;
    bool read = false;
    for (;;) {
        if (m_resetPending) {
            m_stream.reset();
            m_resetPending = false;
        }
        if (m_socket->bytesAvailable() <= 0)
            break;
        read = true;
        const quint64 generation = m_generation;
        const bool broken = !readPiece();
        emitEvents(generation);
        if (generation != m_generation)
            continue;
        // Of a run of frames read together only the last monitored one stays
        // in the monitor window, so only its lines are taken out; not before
        // the events are out, which may first show lines of earlier reads.
        if (m_latestMonitorText.data())
            takeLatestMonitorLines(m_latestMonitorText);
        if (broken) {
            // Nothing more of this peer is read: closed before the report,
            // its later bytes or its closing cannot report the fault again.
            fail(QStringLiteral("The peer at %1 does not speak the AGWPE protocol: it sent data "
                                "that are not AGWPE frames.")
                     .arg(peerName()),
                 Fault::NotAnEngine);
            return;
        }
    }
    scheduleMonitorFlush();
    if (m_engineClosed && m_socket->state() == QAbstractSocket::UnconnectedState) {
        const bool reported = m_closeReported;
        flushMonitorLines();
        closeSocket();
        if (!reported)
            emit closedByEngine();
        retryIfWanted(Fault::Closed);
        return;
    }
    // Anything from the engine shows it is there.
    if (read && m_socket->state() == QAbstractSocket::ConnectedState &&
        !m_versionTimer->isActive()) {
        m_silenceReplyTimer->stop();
        m_silenceTimer->start(m_timing.silence);
    }
}

bool EngineLink::readPiece()
{
    const qint64 piece = qMin<qint64>(m_socket->bytesAvailable(), kReadPiece);
    std::uint8_t *target = m_stream.prepare(static_cast<std::size_t>(piece));
    const qint64 got = m_socket->read(reinterpret_cast<char *>(target), piece);
    m_stream.commit(got > 0 ? static_cast<std::size_t>(got) : 0);

    m_reports.clear();
    m_versions.clear();
    m_latestMonitorText = {};
    const agw::FrameStream::CutResult cut = m_stream.cut(
        [this](const std::uint8_t *block, std::size_t headerPos, std::uint32_t length) {
            const agw::ParsedFrame frame = agw::parseFrame(block, headerPos, length);
            switch (frame.kind) {
            case agw::FrameKind::Monitored:
                m_latestMonitorText = frame.text;
                if (frame.weather)
                    m_reports.push_back({frame.call, frame.text});
                break;
            case agw::FrameKind::Version:
                m_versions.push_back({m_reports.size(), frame.version, m_latestMonitorText});
                break;
            case agw::FrameKind::Other:
                break;
            }
        });
    return !cut.broken;
}

void EngineLink::emitEvents(quint64 generation)
{
    m_emitting = true;
    const std::span<const agw::HeardReport> reports(m_reports);
    std::size_t next = 0;
    const auto reportUpTo = [&](std::size_t end) {
        if (end > next) {
            dropPendingMonitorLines();
            emit weatherReportsHeard(reports.subspan(next, end - next));
        }
        next = end;
        return generation == m_generation;
    };
    bool current = true;
    for (const VersionEvent &event : m_versions) {
        if (!(current = reportUpTo(event.reportsBefore)))
            break;
        // The monitor window first shows what came before the reply: a frame
        // of this read, or one of an earlier read still waiting for the
        // next redraw of a flood.
        if (event.monitorTextBefore.data()) {
            const agw::MonitorLines lines = agw::lastTwoLines(event.monitorTextBefore);
            QStringList shown;
            for (std::size_t i = 0; i < lines.count; ++i)
                shown << fromRadioBytes(lines.lines[i]);
            emit monitorLinesChanged(shown);
        } else {
            flushMonitorLines();
        }
        m_versionTimer->stop();
        emit versionReceived(event.version.majorVersion, event.version.minorVersion);
        if (!(current = generation == m_generation))
            break;
    }
    if (current)
        reportUpTo(reports.size());
    m_emitting = false;
}

void EngineLink::takeLatestMonitorLines(std::string_view monitorText)
{
    const agw::MonitorLines lines = agw::lastTwoLines(monitorText);
    m_pendingLineCount = static_cast<int>(lines.count);
    for (int i = 0; i < m_pendingLineCount; ++i)
        m_pendingLines[i].assign(lines.lines[i]);
    m_monitorDirty = true;
}

void EngineLink::scheduleMonitorFlush()
{
    if (!m_monitorDirty)
        return;
    // A single frame after a quiet spell shows at once; a flood at most
    // every kMonitorRefreshMs, the last frame always.
    if (!m_lastMonitorFlush.isValid() || m_lastMonitorFlush.elapsed() >= kMonitorRefreshMs) {
        flushMonitorLines();
        return;
    }
    if (!m_monitorFlushTimer->isActive())
        m_monitorFlushTimer->start(int(kMonitorRefreshMs - m_lastMonitorFlush.elapsed()));
}

void EngineLink::dropPendingMonitorLines()
{
    m_monitorDirty = false;
    m_monitorFlushTimer->stop();
}

void EngineLink::flushMonitorLines()
{
    if (!m_monitorDirty)
        return;
    m_monitorDirty = false;
    m_monitorFlushTimer->stop();
    m_lastMonitorFlush.start();
    QStringList lines;
    for (int i = 0; i < m_pendingLineCount; ++i)
        lines << fromRadioBytes(m_pendingLines[i]);
    emit monitorLinesChanged(lines);
}

} // namespace quintaro
