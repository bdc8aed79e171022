// The weather display as Quintaro starts it (src/display/DisplayProgram.cpp),
// with the start-up probe watching for its window: the program that the
// display benchmark times.

#include "DisplayProgram.h"
#include "StartupProbe.h"

#include <QApplication>

int main(int argc, char **argv)
{
    if (const int status = quintaro::display::answerDisplayOptions(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    benchsupport::installStartupProbe(&app);
    return quintaro::display::runWeatherDisplay(argc, argv);
}
