#pragma once

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace quintaro {

class StationListModel;

// Starts Brezomat for stations of the list: one command line per station,
// the warning when a start fails, the question before starting a station
// already open, and the station's open status set after a start. A warning
// or a question lets other commands change the list meanwhile; each start
// finds its entry again before it sets the status.
class BrezomatLauncher
{
public:
    // What a start needs besides the call, as the user has set it at the
    // moment of the start: the program's path and the engine's address.
    struct Program
    {
        std::string path;
        std::string address;
    };
    // `program` is asked afresh at every start, so that an edit takes effect
    // at the next one, also between the starts of one run over the list.
    // `weatherDisplay`: the path of the weather display shipped with
    // Quintaro, started in place of the default Brezomat program when that
    // cannot be started.
    BrezomatLauncher(QWidget *window, StationListModel &stations, std::function<Program()> program,
                     std::string weatherDisplay);

    // A station just added to the list.
    void startForNew(int row);
    // The Load item command: asks first when the station is open already.
    void open(int row);
    // Every station, an entry already open included, pausing for events
    // after each start.
    void openAll();

private:
    bool start(const std::string &call);
    void markOpen(std::uint64_t entry, int lastKnownRow, bool open);

    QWidget *m_window;
    StationListModel &m_stations;
    std::function<Program()> m_program;
    std::string m_weatherDisplay;
};

} // namespace quintaro
