// The main window's AGWPE link: the Connect command, the socket's
// notifications, and the monitored frames.

#include "frmQuintaro.h"

#include "AgwFrame.h"
#include "MessageBoxes.h"
#include "MonitorParser.h"
#include "TextCodec.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTcpSocket>
#include <QTimer>

namespace quintaro {

namespace {

const QString kLinkClosed = QStringLiteral("Connessione ad AGWPE chiusa");
const QString kLinkErrorTitle = QStringLiteral("Errore collegamento con AGWPE");
constexpr qint64 kReadPiece = 64 * 1024;
constexpr qint64 kMonitorRefreshMs = 20;

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

quint16 frmQuintaro::agwPort() const
{
    return m_portOverride != 0 ? m_portOverride : static_cast<quint16>(m_iAgwPort);
}

void frmQuintaro::showLinkClosed()
{
    nmuConnect->setText(QStringLiteral("&Connect"));
    lblAGW->setText(kLinkClosed);
}

void frmQuintaro::resetStream()
{
    // Bytes of one connection must never be completed with bytes of the
    // next. The stream allows this also while one of its frames is being
    // handled: the block in hand stays valid until the handler returns.
    m_stream.reset();
    m_unshownText = {};
}

void frmQuintaro::nmuConnect_Click()
{
    if (Winsock1->state() == QAbstractSocket::UnconnectedState) {
        const QString host = trimSpaces(txtAddr->text());
        if (!host.isEmpty())
            m_sAgwHost = host;
        if (m_sAgwHost.isEmpty()) {
            linkFailed(QStringLiteral("No AGWPE address: type the address of the packet engine "
                                      "into the AGW IP Address box."));
            return;
        }
        resetStream();
        Winsock1->connectToHost(m_sAgwHost, agwPort());
        // A failure reported at once has already shown the link as closed.
        if (Winsock1->state() != QAbstractSocket::UnconnectedState)
            nmuConnect->setText(QStringLiteral("&Disconnect"));
        return;
    }
    m_closingLink = true;
    Winsock1->abort();
    m_closingLink = false;
    showLinkClosed();
}

void frmQuintaro::Winsock1_Connect()
{
    SendAgwFrame('m');
    if (Winsock1->state() != QAbstractSocket::ConnectedState)
        return;
    setStationListTitle();
    SendAgwFrame('R');
}

void frmQuintaro::SendAgwFrame(std::uint8_t kind)
{
    const auto request = agw::makeRequest(kind);
    const qint64 sent = Winsock1->write(reinterpret_cast<const char *>(request.data()),
                                        static_cast<qint64>(request.size()));
    if (sent != static_cast<qint64>(request.size()))
        linkFailed(Winsock1->errorString());
}

void frmQuintaro::Winsock1_Error(int /*number*/, const QString &description)
{
    linkFailed(description);
}

void frmQuintaro::linkFailed(const QString &description)
{
    flushMonitorLines();
    MsgBox(description, vbExclamation, kLinkErrorTitle, this);
    m_closingLink = true;
    Winsock1->abort();
    m_closingLink = false;
    showLinkClosed();
}

void frmQuintaro::Winsock1_Disconnected()
{
    if (m_closingLink)
        return;
    // The engine closed the link: what it sent before closing still counts,
    // and the window must not go on claiming a live link.
    if (Winsock1->bytesAvailable() > 0)
        Winsock1_DataArrival(Winsock1->bytesAvailable());
    flushMonitorLines();
    showLinkClosed();
}

void frmQuintaro::Winsock1_DataArrival(qint64 /*bytesTotal*/)
{
    // A message box shown for a station runs its own event loop; data that
    // arrives meanwhile is picked up by the loop below once the box closes.
    if (m_inDataArrival)
        return;
    m_inDataArrival = true;
    bool broken = false;
    for (;;) {
        const qint64 waiting = Winsock1->bytesAvailable();
        if (waiting <= 0)
            break;
        // Read in pieces: during a flood the socket may hold megabytes, which
        // need not be copied all at once.
        const qint64 piece = qMin<qint64>(waiting, kReadPiece);
        std::uint8_t *target = m_stream.prepare(static_cast<std::size_t>(piece));
        const qint64 got = Winsock1->read(reinterpret_cast<char *>(target), piece);
        m_stream.commit(got > 0 ? static_cast<std::size_t>(got) : 0);
        if (got <= 0)
            break;
        const agw::FrameStream::CutResult cut =
            m_stream.cut([this](const std::uint8_t *block, std::size_t start, std::uint32_t length,
                                bool lastInBlock) {
                m_frameIsLastInBlock = lastInBlock;
                ProcessAgwFrame(block, start, length);
                m_frameIsLastInBlock = true;
            });
        // Whatever the walk left behind points at bytes that are gone now.
        m_unshownText = {};
        if (cut.broken) {
            broken = true;
            break;
        }
    }
    scheduleMonitorFlush();
    m_inDataArrival = false;
    if (broken) {
        // Nothing more of this peer is read: closed before the box, its later
        // bytes or its closing cannot report the same fault a second time.
        m_closingLink = true;
        Winsock1->abort();
        m_closingLink = false;
        resetStream();
        // One pass over the text: a host that holds "%1" (an IPv6 scope)
        // must not take the port's place.
        linkFailed(QStringLiteral("The peer at %1 port %2 does not speak the AGWPE protocol: it "
                                  "sent data that are not AGWPE frames.")
                       .arg(m_sAgwHost, QString::number(agwPort())));
    }
}

void frmQuintaro::ProcessAgwFrame(const std::uint8_t *data, std::size_t start,
                                  std::uint32_t dataLen)
{
    // Of a run of frames received together only the last monitored one stays
    // in the monitor window, so only its lines are taken out (and those of a
    // frame that changes the window before the run ends: a new station). The
    // others are only looked at where they stand in the received block.
    const agw::ParsedFrame frame =
        agw::parseFrame(data, start, dataLen, agw::LineDetail::LastLineOnly);
    switch (frame.kind) {
    case agw::FrameKind::Monitored: {
        m_unshownText = frame.text;
        m_monitorDirty = true;
        if (!frame.weather)
            break;
        // The call is read here rather than taken from the parsed frame, so
        // that the other frames of a flood never pay for it.
        const std::string_view call = agw::callFrom(data + start);
        if (!m_callCount.contains(
                QByteArray::fromRawData(call.data(), static_cast<qsizetype>(call.size())))) {
            takeMonitorLines();
            AddWxStation(fromRadioBytes(call));
        }
        break;
    }
    case agw::FrameKind::Version:
        takeMonitorLines();
        flushMonitorLines();
        lblAGW->setText(QStringLiteral("Connesso ad AGWPE v") +
                        QString::number(frame.version.majorVersion) + QLatin1Char('.') +
                        QString::number(frame.version.minorVersion));
        break;
    case agw::FrameKind::Other:
        break;
    }
    // The block's bytes are dropped once its last frame is done.
    if (m_frameIsLastInBlock)
        takeMonitorLines();
    // Outside a received block (a frame handed in directly) there is no
    // end of block to wait for.
    if (!m_inDataArrival)
        flushMonitorLines();
}

void frmQuintaro::takeMonitorLines()
{
    if (!m_unshownText.data())
        return;
    const agw::MonitorLines lines = agw::lastTwoLines(m_unshownText);
    m_unshownText = {};
    m_pendingLineCount = static_cast<int>(lines.count);
    for (int i = 0; i < m_pendingLineCount; ++i)
        m_pendingLines[i].assign(lines.lines[i]);
}

void frmQuintaro::scheduleMonitorFlush()
{
    if (!m_monitorDirty)
        return;
    // During a flood the monitor window is redrawn at most every
    // kMonitorRefreshMs: each redraw costs far more than the frames of a
    // received block, and no eye follows more. A single frame, and anything
    // else that changes on screen (a station, a box, the status), still
    // shows the monitor window as it stands at once.
    if (!m_lastMonitorFlush.isValid() || m_lastMonitorFlush.elapsed() >= kMonitorRefreshMs) {
        flushMonitorLines();
        return;
    }
    if (!m_monitorFlushTimer->isActive())
        m_monitorFlushTimer->start(int(kMonitorRefreshMs - m_lastMonitorFlush.elapsed()));
}

void frmQuintaro::flushMonitorLines()
{
    if (!m_monitorDirty)
        return;
    m_monitorDirty = false;
    m_monitorFlushTimer->stop();
    m_lastMonitorFlush.start();
    // The rows are kept and only their texts change: a flood of frames
    // would otherwise make and destroy two rows per received block.
    while (List2->count() > m_pendingLineCount)
        delete List2->takeItem(List2->count() - 1);
    for (int i = 0; i < m_pendingLineCount; ++i) {
        const QString line = fromRadioBytes(m_pendingLines[i]);
        if (i < List2->count()) {
            if (List2->item(i)->text() != line)
                List2->item(i)->setText(line);
        } else {
            List2->addItem(line);
        }
    }
}

} // namespace quintaro
