#include "DirewolfRunner.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>

namespace testsupport {

namespace {

// Direwolf's own words once its AGWPE listener is up, and when its bind
// failed (it then runs on without the listener).
const QByteArray kReady = "Ready to accept AGW client";
const QByteArray kBindFailed = "Bind failed";

constexpr int kWavHeaderSize = 44;

QByteArray configFor(quint16 port)
{
    // Audio from standard input, none out; AGWPE on the chosen port and
    // nothing else on the network; no beacons (none configured).
    return "ADEVICE stdin null\n"
           "ARATE 44100\n"
           "CHANNEL 0\n"
           "MODEM 1200\n"
           "AGWPORT " +
           QByteArray::number(port) +
           "\n"
           "KISSPORT 0\n";
}

} // namespace

quint16 freeLoopbackPort(quint16 lowest, quint16 highest)
{
    if (lowest == 0 || highest < lowest)
        return 0;
    for (int attempt = 0; attempt < 64; ++attempt) {
        const auto candidate =
            quint16(QRandomGenerator::global()->bounded(int(lowest), int(highest) + 1));
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, candidate))
            return candidate;
    }
    return 0;
}

DirewolfRunner::DirewolfRunner() = default;

DirewolfRunner::~DirewolfRunner()
{
    stop();
}

bool DirewolfRunner::installed(QString *missing)
{
    for (const char *tool : {"direwolf", "gen_packets"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            if (missing)
                *missing = QString::fromLatin1(tool);
            return false;
        }
    }
    return true;
}

bool DirewolfRunner::start(int timeoutMs)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory for Direwolf");
        return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const quint16 port = freeLoopbackPort();
        if (port == 0) {
            m_error = QStringLiteral("no free loopback port");
            return false;
        }
        switch (startOn(port, timeoutMs)) {
        case Outcome::Ready:
            return true;
        case Outcome::PortTaken:
            stop();
            continue;
        case Outcome::Failed:
            stop();
            return false;
        }
    }
    m_error = QStringLiteral("Direwolf could not bind a free port twice");
    return false;
}

bool DirewolfRunner::startOnPort(quint16 port, int timeoutMs)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory for Direwolf");
        return false;
    }
    switch (startOn(port, timeoutMs)) {
    case Outcome::Ready:
        return true;
    case Outcome::PortTaken:
        m_error = QStringLiteral("port %1 is taken").arg(port);
        break;
    case Outcome::Failed:
        break;
    }
    stop();
    return false;
}

DirewolfRunner::Outcome DirewolfRunner::startOn(quint16 port, int timeoutMs)
{
    const QString config = m_dir.filePath(QStringLiteral("direwolf.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(configFor(port)) < 0) {
        m_error = QStringLiteral("cannot write %1").arg(config);
        return Outcome::Failed;
    }
    file.close();

    m_output.clear();
    m_process = std::make_unique<QProcess>();
    m_process->setWorkingDirectory(m_dir.path());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // -t 0: no colour codes; -q hd: no heard lines, no APRS decoding.
    m_process->start(QStringLiteral("direwolf"),
                     {QStringLiteral("-c"), config, QStringLiteral("-t"), QStringLiteral("0"),
                      QStringLiteral("-q"), QStringLiteral("hd")});
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("direwolf did not start: %1").arg(m_process->errorString());
        return Outcome::Failed;
    }
    m_pid = m_process->processId();
    m_port = port;

    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readOutput();
        if (m_output.contains(kBindFailed))
            return Outcome::PortTaken;
        if (m_output.contains(kReady)) {
            // Direwolf replaces a port it does not accept with its default
            // and says so; a listener anywhere else is not ours.
            if (m_output.contains(kReady + " application 0 on port " + QByteArray::number(port) +
                                  " "))
                return Outcome::Ready;
            m_error = QStringLiteral("direwolf did not take port %1:\n").arg(port) +
                      QString::fromLocal8Bit(m_output);
            return Outcome::Failed;
        }
        if (m_process->state() != QProcess::Running) {
            m_error =
                QStringLiteral("direwolf ended at start:\n") + QString::fromLocal8Bit(m_output);
            return Outcome::Failed;
        }
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("direwolf not ready within %1 ms:\n").arg(timeoutMs) +
                      QString::fromLocal8Bit(m_output);
            return Outcome::Failed;
        }
        m_process->waitForReadyRead(50);
    }
}

void DirewolfRunner::kill()
{
    if (running())
        m_process->kill();
}

void DirewolfRunner::readOutput()
{
    if (m_process)
        m_output += m_process->readAll();
}

QByteArray DirewolfRunner::output()
{
    readOutput();
    return m_output;
}

bool DirewolfRunner::running() const
{
    return m_process && m_process->state() == QProcess::Running;
}

bool DirewolfRunner::writeAudio(const QByteArray &samples)
{
    return running() && m_process->write(samples) == samples.size();
}

void DirewolfRunner::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        // The end of its audio ends Direwolf at once; SIGTERM, which it
        // answers within about a second, is for when that does not.
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(300)) {
            m_process->terminate();
            if (!m_process->waitForFinished(3000)) {
                m_process->kill();
                m_process->waitForFinished(2000);
            }
        }
    }
    readOutput();
    m_process.reset();
    m_pid = 0;
}

QByteArray DirewolfRunner::packetAudio(const QByteArray &monitorForm, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QByteArray();
    };
    QTemporaryDir dir;
    if (!dir.isValid())
        return fail(QStringLiteral("no temporary directory for gen_packets"));
    const QString wav = dir.filePath(QStringLiteral("packet.wav"));

    // One packet per run, read from standard input.
    QProcess gen;
    gen.setProcessChannelMode(QProcess::MergedChannels);
    gen.start(QStringLiteral("gen_packets"),
              {QStringLiteral("-r"), QString::number(kSampleRate), QStringLiteral("-B"),
               QStringLiteral("1200"), QStringLiteral("-o"), wav, QStringLiteral("-")});
    if (!gen.waitForStarted(5000))
        return fail(QStringLiteral("gen_packets did not start: %1").arg(gen.errorString()));
    gen.write(monitorForm);
    gen.closeWriteChannel();
    if (!gen.waitForFinished(10000)) {
        gen.kill();
        gen.waitForFinished(2000);
        return fail(QStringLiteral("gen_packets did not finish"));
    }
    if (gen.exitStatus() != QProcess::NormalExit || gen.exitCode() != 0)
        return fail(QStringLiteral("gen_packets failed:\n") +
                    QString::fromLocal8Bit(gen.readAll()));

    QFile file(wav);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("gen_packets wrote no %1").arg(wav));
    const QByteArray bytes = file.readAll();
    // The plain 44-byte header of a PCM file: "RIFF", "WAVE", and the data
    // chunk starting at offset 36.
    if (bytes.size() <= kWavHeaderSize || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE" ||
        bytes.mid(36, 4) != "data")
        return fail(QStringLiteral("gen_packets wrote an unexpected WAV layout"));
    return bytes.mid(kWavHeaderSize);
}

QByteArray DirewolfRunner::silence(int milliseconds)
{
    const qsizetype samples = qsizetype(kSampleRate) * milliseconds / 1000;
    return QByteArray(samples * 2, '\0');
}

} // namespace testsupport
