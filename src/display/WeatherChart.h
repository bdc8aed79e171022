#pragma once

#include "WeatherRules.h"

#include <QChartView>
#include <QColor>
#include <QString>

#include <vector>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace quintaro::display {

// The display's graphs follow the window's palette, a dark one included: the
// palette's base behind them, its text colour for titles and labels, faint
// grid lines, and Qt Charts' dark theme on a dark palette.
bool isDarkPalette(const QPalette &palette);
void styleChart(QChart *chart, const QPalette &palette, const QFont &font);
void styleAxis(QAbstractAxis *axis, const QPalette &palette, const QFont &font);

// One graph of the display: a value (or two, such as wind speed with its
// gusts) over the span the user picked, the time axis in local time, the
// value axis in the units shown. A line is broken where the station was
// silent: each run between silences is a series of its own, drawn with the
// same pen, and only the first of them has a legend entry. The graph is a
// view of the samples it is given; it never reads the store.
class WeatherChart : public QChartView
{
    Q_OBJECT

public:
    struct Line
    {
        QString name;
        QColor lightColour;  // on a light background
        QColor darkColour;   // on a dark one
        bool filled = false; // an area down to zero, for amounts such as rain
        bool dashed = false;
    };

    // `title` names the value; the unit is added by setData().
    WeatherChart(const QString &title, std::vector<Line> lines, QWidget *parent = nullptr);

    // Draws each line's segments (one vector of segments per line, in the
    // order given) along `axis`; `field` gives the unit and decimals.
    // `zeroBased` keeps zero on the value axis, a positive `ceiling` caps it.
    void setData(const std::vector<std::vector<Segment>> &lines, weather::Field field,
                 weather::Units units, const TimeAxis &axis, const QString &title, bool zeroBased,
                 double ceiling);
    // Whether the graph is too narrow for many time labels.
    bool isNarrow() const { return width() < 420; }

signals:
    void narrownessChanged();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Slot
    {
        QLineSeries *data = nullptr;      // holds the points
        QAbstractSeries *shown = nullptr; // the data itself, or an area over it
    };

    Slot addSlot(int line);
    void styleSlot(const Slot &slot, int line);
    void applyPalette();
    void updateTimeFormat();
    bool isDark() const;

    std::vector<Line> m_lines;
    std::vector<std::vector<Slot>> m_slots;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_valueAxis = nullptr;
    TimeAxis m_axis;
    bool m_narrow = false;
};

} // namespace quintaro::display
