#include "StationDetailsWindow.h"

#include "AtomicFile.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "StationListModel.h"
#include "TextCodec.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace quintaro {

namespace {

// Re-sorting thirty thousand rows for every batch of reports would keep
// the window busy in a flood; once a second is as live as a person reads.
constexpr int kResortMs = 1000;

// Missing values sort after every value, whichever the order: a station
// not heard yet is never the warmest. Each row's value is read once per
// sort, not at every comparison: thirty thousand rows take a few hundred
// thousand of those.
class DetailsSortModel final : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void sort(int column, Qt::SortOrder order) override
    {
        m_keys.clear();
        const QAbstractItemModel *source = sourceModel();
        if (column >= 0 && source) {
            m_keys.reserve(std::size_t(source->rowCount()));
            for (int row = 0; row < source->rowCount(); ++row)
                m_keys.push_back(source->index(row, column).data(StationListModel::SortRole));
        }
        QSortFilterProxyModel::sort(column, order);
        m_keys.clear();
    }

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        const QVariant a = keyOf(left);
        const QVariant b = keyOf(right);
        // Descending order sorts by lessThan(right, left).
        if (!a.isValid() || !b.isValid()) {
            if (a.isValid() == b.isValid())
                return false;
            return a.isValid() == (sortOrder() == Qt::AscendingOrder);
        }
        if (a.typeId() == QMetaType::QString)
            return a.toString() < b.toString();
        return a.toDouble() < b.toDouble();
    }

private:
    QVariant keyOf(const QModelIndex &index) const
    {
        return std::size_t(index.row()) < m_keys.size() ? m_keys[std::size_t(index.row())]
                                                        : index.data(StationListModel::SortRole);
    }

    std::vector<QVariant> m_keys;
};

} // namespace

StationDetailsWindow::StationDetailsWindow(StationListModel &stations, FileDialog &fileDialog,
                                           QWidget *parent)
    : QWidget(parent, Qt::Window), m_stations(stations), m_fileDialog(fileDialog)
{
    setObjectName(QStringLiteral("frmStationDetails"));
    setWindowTitle(QStringLiteral("Quintaro - Station Details"));

    m_sorted = new DetailsSortModel(this);
    m_sorted->setSourceModel(&stations);
    m_sorted->setDynamicSortFilter(false);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblStationDetails"));
    m_table->setAccessibleName(QStringLiteral("Station Details"));
    m_table->setModel(m_sorted);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSortingEnabled(true);
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setVisible(false);
    // Rows of one height: thirty thousand of them are laid out at once.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);

    auto *unitsLabel = new QLabel(QStringLiteral("&Units:"), this);
    m_units = new QComboBox(this);
    m_units->setObjectName(QStringLiteral("cboUnits"));
    m_units->addItem(QStringLiteral("Metric (°C, km/h, hPa, mm)"));
    m_units->addItem(QStringLiteral("US (°F, mph, inHg, in)"));
    m_units->setCurrentIndex(stations.units() == stations::Units::US ? 1 : 0);
    m_units->setAccessibleName(QStringLiteral("Units"));
    unitsLabel->setBuddy(m_units);

    auto *sortLabel = new QLabel(QStringLiteral("&Sort by:"), this);
    m_sortColumn = new QComboBox(this);
    m_sortColumn->setObjectName(QStringLiteral("cboSortColumn"));
    m_sortColumn->addItem(QStringLiteral("List order"));
    for (int c = 0; c < stations::kColumnCount; ++c)
        m_sortColumn->addItem(stations.headerData(c, Qt::Horizontal).toString());
    m_sortColumn->setAccessibleName(QStringLiteral("Sort by"));
    sortLabel->setBuddy(m_sortColumn);
    m_descending = new QCheckBox(QStringLiteral("&Descending"), this);
    m_descending->setObjectName(QStringLiteral("chkDescending"));
    m_descending->setAccessibleName(QStringLiteral("Descending"));

    auto *open = new QPushButton(QStringLiteral("Open &Brezomat"), this);
    open->setObjectName(QStringLiteral("cmdOpenBrezomat"));
    open->setToolTip(QStringLiteral("Opens Brezomat for the selected station"));
    auto *exportButton = new QPushButton(QStringLiteral("&Export…"), this);
    exportButton->setObjectName(QStringLiteral("cmdExport"));
    exportButton->setToolTip(QStringLiteral("Writes the table to a CSV file"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));

    auto *choices = new QHBoxLayout;
    choices->addWidget(unitsLabel);
    choices->addWidget(m_units);
    choices->addSpacing(12);
    choices->addWidget(sortLabel);
    choices->addWidget(m_sortColumn);
    choices->addWidget(m_descending);
    choices->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(open);
    buttons->addWidget(exportButton);
    buttons->addStretch();
    buttons->addWidget(close);
    // Why the weather history is not kept, when it is not; hidden otherwise.
    m_historyProblem = new QLabel(this);
    m_historyProblem->setObjectName(QStringLiteral("lblHistory"));
    m_historyProblem->setWordWrap(true);
    m_historyProblem->setTextFormat(Qt::PlainText);
    m_historyProblem->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_historyProblem);
    layout->addWidget(m_table);
    layout->addLayout(choices);
    layout->addLayout(buttons);
    // Every column as wide as its title or the rows in view need, and the
    // window as wide as they are, where the screen has room.
    m_table->resizeColumnsToContents();
    int width = m_table->horizontalHeader()->length() + 40;
    if (const QScreen *screen = this->screen())
        width = qMin(width, screen->availableGeometry().width() * 9 / 10);
    resize(qMax(600, width), 420);

    m_resortTimer = new QTimer(this);
    m_resortTimer->setSingleShot(true);
    connect(m_resortTimer, &QTimer::timeout, this, &StationDetailsWindow::sortAsChosen);
    connect(&stations, &QAbstractItemModel::dataChanged, this, &StationDetailsWindow::resortSoon);
    connect(&stations, &QAbstractItemModel::rowsInserted, this, &StationDetailsWindow::resortSoon);
    connect(&stations, &QAbstractItemModel::headerDataChanged, this, [this] {
        for (int c = 0; c < stations::kColumnCount; ++c)
            m_sortColumn->setItemText(c + 1, m_stations.headerData(c, Qt::Horizontal).toString());
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &StationDetailsWindow::followHeaderSort);
    connect(m_sortColumn, &QComboBox::currentIndexChanged, this,
            &StationDetailsWindow::sortAsChosen);
    connect(m_descending, &QCheckBox::toggled, this, &StationDetailsWindow::sortAsChosen);
    connect(m_units, &QComboBox::currentIndexChanged, this, &StationDetailsWindow::chooseUnits);
    connect(m_table, &QAbstractItemView::activated, this, &StationDetailsWindow::openSelected);
    connect(open, &QPushButton::clicked, this, &StationDetailsWindow::openSelected);
    connect(exportButton, &QPushButton::clicked, this, &StationDetailsWindow::exportTable);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    setTabOrder(m_table, m_units);
    setTabOrder(m_units, m_sortColumn);
    setTabOrder(m_sortColumn, m_descending);
    setTabOrder(m_descending, open);
    setTabOrder(open, exportButton);
    setTabOrder(exportButton, close);
}

