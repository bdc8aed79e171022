#include "StationListModel.h"

#include "TextCodec.h"

namespace quintaro {

using stations::StationList;

StationListModel::StationListModel(QObject *parent) : QAbstractListModel(parent) {}

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
    if (removes)
        beginRemoveRows(QModelIndex(), row, row);
    m_stations.remove(removes ? row : -1);
    if (removes)
        endRemoveRows();
}

void StationListModel::clear()
{
    beginResetModel();
    m_stations.clear();
    endResetModel();
}

void StationListModel::setOpen(int row, bool open)
{
    m_stations.setOpen(row, open);
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {OpenStatusRole});
}

void StationListModel::replace(const std::vector<std::string> &calls, std::string fileTitle)
{
    beginResetModel();
    m_stations.replace(calls, std::move(fileTitle));
    endResetModel();
}

int StationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_stations.count();
}

QVariant StationListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_stations.count())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return fromRadioBytes(m_stations.call(index.row()));
    case OpenStatusRole:
        return m_stations.isOpen(index.row()) ? 1 : 0;
    default:
        return {};
    }
}

} // namespace quintaro
