#pragma once

#include "WeatherReport.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quintaro::stations {

// The list's indices and count are 16-bit signed numbers.
inline constexpr int kMaxStations = 32767;

// What was heard from a listed station since it entered the list: when
// first and last (seconds since 1970, UTC), how many weather reports, and
// what the last one said. The last report is kept as heard and decoded when
// first asked for: a station may report many times between two looks.
class StationDetails
{
public:
    std::int64_t firstHeard = 0;
    std::int64_t lastHeard = 0;
    std::uint32_t reports = 0;

    void setLastReport(std::string_view infoField);
    // The last report's values; none when it held nothing readable.
    const weather::WeatherReport &weather() const;
    // Whether a report with this information field at `when` is a copy of
    // one heard within weather::kRepeatWindowSeconds (a digipeater's); if
    // not, it is remembered as heard.
    bool isRepeat(std::string_view infoField, std::int64_t when);

private:
    std::string m_lastReport;
    mutable std::optional<weather::WeatherReport> m_weather;
    // The information fields heard lately, as hashes, and when: nearly
    // always one, since a station reports every few minutes.
    struct Heard
    {
        std::size_t field;
        std::int64_t when;
    };
    std::vector<Heard> m_lately;
};

// The weather stations heard or loaded, in order, each with its open status
// (a Brezomat copy was started for it, or the user marked it so), and the
// rules that go with them: no call heard twice, the limit, which form the
// window title takes, and when the list's menus are enabled. A view shows
// the list; the selection is the view's. Beside the entries it keeps each
// listed station's details, from the first report heard after it entered
// the list until it leaves it.
//
// Calls are the radio's bytes, compared exactly: letter case, SSID suffix
// and blanks all count.
class StationList
{
public:
    // Stays with an entry while others before it are removed: a command that
    // waits (a box, a pause for events) finds its entry again by it.
    using EntryId = std::uint64_t;

    enum class AddResult {
        Added,
        AlreadyListed,
        Full // the list is at its limit; stations already listed keep working
    };

    // --- changes -------------------------------------------------------------
    // A weather station heard: appended unless its call is listed already.
    AddResult add(std::string_view call);
    // The Cancel command: removes the entry at index, or nothing for -1.
    void remove(int index);
    // The Clear command.
    void clear();
    void setOpen(int index, bool open);
    // A list file was loaded: its calls, duplicates kept, replace the list.
    void replace(const std::vector<std::string> &calls, std::string fileTitle);
    // The load dialog was cancelled: the list stays, titled with its file.
    void loadCancelled();
    // The chosen list file could not be read at all: the list and the title
    // stay, and later titles show that file's name.
    void loadFailed(std::string fileTitle);
    // A file name was confirmed in the save dialog.
    void saving(std::string fileTitle);
    // The connection to the engine was made.
    void connectionMade();
    // A weather report heard from `call` at `when` (seconds since 1970),
    // `infoField` its APRS information field: kept when the call is listed,
    // unless it is a digipeated copy of one heard just before. A report with
    // no readable value counts as heard all the same.
    struct ReportHeard
    {
        int row = -1;        // the call's first entry; -1 when not listed
        bool repeat = false; // a copy: nothing kept, nothing counted
    };
    ReportHeard recordReport(std::string_view call, std::string_view infoField, std::int64_t when);

    // --- what it holds -------------------------------------------------------
    int count() const { return static_cast<int>(m_entries.size()); }
    bool isFull() const { return count() >= kMaxStations; }
    const std::string &call(int index) const { return m_entries[std::size_t(index)].call; }
    bool isOpen(int index) const { return m_entries[std::size_t(index)].open; }
    bool contains(std::string_view call) const { return m_calls.contains(call); }
    std::vector<std::string> calls() const;
    EntryId entryId(int index) const { return m_entries[std::size_t(index)].id; }
    // Where the entry is now: at `lastKnown` or before it, since entries
    // only ever move up; -1 when it is gone.
    int indexOf(EntryId id, int lastKnown) const;
    // What was heard from the station of this entry; nothing before its
    // first report (a station loaded from a file, say).
    const StationDetails *details(int index) const;
    // The rows of the other entries with the same call as `index`'s, which a
    // loaded list may hold; empty nearly always.
    std::vector<int> otherRowsOfCall(int index) const;

    // --- what the window shows -----------------------------------------------
    // "&Wx List" and "&Save Wx Station List as...".
    bool menusEnabled() const { return m_menusEnabled; }
    // The window title, or nothing while no event has written one yet.
    std::optional<std::string> title() const;

private:
    enum class TitleForm { NotYetWritten, Unsaved, Counted, WithFile };

    // What belongs to a call rather than to one entry of it.
    struct CallState
    {
        int entries = 0;   // how often it stands in the list
        int firstRow = -1; // its first entry
        std::optional<StationDetails> details;
    };
    struct Entry
    {
        std::string call;
        bool open = false;
        EntryId id = 0;
        // Its call's state, reached without hashing the call: a table of
        // thirty thousand rows reads it for every cell it sorts or draws.
        // The map's elements stay where they are as it grows.
        CallState *state = nullptr;
    };
    // Hashing on the bytes; found by a view without building a string.
    struct CallHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view call) const noexcept
        {
            return std::hash<std::string_view>{}(call);
        }
    };

    void append(std::string call);

    std::vector<Entry> m_entries;
    std::unordered_map<std::string, CallState, CallHash, std::equal_to<>> m_calls;
    EntryId m_nextId = 1;
    std::string m_fileTitle;
    TitleForm m_titleForm = TitleForm::NotYetWritten;
    bool m_menusEnabled = false;
};

} // namespace quintaro::stations
