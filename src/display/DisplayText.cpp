#include "DisplayText.h"

#include "TimeText.h"

#include <QDateTime>

#include <cmath>

namespace quintaro::display {

using weather::Field;
using weather::Units;

QString fieldName(Field field)
{
    switch (field) {
    case Field::WindDirection:
        return QStringLiteral("Wind direction");
    case Field::WindSpeed:
        return QStringLiteral("Wind speed");
    case Field::WindGust:
        return QStringLiteral("Gusts");
    case Field::Temperature:
        return QStringLiteral("Temperature");
    case Field::Rain1h:
        return QStringLiteral("Rain in the last hour");
    case Field::Rain24h:
        return QStringLiteral("Rain in 24 hours");
    case Field::RainSinceMidnight:
        return QStringLiteral("Rain since midnight");
    case Field::Humidity:
        return QStringLiteral("Humidity");
    case Field::Pressure:
        return QStringLiteral("Pressure");
    case Field::Luminosity:
        return QStringLiteral("Luminosity");
    case Field::Snow24h:
        return QStringLiteral("Snow in 24 hours");
    }
    return {};
}

QString displayValue(Field field, double reportValue, Units units)
{
    return QString::fromStdString(weather::valueWithUnit(field, reportValue, units));
}

QString accessibleValue(const QString &name, const QString &value, bool stale)
{
    QString text = name + QLatin1Char(' ') + value;
    if (stale)
        text += QStringLiteral(", stale");
    return text;
}

QString sectorName(int sector)
{
    static const char *const kPoints[kRoseSectors] = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                                      "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                                      "W",  "WNW", "NW", "NNW"};
    return QLatin1String(kPoints[sector % kRoseSectors]);
}

QString compassPoint(double degrees)
{
    return sectorName(roseSector(degrees));
}

QString tendencyWord(Tendency tendency)
{
    switch (tendency) {
    case Tendency::Rising:
        return QStringLiteral("rising");
    case Tendency::Falling:
        return QStringLiteral("falling");
    case Tendency::Steady:
        return QStringLiteral("steady");
    case Tendency::Unknown:
        break;
    }
    return {};
}

QString pressureText(double reportHpa, const PressureTendency &tendency, Units units)
{
    QString text = displayValue(Field::Pressure, reportHpa, units);
    if (tendency.tendency != Tendency::Unknown)
        text += QStringLiteral(", ") + tendencyWord(tendency.tendency);
    return text;
}

QString windText(std::optional<double> speed, std::optional<double> gust, Units units)
{
    QString text;
    if (speed)
        text = *speed == 0 && (!gust || *gust == 0) ? QStringLiteral("calm")
                                                    : displayValue(Field::WindSpeed, *speed, units);
    if (gust && !(speed && *speed == 0 && *gust == 0)) {
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        text += QStringLiteral("gusts ") + displayValue(Field::WindGust, *gust, units);
    }
    return text;
}

QString windAccessibleText(std::optional<double> direction, std::optional<double> speed,
                           std::optional<double> gust, Units units)
{
    QString text = QStringLiteral("Wind");
    const bool calm = speed && *speed == 0 && (!gust || *gust == 0);
    if (direction && !calm)
        text += QStringLiteral(" from ") + compassPoint(*direction) + QStringLiteral(" (") +
                displayValue(Field::WindDirection, *direction, units) + QLatin1Char(')');
    const QString strength = windText(speed, gust, units);
    if (!strength.isEmpty())
        text += (speed && !calm ? QStringLiteral(" at ") : QStringLiteral(" ")) + strength;
    return text;
}

QString shortTime(std::int64_t when, std::int64_t now)
{
    const bool today = startOfLocalDay(when) == startOfLocalDay(now);
    return QString::fromStdString(formatLocalTime(when, today ? "%H:%M" : "%-d %b %H:%M"));
}

QString dayAndTime(std::int64_t when, std::int64_t now)
{
    const QDateTime then = QDateTime::fromSecsSinceEpoch(when);
    const QDate today = QDateTime::fromSecsSinceEpoch(now).date();
    if (then.date() == today)
        return then.toString(QStringLiteral("HH:mm"));
    return then.toString(then.date().year() == today.year() ? QStringLiteral("d MMM HH:mm")
                                                            : QStringLiteral("d MMM yyyy HH:mm"));
}

QString dayText(const QDate &day, const QDate &today)
{
    if (day == today)
        return QStringLiteral("today");
    return day.toString(day.year() == today.year() ? QStringLiteral("d MMM")
                                                   : QStringLiteral("d MMM yyyy"));
}

QString periodName(history::Period period)
{
    switch (period) {
    case history::Period::Today:
        return QStringLiteral("Today");
    case history::Period::Yesterday:
        return QStringLiteral("Yesterday");
    case history::Period::Last7Days:
        return QStringLiteral("Last 7 days");
    case history::Period::ThisMonth:
        return QStringLiteral("This month");
    case history::Period::LastMonth:
        return QStringLiteral("Last month");
    case history::Period::ThisYear:
        return QStringLiteral("This year");
    case history::Period::AllRecorded:
        return QStringLiteral("All recorded");
    }
    return {};
}

QString monthName(int month)
{
    return QDate(2000, month, 1).toString(QStringLiteral("MMMM"));
}

QString monthCoverage(const history::MonthRecords &month)
{
    const QString name = monthName(month.month);
    const QDate first = month.firstDay;
    const QDate last = month.lastDay;
    if (month.days == 1)
        return first.toString(QStringLiteral("d MMMM yyyy")) + QStringLiteral(" only");
    const QString days = QStringLiteral(", %1 days").arg(month.days);
    if (first.year() != last.year())
        return QStringLiteral("%1 %2–%3").arg(name).arg(first.year()).arg(last.year()) + days;
    if (month.wholeMonth)
        return QStringLiteral("%1 %2, every day").arg(name).arg(first.year());
    return QStringLiteral("%1–%2 %3 %4")
               .arg(first.day())
               .arg(last.day())
               .arg(name)
               .arg(first.year()) +
           days;
}

QString graphDescription(const std::optional<SeriesSummary> &summary, Field field, Units units,
                         Span span, std::int64_t now)
{
    const QString over = QStringLiteral("Last ") + QString::fromStdString(spanName(span));
    if (!summary)
        return over + QStringLiteral(": no values");
    const auto point = [&](const Point &p) {
        return QString::fromStdString(weather::shownWithUnit(field, p.value, units)) +
               QStringLiteral(" (") + shortTime(p.utc, now) + QLatin1Char(')');
    };
    return over + QStringLiteral(": lowest ") + point(summary->lowest) +
           QStringLiteral(", highest ") + point(summary->highest) + QStringLiteral(", last ") +
           point(summary->last);
}

QString roseBandName(int band, Units units)
{
    const auto floors = roseBandFloors(units);
    const QString unit =
        QLatin1Char(' ') + QLatin1String(weather::unitSymbol(Field::WindSpeed, units));
    const QString from = QString::number(floors[std::size_t(band)]);
    if (band + 1 >= kRoseBands)
        return QStringLiteral("≥ ") + from + unit;
    return from + QStringLiteral("–") + QString::number(floors[std::size_t(band) + 1] - 1) + unit;
}

QString calmText(const WindRose &rose)
{
    return QStringLiteral("calm ") + percentText(rose.percent(rose.calm));
}

QString percentText(double percent)
{
    return QString::number(std::lround(percent)) + QStringLiteral(" %");
}

QString windRoseDescription(const WindRose &rose, Span span)
{
    QString text = QStringLiteral("Wind rose, last ") + QString::fromStdString(spanName(span)) +
                   QStringLiteral(": ");
    if (rose.total == 0)
        return text + QStringLiteral("no wind reported");
    if (const auto sector = rose.prevailingSector())
        text += QStringLiteral("mostly from ") + sectorName(*sector) + QStringLiteral(" (") +
                percentText(rose.percent(rose.sectorTotal(*sector))) + QStringLiteral("), ");
    return text + calmText(rose);
}

} // namespace quintaro::display
