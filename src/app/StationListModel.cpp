#include "StationListModel.h"

#include "TextCodec.h"

#include <QDateTime>
#include <QTimer>

namespace quintaro {

using stations::Column;
using stations::StationList;

namespace {

constexpr int kPublishMs = 500;

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

StationListModel::StationListModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_publishTimer = new QTimer(this);
    m_publishTimer->setSingleShot(true);
    connect(m_publishTimer, &QTimer::timeout, this, &StationListModel::publishReports);
}

StationList::AddResult StationListModel::add(std::string_view call)
{
    if (m_stations.contains(call) || m_stations.isFull())
        return m_stations.add(call);
    const int row = m_stations.count();
    beginInsertRows(QModelIndex(), row, row);
    const StationList::AddResult result = m_stations.add(call);
    endInsertRows();
    return result;
}

void StationListModel::remove(int row)
{
    const bool removes = row >= 0 && row < m_stations.count();
    if (removes) {
        // Rows waiting to be published may have moved: publish them all.
        publishReports();
        beginRemoveRows(QModelIndex(), row, row);
    }
    m_stations.remove(removes ? row : -1);
    if (removes)
        endRemoveRows();
}

void StationListModel::clear()
{
    beginResetModel();
    m_stations.clear();
    m_firstChanged = m_lastChanged = -1;
    endResetModel();
}

void StationListModel::setOpen(int row, bool open)
{
    m_stations.setOpen(row, open);
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::ToolTipRole});
}

void StationListModel::replace(const std::vector<std::string> &calls, std::string fileTitle)
{
    beginResetModel();
    m_stations.replace(calls, std::move(fileTitle));
    m_firstChanged = m_lastChanged = -1;
    endResetModel();
}

StationList::ReportHeard
StationListModel::reportHeard(std::string_view call, std::string_view infoField, std::int64_t when)
{
    const StationList::ReportHeard heard = m_stations.recordReport(call, infoField, when);
    if (heard.row < 0 || heard.repeat)
        return heard;
    const int row = heard.row;
    m_firstChanged = m_firstChanged < 0 ? row : std::min(m_firstChanged, row);
    m_lastChanged = std::max(m_lastChanged, row);
    for (const int other : m_stations.otherRowsOfCall(row))
        m_lastChanged = std::max(m_lastChanged, other);
    if (!m_publishTimer->isActive())
        m_publishTimer->start(kPublishMs);
    return heard;
}

void StationListModel::publishReports()
{
    m_publishTimer->stop();
    if (m_firstChanged < 0)
        return;
    const int last = std::min(m_lastChanged, m_stations.count() - 1);
    const int first = m_firstChanged;
    m_firstChanged = m_lastChanged = -1;
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, stations::kColumnCount - 1));
}

void StationListModel::setUnits(stations::Units units)
{
    if (units == m_units)
        return;
    m_units = units;
    emit headerDataChanged(Qt::Horizontal, 0, stations::kColumnCount - 1);
    if (m_stations.count() > 0)
        emit dataChanged(index(0, 0), index(m_stations.count() - 1, stations::kColumnCount - 1));
}

int StationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_stations.count();
}

int StationListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : stations::kColumnCount;
}

QVariant StationListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_stations.count())
        return {};
    const int row = index.row();
    const auto column = Column(index.column());
    switch (role) {
    case Qt::DisplayRole:
        // The call is the radio's bytes, one character each.
        if (column == Column::Call)
            return fromRadioBytes(m_stations.call(row));
        return fromUtf8(stations::cellText(m_stations, row, column, m_units));
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        if (column != Column::Call) {
            const std::string note = stations::cellNote(m_stations, row, column);
            return note.empty() ? QVariant() : QVariant(fromUtf8(note));
        }
        QString tip = fromUtf8(stations::stationSummary(
            m_stations.details(row), QDateTime::currentSecsSinceEpoch(), m_units));
        // The open status, which the list itself does not show.
        if (m_stations.isOpen(row))
            tip += QStringLiteral("\nBrezomat: open");
        // Screen readers do not read tooltips; the same in one line is the
        // item's description.
        if (role == Qt::AccessibleDescriptionRole)
            tip.replace(QLatin1Char('\n'), QStringLiteral("; "));
        return tip;
    }
    case Qt::TextAlignmentRole:
        return column == Column::Call || column == Column::LastHeard
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case SortRole:
        if (column == Column::Call)
            return fromRadioBytes(m_stations.call(row));
        if (const std::optional<double> value =
                stations::cellValue(m_stations, row, column, m_units))
            return *value;
        return {};
    default:
        return {};
    }
}

QVariant StationListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= stations::kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return fromUtf8(stations::columnTitle(Column(section), m_units));
}

StationCallsModel::StationCallsModel(StationListModel *stations) : QIdentityProxyModel(stations)
{
    setSourceModel(stations);
}

int StationCallsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QModelIndex StationCallsModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    return sourceIndex.isValid() ? createIndex(sourceIndex.row(), 0, sourceIndex.internalPointer())
                                 : QModelIndex();
}

} // namespace quintaro
