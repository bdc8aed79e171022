#pragma once

#include "DisplaySettings.h"
#include "StationFeed.h"

#include <QMainWindow>

#include <array>
#include <string>

class QAction;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QPushButton;

namespace quintaro::display {

class CompassWidget;
class StatisticsView;
class WeatherChart;
class WindRoseChart;

// The weather display's window for one station: its last values, large
// enough to read across a room, and its graphs over the span the user picks,
// both kept current from the history store by a StationFeed. Wide windows
// put the values beside the graphs, narrow ones above them.
class WeatherWindow : public QMainWindow
{
    Q_OBJECT

public:
    struct Options
    {
        std::string call;     // the radio's bytes
        QString address;      // the engine host, empty for any
        QString storePath;    // the history store
        QString settingsPath; // the display's settings file
        Clock clock;          // empty: the system's
    };

    explicit WeatherWindow(Options options, QWidget *parent = nullptr);

    // Reads the store and starts following it; the window shows what the
    // store held before it first appears.
    void start();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void samplesAdded(std::size_t first);
    void statusChanged();
    void looked();
    void unitsChosen(int index);
    void spanChosen(int index);

private:
    struct Value
    {
        QLabel *caption = nullptr;
        QLabel *text = nullptr;
        QString name;
    };

    void buildUi();
    QPushButton *buildSaveButton(QWidget *parent);
    void nameSaveSpan();
    // Saves the span shown, or all the station's recorded history, as a CSV
    // file the user names.
    void saveCsv(bool all);
    Value addValue(const QString &name, const QString &objectName, QWidget *parent);
    QFrame *addTile(const QString &caption, QLabel **captionLabel);
    void showValue(const Value &value, const QString &text, const QString &accessible, bool stale);
    void refreshValues();
    void refreshCharts();
    void refreshLastHeard();
    void arrange(bool force = false);
    void scaleFonts();
    void markStale(QWidget *widget, bool stale);

    Options m_options;
    DisplayChoices m_choices;
    StationFeed *m_feed = nullptr;

    QLabel *m_callLabel = nullptr;
    QLabel *m_lastHeard = nullptr;
    QLabel *m_engine = nullptr;
    QLabel *m_status = nullptr;
    QComboBox *m_spanBox = nullptr;
    QComboBox *m_unitsBox = nullptr;
    QAction *m_saveSpan = nullptr;

    QWidget *m_valuesPanel = nullptr;
    QGridLayout *m_valuesGrid = nullptr;
    QWidget *m_chartsPanel = nullptr;
    QGridLayout *m_chartsGrid = nullptr;

    std::vector<QFrame *> m_tiles;
    Value m_temperature, m_dewPoint, m_feelsLike, m_humidity, m_pressure, m_wind, m_rain1h,
        m_rain24h, m_rainMidnight, m_luminosity, m_snow, m_todayHigh, m_todayLow, m_todayGust;
    QFrame *m_luminosityTile = nullptr;
    QFrame *m_snowTile = nullptr;
    QLabel *m_tendency = nullptr;
    QLabel *m_feelsLikeBasis = nullptr;
    CompassWidget *m_compass = nullptr;
    std::array<WeatherChart *, 5> m_charts{};
    WindRoseChart *m_windRose = nullptr;
    StatisticsView *m_statistics = nullptr;

    bool m_wide = false;
    int m_chartColumns = 0;
    int m_valueColumns = 0;
    std::int64_t m_chartsDrawnAt = 0;
};

} // namespace quintaro::display
