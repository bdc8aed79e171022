#pragma once

#include <QObject>

#include <memory>

namespace quintaro {

// Tells when the user's session ends the program, so that the window can
// unload in order (SessionSignals_unix.cpp, SessionSignals_win.cpp).
//
// Linux: SIGTERM, SIGHUP and SIGINT (the end of the user's log-on, a closed
// terminal, Ctrl+C) become terminationRequested, delivered by the event loop.
// A signal handler may do almost nothing, so it only writes a byte into a
// socket pair that the event loop watches.
//
// Windows: no such signals; the end of the session is WM_ENDSESSION, after
// which Windows ends the process as soon as the message has been handled.
// sessionEnding is emitted while it is, and what must outlive the program
// is done before it returns.
class SessionSignals : public QObject
{
    Q_OBJECT

public:
    explicit SessionSignals(QObject *parent = nullptr);
    ~SessionSignals() override;

signals:
    // The session asks the program to end: an orderly close follows from
    // the event loop.
    void terminationRequested(int signalNumber);
    // The session ends the program when the connected slots return: they
    // save what must be saved, within a few seconds.
    void sessionEnding();

private:
    struct Watch;
    std::unique_ptr<Watch> m_watch;
};

} // namespace quintaro
