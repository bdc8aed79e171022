#include "BrezomatLauncher.h"

#include "CommandLine.h"
#include "MessageBox.h"
#include "ProgramStarter.h"
#include "SessionEnd.h"
#include "SettingsFile.h"
#include "StationListModel.h"
#include "Text.h"
#include "TextCodec.h"

#include <QCoreApplication>

namespace quintaro {

BrezomatLauncher::BrezomatLauncher(QWidget *window, StationListModel &stations,
                                   std::function<Program()> program, std::string weatherDisplay)
    : m_window(window), m_stations(stations), m_program(std::move(program)),
      m_weatherDisplay(std::move(weatherDisplay))
{
}

bool BrezomatLauncher::start(const std::string &call)
{
    long long taskId = 0;
    try {
        const Program program = m_program();
        stations::ProgramStarter &starter = stations::programStarter();
        taskId = starter.start(stations::buildCommandLine(program.path, call, program.address));
        // A settings file that still names the default program, which this
        // system has no copy of: the display that comes with Quintaro shows
        // the station instead, given the same call and address.
        if (taskId == 0 && trimSpaces(program.path) == kDefaultBrezomatPath)
            taskId =
                starter.start(stations::buildCommandLine(m_weatherDisplay, call, program.address));
    } catch (...) {
        taskId = 0;
    }
    if (taskId != 0)
        return true;
    showMessageBox(m_window,
                   QStringLiteral("Application Brezomat not found") + kCrLf +
                       QStringLiteral("Please set path in File->Set Brezomat Path"),
                   ExclamationIcon,
                   QStringLiteral("Wx Station ") + fromRadioBytes(call) +
                       QStringLiteral(" not loaded"));
    return false;
}

void BrezomatLauncher::markOpen(std::uint64_t entry, int lastKnownRow, bool open)
{
    if (const int now = m_stations.stations().indexOf(entry, lastKnownRow); now >= 0)
        m_stations.setOpen(now, open);
}

void BrezomatLauncher::startForNew(int row)
{
    const stations::StationList &list = m_stations.stations();
    const stations::StationList::EntryId entry = list.entryId(row);
    markOpen(entry, row, start(list.call(row)));
}

void BrezomatLauncher::open(int row)
{
    const stations::StationList &list = m_stations.stations();
    if (row < 0 || row >= list.count())
        return;
    const std::string call = list.call(row);
    const stations::StationList::EntryId entry = list.entryId(row);
    if (!list.isOpen(row)) {
        if (start(call))
            markOpen(entry, row, true);
        return;
    }
    const QString shown = fromRadioBytes(call);
    const int answer = showMessageBox(m_window,
                                      QStringLiteral("The Wx Station ") + shown +
                                          QStringLiteral(" has been Already Loaded.") + kCrLf +
                                          QStringLiteral("Load anyway ?"),
                                      YesNoButtons, shown + QStringLiteral(" Already Loaded"));
    if (answer == YesAnswer)
        start(call);
}

void BrezomatLauncher::openAll()
{
    const stations::StationList &list = m_stations.stations();
    const int last = list.count() - 1;
    for (int i = 0; i <= last; ++i) {
        // Entries removed during a pause must not be read or set: the run
        // ends at the list's current end.
        if (i >= list.count() || isSessionEnding())
            break;
        const std::string call = list.call(i);
        const stations::StationList::EntryId entry = list.entryId(i);
        if (start(call))
            markOpen(entry, i, true);
        QCoreApplication::processEvents();
    }
}

} // namespace quintaro
