// Quintaro as its users start it (src/app/Application.cpp, runQuintaro),
// with the start-up probe watching for its window: the program that the
// start-up benchmark times.

#include "Application.h"
#include "StartupProbe.h"

#include <QApplication>

int main(int argc, char **argv)
{
    if (const int status = quintaro::answerInformationalOption(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    benchsupport::installStartupProbe(&app);
    return quintaro::runMainWindow();
}