void StationDetailsWindow::followHeaderSort(int column, Qt::SortOrder order)
{
    // A click on a column's header shows in the keyboard's controls too.
    const QSignalBlocker blockColumn(m_sortColumn);
    const QSignalBlocker blockOrder(m_descending);
    m_sortColumn->setCurrentIndex(column + 1);
    m_descending->setChecked(order == Qt::DescendingOrder);
}

void StationDetailsWindow::sortAsChosen()
{
    const int column = m_sortColumn->currentIndex() - 1;
    const Qt::SortOrder order =
        m_descending->isChecked() ? Qt::DescendingOrder : Qt::AscendingOrder;
    {
        const QSignalBlocker block(m_table->horizontalHeader());
        m_table->horizontalHeader()->setSortIndicator(column, order);
    }
    m_sorted->sort(column, order);
}

void StationDetailsWindow::resortSoon()
{
    if (m_sortColumn->currentIndex() > 0 && !m_resortTimer->isActive())
        m_resortTimer->start(kResortMs);
}

void StationDetailsWindow::chooseUnits(int choice)
{
    const stations::Units units = choice == 1 ? stations::Units::US : stations::Units::Metric;
    emit unitsChosen(units);
}

void StationDetailsWindow::showHistoryProblem(const QString &problem)
{
    m_historyProblem->setText(problem);
    m_historyProblem->setVisible(!problem.isEmpty());
}

void StationDetailsWindow::openSelected()
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    emit openBrezomatRequested(m_sorted->mapToSource(rows.first()).row());
}

void StationDetailsWindow::exportTable()
{
    m_fileDialog.prepare(QStringLiteral("CSV Files (*.csv)|*.csv"),
                         QStringLiteral("Export Station Details"));
    m_fileDialog.fileName = QStringLiteral("WxStations.csv");
    m_fileDialog.showSave();
    if (m_fileDialog.fileName.isEmpty())
        return;

    // The rows as the table shows them now.
    std::vector<int> rows;
    rows.reserve(std::size_t(m_sorted->rowCount()));
    for (int i = 0; i < m_sorted->rowCount(); ++i)
        rows.push_back(m_sorted->mapToSource(m_sorted->index(i, 0)).row());
    const std::string csv =
        stations::writeStationTableCsv(m_stations.stations(), rows, m_stations.units());
    const FileWriteResult written = writeFileAtomically(filePathBytes(m_fileDialog.fileName), csv);
    if (!written.ok)
        showMessageBox(
            this,
            notWrittenPrompt(QStringLiteral("The station details could not be exported to "),
                             m_fileDialog.fileName, written.error),
            ExclamationIcon, QStringLiteral("Export Station Details"));
}

} // namespace quintaro
