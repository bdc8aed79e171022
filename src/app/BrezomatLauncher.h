#pragma once

#include <cstdint>
#include <string>

class QWidget;

namespace quintaro {

class StationListModel;
struct MainWindowUi;

// Starts Brezomat for stations of the list: one command line per station
// (the path and address boxes' texts, read at every start), the warning when
// a start fails, the question before starting a station already open, and
// the station's open status set after a start. A warning or a question lets
// other commands change the list meanwhile; each start finds its entry
// again before it sets the status.
class BrezomatLauncher
{
public:
    // `ui`: the window's path and address boxes.
    BrezomatLauncher(QWidget *window, StationListModel &stations, const MainWindowUi &ui);

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
    const MainWindowUi &m_ui;
};

} // namespace quintaro
