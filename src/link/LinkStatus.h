#pragma once

#include "EngineLink.h"

#include <QString>
#include <QStringList>

namespace quintaro {

// What the window shows of the engine link, and when a failure is worth a
// box: the Connect command's caption, the status label, and the texts of
// both. The window reports the link's events here and shows the result.
//
// The label always tells the link's real state: once the link shows as
// closed, a version reply that was read before the close no longer makes it
// read "connected".
class LinkStatus
{
public:
    // The title of every box that reports a failure of the link.
    static QString failureTitle();
    // The failure of a Connect command with no address at all.
    static QString noAddressReason();
    // Every text the label can show, its numbers at their widest, so that
    // the label can be made wide enough for all of them.
    static QStringList everyLabel();

    QString caption() const { return m_open ? captionDisconnect() : captionConnect(); }
    QString label() const { return m_label; }

    // Whether a link that ends is tried again ("Reconnect Automatically").
    // Switched off while a retry waits, the link stays closed and shows so.
    void setReconnecting(bool on, bool linkClosed);

    // A Connect command begins: chosen by the user, whose first failure is
    // then reported in a box even while reconnecting, or start-up's.
    void connecting(bool chosenByUser);
    // The link was closed from this side: the Disconnect command, a Connect
    // command with no address, or reconnecting switched off while a retry
    // waited.
    void closed();
    void versionReceived(quint16 majorVersion, quint16 minorVersion);
    void closedByEngine();
    // What a failure shows: whether it gets a box, and whether the label
    // tells of it while the box is up (a silent engine); otherwise the label
    // and caption change once the box is closed.
    struct Failure
    {
        bool box = false;
        bool labelFirst = false;
    };
    Failure failed(EngineLink::Fault fault);
    void retryCountdown(int secondsLeft, EngineLink::Fault why);
    void retrying();

private:
    static QString captionConnect();
    static QString captionDisconnect();

    QString m_label = QStringLiteral("Status Window");
    bool m_open = false;
    bool m_reconnecting = false;
    // The next failure is reported in a box: always without reconnecting;
    // with it, only the first after a Connect the user chose, until the
    // engine has answered.
    bool m_reportNextFailure = false;
};

} // namespace quintaro
