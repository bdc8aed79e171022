#pragma once

#include "HistoryReader.h"
#include "RecorderStatus.h"
#include "WeatherRules.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace quintaro::display {

// The seconds since 1970 the display takes as now; tests fix them.
using Clock = std::function<std::int64_t()>;
std::int64_t systemClock();

// One station's weather as the history store holds it, kept current by
// looking at the store once a second: the reports of the span the graphs
// show at start (keptFrom()), then each new report as soon as the store's
// data version says another connection wrote. A store replaced at its path (a
// backup restored, a damaged one moved aside) is read anew; one found
// damaged is closed, so that Quintaro may move it aside, and opened again
// later. It never writes the store and never connects to the packet engine;
// it reads which Quintaro records, and whether one still does, from the
// store's recorders.
class StationFeed : public QObject
{
    Q_OBJECT

public:
    // `call` is the radio's bytes; `address` the engine host the display was
    // started for, empty for any.
    StationFeed(QString storePath, std::string call, QString address, Clock clock,
                QObject *parent = nullptr);

    // Reads what the store holds now and starts looking for more.
    void start();
    // The span the graphs show, which the reports kept cover; the longest
    // until told. A wider one's older reports are read at once: true when
    // they were, and samplesAdded() told of them.
    bool setSpan(Span span);

    const std::vector<Sample> &samples() const { return m_samples; }
    // When the station was last heard within kHistorySeconds, also when
    // that is before the reports kept.
    std::optional<std::int64_t> lastHeard() const;
    // Why the store cannot be read, or empty while it can.
    QString storeProblem() const { return m_problem; }
    const RecorderStatus &recorderStatus() const { return m_recorders; }
    std::int64_t now() const { return m_clock(); }

    // One look at the store; the timer calls it every second.
    void look();
    // The station's daily summaries as the store holds them now, oldest
    // first; nothing while the store cannot be read.
    std::optional<std::vector<history::DaySummary>> daySummaries();

signals:
    // Reports were appended to samples() from index `first` on; with
    // `first` 0 the history was read anew.
    void samplesAdded(std::size_t first);
    // The store's problem or the recorders' status changed.
    void statusChanged();
    // A look has ended, whatever it found: the time shown moves on.
    void looked();

private:
    void lookOnce();
    bool openStore();
    void letGoIfDamaged();
    bool readNewReports();
    void updateRecorders(bool reread);
    void setProblem(const QString &problem);

    QString m_path;
    std::string m_call;
    QString m_address;
    Clock m_clock;
    history::HistoryReader m_reader;
    QTimer m_timer;
    std::vector<Sample> m_samples;
    std::vector<history::RecorderRow> m_recorderRows;
    RecorderStatus m_recorders;
    QString m_problem;
    std::int64_t m_lastId = 0;
    Span m_span = Span::Days30;
    // Every report heard since then is in m_samples.
    std::int64_t m_heldFrom = std::numeric_limits<std::int64_t>::max();
    std::optional<std::int64_t> m_heardBeforeHeld;
    // A damaged store is not opened again before this time.
    std::int64_t m_reopenAfterMs = 0;
    int m_failedLooks = 0;
    std::optional<std::int64_t> m_dataVersion;
};

} // namespace quintaro::display
