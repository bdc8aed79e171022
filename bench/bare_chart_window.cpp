// The yardstick for the weather display's memory: a bare Qt window showing
// one empty chart, with the same probe as quintaro_weather_probe.

#include "StartupProbe.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchsupport::installStartupProbe(&app);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare chart window"));
    auto *view = new QChartView(new QChart, &window);
    window.setCentralWidget(view);
    window.resize(1024, 720);
    window.show();
    return QApplication::exec();
}
