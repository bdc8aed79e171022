#include "CompassWidget.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quintaro::display {

CompassWidget::CompassWidget(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(64, 64);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CompassWidget::setDirection(std::optional<double> degrees)
{
    if (degrees == m_degrees)
        return;
    m_degrees = degrees;
    update();
}

void CompassWidget::setStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    update();
}

QSize CompassWidget::sizeHint() const
{
    return {120, 120};
}

void CompassWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    const QColor text =
        pal.color(m_stale ? QPalette::Disabled : QPalette::Active, QPalette::WindowText);
    const int side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = side / 2.0 - 2;

    painter.setPen(QPen(pal.color(QPalette::Mid), std::max(1.0, side / 60.0)));
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawEllipse(QPointF(0, 0), radius, radius);

    QFont letters = font();
    letters.setPixelSize(std::max(8, int(side / 8)));
    letters.setBold(true);
    painter.setFont(letters);
    painter.setPen(text);
    const double r = radius - letters.pixelSize() * 0.75;
    const struct
    {
        const char *name;
        double x, y;
    } kPoints[] = {{"N", 0, -1}, {"E", 1, 0}, {"S", 0, 1}, {"W", -1, 0}};
    for (const auto &p : kPoints) {
        const QRectF box(p.x * r - side / 8.0, p.y * r - side / 8.0, side / 4.0, side / 4.0);
        painter.drawText(box, Qt::AlignCenter, QLatin1String(p.name));
    }

    if (!m_degrees)
        return;
    // The pointer's tip at the direction the wind comes from; screen y grows
    // downwards, so north is up and east right.
    painter.rotate(*m_degrees);
    const double tip = radius * 0.62;
    QPainterPath arrow;
    arrow.moveTo(0, -tip);
    arrow.lineTo(radius * 0.16, -tip + radius * 0.34);
    arrow.lineTo(radius * 0.05, -tip + radius * 0.30);
    arrow.lineTo(radius * 0.05, tip * 0.55);
    arrow.lineTo(-radius * 0.05, tip * 0.55);
    arrow.lineTo(-radius * 0.05, -tip + radius * 0.30);
    arrow.lineTo(-radius * 0.16, -tip + radius * 0.34);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_stale ? text : pal.color(QPalette::Highlight));
    painter.drawPath(arrow);
}

} // namespace quintaro::display
