#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

// A real Direwolf as the packet engine, for integration tests: it serves the
// AGWPE interface on a free port (the test connects to 127.0.0.1 only) and
// demodulates the audio that the test writes into its standard input, so
// packets reach it as they would from a radio. No transmitter, no KISS port,
// no beacons. Direwolf is stopped when the runner goes out of scope, whatever
// path the test took.
class DirewolfRunner
{
public:
    DirewolfRunner();
    ~DirewolfRunner();
    DirewolfRunner(const DirewolfRunner &) = delete;
    DirewolfRunner &operator=(const DirewolfRunner &) = delete;

    // Whether direwolf and gen_packets are on the PATH; the missing one named
    // in *missing otherwise.
    static bool installed(QString *missing = nullptr);

    // Starts Direwolf and waits until it accepts AGWPE clients. A port taken
    // between choosing it and Direwolf's bind is retried once on another.
    bool start(int timeoutMs = 10000);
    // Starts Direwolf on this port, where a window already points: after an
    // engine that ended, its successor on the same port.
    bool startOnPort(quint16 port, int timeoutMs = 10000);
    // Ends Direwolf: end of audio first, then SIGTERM, then SIGKILL, each
    // waited for within a bound.
    void stop();
    // Ends Direwolf at once, as a crash would (SIGKILL), without waiting.
    void kill();

    bool running() const;
    quint16 agwPort() const { return m_port; }
    qint64 pid() const { return m_pid; }
    QString errorString() const { return m_error; }
    // Everything Direwolf printed so far (for failure messages).
    QByteArray output();

    // Receiver audio: 16-bit little-endian mono samples at 44 100 Hz. The
    // bytes leave through the event loop.
    bool writeAudio(const QByteArray &samples);

    static constexpr int kSampleRate = 44100;
    // 1200-baud AFSK audio of one packet written in monitor form
    // ("SRC>DEST,PATH:info"), made by gen_packets; empty with *error set
    // when that fails.
    static QByteArray packetAudio(const QByteArray &monitorForm, QString *error = nullptr);
    static QByteArray silence(int milliseconds);

private:
    enum class Outcome { Ready, PortTaken, Failed };
    Outcome startOn(quint16 port, int timeoutMs);
    void readOutput();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_output;
    QString m_error;
    quint16 m_port = 0;
    qint64 m_pid = 0;
};

// A TCP port on 127.0.0.1 that nothing uses at the time of the call, drawn
// from lowest..highest (0 when none can be had). The default range lies below
// the system's ephemeral ports, so no outgoing connection takes the port
// before Direwolf binds it, and within the ports Direwolf accepts (up to
// 49151; it quietly falls back to 8000 for any other).
quint16 freeLoopbackPort(quint16 lowest = 20000, quint16 highest = 32767);

} // namespace testsupport
