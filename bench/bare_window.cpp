// The yardstick for Quintaro's start-up cost: a bare Qt Widgets program of
// the same kind (a main window with a menu bar and a few controls), nothing
// else. It reports its resident memory once its window has been exposed and
// painted, and ends at once, through the same probe as quintaro_probe.

#include "StartupProbe.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchsupport::installStartupProbe(&app);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));

    QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."));
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), &window, &QWidget::close);
    window.menuBar()->addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("&About"));

    auto *client = new QWidget(&window);
    window.setCentralWidget(client);
    auto *upper = new QListWidget(client);
    upper->setGeometry(2, 0, 314, 30);
    auto *lower = new QListWidget(client);
    lower->setGeometry(2, 32, 89, 108);
    auto *label = new QLabel(QStringLiteral("Status"), client);
    label->setGeometry(96, 32, 177, 17);
    auto *edit = new QLineEdit(QStringLiteral("localhost"), client);
    edit->setGeometry(96, 55, 120, 19);
    auto *box = new QCheckBox(QStringLiteral("An option"), client);
    box->setGeometry(96, 80, 193, 17);
    window.resize(326, 190);

    window.show();
    return QApplication::exec();
}
