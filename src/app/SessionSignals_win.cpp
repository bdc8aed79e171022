#include "SessionSignals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

namespace quintaro {

// Sees every message of the program's windows before Qt handles it.
struct SessionSignals::Watch : QAbstractNativeEventFilter
{
    explicit Watch(SessionSignals *owner) : owner(owner) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        // Each top-level window gets the message; the first one is acted on.
        if (msg->message == WM_ENDSESSION && msg->wParam && !ended) {
            ended = true;
            emit owner->sessionEnding();
        }
        return false;
    }

    SessionSignals *owner;
    bool ended = false;
};

SessionSignals::SessionSignals(QObject *parent)
    : QObject(parent), m_watch(std::make_unique<Watch>(this))
{
    QCoreApplication::instance()->installNativeEventFilter(m_watch.get());
}

SessionSignals::~SessionSignals()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(m_watch.get());
}

} // namespace quintaro
