#include "StationList.h"

#include <algorithm>

namespace quintaro::stations {

namespace {

// The weather fields stand at the front of a report; whatever a station
// appends after them (a comment, its software) is not kept beyond this.
constexpr std::size_t kKeptReportBytes = 256;

} // namespace

void StationDetails::setLastReport(std::string_view infoField)
{
    m_lastReport.assign(infoField.substr(0, kKeptReportBytes));
    m_weather.reset();
}

const weather::WeatherReport &StationDetails::weather() const
{
    if (!m_weather)
        m_weather = weather::decodeWeatherReport(m_lastReport);
    return *m_weather;
}

bool StationDetails::isRepeat(std::string_view infoField, std::int64_t when)
{
    std::erase_if(m_lately,
                  [&](const Heard &h) { return !weather::withinRepeatWindow(when, h.when); });
    const std::size_t field = std::hash<std::string_view>{}(infoField);
    for (const Heard &h : m_lately) {
        if (h.field == field)
            return true;
    }
    m_lately.push_back({field, when});
    return false;
}

void StationList::append(std::string call)
{
    const int row = count();
    CallState &state = m_calls[call];
    if (state.entries++ == 0)
        state.firstRow = row;
    m_entries.push_back({std::move(call), false, m_nextId++, &state});
}

StationList::AddResult StationList::add(std::string_view call)
{
    if (contains(call))
        return AddResult::AlreadyListed;
    if (isFull())
        return AddResult::Full;
    if (m_entries.empty())
        m_menusEnabled = true;
    append(std::string(call));
    m_titleForm = TitleForm::Unsaved;
    return AddResult::Added;
}

void StationList::remove(int index)
{
    if (index >= 0 && index < count()) {
        const std::string call = std::move(m_entries[std::size_t(index)].call);
        m_entries.erase(m_entries.begin() + index);
        for (auto &[listed, state] : m_calls) {
            if (state.firstRow > index)
                --state.firstRow;
        }
        const auto it = m_calls.find(call);
        // The station's details go with its last entry.
        if (--it->second.entries <= 0) {
            m_calls.erase(it);
        } else if (it->second.firstRow == index) {
            const auto next = std::find_if(m_entries.begin() + index, m_entries.end(),
                                           [&](const Entry &e) { return e.call == call; });
            it->second.firstRow = int(next - m_entries.begin());
        }
    }
    if (m_entries.empty()) {
        m_menusEnabled = false;
        m_fileTitle.clear();
    }
    m_titleForm = TitleForm::Unsaved;
}

void StationList::clear()
{
    m_entries.clear();
    m_calls.clear();
    m_fileTitle.clear();
    m_menusEnabled = false;
    m_titleForm = TitleForm::Counted;
}

void StationList::setOpen(int index, bool open)
{
    if (index >= 0 && index < count())
        m_entries[std::size_t(index)].open = open;
}

void StationList::replace(const std::vector<std::string> &calls, std::string fileTitle)
{
    m_entries.clear();
    m_calls.clear();
    m_entries.reserve(calls.size());
    for (const std::string &call : calls)
        append(call);
    m_fileTitle = std::move(fileTitle);
    loadCancelled();
}

void StationList::loadCancelled()
{
    if (!m_entries.empty())
        m_menusEnabled = true;
    m_titleForm = TitleForm::WithFile;
}

void StationList::loadFailed(std::string fileTitle)
{
    m_fileTitle = std::move(fileTitle);
}

void StationList::saving(std::string fileTitle)
{
    m_fileTitle = std::move(fileTitle);
    m_titleForm = TitleForm::WithFile;
}

void StationList::connectionMade()
{
    m_titleForm = TitleForm::Counted;
}

StationList::ReportHeard StationList::recordReport(std::string_view call,
                                                   std::string_view infoField, std::int64_t when)
{
    const auto it = m_calls.find(call);
    if (it == m_calls.end())
        return {};
    std::optional<StationDetails> &details = it->second.details;
    if (!details) {
        details.emplace();
        details->firstHeard = when;
    }
    if (details->isRepeat(infoField, when))
        return {it->second.firstRow, true};
    details->lastHeard = when;
    ++details->reports;
    details->setLastReport(infoField);
    return {it->second.firstRow, false};
}

const StationDetails *StationList::details(int index) const
{
    const std::optional<StationDetails> &details = m_entries[std::size_t(index)].state->details;
    return details ? &*details : nullptr;
}

std::vector<int> StationList::otherRowsOfCall(int index) const
{
    std::vector<int> rows;
    const std::string &wanted = m_entries[std::size_t(index)].call;
    if (m_entries[std::size_t(index)].state->entries < 2)
        return rows;
    for (int i = 0; i < count(); ++i) {
        if (i != index && m_entries[std::size_t(i)].call == wanted)
            rows.push_back(i);
    }
    return rows;
}

std::vector<std::string> StationList::calls() const
{
    std::vector<std::string> result;
    result.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        result.push_back(entry.call);
    return result;
}

int StationList::indexOf(EntryId id, int lastKnown) const
{
    for (int i = std::min(lastKnown, count() - 1); i >= 0; --i) {
        if (m_entries[std::size_t(i)].id == id)
            return i;
    }
    return -1;
}

std::optional<std::string> StationList::title() const
{
    const std::string count = std::to_string(m_entries.size());
    switch (m_titleForm) {
    case TitleForm::NotYetWritten:
        return std::nullopt;
    case TitleForm::Unsaved:
        return "Quintaro - " + count + " stations (list not saved)";
    case TitleForm::Counted:
        return "Quintaro - " + count + " stations";
    case TitleForm::WithFile:
        return "Quintaro - " + m_fileTitle + " - " + count + " stations";
    }
    return std::nullopt;
}

} // namespace quintaro::stations
