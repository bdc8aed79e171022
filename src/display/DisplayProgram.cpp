#include "DisplayProgram.h"

#include "DisplaySettings.h"
#include "HistoryStore.h"
#include "QuintaroVersion.h"
#include "WeatherWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>

namespace quintaro::display {

namespace {

// Where the history and the settings are on this platform.
std::string usage()
{
    return std::string(
               "Usage: quintaro-weather CALL [ADDRESS]\n"
               "       quintaro-weather --help | --version\n"
               "\n"
               "Shows the weather of the APRS station CALL as Quintaro records it: the last\n"
               "values, today's extremes and graphs over 6 hours to 30 days, updated as new\n"
               "reports come in. Quintaro starts one copy per weather station with the call\n"
               "and the packet engine's address, as it starts any weather display.\n"
               "\n"
               "The display reads Quintaro's weather history and never connects to the packet\n"
               "engine. ADDRESS names the engine host whose recorder the display follows when\n"
               "several copies of Quintaro record; without it, any.\n"
               "\n"
               "The history is the file named by the environment variable QUINTARO_HISTORY,\n"
               "else ") +
           kHistoryFileShown + kDataFolderNote +
           ".\n"
           "The units and the graphs' span are remembered in\n" +
           kDisplaySettingsShown + kConfigFolderNote +
           ".\n"
           "\n"
           "  --help      show this text and exit\n"
           "  --version   show the version and exit\n";
}

} // namespace

int answerDisplayOptions(int argc, char **argv)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage().c_str(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quintaro-weather (Quintaro) %s\n", kQuintaroVersion);
            return 0;
        }
        if (argv[i][0] != '-')
            ++positional;
    }
    if (positional == 0) {
        std::fputs("quintaro-weather: no call given\n\n", stderr);
        std::fputs(usage().c_str(), stderr);
        return 2;
    }
    return -1;
}

int runWeatherDisplay(int argc, char **argv)
{
    // Qt has taken its own options (-platform, -style, ...) out of argv.
    std::vector<const char *> words;
    for (int i = 1; i < argc; ++i)
        words.push_back(argv[i]);
    if (words.empty() || words.size() > 2 || words[0][0] == '\0') {
        std::fputs("quintaro-weather: give a call and at most an engine address\n\n", stderr);
        std::fputs(usage().c_str(), stderr);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("quintaro-weather"));
    QApplication::setApplicationVersion(QLatin1String(kQuintaroVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quintaro.Quintaro"));

    WeatherWindow::Options options;
    options.call = words[0];
    if (words.size() > 1)
        options.address = QString::fromLocal8Bit(words[1]);
    options.storePath = history::historyFilePath();
    options.settingsPath = displaySettingsPath();
    WeatherWindow window(std::move(options));
    window.start();
    window.show();
    return QApplication::exec();
}

int runDisplayProgram(int argc, char **argv)
{
    if (const int status = answerDisplayOptions(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    return runWeatherDisplay(argc, argv);
}

} // namespace quintaro::display
