#pragma once

#include "StationList.h"
#include "StationTable.h"

#include <QAbstractTableModel>
#include <QIdentityProxyModel>

#include <string_view>
#include <vector>

class QTimer;

namespace quintaro {

// The station list as its views show it: one row per entry. The list box
// shows the first column (StationCallsModel), the call, with what was heard
// from the station and whether its Brezomat was opened as its tooltip and
// accessible description; the details table shows every column. Every
// change of the list goes through here, so that the views follow it row by
// row.
class StationListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // A cell's value for sorting: a number or the call; nothing when missing.
    static constexpr int SortRole = Qt::UserRole;

    explicit StationListModel(QObject *parent = nullptr);

    const stations::StationList &stations() const { return m_stations; }

    stations::StationList::AddResult add(std::string_view call);
    void remove(int row);
    void clear();
    void setOpen(int row, bool open);
    void replace(const std::vector<std::string> &calls, std::string fileTitle);
    // Events that change only the title or the menus.
    void loadCancelled() { m_stations.loadCancelled(); }
    void loadFailed(std::string fileTitle) { m_stations.loadFailed(std::move(fileTitle)); }
    void saving(std::string fileTitle) { m_stations.saving(std::move(fileTitle)); }
    void connectionMade() { m_stations.connectionMade(); }

    // A weather report heard (seconds since 1970): StationList's
    // recordReport. Views learn of it in batches: a flood of reports costs
    // them a redraw every kPublishMs, not one each.
    stations::StationList::ReportHeard reportHeard(std::string_view call,
                                                   std::string_view infoField, std::int64_t when);
    void setUnits(stations::Units units);
    stations::Units units() const { return m_units; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void publishReports();

    stations::StationList m_stations;
    stations::Units m_units = stations::Units::Metric;
    int m_firstChanged = -1;
    int m_lastChanged = -1;
    QTimer *m_publishTimer = nullptr;
};

// The station list as its list box shows it: one item per station, its call.
// A list view would offer every column of every row to assistive technology,
// so that a screen reader reads the details of three stations as 33 items;
// here there is one column. Rows are the station list's own.
class StationCallsModel : public QIdentityProxyModel
{
    Q_OBJECT

public:
    explicit StationCallsModel(StationListModel *stations);

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // Any cell of a station's row stands for its one item.
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
};

} // namespace quintaro
