#pragma once

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDeadlineTimer>
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

// The texts of a list's rows, in order, as its view shows them.
inline QStringList items(const QAbstractItemView *list)
{
    QStringList texts;
    const QAbstractItemModel *model = list->model();
    for (int i = 0; model && i < model->rowCount(); ++i)
        texts << model->index(i, 0).data().toString();
    return texts;
}

// A station entry's open status, as its tooltip tells it.
inline bool isOpen(const QModelIndex &entry)
{
    return entry.data(Qt::ToolTipRole).toString().endsWith(QStringLiteral("\nBrezomat: open"));
}

} // namespace testsupport
