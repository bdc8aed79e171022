#include "WeatherChart.h"

#include <QAreaSeries>
#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QEvent>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace quintaro::display {

bool isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

void styleChart(QChart *chart, const QPalette &palette, const QFont &font)
{
    chart->setTheme(isDarkPalette(palette) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    // The theme's own backgrounds would stand out from the window's.
    chart->setBackgroundBrush(palette.color(QPalette::Base));
    chart->setBackgroundPen(Qt::NoPen);
    chart->setTitleBrush(palette.color(QPalette::Text));
    QFont titleFont = font;
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->setLabelColor(palette.color(QPalette::Text));
}

void styleAxis(QAbstractAxis *axis, const QPalette &palette, const QFont &font)
{
    QColor grid = palette.color(QPalette::Text);
    grid.setAlphaF(0.18f);
    axis->setLabelsColor(palette.color(QPalette::Text));
    axis->setLabelsFont(font);
    axis->setGridLineColor(grid);
    axis->setLinePenColor(palette.color(QPalette::Mid));
}

QChartView *addChartView(QChart *chart, QWidget *parent)
{
    // The chart is handed over at construction: a chart view made without
    // one makes its own, which would be left behind.
    auto *view = new QChartView(chart, parent);
    // Its items change with every report: an index of where they lie would
    // be rebuilt each time, and holds memory for the few a chart has.
    view->scene()->setItemIndexMethod(QGraphicsScene::NoIndex);
    // The graph around it is what the Tab key reaches.
    view->setFocusPolicy(Qt::NoFocus);
    view->setRenderHint(QPainter::Antialiasing);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 2, 4, 2));
    chart->setBackgroundRoundness(0);
    parent->layout()->addWidget(view);
    return view;
}

bool isThirdInSight(const QWidget *widget)
{
    return widget->isVisible() &&
           widget->visibleRegion().boundingRect().height() * 3 >= widget->height();
}

void paintTitleInPlace(QWidget *widget, const QString &title)
{
    QPainter painter(widget);
    painter.fillRect(widget->rect(), widget->palette().color(QPalette::Base));
    QFont titleFont = widget->font();
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.setPen(widget->palette().color(QPalette::Text));
    painter.drawText(widget->rect().adjusted(4, 2, -4, 0), Qt::AlignHCenter | Qt::AlignTop, title);
}

WeatherChart::WeatherChart(const QString &title, std::vector<Line> lines, QWidget *parent)
    : QWidget(parent), m_lines(std::move(lines)), m_slots(m_lines.size())
{
    m_data.title = title;
    // Keyboard users reach each graph, and a screen reader tells its
    // description there.
    setFocusPolicy(Qt::TabFocus);
    setMinimumSize(240, 160);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QChart *WeatherChart::chart() const
{
    return m_view ? m_view->chart() : nullptr;
}

void WeatherChart::build()
{
    m_view = addChartView(new QChart, this);
    QChart *chart = m_view->chart();
    chart->legend()->setVisible(m_lines.size() > 1);
    chart->legend()->setAlignment(Qt::AlignTop);
    m_timeAxis = new QDateTimeAxis(chart);
    m_valueAxis = new QValueAxis(chart);
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    chart->addAxis(m_valueAxis, Qt::AlignLeft);
    for (std::size_t line = 0; line < m_lines.size(); ++line)
        addSlot(int(line));
    applyPalette();
    draw();
    m_view->show();
}

void WeatherChart::buildIfInSight()
{
    if (!m_view && isThirdInSight(this))
        build();
}

void WeatherChart::paintEvent(QPaintEvent *)
{
    if (m_view)
        return;
    paintTitleInPlace(this, m_data.title);
    // Scrolled into sight: made once the paint is over, since a paint must
    // not add widgets.
    if (!m_building && isThirdInSight(this)) {
        m_building = true;
        QMetaObject::invokeMethod(this, &WeatherChart::build, Qt::QueuedConnection);
    }
}

bool WeatherChart::isDark() const
{
    return isDarkPalette(palette());
}

WeatherChart::Slot WeatherChart::addSlot(int line)
{
    Slot slot;
    slot.data = new QLineSeries(chart());
    slot.data->setName(m_lines[std::size_t(line)].name);
    if (m_lines[std::size_t(line)].filled) {
        auto *area = new QAreaSeries(slot.data);
        slot.data->setParent(area);
        area->setName(m_lines[std::size_t(line)].name);
        slot.shown = area;
    } else {
        slot.shown = slot.data;
    }
    chart()->addSeries(slot.shown);
    slot.shown->attachAxis(m_timeAxis);
    slot.shown->attachAxis(m_valueAxis);
    const bool first = m_slots[std::size_t(line)].empty();
    if (!first || !chart()->legend()->isVisible()) {
        for (QLegendMarker *marker : chart()->legend()->markers(slot.shown))
            marker->setVisible(false);
    }
    styleSlot(slot, line);
    m_slots[std::size_t(line)].push_back(slot);
    return slot;
}

void WeatherChart::styleSlot(const Slot &slot, int line)
{
    const Line &drawn = m_lines[std::size_t(line)];
    const QColor colour = isDark() ? drawn.darkColour : drawn.lightColour;
    QPen pen(colour, 2);
    if (drawn.dashed)
        pen.setStyle(Qt::DashLine);
    if (auto *area = qobject_cast<QAreaSeries *>(slot.shown)) {
        QColor fill = colour;
        fill.setAlphaF(0.45f);
        area->setBrush(fill);
        area->setPen(QPen(colour, 1.5));
    } else {
        slot.data->setPen(pen);
    }
}

void WeatherChart::applyPalette()
{
    if (!m_view)
        return;
    styleChart(chart(), palette(), font());
    for (QAbstractAxis *axis :
         {static_cast<QAbstractAxis *>(m_timeAxis), static_cast<QAbstractAxis *>(m_valueAxis)})
        styleAxis(axis, palette(), font());
    for (std::size_t line = 0; line < m_slots.size(); ++line) {
        for (const Slot &slot : m_slots[line])
            styleSlot(slot, int(line));
    }
}

void WeatherChart::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        applyPalette();
}

void WeatherChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_view)
        updateTimeFormat();
    if (isNarrow() != m_narrow) {
        m_narrow = isNarrow();
        emit narrownessChanged();
    }
}

void WeatherChart::updateTimeFormat()
{
    const std::int64_t length = m_axis.toUtc - m_axis.fromUtc;
    m_timeAxis->setFormat(length <= 86400 ? QStringLiteral("HH:mm")
                          : length <= 7 * 86400
                              ? (isNarrow() ? QStringLiteral("ddd") : QStringLiteral("ddd d"))
                              : QStringLiteral("d MMM"));
}

void WeatherChart::setData(std::vector<std::vector<Segment>> lines, weather::Field field,
                           weather::Units units, const TimeAxis &axis, const QString &title,
                           bool zeroBased, double ceiling)
{
    m_data = {std::move(lines), field, units, title, zeroBased, ceiling};
    m_axis = axis;
    if (m_view)
        draw();
    else
        update();
}

void WeatherChart::draw()
{
    // The series hold the points from here on.
    const std::vector<std::vector<Segment>> lines = std::move(m_data.lines);
    const weather::Field field = m_data.field;
    const weather::Units units = m_data.units;
    const bool zeroBased = m_data.zeroBased;
    const TimeAxis &axis = m_axis;
    chart()->setTitle(m_data.title);
    double low = INFINITY;
    double high = -INFINITY;
    for (std::size_t line = 0; line < m_lines.size(); ++line) {
        const std::vector<Segment> empty;
        const std::vector<Segment> &segments = line < lines.size() ? lines[line] : empty;
        auto &runs = m_slots[line];
        while (runs.size() < std::max<std::size_t>(segments.size(), 1))
            addSlot(int(line));
        // Runs that are gone now give their series back, all but one.
        while (runs.size() > std::max<std::size_t>(segments.size(), 1)) {
            chart()->removeSeries(runs.back().shown);
            delete runs.back().shown;
            runs.pop_back();
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            QList<QPointF> points;
            if (i < segments.size()) {
                points.reserve(qsizetype(segments[i].size()));
                for (const Point &p : segments[i]) {
                    points.append(QPointF(double(p.utc) * 1000.0, p.value));
                    low = std::min(low, p.value);
                    high = std::max(high, p.value);
                }
            }
            runs[i].data->replace(points);
            // A run of one report draws no line: it shows as a dot.
            runs[i].data->setPointsVisible(points.size() == 1);
        }
    }
    m_timeAxis->setRange(QDateTime::fromSecsSinceEpoch(axis.fromUtc),
                         QDateTime::fromSecsSinceEpoch(axis.toUtc));
    m_timeAxis->setTickCount(axis.ticks);
    updateTimeFormat();

    if (!std::isfinite(low)) {
        low = 0;
        high = 1;
    }
    if (zeroBased)
        low = std::min(low, 0.0);
    if (high - low < 1e-9)
        high = low + 1;
    const double pad = (high - low) * 0.05;
    double top = high + pad;
    double bottom = zeroBased && low >= 0 ? 0 : low - pad;
    if (m_data.ceiling > 0)
        top = std::min(top, m_data.ceiling);
    m_valueAxis->setRange(bottom, top);
    m_valueAxis->setTickCount(5);
    m_valueAxis->applyNiceNumbers();
    const int decimals = std::max(0, weather::decimalsOf(field, units) - (high - low > 10 ? 1 : 0));
    // Ticks closer than the labels' last digit would read twice ("81 81 82").
    const double resolution = std::pow(10.0, -decimals);
    if ((m_valueAxis->max() - m_valueAxis->min()) / (m_valueAxis->tickCount() - 1) < resolution) {
        const double from = std::floor(m_valueAxis->min() / resolution + 1e-9) * resolution;
        const double to = std::max(from + resolution,
                                   std::ceil(m_valueAxis->max() / resolution - 1e-9) * resolution);
        m_valueAxis->setRange(from, to);
        m_valueAxis->setTickCount(int(std::round((to - from) / resolution)) + 1);
    }
    m_valueAxis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) +
                                QStringLiteral("f"));
}

} // namespace quintaro::display
