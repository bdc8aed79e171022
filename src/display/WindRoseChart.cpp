#include "WindRoseChart.h"

#include "DisplayText.h"
#include "WeatherChart.h"

#include <QAreaSeries>
#include <QBoxLayout>
#include <QCategoryAxis>
#include <QChartView>
#include <QEvent>
#include <QLineSeries>
#include <QPolarChart>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace quintaro::display {

namespace {

constexpr double kSectorDegrees = 360.0 / kRoseSectors;
// Room between neighbouring wedges, on each side, so that each reads alone.
constexpr double kWedgeGapDegrees = 1.5;
// Points along a wedge's outer edge: the chart joins points with straight
// lines, and a wedge's end should read as an arc.
constexpr int kArcPoints = 5;

// From light and calm to strong, on a light and on a dark background.
const QColor kLightBands[kRoseBands] = {QColor(0x6c, 0xb4, 0xff), QColor(0x1f, 0x6f, 0xd1),
                                        QColor(0x1b, 0x8a, 0x5a), QColor(0xe0, 0x8a, 0x00),
                                        QColor(0xd0, 0x3a, 0x1b)};
const QColor kDarkBands[kRoseBands] = {QColor(0x2f, 0x6f, 0xb8), QColor(0x6c, 0xb4, 0xff),
                                       QColor(0x5f, 0xd6, 0x9c), QColor(0xff, 0xc1, 0x4d),
                                       QColor(0xff, 0x8a, 0x65)};

// The stretches of angle the wedges take, in the axis's order from 0° to
// 360°: north's wedge straddles 0°, so it is drawn as two halves, one at
// each end.
struct Arc
{
    int sector;
    double from;
    double to;
};
std::vector<Arc> wedgeArcs()
{
    const double half = kSectorDegrees / 2 - kWedgeGapDegrees;
    std::vector<Arc> arcs{{0, 0, half}};
    for (int sector = 1; sector < kRoseSectors; ++sector)
        arcs.push_back({sector, sector * kSectorDegrees - half, sector * kSectorDegrees + half});
    arcs.push_back({0, 360 - half, 360});
    return arcs;
}

QString roseTitle(const WindRose &rose)
{
    return rose.total == 0 ? QStringLiteral("Wind rose: no wind reported")
                           : QStringLiteral("Wind rose, ") + calmText(rose);
}

// A step for the rings that leaves at most four of them.
double ringStep(double highest)
{
    for (const double step : {1.0, 2.0, 5.0, 10.0, 20.0, 25.0})
        if (highest <= 4 * step)
            return step;
    return 50.0;
}

} // namespace

WindRoseChart::WindRoseChart(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(240, 160);
    // Keyboard users reach the rose as they reach each graph, and a screen
    // reader tells its description there.
    setFocusPolicy(Qt::TabFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QChart *WindRoseChart::chart() const
{
    return m_view ? m_view->chart() : nullptr;
}

void WindRoseChart::setRose(const WindRose &rose, weather::Units units, Span span)
{
    m_rose = rose;
    m_units = units;
    const QString description = windRoseDescription(rose, span);
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
    if (m_view)
        draw();
    else
        update();
}

void WindRoseChart::paintEvent(QPaintEvent *)
{
    if (m_view)
        return;
    // Until the chart is made its title stands in for it, where the chart
    // would show it.
    paintTitleInPlace(this, roseTitle(m_rose));
    // A rose scrolled into sight is made once the paint is over, since a
    // paint must not add widgets.
    if (!m_building && isThirdInSight(this)) {
        m_building = true;
        QMetaObject::invokeMethod(this, &WindRoseChart::build, Qt::QueuedConnection);
    }
}

void WindRoseChart::build()
{
    auto *chart = new QPolarChart;
    m_view = addChartView(chart, this);
    chart->legend()->setAlignment(Qt::AlignRight);

    m_angularAxis = new QCategoryAxis(chart);
    m_angularAxis->setRange(0, 360);
    m_angularAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int sector = 2; sector <= kRoseSectors; sector += 2)
        m_angularAxis->append(sectorName(sector % kRoseSectors), sector * kSectorDegrees);
    m_radialAxis = new QValueAxis(chart);
    m_radialAxis->setLabelFormat(QStringLiteral("%.0f %%"));
    chart->addAxis(m_angularAxis, QPolarChart::PolarOrientationAngular);
    chart->addAxis(m_radialAxis, QPolarChart::PolarOrientationRadial);

    for (Band &band : m_bands) {
        band.outer = new QLineSeries(chart);
        band.inner = new QLineSeries(chart);
        band.area = new QAreaSeries(band.outer, band.inner);
        band.outer->setParent(band.area);
        band.inner->setParent(band.area);
        chart->addSeries(band.area);
        band.area->attachAxis(m_angularAxis);
        band.area->attachAxis(m_radialAxis);
    }
    applyPalette();
    draw();
    m_view->show();
}

void WindRoseChart::draw()
{
    QChart *chart = m_view->chart();
    chart->setTitle(roseTitle(m_rose));
    double highest = 0;
    for (int sector = 0; sector < kRoseSectors; ++sector)
        highest = std::max(highest, m_rose.percent(m_rose.sectorTotal(sector)));
    const double step = ringStep(highest);
    const int rings = std::max(1, int(std::ceil(highest / step - 1e-9)));
    m_radialAxis->setRange(0, rings * step);
    m_radialAxis->setTickCount(rings + 1);

    const std::vector<Arc> arcs = wedgeArcs();
    std::array<double, kRoseSectors> below{};
    for (int band = 0; band < kRoseBands; ++band) {
        QList<QPointF> outer, inner;
        for (const Arc &arc : arcs) {
            const double from = below[std::size_t(arc.sector)];
            const double to =
                from + m_rose.percent(m_rose.counts[std::size_t(arc.sector)][std::size_t(band)]);
            // The wedge's sides run out from the band below along the
            // stretch's ends; between wedges both lines meet.
            outer.append(QPointF(arc.from, from));
            inner.append(QPointF(arc.from, from));
            const int points = arc.to - arc.from < kSectorDegrees / 2 ? 3 : kArcPoints;
            for (int i = 0; i < points; ++i) {
                const double angle = arc.from + (arc.to - arc.from) * i / (points - 1);
                outer.append(QPointF(angle, to));
                inner.append(QPointF(angle, from));
            }
            outer.append(QPointF(arc.to, from));
            inner.append(QPointF(arc.to, from));
        }
        for (int sector = 0; sector < kRoseSectors; ++sector)
            below[std::size_t(sector)] +=
                m_rose.percent(m_rose.counts[std::size_t(sector)][std::size_t(band)]);
        Band &drawn = m_bands[std::size_t(band)];
        drawn.outer->replace(outer);
        drawn.inner->replace(inner);
        drawn.area->setName(roseBandName(band, m_units));
    }
}

void WindRoseChart::applyPalette()
{
    QChart *chart = m_view->chart();
    styleChart(chart, palette(), font());
    styleAxis(m_angularAxis, palette(), font());
    styleAxis(m_radialAxis, palette(), font());
    const bool dark = isDarkPalette(palette());
    for (int band = 0; band < kRoseBands; ++band) {
        const QColor colour = dark ? kDarkBands[band] : kLightBands[band];
        m_bands[std::size_t(band)].area->setBrush(colour);
        // A rim of the background between bands and wedges.
        m_bands[std::size_t(band)].area->setPen(QPen(palette().color(QPalette::Base), 0.8));
    }
}

void WindRoseChart::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (m_view && (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange))
        applyPalette();
}

} // namespace quintaro::display
