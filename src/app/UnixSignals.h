#pragma once

#include <QObject>

class QSocketNotifier;

namespace quintaro {

// Turns SIGTERM, SIGHUP and SIGINT (the end of the user's log-on, a closed
// terminal, Ctrl+C) into a Qt signal delivered by the event loop, where the
// window can unload in order. A signal handler may do almost nothing, so it
// only writes a byte into a socket pair that the event loop watches.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignalWatcher(QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace quintaro
