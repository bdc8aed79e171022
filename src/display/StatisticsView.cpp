#include "StatisticsView.h"

#include "DisplayText.h"
#include "StationFeed.h"
#include "WeatherStatistics.h"

#include <QBoxLayout>
#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

namespace quintaro::display {

using history::Extremes;
using weather::Field;

namespace {

const QString kNoValue = QStringLiteral("–");

// Below "Days recorded" and the extremes.
constexpr int kWindRow = 1 + int(std::size(history::kExtremeMeasures));
constexpr int kRainRow = kWindRow + 1;

// A cell's text, and the words a screen reader says of it, which name what
// the row and column headers would.
void setCell(QTableWidget *table, int row, int column, const QString &text, const QString &spoken)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(Qt::AlignCenter);
    item->setData(Qt::AccessibleTextRole, spoken);
    table->setItem(row, column, item);
}

QTableWidget *makeTable(const QString &objectName, const QString &accessible, QWidget *parent)
{
    auto *table = new QTableWidget(parent);
    table->setObjectName(objectName);
    table->setAccessibleName(accessible);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

// Columns as wide as their texts, and the room left shared among them: a
// date of another year is never cut.
void fitColumns(QTableWidget *table)
{
    table->resizeColumnsToContents();
    const int columns = table->columnCount();
    int used = 0;
    for (int c = 0; c < columns; ++c)
        used += table->columnWidth(c);
    const int room = table->viewport()->width() - used;
    if (columns == 0 || room <= 0)
        return;
    for (int c = 0; c < columns; ++c)
        table->setColumnWidth(c, table->columnWidth(c) + room / columns);
}

// A value and when it was reached: the cell's two lines, and its words.
struct Shown
{
    QString text;
    QString spoken;
};

Shown extremeShown(const std::optional<history::Extreme> &extreme, Field field,
                   const std::optional<double> &direction, weather::Units units, std::int64_t now)
{
    if (!extreme)
        return {kNoValue, QStringLiteral("not recorded")};
    QString value = displayValue(field, extreme->value, units);
    QString spokenValue = value;
    if (direction) {
        value += QLatin1Char(' ') + compassPoint(*direction);
        spokenValue += QStringLiteral(" from ") + compassPoint(*direction);
    }
    const QString when = dayAndTime(extreme->utc, now);
    return {value + QLatin1Char('\n') + when, spokenValue + QStringLiteral(" at ") + when};
}

QString daysText(int days)
{
    return days == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(days);
}

} // namespace

StatisticsView::StatisticsView(StationFeed *feed, weather::Units units, QWidget *parent)
    : QWidget(parent), m_feed(feed), m_units(units)
{
}

void StatisticsView::setUnits(weather::Units units)
{
    m_units = units;
    if (m_periods) {
        fillPeriods();
        fillMonths();
    }
}

void StatisticsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_periods)
        build();
    refresh();
}

void StatisticsView::build()
{
    auto *layout = new QVBoxLayout(this);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("statisticsNote"));
    m_note->setWordWrap(true);
    m_note->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(m_note);

    m_periods =
        makeTable(QStringLiteral("statistics"), QStringLiteral("Statistics by period"), this);
    m_periods->setColumnCount(int(history::kPeriods.size()));
    QStringList periods;
    for (const history::Period period : history::kPeriods)
        periods << periodName(period);
    m_periods->setHorizontalHeaderLabels(periods);
    QStringList measures = {QStringLiteral("Days recorded")};
    for (const history::ExtremeMeasure &m : history::kExtremeMeasures)
        measures << QLatin1String(m.name);
    measures << QStringLiteral("Mean wind") << QStringLiteral("Rain");
    m_periods->setRowCount(int(measures.size()));
    m_periods->setVerticalHeaderLabels(measures);
    auto *periodsLabel = new QLabel(QStringLiteral("&Periods"), this);
    periodsLabel->setBuddy(m_periods);
    layout->addWidget(periodsLabel);
    // The periods take the room all their rows need; the months what is left.
    layout->addWidget(m_periods, 10);

    m_months = makeTable(QStringLiteral("monthlyRecords"),
                         QStringLiteral("Each calendar month's extremes over the years"), this);
    m_months->setColumnCount(6);
    m_months->setHorizontalHeaderLabels(
        {QStringLiteral("Recorded"), QStringLiteral("Highest temperature"),
         QStringLiteral("Lowest temperature"), QStringLiteral("Strongest gust"),
         QStringLiteral("Wettest day"), QStringLiteral("Most rain in the month")});
    auto *monthsLabel = new QLabel(QStringLiteral("Each &month over the years"), this);
    monthsLabel->setBuddy(m_months);
    layout->addWidget(monthsLabel);
    m_months->setMinimumHeight(120);
    for (QTableWidget *table : {m_periods, m_months}) {
        table->viewport()->installEventFilter(this);
        // The row names' width is settled after the rows are filled, and
        // takes from the columns' room.
        connect(
            table->verticalHeader(), &QHeaderView::geometriesChanged, this,
            [table] { fitColumns(table); }, Qt::QueuedConnection);
    }
    layout->addWidget(m_months, 1);
}

