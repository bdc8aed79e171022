#pragma once

// The main window as the engine link tests drive it: its outside effects
// scripted, in a directory of its own, pointed at the test's engine port,
// with the link's controls at hand. Tests may leave it with the link open:
// the window must go without reporting to controls it has already destroyed.

#include "AgwTestEngine.h"
#include "EventWait.h"
#include "FakeDialogs.h"
#include "MainWindow.h"
#include "RecordingProgramStarter.h"
#include "WorkDir.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
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
    // NotStarted leaves start-up to the test, for what it must set first
    // (a settings file).
    enum Start { Started, NotStarted };

    // `port`: where the window's engine listens (a stand-in's or Direwolf's);
    // `historyPath`: the weather history it records into, none when empty.
    explicit LinkWindow(quint16 port, Start start = Started, const QString &historyPath = {})
        : window(port, historyPath)
    {
        if (start == Started)
            window.start();
    }

    WorkDir dir;
    FakeMessageBoxes boxes;
    RecordingProgramStarter starter;
    quintaro::MainWindow window;

    template <typename T> T *child(const char *name)
    {
        return window.findChild<T *>(QLatin1String(name));
    }
    QAction *connectItem() { return child<QAction>("nmuConnect"); }
    QString caption() { return connectItem()->text(); }
    QString label() { return child<QLabel>("lblAGW")->text(); }
    QTcpSocket *socket() { return child<QTcpSocket>("Winsock1"); }
    QLineEdit *txtAddr() { return child<QLineEdit>("txtAddr"); }
    QListView *list() { return child<QListView>("lstWxCalls"); }
    QStringList stations() { return items(list()); }
    QStringList monitor() { return items(child<QListWidget>("List2")); }
    QString title() { return window.windowTitle(); }
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

    // Runs the Connect command with this address.
    void connectTo(const QString &host = QStringLiteral("127.0.0.1"))
    {
        txtAddr()->setText(host);
        connectItem()->trigger();
    }
    // The same with the engine; its side of the new connection once the two
    // requests are in.
    QTcpSocket *connectTo(agwtest::Engine &engine,
                          const QString &host = QStringLiteral("127.0.0.1"))
    {
        connectTo(host);
        return engine.acceptLink();
    }
    // Writes the chunks to the window one read at a time (agwtest::deliver).
    std::size_t deliver(QTcpSocket *peer, const std::vector<std::string> &chunks,
                        int *reads = nullptr)
    {
        return agwtest::deliver(socket(), peer, chunks, reads);
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

} // namespace testsupport
