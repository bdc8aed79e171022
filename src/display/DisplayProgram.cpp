#include "DisplayProgram.h"

#include "ConsoleOutput.h"
#include "DisplaySettings.h"
#include "HistoryCsv.h"
#include "HistoryStore.h"
#include "ProgramPath.h"
#include "QuintaroVersion.h"
#include "StationHistory.h"
#include "WeatherWindow.h"

#include <QApplication>
#include <QDate>
#include <QDir>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace quintaro::display {

namespace {

std::string usage()
{
    return std::string(
               "Usage: quintaro-weather CALL [ADDRESS]\n"
               "       quintaro-weather --csv CALL [--daily] [--from DATE] [--to DATE]\n"
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
               "With --csv it opens no window and needs no display: it writes the station's\n"
               "recorded reports to standard output as CSV, one row a report: the time in ISO\n"
               "8601 with its offset from UTC, the reported values, the dew point and the\n"
               "\"feels like\" temperature, in the units last chosen in the display, each\n"
               "column's title naming its unit. With --daily it writes the station's daily\n"
               "summaries instead, one row a day: the date, the number of reports, the\n"
               "highest and lowest temperature, dew point, humidity and pressure with their\n"
               "times, the strongest gust with its direction and time, the mean wind, the\n"
               "day's rain and what it was found from. It exits with 0 when it wrote rows, 1\n"
               "when the station has no report or day in those days (the header only), 2 for\n"
               "a mistake on the command line and 3 when the history cannot be read.\n"
               "\n"
               "The history is the file named by the environment variable QUINTARO_HISTORY,\n"
               "else ") +
           kHistoryFileShown + kDataHomeNote +
           ".\n"
           "The units and the graphs' span are remembered in\n" +
           kDisplaySettingsShown + kConfigHomeNote +
           ".\n"
           "\n"
           "  --csv CALL   write the station's history as CSV instead of showing it\n"
           "  --daily      with --csv, the daily summaries instead of the reports\n"
           "  --from DATE  with --csv, from the day DATE on (YYYY-MM-DD, local time)\n"
           "  --to DATE    with --csv, up to the day DATE, that day included\n"
           "  --help       show this text and exit\n"
           "  --version    show the version and exit\n";
}

// What `quintaro-weather --csv` is asked to write.
struct CsvRequest
{
    std::string call;              // the radio's bytes
    std::optional<QDate> from, to; // local days, `to` included
    bool daily = false;
};

bool isCsvOption(const char *word)
{
    for (const char *option : {"--csv", "--from", "--to", "--daily"}) {
        if (std::strcmp(word, option) == 0)
            return true;
    }
    return false;
}

bool isCsvCommandLine(int argc, char **argv)
{
    return std::any_of(argv + 1, argv + argc, isCsvOption);
}

// Reads "--csv CALL [--from DATE] [--to DATE] [--daily]", in any order;
// nothing, with what is wrong in `error`, when it is not such a line.
std::optional<CsvRequest> parseCsvCommandLine(int argc, char **argv, std::string &error)
{
    CsvRequest request;
    std::optional<QDate> &from = request.from;
    std::optional<QDate> &to = request.to;
    bool csv = false;
    int calls = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--csv") {
            csv = true;
        } else if (word == "--daily") {
            request.daily = true;
        } else if (word == "--from" || word == "--to") {
            if (i + 1 >= argc) {
                error = word + " needs a date (YYYY-MM-DD)";
                return std::nullopt;
            }
            const std::string text = argv[++i];
            const QDate date =
                QDate::fromString(QString::fromLocal8Bit(text), QStringLiteral("yyyy-MM-dd"));
            if (text.size() != 10 || !date.isValid()) {
                error = word + ": \"" + text + "\" is not a date (YYYY-MM-DD)";
                return std::nullopt;
            }
            (word == "--from" ? from : to) = date;
        } else if (word.size() > 1 && word[0] == '-') {
            error = "unknown option " + word;
            return std::nullopt;
        } else {
            request.call = word;
            ++calls;
        }
    }
    if (!csv)
        error = "--from, --to and --daily go with --csv";
    else if (calls != 1 || request.call.empty())
        error = calls > 1 ? "give one call with --csv" : "no call given";
    else if (from && to && *from > *to)
        error = "--from " + from->toString(Qt::ISODate).toStdString() + " is after --to " +
                to->toString(Qt::ISODate).toStdString();
    if (!error.empty())
        return std::nullopt;
    return request;
}

