#include "RecorderStatus.h"

#include "TimeText.h"

namespace quintaro::display {

namespace {

bool isLoopback(const QString &host)
{
    return host == QLatin1String("localhost") || host == QLatin1String("::1") ||
           host == QLatin1String("[::1]") || host.startsWith(QLatin1String("127."));
}

} // namespace

bool sameEngineHost(const QString &a, const QString &b)
{
    const QString x = a.trimmed().toLower();
    const QString y = b.trimmed().toLower();
    return x == y || (isLoopback(x) && isLoopback(y));
}

RecorderStatus recorderStatus(const std::vector<history::RecorderRow> &rows, const QString &address,
                              std::int64_t now)
{
    RecorderStatus status;
    const bool anyHost = address.trimmed().isEmpty();
    for (const history::RecorderRow &row : rows) {
        const bool matches = anyHost || sameEngineHost(row.host, address);
        if (!matches) {
            if (isLive(row, now) && !status.otherLiveHost)
                status.otherLiveHost = row.host;
            continue;
        }
        if (!status.recorder || row.heartbeatUtc > status.recorder->heartbeatUtc)
            status.recorder = row;
    }
    status.recording = status.recorder && isLive(*status.recorder, now);
    if (status.recording)
        status.otherLiveHost.reset();
    return status;
}

QString describeRecorderStatus(const RecorderStatus &status, const QString &address,
                               std::int64_t now)
{
    const QString from = address.trimmed().isEmpty()
                             ? QString()
                             : QStringLiteral(" from the engine at ") + address.trimmed();
    if (status.recording) {
        return QStringLiteral("Recorded live by Quintaro (process %1) from the engine at %2.")
            .arg(status.recorder->pid)
            .arg(status.recorder->host);
    }
    QString text = QStringLiteral("No Quintaro records") + from + QStringLiteral(" now");
    if (status.recorder) {
        text += QStringLiteral(": last heartbeat ") +
                QString::fromStdString(localTimeText(status.recorder->heartbeatUtc, now)) +
                QStringLiteral(".");
    } else {
        text += QStringLiteral(", nor has one yet.");
    }
    if (status.otherLiveHost)
        text += QStringLiteral(" One records from the engine at ") + *status.otherLiveHost +
                QStringLiteral(".");
    return text + QStringLiteral(" The history recorded so far is shown.");
}

} // namespace quintaro::display
