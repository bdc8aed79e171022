#include "StationList.h"

#include <algorithm>

namespace quintaro::stations {

void StationList::append(std::string call)
{
    ++m_callCount[call];
    m_entries.push_back({std::move(call), false, m_nextId++});
}

void StationList::forget(const std::string &call)
{
    const auto it = m_callCount.find(call);
    if (it != m_callCount.end() && --it->second <= 0)
        m_callCount.erase(it);
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
        forget(m_entries[std::size_t(index)].call);
        m_entries.erase(m_entries.begin() + index);
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
    m_callCount.clear();
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
    m_callCount.clear();
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
