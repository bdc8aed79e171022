#include "LinkStatus.h"

namespace quintaro {

namespace {

QString closedLabel()
{
    return QStringLiteral("Connessione ad AGWPE chiusa");
}

QString silentLabel()
{
    return QStringLiteral("AGWPE non risponde");
}

QString versionLabel(quint16 majorVersion, quint16 minorVersion)
{
    return QStringLiteral("Connesso ad AGWPE v") + QString::number(majorVersion) +
           QLatin1Char('.') + QString::number(minorVersion);
}

QString countdownLabel(int secondsLeft, EngineLink::Fault why)
{
    QString status;
    switch (why) {
    case EngineLink::Fault::Closed:
    case EngineLink::Fault::Lost:
        status = QStringLiteral("Collegamento perso");
        break;
    case EngineLink::Fault::Silent:
        status = silentLabel();
        break;
    case EngineLink::Fault::Failed:
    case EngineLink::Fault::TimedOut:
    case EngineLink::Fault::NotAnEngine:
        status = QStringLiteral("Connessione fallita");
        break;
    }
    return status + QStringLiteral(": riprovo tra ") + QString::number(secondsLeft) +
           QStringLiteral(" s");
}

QString retryingLabel()
{
    return QStringLiteral("Connessione ad AGWPE in corso");
}

} // namespace

QString LinkStatus::failureTitle()
{
    return QStringLiteral("Errore collegamento con AGWPE");
}

QString LinkStatus::noAddressReason()
{
    return QStringLiteral("No AGWPE address: type the address of the packet engine into the AGW "
                          "IP Address box.");
}

QStringList LinkStatus::everyLabel()
{
    // A retry waits a minute at most, and a tenth of it more by chance.
    constexpr int kLongestCountdown = 66;
    return {LinkStatus().label(),
            closedLabel(),
            silentLabel(),
            versionLabel(65535, 65535),
            countdownLabel(kLongestCountdown, EngineLink::Fault::Closed),
            countdownLabel(kLongestCountdown, EngineLink::Fault::Silent),
            countdownLabel(kLongestCountdown, EngineLink::Fault::Failed),
            retryingLabel()};
}

QString LinkStatus::captionConnect()
{
    return QStringLiteral("&Connect");
}

QString LinkStatus::captionDisconnect()
{
    return QStringLiteral("&Disconnect");
}

void LinkStatus::setReconnecting(bool on, bool linkClosed)
{
    m_reconnecting = on;
    if (!on && linkClosed && m_open)
        closed();
}

void LinkStatus::connecting(bool chosenByUser)
{
    m_open = true;
    if (chosenByUser)
        m_reportNextFailure = true;
}

void LinkStatus::closed()
{
    m_open = false;
    m_label = closedLabel();
}

void LinkStatus::versionReceived(quint16 majorVersion, quint16 minorVersion)
{
    if (!m_open)
        return;
    m_reportNextFailure = false;
    m_label = versionLabel(majorVersion, minorVersion);
}

void LinkStatus::closedByEngine()
{
    m_reportNextFailure = false;
    closed();
}

LinkStatus::Failure LinkStatus::failed(EngineLink::Fault fault)
{
    const bool silent = fault == EngineLink::Fault::Silent;
    // A box every minute for a night is worse than none: retries fail
    // quietly, the label says what goes on.
    const Failure failure{m_reportNextFailure || !m_reconnecting, silent};
    m_reportNextFailure = false;
    m_open = false;
    m_label = silent ? silentLabel() : closedLabel();
    return failure;
}

void LinkStatus::retryCountdown(int secondsLeft, EngineLink::Fault why)
{
    m_open = true;
    m_label = countdownLabel(secondsLeft, why);
}

void LinkStatus::retrying()
{
    m_label = retryingLabel();
}

} // namespace quintaro
