#pragma once

#include "WindRose.h"

#include <QWidget>

#include <array>

class QAreaSeries;
class QCategoryAxis;
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace quintaro::display {

// The wind rose of the span shown: a wedge per point of the compass as long
// as the wind's share from there, stacked by bands of strength, with the
// calm share in its title. Qt Charts draws it on a polar chart, whose
// wedges are area series. The chart is made when a third of the rose first
// comes in sight: a window that opens with the rose scrolled below the
// graphs pays nothing for it. What it shows is a view of the counts it is
// given; it never reads the store.
class WindRoseChart : public QWidget
{
    Q_OBJECT

public:
    explicit WindRoseChart(QWidget *parent = nullptr);

    // The rose of `span`, its speeds banded in `units`; its accessible
    // description follows.
    void setRose(const WindRose &rose, weather::Units units, Span span);
    // The polar chart; none until the rose first came in sight.
    QChart *chart() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Band
    {
        QLineSeries *outer = nullptr;
        QLineSeries *inner = nullptr;
        QAreaSeries *area = nullptr;
    };

    void build();
    void draw();
    void applyPalette();

    WindRose m_rose;
    weather::Units m_units = weather::Units::Metric;
    QChartView *m_view = nullptr;
    QCategoryAxis *m_angularAxis = nullptr;
    QValueAxis *m_radialAxis = nullptr;
    std::array<Band, kRoseBands> m_bands{};
    bool m_building = false;
};

} // namespace quintaro::display
