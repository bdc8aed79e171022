#include "EngineLink.h"

#include "TextCodec.h"

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

EngineLink::EngineLink(QObject *parent) : QObject(parent)
{
    m_socket = new QTcpSocket(this);
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    m_monitorFlushTimer = new QTimer(this);
    m_monitorFlushTimer->setSingleShot(true);
    connect(m_monitorFlushTimer, &QTimer::timeout, this, &EngineLink::flushMonitorLines);
    connect(m_socket, &QTcpSocket::connected, this, &EngineLink::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &EngineLink::readWaiting);
    connect(m_socket, &QTcpSocket::disconnected, this, &EngineLink::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The engine closing the link is no failure: onDisconnected says so.
        if (error != QAbstractSocket::RemoteHostClosedError)
            fail(m_socket->errorString());
    });
}

EngineLink::~EngineLink()
{
    // A socket closed by its destructor would report to a link half gone.
    m_socket->disconnect(this);
    m_socket->abort();
}

void EngineLink::connectToEngine(const QString &host, quint16 port)
{
    closeSocket();
    m_host = host;
    m_port = port;
    m_socket->connectToHost(host, port);
}

void EngineLink::disconnectFromEngine()
{
    closeSocket();
}

bool EngineLink::isClosed() const
{
    return m_socket->state() == QAbstractSocket::UnconnectedState;
}

void EngineLink::closeSocket()
{
    ++m_generation;
    m_engineClosed = false;
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

void EngineLink::onConnected()
{
    sendRequest(agw::kMonitorRequest);
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    const quint64 generation = m_generation;
    emit connected();
    if (generation != m_generation || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    sendRequest(agw::kVersionRequest);
}

void EngineLink::sendRequest(std::uint8_t kind)
{
    const agw::Header request = agw::makeRequest(kind);
    const qint64 sent = m_socket->write(reinterpret_cast<const char *>(request.data()),
                                        static_cast<qint64>(request.size()));
    if (sent != static_cast<qint64>(request.size()))
        fail(m_socket->errorString());
}

void EngineLink::fail(const QString &reason)
{
    flushMonitorLines();
    closeSocket();
    emit failed(reason);
}

void EngineLink::onDisconnected()
{
    if (m_closing)
        return;
    // The engine closed the link: what it sent before closing still counts,
    // and is read first.
    m_engineClosed = true;
    readWaiting();
}

void EngineLink::readWaiting()
{
    if (m_emitting)
        return;
    for (;;) {
        if (m_resetPending) {
            m_stream.reset();
            m_resetPending = false;
        }
        if (m_socket->bytesAvailable() <= 0)
            break;
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
            fail(QStringLiteral("The peer at %1 port %2 does not speak the AGWPE protocol: it "
                                "sent data that are not AGWPE frames.")
                     .arg(m_host, QString::number(m_port)));
            return;
        }
    }
    scheduleMonitorFlush();
    if (m_engineClosed && isClosed()) {
        m_engineClosed = false;
        flushMonitorLines();
        emit closedByEngine();
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
    const agw::FrameStream::CutResult cut =
        m_stream.cut([this](const std::uint8_t *block, std::size_t headerPos, std::uint32_t length) {
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
        if (end > next)
            emit weatherReportsHeard(reports.subspan(next, end - next));
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
