// A station's statistics from its daily summaries: the periods as a day
// sees them, and each calendar month's extremes over the years with the
// days they cover, down to a station of a single day.

#include "WeatherStatistics.h"

#include <QDateTime>
#include <QTest>

using namespace quintaro;
using history::DaySummary;
using weather::Field;

namespace {

// "2026-12-07 high=77 low=50 gust=30 rain=0.20": a day of IK3WX whose high
// came at 14:00, its low at 06:00, its gust at 13:00 and its rain (as its
// total since midnight) by 23:00.
DaySummary day(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '));
    DaySummary s;
    s.call = "IK3WX";
    s.day = history::localDayOfDate(QDate::fromString(words[0], Qt::ISODate));
    for (const QString &word : words.mid(1)) {
        const QString key = word.section(QLatin1Char('='), 0, 0);
        const double value = word.section(QLatin1Char('='), 1).toDouble();
        weather::WeatherReport report;
        int hour = 23;
        if (key == "high" || key == "low") {
            report.set(Field::Temperature, value);
            hour = key == "high" ? 14 : 6;
        } else if (key == "gust") {
            report.set(Field::WindGust, value);
            hour = 13;
        } else {
            report.set(Field::RainSinceMidnight, value);
        }
        s.add(s.day.startUtc + hour * 3600, report);
    }
    return s;
}

std::vector<DaySummary> daysOf(const QStringList &lines)
{
    std::vector<DaySummary> days;
    for (const QString &line : lines)
        days.push_back(day(line));
    return days;
}

QString when(std::int64_t utc)
{
    return QDateTime::fromSecsSinceEpoch(utc).toString(QStringLiteral("MM-dd HH"));
}

QString describe(const history::Extremes &x)
{
    QString text;
    if (x.temperatureLow)
        text += QStringLiteral(", %1 (%2) to %3 (%4)")
                    .arg(x.temperatureLow->value)
                    .arg(when(x.temperatureLow->utc))
                    .arg(x.temperatureHigh->value)
                    .arg(when(x.temperatureHigh->utc));
    if (x.gust)
        text += QStringLiteral(", gust %1 (%2)").arg(x.gust->value).arg(when(x.gust->utc));
    return text;
}

} // namespace

class TestWeatherStatistics : public QObject
{
    Q_OBJECT

private slots:
    void periods_data();
    void periods();
    void months_data();
    void months();
};

void TestWeatherStatistics::periods_data()
{
    QTest::addColumn<QStringList>("days");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("period"); // of history::kPeriods
    QTest::addColumn<QString>("statistics");
    const QDate today(2026, 12, 7);
    const QStringList one = {"2026-12-07 high=77 low=50 gust=30 rain=0.2"};
    QTest::newRow("one day: today") << one << today << int(history::Period::Today)
                                    << "2026-12-07..2026-12-07, 1 of 1 days, 50 (12-07 06) to 77 "
                                       "(12-07 14), gust 30 (12-07 13), rain 0.2 over 1 days";
    QTest::newRow("one day: yesterday holds nothing")
        << one << today << int(history::Period::Yesterday) << "2026-12-06..2026-12-06, 0 of 1 days";
    QTest::newRow("nothing recorded")
        << QStringList() << today << int(history::Period::AllRecorded) << ".., 0 of 0 days";
    const QStringList week = {"2026-11-30 high=99 rain=1", "2026-12-01 high=80 low=40 rain=0.25",
                              "2026-12-05 low=40 gust=12", "2026-12-07 high=70 gust=12 rain=0.5"};
    QTest::newRow("last 7 days: today and the six before")
        << week << today << int(history::Period::Last7Days)
        << "2026-12-01..2026-12-07, 3 of 7 days, 40 (12-01 06) to 80 (12-01 14), gust 12 (12-05 "
           "13), rain 0.75 over 2 days";
    QTest::newRow("last month, the whole of it")
        << week << today << int(history::Period::LastMonth)
        << "2026-11-01..2026-11-30, 1 of 30 days, 99 (11-30 14) to 99 (11-30 14), rain 1 over 1 "
           "days";
    QTest::newRow("last month in January: December")
        << QStringList{"2025-12-31 gust=40", "2026-01-01 gust=50"} << QDate(2026, 1, 10)
        << int(history::Period::LastMonth)
        << "2025-12-01..2025-12-31, 1 of 31 days, gust 40 (12-31 13)";
    QTest::newRow("this year") << QStringList{"2025-12-31 gust=40", "2026-01-01 gust=30"}
                               << QDate(2026, 1, 10) << int(history::Period::ThisYear)
                               << "2026-01-01..2026-01-10, 1 of 10 days, gust 30 (01-01 13)";
}

