#include "Application.h"

#include "ConsoleOutput.h"
#include "HistoryStore.h"
#include "MainWindow.h"
#include "QuintaroVersion.h"
#include "SessionEnd.h"
#include "SessionSignals.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <cstring>
#include <string>

namespace quintaro {

namespace {

std::string usage()
{
    return std::string(
               "Usage: quintaro [--help] [--version] [--keep-history DAYS]\n"
               "\n"
               "Quintaro connects to an AGWPE-compatible packet engine (AGWPE, Direwolf) on\n"
               "port 8000, collects the APRS weather stations it hears and starts the\n"
               "Brezomat weather display for each of them.\n"
               "\n"
               "Settings are kept in Quintaro.ini in the directory the program is started\n"
               "from. The read-me Leggimi_Quintaro.rtf is looked for there first, then in\n") +
           kReadmeFolderShown +
           ".\n"
           "\n"
           "Every weather report of a listed station is kept in the weather history,\n" +
           kHistoryFileShown +
           ", or the file QUINTARO_HISTORY names,\n"
           "for 30 days unless --keep-history says otherwise; its daily summaries (each\n"
           "station's highs, lows, gusts and rain of each day) are kept for good.\n"
           "\n"
           "  --help               show this text and exit\n"
           "  --version            show the version and exit\n"
           "  --keep-history DAYS  keep weather reports for DAYS days (1 to 3650) from\n"
           "                       now on, in the history file itself, and exit; every\n"
           "                       Quintaro that records there removes older ones at its\n"
           "                       start and hourly; the daily summaries stay\n";
}

} // namespace

int answerInformationalOption(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printForUser(usage(), false);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            printForUser(std::string("Quintaro ") + kQuintaroVersion + "\n", false);
            return 0;
        }
    }
    return -1;
}

int answerHistoryOption(int &argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep-history") != 0)
            continue;
        const std::optional<int> days =
            i + 1 < argc ? history::parseRetentionDays(argv[i + 1]) : std::nullopt;
        if (!days) {
            printForUser("quintaro: --keep-history needs a number of days, 1 to " +
                             std::to_string(history::kMaxRetentionDays) + "\n",
                         true);
            return 2;
        }
        // Qt SQL finds its SQLite driver through the application object.
        QCoreApplication app(argc, argv);
        const QString path = history::historyFilePath();
        QString error;
        if (!history::storeRetentionDays(path, *days, &error)) {
            printForUser(QStringLiteral("quintaro: the period cannot be kept in %1: %2\n")
                             .arg(QDir::toNativeSeparators(path), error)
                             .toStdString(),
                         true);
            return 1;
        }
        printForUser(QStringLiteral("The weather history in %1 now keeps reports for %2 days. "
                                    "This period is the reports' only: the daily summaries are "
                                    "kept whatever it is.\n")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(*days)
                         .toStdString(),
                     false);
        return 0;
    }
    return -1;
}

int runMainWindow()
{
    QApplication::setApplicationName(QStringLiteral("Quintaro"));
    QApplication::setApplicationVersion(QLatin1String(kQuintaroVersion));
    // The desktop entry's id: a task bar matches the windows to it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quintaro.Quintaro"));

    SessionSignals session;
    MainWindow window(EngineLink::kAgwPort, history::historyFilePath());
    QObject::connect(&session, &SessionSignals::terminationRequested, &window,
                     &MainWindow::endSession);
    QObject::connect(&session, &SessionSignals::sessionEnding, &window,
                     &MainWindow::unloadBeforeSessionEnds);
    window.start();
    // A signal can arrive while start-up waits in a dialog; then the run ends
    // here, with the same orderly unload.
    if (isSessionEnding()) {
        window.close();
        return 0;
    }
    window.show();
    return QApplication::exec();
}

int runQuintaro(int argc, char **argv)
{
    if (const int status = answerInformationalOption(argc, argv); status >= 0)
        return status;
    if (const int status = answerHistoryOption(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    return runMainWindow();
}

} // namespace quintaro
