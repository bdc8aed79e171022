#pragma once

#include "AgwTestFrames.h"
#include "EventWait.h"

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <string>

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
