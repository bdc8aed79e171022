#pragma once

#include "AgwTestFrames.h"
#include "EventWait.h"

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <string>
#include <vector>

namespace agwtest {

// Exactly n bytes from the peer (fewer when they do not come in time).
inline QByteArray receive(QTcpSocket *peer, qsizetype n)
{
    QByteArray got;
    testsupport::waitUntil([&] {
        got += peer->read(n - got.size());
        return got.size() >= n;
    });
    return got;
}

inline void send(QTcpSocket *peer, const std::string &bytes)
{
    peer->write(qbytes(bytes));
    peer->flush();
}

// Writes each chunk once the window has read the one before, so that each
// reaches the window as a read of its own; how many went so before one was
// not read in time. *reads, when given, counts the window's reads.
inline std::size_t deliver(QTcpSocket *windowSide, QTcpSocket *peer,
                           const std::vector<std::string> &chunks, int *reads = nullptr)
{
    int counted = 0;
    const QMetaObject::Connection counting =
        QObject::connect(windowSide, &QTcpSocket::readyRead, windowSide, [&] { ++counted; });
    std::size_t delivered = 0;
    for (const std::string &chunk : chunks) {
        const int before = counted;
        agwtest::send(peer, chunk);
        if (!testsupport::waitUntil(
                [&] { return counted > before && windowSide->bytesAvailable() == 0; }))
            break;
        ++delivered;
    }
    QObject::disconnect(counting);
    if (reads)
        *reads = counted;
    return delivered;
}

// The engine's side of the link: a server on a free loopback port, inside
// this process.
class Engine
{
public:
    Engine() { m_listening = server.listen(QHostAddress::LocalHost, 0); }
    bool listening() const { return m_listening; }
    quint16 port() const { return server.serverPort(); }

    // The window's next connection, or nullptr when none comes.
    QTcpSocket *accept()
    {
        if (!m_listening ||
            !testsupport::waitUntil([this] { return server.hasPendingConnections(); }))
            return nullptr;
        return server.nextPendingConnection();
    }

    // The window's next connection once its two requests (monitoring on,
    // then the version) are in; nullptr when none comes or it sends other
    // bytes.
    QTcpSocket *acceptLink()
    {
        QTcpSocket *peer = accept();
        if (peer && receive(peer, 72) != qbytes(request('m') + request('R')))
            return nullptr;
        return peer;
    }

    QTcpServer server;

private:
    bool m_listening = false;
};

} // namespace agwtest