void StatisticsView::refresh()
{
    if (!m_periods || !isVisible())
        return;
    const auto days = m_feed->daySummaries();
    if (days) {
        m_days = *days;
        m_note->setText(m_days.empty()
                            ? QStringLiteral("No daily summaries of this station yet: Quintaro "
                                             "makes them as it records its reports.")
                            : QStringLiteral("From the daily summaries Quintaro keeps for years. "
                                             "Days run from midnight to midnight in this "
                                             "computer's time zone."));
    } else {
        m_note->setText(QStringLiteral("The daily summaries cannot be read now") +
                        (m_feed->storeProblem().isEmpty()
                             ? QString()
                             : QStringLiteral(": ") + m_feed->storeProblem()) +
                        QStringLiteral(". Shown: what was read before."));
    }
    m_note->setAccessibleName(m_note->text());
    fillPeriods();
    fillMonths();
}

void StatisticsView::fillPeriods()
{
    const std::int64_t now = m_feed->now();
    const QDate today = QDateTime::fromSecsSinceEpoch(now).date();
    const auto periods = history::periodStatistics(m_days, today);
    for (int column = 0; column < int(periods.size()); ++column) {
        const history::PeriodStatistics &p = periods[std::size_t(column)];
        const QString name = periodName(p.period) + QStringLiteral(": ");
        const bool all = p.period == history::Period::AllRecorded;
        QString days =
            all ? daysText(p.days) : QStringLiteral("%1 of %2").arg(p.days).arg(p.calendarDays);
        QString daysSpoken =
            all ? days : QStringLiteral("%1 of ").arg(p.days) + daysText(p.calendarDays);
        if (all && p.days > 0) {
            days += QStringLiteral("\nsince ") + dayText(p.first, today);
            daysSpoken += QStringLiteral(" since ") + dayText(p.first, today);
        }
        setCell(m_periods, 0, column, days, name + daysSpoken + QStringLiteral(" recorded"));
        int row = 1;
        for (const history::ExtremeMeasure &m : history::kExtremeMeasures) {
            const Shown shown =
                extremeShown(p.extremes.*m.member, m.field,
                             m.member == &Extremes::gust ? p.extremes.gustDirection : std::nullopt,
                             m_units, now);
            setCell(m_periods, row++, column, shown.text,
                    name + QString::fromLatin1(m.name).toLower() + QLatin1Char(' ') + shown.spoken);
        }
        const std::optional<double> wind = p.extremes.windMean();
        const QString windText = wind ? displayValue(Field::WindSpeed, *wind, m_units) : kNoValue;
        setCell(m_periods, kWindRow, column, windText,
                name + QStringLiteral("mean wind ") +
                    (wind ? windText : QStringLiteral("not recorded")));
        QString rain = p.rain ? displayValue(Field::Rain24h, *p.rain, m_units) : kNoValue;
        QString rainSpoken = p.rain ? rain : QStringLiteral("not recorded");
        if (p.rain && p.rainDays < p.days) {
            const QString of = QStringLiteral("%1 of %2 days").arg(p.rainDays).arg(p.days);
            rain += QLatin1Char('\n') + of;
            rainSpoken += QStringLiteral(", over ") + of;
        }
        setCell(m_periods, kRainRow, column, rain, name + QStringLiteral("rain ") + rainSpoken);
    }
    m_periods->resizeRowsToContents();
    int height = m_periods->horizontalHeader()->sizeHint().height() + 2 * m_periods->frameWidth();
    for (int row = 0; row < m_periods->rowCount(); ++row)
        height += m_periods->rowHeight(row);
    m_periods->setMaximumHeight(height);
    fitColumns(m_periods);
}

