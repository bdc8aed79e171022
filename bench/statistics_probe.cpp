// Opens the statistics page of a weather display on a store, as a user
// picks it in a display already open, and prints how long it took until the
// page was drawn with its tables: for the display benchmark, which runs it
// in a process of its own so that its own memory figures stay those of the
// programs it starts.
//
//   statistics_probe STORE CALL   prints "statistics-open: 12.3 ms"

#include "WeatherWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: statistics_probe STORE CALL\n");
        return 2;
    }
    QTemporaryDir settings;
    quintaro::display::WeatherWindow::Options options;
    options.storePath = QString::fromLocal8Bit(argv[1]);
    options.call = argv[2];
    options.address = QStringLiteral("127.0.0.1");
    options.settingsPath = settings.filePath(QStringLiteral("quintaro-weather.ini"));
    quintaro::display::WeatherWindow window(options);
    window.start();
    window.show();
    QApplication::processEvents();
    auto *pages = window.findChild<QTabWidget *>(QStringLiteral("pages"));
    QElapsedTimer timer;
    timer.start();
    pages->setCurrentIndex(1);
    QTableWidget *table = nullptr;
    while (!(table = window.findChild<QTableWidget *>(QStringLiteral("monthlyRecords"))) ||
           !table->isVisible()) {
        QApplication::processEvents();
        if (timer.elapsed() > 10000) {
            std::fprintf(stderr, "statistics_probe: the page did not show its tables\n");
            return 1;
        }
    }
    // Drawn once, as the screen shows it.
    pages->currentWidget()->grab();
    std::printf("statistics-open: %.3f ms, %d months\n", double(timer.nsecsElapsed()) / 1e6,
                table->rowCount());
    return 0;
}
