#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QListWidget>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace testsupport {

constexpr int kWait = 5000;

// Runs the event loop until pred holds or the time is up, in steps far
// shorter than QTRY's 50 ms, so that deliveries paced byte by byte do not
// crawl.
inline bool waitUntil(const std::function<bool()> &pred, int timeoutMs = kWait)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QTimer::singleShot(2, [] {});
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The texts of a list box's rows, in order.
inline QStringList items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace testsupport
