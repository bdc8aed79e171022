#pragma once

#include "WeatherRules.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QChartView;
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
// A view of `chart` filling `parent`, as the display's graphs show theirs.
QChartView *addChartView(QChart *chart, QWidget *parent);
// Whether a third of `widget` is in sight, the part a chart is made for:
// the edge of one below the others is not yet worth it.
bool isThirdInSight(const QWidget *widget);
// What a chart not yet made shows in its place: its title, where the chart
// would show it, on the chart's background.
void paintTitleInPlace(QWidget *widget, const QString &title);

// One graph of the display: a value (or two, such as wind speed with its
// gusts) over the span the user picked, the time axis in local time, the
// value axis in the units shown. A line is broken where the station was
// silent: each run between silences is a series of its own, drawn with the
// same pen, and only the first of them has a legend entry. The graph is a
// view of the samples it is given; it never reads the store. Its chart is
// made when a third of it is in sight as its window is shown, or once it
// comes in sight later: a graph below the others costs nothing until it is
// scrolled to, and until then its title alone is painted where the chart
// shows it.
class WeatherChart : public QWidget
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
    void setData(std::vector<std::vector<Segment>> lines, weather::Field field,
                 weather::Units units, const TimeAxis &axis, const QString &title, bool zeroBased,
                 double ceiling);
    // The graphs share the room of their grid alike, whatever their charts
    // would ask for, made or not.
    QSize sizeHint() const override { return minimumSize(); }
    // Whether the graph is too narrow for many time labels.
    bool isNarrow() const { return width() < 420; }
    // The chart; none until the graph first came in sight.
    QChart *chart() const;
    // Makes the chart now if a third of the graph is in sight, so that a
    // window shows it in its first paint.
    void buildIfInSight();

signals:
    void narrownessChanged();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Slot
    {
        QLineSeries *data = nullptr;      // holds the points
        QAbstractSeries *shown = nullptr; // the data itself, or an area over it
    };

    // What setData() was given, drawn once the chart is made.
    struct Data
    {
        std::vector<std::vector<Segment>> lines;
        weather::Field field = weather::Field::Temperature;
        weather::Units units = weather::Units::Metric;
        QString title;
        bool zeroBased = false;
        double ceiling = 0;
    };

    void build();
    void draw();
    Slot addSlot(int line);
    void styleSlot(const Slot &slot, int line);
    void applyPalette();
    void updateTimeFormat();
    bool isDark() const;

    std::vector<Line> m_lines;
    std::vector<std::vector<Slot>> m_slots;
    Data m_data;
    QChartView *m_view = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_valueAxis = nullptr;
    TimeAxis m_axis;
    bool m_narrow = false;
    bool m_building = false;
};

} // namespace quintaro::display
