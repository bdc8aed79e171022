#pragma once

#include "DaySummary.h"
#include "WeatherText.h"

#include <QWidget>

#include <vector>

class QLabel;
class QTableWidget;

namespace quintaro::display {

class StationFeed;

// The display's "Statistics" page: the station's highs and lows with their
// times, strongest gust, mean wind and rain over the usual periods, and
// each calendar month's extremes over the years, from the daily summaries
// the store keeps. Nothing of it is made before it is first shown, so that
// the display opens as fast as without it. Every cell carries its value in
// words for a screen reader.
class StatisticsView : public QWidget
{
    Q_OBJECT

public:
    StatisticsView(StationFeed *feed, weather::Units units, QWidget *parent = nullptr);

    void setUnits(weather::Units units);
    // Reads the summaries anew while the page is shown; a hidden page reads
    // them when next shown.
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void fillPeriods();
    void fillMonths();

    StationFeed *m_feed;
    weather::Units m_units;
    std::vector<history::DaySummary> m_days;
    QLabel *m_note = nullptr;
    QTableWidget *m_periods = nullptr;
    QTableWidget *m_months = nullptr;
};

} // namespace quintaro::display
