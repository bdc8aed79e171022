#pragma once

#include "HistoryReader.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace quintaro::display {

// Quintaro writes its recorder row's heartbeat every 10 s; three missed
// heartbeats mean it no longer records (it ended, hangs or lost its store).
inline constexpr std::int64_t kRecorderLiveSeconds = 30;

inline bool isLive(const history::RecorderRow &row, std::int64_t now)
{
    return now - row.heartbeatUtc <= kRecorderLiveSeconds;
}

// Whether a recorder's engine host is the display's ADDRESS: the texts
// compared without the blanks around them and without regard to case (host
// names have none), and every spelling of this machine's loopback
// ("localhost", "127.x.x.x", "::1") taken as the same. No name is looked up:
// the launcher passes the address exactly as Quintaro records it.
bool sameEngineHost(const QString &a, const QString &b);

// Which recorder a display follows. With an address, the recorders of that
// engine host; without one, any. The one with the latest heartbeat is
// chosen, live or not.
struct RecorderStatus
{
    bool recording = false;
    std::optional<history::RecorderRow> recorder;
    // When no recorder of the address records: the host of one that does.
    std::optional<QString> otherLiveHost;
};
RecorderStatus recorderStatus(const std::vector<history::RecorderRow> &rows, const QString &address,
                              std::int64_t now);

// The status line's words: who records, or since when nobody does.
QString describeRecorderStatus(const RecorderStatus &status, const QString &address,
                               std::int64_t now);

} // namespace quintaro::display