void TestWeatherStatistics::periods()
{
    QFETCH(QStringList, days);
    QFETCH(QDate, today);
    QFETCH(int, period);
    QFETCH(QString, statistics);
    const std::vector<DaySummary> summaries = daysOf(days);
    const auto periods = history::periodStatistics(summaries, today);
    QCOMPARE(periods.size(), history::kPeriods.size());
    const history::PeriodStatistics &p = periods[std::size_t(period)];
    QCOMPARE(p.period, history::kPeriods[std::size_t(period)]);
    QString text = QStringLiteral("%1..%2, %3 of %4 days")
                       .arg(p.first.toString(Qt::ISODate), p.last.toString(Qt::ISODate))
                       .arg(p.days)
                       .arg(p.calendarDays) +
                   describe(p.extremes);
    if (p.rain)
        text += QStringLiteral(", rain %1 over %2 days").arg(*p.rain).arg(p.rainDays);
    QCOMPARE(text, statistics);
}

void TestWeatherStatistics::months_data()
{
    QTest::addColumn<QStringList>("days");
    QTest::addColumn<QStringList>("months"); // of monthlyRecords(), each described
    QTest::newRow("a single day: no more than it")
        << QStringList{"2026-12-07 high=77 low=50 gust=30"}
        << QStringList{"12: 1 days 2026-12-07..2026-12-07, 50 (12-07 06) to 77 (12-07 14), gust 30 "
                       "(12-07 13)"};
    QTest::newRow("every January of three years")
        << QStringList{"2025-01-10 high=50 rain=0.5", "2026-01-20 high=60 low=-5 rain=0.6",
                       "2027-01-05 low=-5 rain=0.3", "2025-01-11 rain=0.4"}
        << QStringList{"1: 4 days 2025-01-10..2027-01-05, -5 (01-20 06) to 60 (01-20 14), wettest "
                       "day 0.6 on 2026-01-20, most rain 0.9 in 2025 over 2 days"};
    QStringList february;
    for (int d = 1; d <= 28; ++d)
        february << QStringLiteral("2026-02-%1 gust=%2").arg(d, 2, 10, QLatin1Char('0')).arg(d);
    QTest::newRow("a whole February, then a day of March")
        << (february << "2026-03-01 gust=5")
        << QStringList{"2: 28 days 2026-02-01..2026-02-28 whole, gust 28 (02-28 13)",
                       "3: 1 days 2026-03-01..2026-03-01, gust 5 (03-01 13)"};
}

void TestWeatherStatistics::months()
{
    QFETCH(QStringList, days);
    QFETCH(QStringList, months);
    const std::vector<DaySummary> summaries = daysOf(days);
    QStringList found;
    for (const history::MonthRecords &m : history::monthlyRecords(summaries)) {
        QString text = QStringLiteral("%1: %2 days %3..%4")
                           .arg(m.month)
                           .arg(m.days)
                           .arg(m.firstDay.toString(Qt::ISODate), m.lastDay.toString(Qt::ISODate));
        if (m.wholeMonth)
            text += QStringLiteral(" whole");
        text += describe(m.extremes);
        if (m.wettestDay)
            text += QStringLiteral(", wettest day %1 on %2")
                        .arg(m.wettestDay->value)
                        .arg(QDateTime::fromSecsSinceEpoch(m.wettestDay->utc)
                                 .date()
                                 .toString(Qt::ISODate));
        if (m.wettestMonth)
            text += QStringLiteral(", most rain %1 in %2 over %3 days")
                        .arg(m.wettestMonth->rain)
                        .arg(m.wettestMonth->year)
                        .arg(m.wettestMonth->days);
        found << text;
    }
    QCOMPARE(found, months);
}

QTEST_GUILESS_MAIN(TestWeatherStatistics)
#include "tst_weatherstatistics.moc"
