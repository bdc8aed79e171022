#pragma once

#include <QWidget>

#include <optional>

namespace quintaro::display {

// A compass rose with a pointer at the direction the wind blows from (as a
// weather vane points into the wind); no pointer when the wind is calm or
// its direction unknown.
class CompassWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CompassWidget(QWidget *parent = nullptr);

    void setDirection(std::optional<double> degrees);
    std::optional<double> direction() const { return m_degrees; }
    void setStale(bool stale);

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<double> m_degrees;
    bool m_stale = false;
};

} // namespace quintaro::display