int runCsvExport(const CsvRequest &request)
{
    const weather::Units units = loadDisplayChoices(displaySettingsPath()).units;
    QString error;
    std::string text;
    bool rows = false;
    if (request.daily) {
        bool workedOut = false;
        const auto days = readStationDays(history::historyFilePath(), request.call, request.from,
                                          request.to, &workedOut, &error);
        if (days) {
            text = dailyCsv(*days, units);
            rows = !days->empty();
        }
        // Told, since such days hold only the reports the store still has:
        // none older than its retention period.
        if (days && workedOut)
            printForUser(QStringLiteral("quintaro-weather: the weather history %1 keeps no daily "
                                        "summaries yet (version 1): the days are worked out from "
                                        "its reports, as Quintaro will when it next records "
                                        "there\n")
                             .arg(QDir::toNativeSeparators(history::historyFilePath()))
                             .toStdString(),
                         true);
    } else if (const auto samples =
                   readStationHistory(history::historyFilePath(), request.call,
                                      request.from ? history::localDayOfDate(*request.from).startUtc
                                                   : std::numeric_limits<std::int64_t>::min(),
                                      request.to ? history::localDayOfDate(*request.to).endUtc
                                                 : std::numeric_limits<std::int64_t>::max(),
                                      &error)) {
        text = historyCsv(*samples, units);
        rows = !samples->empty();
    }
    if (text.empty()) {
        printForUser(
            "quintaro-weather: the weather history cannot be read: " + error.toStdString() + "\n",
            true);
        return 3;
    }
    if (!printForScript(text)) {
        printForUser("quintaro-weather: cannot write to standard output\n", true);
        return 3;
    }
    return rows ? 0 : 1;
}

} // namespace

int answerDisplayOptions(int argc, char **argv)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printForUser(usage(), false);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            printForUser(std::string("quintaro-weather (Quintaro) ") + kQuintaroVersion + "\n",
                         false);
            return 0;
        }
        if (argv[i][0] != '-')
            ++positional;
    }
    // Such a line is read whole once the help is ruled out.
    if (isCsvCommandLine(argc, argv))
        return -1;
    if (positional == 0) {
        printForUser("quintaro-weather: no call given\n\n" + usage(), true);
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
        printForUser("quintaro-weather: give a call and at most an engine address\n\n" + usage(),
                     true);
        return 2;
    }
    // The display's only regular expressions are Qt Charts' readings of its
    // axes' label formats, a few at each redraw: compiling them to machine
    // code would take some 200 kB of memory for nothing.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_REGEXP_JIT"))
        qputenv("QT_ENABLE_REGEXP_JIT", "0");
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

int runDisplayProgram(int originalArgc, char **originalArgv)
{
    // The words of a program path with blanks that the C runtime took for
    // arguments go: the call and the address follow the whole path.
    const int pathWords = std::clamp(programPathWords(), 1, std::max(originalArgc, 1));
    std::vector<char *> words(originalArgv, originalArgv + originalArgc);
    if (pathWords > 1)
        words.erase(words.begin() + 1, words.begin() + pathWords);
    int argc = int(words.size());
    words.push_back(nullptr);
    char **argv = words.data();
    if (const int status = answerDisplayOptions(argc, argv); status >= 0)
        return status;
    if (isCsvCommandLine(argc, argv)) {
        std::string error;
        const std::optional<CsvRequest> request = parseCsvCommandLine(argc, argv, error);
        if (!request) {
            printForUser("quintaro-weather: " + error + "\n\n" + usage(), true);
            return 2;
        }
        // No window: a script runs it where no display is.
        QCoreApplication app(argc, argv);
        return runCsvExport(*request);
    }
    QApplication app(argc, argv);
    return runWeatherDisplay(argc, argv);
}

} // namespace quintaro::display
