#include "StationFeed.h"

#include <QDateTime>
#include <QLoggingCategory>

#include <algorithm>

namespace quintaro::display {

// QT_LOGGING_RULES="quintaro.display.feed.debug=true" shows each report
// taken in, for a user or a script that wants to see a display follow the
// store.
Q_LOGGING_CATEGORY(lcFeed, "quintaro.display.feed", QtWarningMsg)

namespace {

constexpr int kLookIntervalMs = 1000;
constexpr int kFailuresTold = 3;
// A damaged store is opened again this long after it was let go of, which
// leaves Quintaro the moments it needs to find nobody has it open.
constexpr std::int64_t kDamagedRetryMs = 5000;

} // namespace

std::int64_t systemClock()
{
    return QDateTime::currentSecsSinceEpoch();
}

StationFeed::StationFeed(QString storePath, std::string call, QString address, Clock clock,
                         QObject *parent)
    : QObject(parent), m_path(std::move(storePath)), m_call(std::move(call)),
      m_address(std::move(address)), m_clock(clock ? std::move(clock) : Clock(systemClock))
{
    m_timer.setInterval(kLookIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StationFeed::look);
}

void StationFeed::start()
{
    look();
    m_timer.start();
}

void StationFeed::setProblem(const QString &problem)
{
    if (problem == m_problem)
        return;
    m_problem = problem;
    emit statusChanged();
}

bool StationFeed::openStore()
{
    if (m_reader.isOpen() && m_reader.pathNamesOpenFile(m_path))
        return true;
    if (m_reader.isOpen()) {
        // Another file is there now, whose ids may start again: what was
        // read of the old one goes.
        qCDebug(lcFeed, "%s was replaced; reading it anew", qPrintable(m_path));
        m_reader.close();
        m_samples.clear();
        m_lastId = 0;
        m_heldFrom = std::numeric_limits<std::int64_t>::max();
        emit samplesAdded(0);
    }
    if (QDateTime::currentMSecsSinceEpoch() < m_reopenAfterMs)
        return false;
    if (!m_reader.open(m_path)) {
        letGoIfDamaged();
        setProblem(m_reader.error());
        return false;
    }
    m_dataVersion.reset();
    m_failedLooks = 0;
    return true;
}

void StationFeed::letGoIfDamaged()
{
    if (!m_reader.damaged())
        return;
    m_reader.close();
    m_reopenAfterMs = QDateTime::currentMSecsSinceEpoch() + kDamagedRetryMs;
}

void StationFeed::look()
{
    lookOnce();
    emit looked();
}

void StationFeed::lookOnce()
{
    if (!openStore()) {
        updateRecorders(false);
        return;
    }
    const std::optional<std::int64_t> version = m_reader.dataVersion();
    // Nothing was written since the last look: only the time moved on, which
    // can end a recorder's liveness.
    if (version && m_dataVersion && *version == *m_dataVersion) {
        updateRecorders(false);
        return;
    }
    if (!version || !readNewReports()) {
        // A writer's lock makes a read fail now and then; the next look
        // tries again, and only reads that keep failing are told. Damage
        // is told at once.
        const QString error = m_reader.error();
        const bool damaged = m_reader.damaged();
        letGoIfDamaged();
        if (++m_failedLooks >= kFailuresTold || damaged)
            setProblem(error);
        return;
    }
    m_failedLooks = 0;
    m_dataVersion = version;
    updateRecorders(true);
    setProblem(QString());
}

bool StationFeed::setSpan(Span span)
{
    m_span = span;
    if (!m_reader.isOpen() || keptFrom(span, m_clock()) >= m_heldFrom)
        return false;
    m_dataVersion.reset();
    const std::int64_t heldFrom = m_heldFrom;
    look();
    return m_heldFrom < heldFrom;
}

std::optional<std::int64_t> StationFeed::lastHeard() const
{
    return m_samples.empty() ? m_heardBeforeHeld : std::optional(m_samples.back().heardUtc);
}

bool StationFeed::readNewReports()
{
    const std::int64_t now = m_clock();
    const std::int64_t from = keptFrom(m_span, now);
    // A wider span needs older reports than those held: all are read anew.
    const bool anew = from < m_heldFrom;
    const auto found = m_reader.reports(m_call, from, anew ? 0 : m_lastId);
    if (!found)
        return false;
    if (anew)
        m_samples.clear();
    // Older reports than the span needs go, and those that retention
    // removed: a display open for weeks holds no more than its span.
    const auto keep = std::find_if(m_samples.begin(), m_samples.end(),
                                   [&](const Sample &s) { return s.heardUtc >= from; });
    const bool dropped = keep != m_samples.begin();
    m_samples.erase(m_samples.begin(), keep);
    m_heldFrom = from;

    const std::size_t first = m_samples.size();
    bool ordered = true;
    for (const history::StoredReport &report : *found) {
        if (!m_samples.empty() && report.heardUtc < m_samples.back().heardUtc)
            ordered = false;
        m_samples.push_back({report.heardUtc, report.values});
        m_lastId = std::max(m_lastId, report.id);
    }
    // A report stored late with an earlier time goes to its place; the
    // graphs are then drawn anew.
    if (!ordered)
        std::stable_sort(m_samples.begin(), m_samples.end(),
                         [](const Sample &a, const Sample &b) { return a.heardUtc < b.heardUtc; });
    // A station silent through the span was still heard before it; a read
    // that fails keeps what was known.
    if (m_samples.empty()) {
        if (const auto heard = m_reader.lastHeard(m_call, now - kHistorySeconds))
            m_heardBeforeHeld = *heard > 0 ? heard : std::nullopt;
    }
    if (!found->empty()) {
        qCDebug(lcFeed, "%s: %zu new report(s), the last heard at %lld", m_call.c_str(),
                found->size(), static_cast<long long>(found->back().heardUtc));
    }
    if (!found->empty() || dropped || anew)
        emit samplesAdded(ordered && !dropped && !anew ? first : 0);
    return true;
}

std::optional<std::vector<history::DaySummary>> StationFeed::daySummaries()
{
    if (!m_reader.isOpen())
        return std::nullopt;
    auto found = m_reader.daySummaries(m_call);
    if (!found)
        letGoIfDamaged();
    return found;
}

void StationFeed::updateRecorders(bool reread)
{
    if (reread) {
        if (const auto rows = m_reader.recorders())
            m_recorderRows = *rows;
    }
    const RecorderStatus status = display::recorderStatus(m_recorderRows, m_address, m_clock());
    const bool changed =
        status.recording != m_recorders.recording ||
        status.otherLiveHost != m_recorders.otherLiveHost ||
        status.recorder.has_value() != m_recorders.recorder.has_value() ||
        (status.recorder && (status.recorder->pid != m_recorders.recorder->pid ||
                             status.recorder->host != m_recorders.recorder->host ||
                             (!status.recording && status.recorder->heartbeatUtc !=
                                                       m_recorders.recorder->heartbeatUtc)));
    m_recorders = status;
    if (changed)
        emit statusChanged();
}

} // namespace quintaro::display
