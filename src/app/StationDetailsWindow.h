#pragma once

#include "StationTable.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

namespace quintaro {

class FileDialog;
class StationListModel;

// The station list as a table of what each station was last heard saying:
// sortable by any column, from the keyboard too, updated as reports come in,
// exportable as CSV, and a way to start a station's Brezomat.
class StationDetailsWindow : public QWidget
{
    Q_OBJECT

public:
    StationDetailsWindow(StationListModel &stations, FileDialog &fileDialog,
                         QWidget *parent = nullptr);

    // Why the weather history is not (fully) kept; empty while it is.
    void showHistoryProblem(const QString &problem);

signals:
    // The user asked to start Brezomat for the station in this row of the
    // station list.
    void openBrezomatRequested(int row);
    void unitsChosen(quintaro::stations::Units units);

private slots:
    void openSelected();
    void exportTable();
    void sortAsChosen();
    void chooseUnits(int choice);

private:
    void followHeaderSort(int column, Qt::SortOrder order);
    void resortSoon();

    StationListModel &m_stations;
    FileDialog &m_fileDialog;
    QSortFilterProxyModel *m_sorted = nullptr;
    QTableView *m_table = nullptr;
    QComboBox *m_units = nullptr;
    QComboBox *m_sortColumn = nullptr;
    QCheckBox *m_descending = nullptr;
    QTimer *m_resortTimer = nullptr;
    QLabel *m_historyProblem = nullptr;
};

} // namespace quintaro
