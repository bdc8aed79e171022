#pragma once

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

// The weather stations heard or loaded, in order, each with its open status
// (a Brezomat copy was started for it, or the user marked it so), and the
// rules that go with them: no call heard twice, the limit, which form the
// window title takes, and when the list's menus are enabled. A view shows
// the list; the selection is the view's.
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

    // --- what it holds -------------------------------------------------------
    int count() const { return static_cast<int>(m_entries.size()); }
    bool isFull() const { return count() >= kMaxStations; }
    const std::string &call(int index) const { return m_entries[std::size_t(index)].call; }
    bool isOpen(int index) const { return m_entries[std::size_t(index)].open; }
    bool contains(std::string_view call) const { return m_callCount.contains(call); }
    std::vector<std::string> calls() const;
    EntryId entryId(int index) const { return m_entries[std::size_t(index)].id; }
    // Where the entry is now: at `lastKnown` or before it, since entries
    // only ever move up; -1 when it is gone.
    int indexOf(EntryId id, int lastKnown) const;

    // --- what the window shows -----------------------------------------------
    // "&Wx List" and "&Save Wx Station List as...".
    bool menusEnabled() const { return m_menusEnabled; }
    // The window title, or nothing while no event has written one yet.
    std::optional<std::string> title() const;
    // The file last loaded or saved; emptied with the list.
    const std::string &fileTitle() const { return m_fileTitle; }

private:
    enum class TitleForm { NotYetWritten, Unsaved, Counted, WithFile };

    struct Entry
    {
        std::string call;
        bool open = false;
        EntryId id = 0;
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
    void forget(const std::string &call);

    std::vector<Entry> m_entries;
    // How often each call stands in the list: a loaded list may hold one
    // twice.
    std::unordered_map<std::string, int, CallHash, std::equal_to<>> m_callCount;
    EntryId m_nextId = 1;
    std::string m_fileTitle;
    TitleForm m_titleForm = TitleForm::NotYetWritten;
    bool m_menusEnabled = false;
};

} // namespace quintaro::stations
