#pragma once

#include "StationList.h"

#include <QAbstractListModel>

namespace quintaro {

// The station list as the list view shows it: one row per entry, its text
// the call. Every change of the list goes through here, so that the view
// follows it row by row.
class StationListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // An entry's open status as 1 or 0, the value the list stores.
    static constexpr int OpenStatusRole = Qt::UserRole;

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

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    stations::StationList m_stations;
};

} // namespace quintaro
