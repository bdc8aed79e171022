#pragma once

// The main window as the AGWPE link tests drive it: its outside effects
// scripted, in a directory of its own, with the link's controls at hand.
// Tests may leave it with the link open: the window must go without
// reporting to controls it has already destroyed.

#include "AgwTestEngine.h"
#include "EventWait.h"
#include "FakeDialogs.h"
#include "RecordingProgramStarter.h"
#include "WorkDir.h"
#include "frmQuintaro.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaEnum>
#include <QTcpSocket>

#include <string>
#include <vector>

namespace testsupport {

inline const QString kClosed = QStringLiteral("Connessione ad AGWPE chiusa");
inline const QString kErrorTitle = QStringLiteral("Errore collegamento con AGWPE");
inline const QString kVersion2000 = QStringLiteral("Connesso ad AGWPE v2000.78");
// Direwolf 1.6 answers the version request with 2005.127.
inline const QString kDirewolfVersion = QStringLiteral("Connesso ad AGWPE v2005.127");
// LinkWindow::linkShown() of a closed link.
inline const QString kLinkClosed =
    QStringLiteral("&Connect | ") + kClosed + QStringLiteral(" | UnconnectedState");

struct LinkWindow
{
    // NotLoaded leaves the load step to the test, for what it must set first
    // (a settings file, the engine's port).
    enum Start { Loaded, NotLoaded };

    explicit LinkWindow(Start start = Loaded)
    {
        if (start == Loaded)
            window.Form_Load();
    }

    WorkDir dir;
    FakeMessageBoxes boxes;
    RecordingProgramStarter starter;
    quintaro::frmQuintaro window;

    template <typename T> T *child(const char *name)
    {
        return window.findChild<T *>(QLatin1String(name));
    }
    QAction *connectItem() { return child<QAction>("nmuConnect"); }
    QString caption() { return connectItem()->text(); }
    QString label() { return child<QLabel>("lblAGW")->text(); }
    QTcpSocket *socket() { return child<QTcpSocket>("Winsock1"); }
    QLineEdit *txtAddr() { return child<QLineEdit>("txtAddr"); }
    QListWidget *list() { return child<QListWidget>("lstWxCalls"); }
    QStringList stations() { return items(list()); }
    QStringList monitor() { return items(child<QListWidget>("List2")); }
    void clickAutoLoad() { child<QCheckBox>("chkAutoLoad")->click(); }

    // The link as the window shows it: the Connect command's caption, the
    // status label and the socket's state.
    QString linkShown()
    {
        return caption() + QStringLiteral(" | ") + label() + QStringLiteral(" | ") +
               QLatin1String(QMetaEnum::fromType<QAbstractSocket::SocketState>().valueToKey(
                   int(socket()->state())));
    }
    // Nothing on screen claims a live link.
    bool showsClosed() { return linkShown() == kLinkClosed; }

    // Points the link at a port on this machine and runs the Connect command.
    void connectTo(quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
    {
        window.setAgwPortForTesting(port);
        txtAddr()->setText(host);
        connectItem()->trigger();
    }
    // The same with the engine; its side of the new connection once the two
    // requests are in.
    QTcpSocket *connectTo(agwtest::Engine &engine,
                          const QString &host = QStringLiteral("127.0.0.1"))
    {
        connectTo(engine.port(), host);
        return engine.acceptLink();
    }
};

// What List2 showed at the moment each station was added.
struct AddedStations
{
    explicit AddedStations(LinkWindow &w)
    {
        auto *list = w.list();
        auto *monitor = w.child<QListWidget>("List2");
        QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list,
                         [=, this](const QModelIndex &, int first, int) {
                             calls << list->model()->index(first, 0).data().toString();
                             monitorAtAdd << items(monitor);
                         });
    }
    QStringList calls;
    QList<QStringList> monitorAtAdd;
};

// Writes each chunk once the window has read the one before, so that each
// chunk reaches the data-arrival handler as a read of its own; how many
// chunks went so before one was not read in time. *reads, when given, counts
// the window's reads.
inline std::size_t deliver(LinkWindow &w, QTcpSocket *peer, const std::vector<std::string> &chunks,
                           int *reads = nullptr)
{
    QTcpSocket *socket = w.socket();
    int counted = 0;
    const QMetaObject::Connection counting =
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [&] { ++counted; });
    std::size_t delivered = 0;
    for (const std::string &chunk : chunks) {
        const int before = counted;
        agwtest::send(peer, chunk);
        if (!waitUntil([&] { return counted > before && socket->bytesAvailable() == 0; }))
            break;
        ++delivered;
    }
    QObject::disconnect(counting);
    if (reads)
        *reads = counted;
    return delivered;
}

} // namespace testsupport