void StatisticsView::fillMonths()
{
    const std::int64_t now = m_feed->now();
    const QDate today = QDateTime::fromSecsSinceEpoch(now).date();
    const auto months = history::monthlyRecords(m_days);
    m_months->setRowCount(int(months.size()));
    QStringList names;
    for (int row = 0; row < int(months.size()); ++row) {
        const history::MonthRecords &m = months[std::size_t(row)];
        names << monthName(m.month);
        const QString coverage = monthCoverage(m);
        setCell(m_months, row, 0,
                QString(coverage).replace(QStringLiteral(", "), QStringLiteral("\n")),
                monthName(m.month) + QStringLiteral(": recorded ") + coverage);
        // Each value names the days it was found in: a single day's reads
        // "of 7 December 2026 only", never as a record of the month.
        const QString of = QStringLiteral(" of ") + coverage + QStringLiteral(": ");
        const auto extreme = [&](int column, const char *what,
                                 const std::optional<history::Extreme> &e, Field field,
                                 const std::optional<double> &direction) {
            const Shown shown = extremeShown(e, field, direction, m_units, now);
            setCell(m_months, row, column, shown.text, QLatin1String(what) + of + shown.spoken);
        };
        extreme(1, "Highest temperature", m.extremes.temperatureHigh, Field::Temperature,
                std::nullopt);
        extreme(2, "Lowest temperature", m.extremes.temperatureLow, Field::Temperature,
                std::nullopt);
        extreme(3, "Strongest gust", m.extremes.gust, Field::WindGust, m.extremes.gustDirection);
        if (m.wettestDay) {
            const QString amount = displayValue(Field::Rain24h, m.wettestDay->value, m_units);
            const QString day =
                dayText(QDateTime::fromSecsSinceEpoch(m.wettestDay->utc).date(), today);
            setCell(m_months, row, 4, amount + QLatin1Char('\n') + day,
                    QStringLiteral("Wettest day") + of + amount + QStringLiteral(" on ") + day);
        } else {
            setCell(m_months, row, 4, kNoValue,
                    QStringLiteral("Wettest day") + of + QStringLiteral("no rain recorded"));
        }
        if (m.wettestMonth) {
            const history::MonthRain &r = *m.wettestMonth;
            const QString amount = displayValue(Field::Rain24h, r.rain, m_units);
            QString when = monthName(m.month) + QLatin1Char(' ') + QString::number(r.year);
            if (r.days < QDate(r.year, m.month, 1).daysInMonth())
                when += QStringLiteral(" (") + daysText(r.days) + QLatin1Char(')');
            setCell(m_months, row, 5, amount + QLatin1Char('\n') + when,
                    QStringLiteral("Most rain in the month") + of + amount +
                        QStringLiteral(" in ") + when);
        } else {
            setCell(m_months, row, 5, kNoValue,
                    QStringLiteral("Most rain in the month") + of +
                        QStringLiteral("no rain recorded"));
        }
    }
    m_months->setVerticalHeaderLabels(names);
    m_months->resizeRowsToContents();
    fitColumns(m_months);
}

bool StatisticsView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        for (QTableWidget *table : {m_periods, m_months}) {
            if (table && watched == table->viewport())
                fitColumns(table);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quintaro::display
