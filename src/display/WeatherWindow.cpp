#include "WeatherWindow.h"

#include "AtomicFile.h"
#include "CompassWidget.h"
#include "DisplayText.h"
#include "FileDialog.h"
#include "HistoryCsv.h"
#include "MessageBox.h"
#include "StationHistory.h"
#include "StatisticsView.h"
#include "TextCodec.h"
#include "TimeText.h"
#include "WeatherChart.h"
#include "WindRoseChart.h"
#include "WindowTitle.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>

#include <algorithm>
#include <limits>

namespace quintaro::display {

using weather::Field;
using weather::Units;

namespace {

enum ChartIndex { kTemperatureChart, kPressureChart, kWindChart, kHumidityChart, kRainChart };

const QString kNoValue = QStringLiteral("–");

QString unitSuffix(Field field, Units units)
{
    return QStringLiteral(" (") + QString::fromUtf8(weather::unitSymbol(field, units)) +
           QLatin1Char(')');
}

void setText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void nameForScreenReader(QWidget *widget, const QString &name)
{
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

} // namespace

WeatherWindow::WeatherWindow(Options options, QWidget *parent)
    : QMainWindow(parent), m_options(std::move(options))
{
    m_choices = loadDisplayChoices(m_options.settingsPath);
    m_feed = new StationFeed(m_options.storePath, m_options.call, m_options.address,
                             m_options.clock, this);
    m_feed->setSpan(m_choices.span);
    setWindowTitle(
        literalWindowTitle(fromRadioBytes(m_options.call) + QStringLiteral(" – Quintaro Weather")));
    buildUi();
    connect(m_feed, &StationFeed::samplesAdded, this, &WeatherWindow::samplesAdded);
    connect(m_feed, &StationFeed::statusChanged, this, &WeatherWindow::statusChanged);
    connect(m_feed, &StationFeed::looked, this, &WeatherWindow::looked);
    resize(1024, 720);
}

void WeatherWindow::start()
{
    m_feed->start();
    statusChanged();
    refreshValues();
    refreshCharts();
}

QFrame *WeatherWindow::addTile(const QString &caption, QLabel **captionLabel)
{
    auto *tile = new QFrame(m_valuesPanel);
    tile->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(tile);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setSpacing(2);
    auto *label = new QLabel(caption, tile);
    label->setProperty("caption", true);
    layout->addWidget(label);
    *captionLabel = label;
    m_tiles.push_back(tile);
    return tile;
}

WeatherWindow::Value WeatherWindow::addValue(const QString &name, const QString &objectName,
                                             QWidget *parent)
{
    Value value;
    value.name = name;
    value.text = new QLabel(kNoValue, parent);
    value.text->setObjectName(objectName);
    value.text->setProperty("valueSize", 1.0);
    // A screen reader user moves from value to value with the Tab key.
    value.text->setFocusPolicy(Qt::TabFocus);
    value.text->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    // The fonts follow the window's size; a long text is cut rather than
    // making the window wider than a small screen.
    value.text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    nameForScreenReader(value.text, name + QStringLiteral(" not reported"));
    parent->layout()->addWidget(value.text);
    return value;
}

void WeatherWindow::buildUi()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 6, 8, 6);
    setCentralWidget(central);

    // --- the header: call, last heard, engine, span and units -----------------
    auto *header = new QHBoxLayout;
    m_callLabel = new QLabel(fromRadioBytes(m_options.call), central);
    m_callLabel->setObjectName(QStringLiteral("call"));
    QFont callFont = m_callLabel->font();
    callFont.setBold(true);
    callFont.setPointSizeF(callFont.pointSizeF() * 1.8);
    m_callLabel->setFont(callFont);
    header->addWidget(m_callLabel);
    auto *heard = new QVBoxLayout;
    m_lastHeard = new QLabel(central);
    m_lastHeard->setObjectName(QStringLiteral("lastHeard"));
    m_engine = new QLabel(central);
    m_engine->setObjectName(QStringLiteral("engineAddress"));
    const QString address = m_options.address.trimmed();
    m_engine->setText(address.isEmpty() ? QStringLiteral("Any engine's recorder")
                                        : QStringLiteral("Engine at ") + address);
    heard->addWidget(m_lastHeard);
    heard->addWidget(m_engine);
    header->addSpacing(12);
    header->addLayout(heard);
    header->addStretch(1);

    m_spanBox = new QComboBox(central);
    m_spanBox->setObjectName(QStringLiteral("span"));
    for (const Span span : kSpans)
        m_spanBox->addItem(QStringLiteral("Last ") + QString::fromStdString(spanName(span)));
    m_spanBox->setCurrentIndex(int(m_choices.span));
    auto *spanLabel = new QLabel(QStringLiteral("&Graphs:"), central);
    spanLabel->setBuddy(m_spanBox);
    m_spanBox->setAccessibleName(QStringLiteral("Span of the graphs"));
    m_unitsBox = new QComboBox(central);
    m_unitsBox->setObjectName(QStringLiteral("units"));
    // Short words, so that the header fits a small window; the units each
    // stands for are in its tooltip.
    m_unitsBox->addItem(QStringLiteral("Metric"));
    m_unitsBox->setItemData(0, QStringLiteral("°C, km/h, mm, hPa"), Qt::ToolTipRole);
    m_unitsBox->addItem(QStringLiteral("US"));
    m_unitsBox->setItemData(1, QStringLiteral("°F, mph, in, inHg"), Qt::ToolTipRole);
    m_unitsBox->setCurrentIndex(m_choices.units == Units::US ? 1 : 0);
    auto *unitsLabel = new QLabel(QStringLiteral("&Units:"), central);
    unitsLabel->setBuddy(m_unitsBox);
    m_unitsBox->setAccessibleName(QStringLiteral("Units"));
    header->addWidget(spanLabel);
    header->addWidget(m_spanBox);
    header->addSpacing(8);
    header->addWidget(unitsLabel);
    header->addWidget(m_unitsBox);
    outer->addLayout(header);

    m_status = new QLabel(central);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->setFocusPolicy(Qt::TabFocus);
    // The save command sits beside the status, which has room to spare: the
    // header sets the window's narrowest width.
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(buildSaveButton(central), 0, Qt::AlignTop);
    outer->addLayout(statusRow);

    // --- the values -----------------------------------------------------------
    auto *splitter = new QSplitter(central);
    splitter->setObjectName(QStringLiteral("body"));
    splitter->setChildrenCollapsible(false);
    m_valuesPanel = new QWidget(splitter);
    m_valuesGrid = new QGridLayout(m_valuesPanel);
    m_valuesGrid->setContentsMargins(0, 0, 0, 0);
    m_valuesGrid->setSpacing(6);

    QLabel *caption = nullptr;
    QFrame *tile = addTile(fieldName(Field::Temperature), &caption);
    m_temperature = addValue(fieldName(Field::Temperature), QStringLiteral("temperature"), tile);
    m_temperature.caption = caption;
    m_temperature.text->setProperty("valueSize", 1.5);

    tile = addTile(QStringLiteral("Feels like"), &caption);
    m_feelsLike = addValue(QStringLiteral("Feels like"), QStringLiteral("feelsLike"), tile);
    m_feelsLike.caption = caption;
    // Part of the value's accessible name, as the pressure's tendency is.
    m_feelsLikeBasis = new QLabel(tile);
    m_feelsLikeBasis->setObjectName(QStringLiteral("feelsLikeBasis"));
    m_feelsLikeBasis->setProperty("valueSize", 0.6);
    tile->layout()->addWidget(m_feelsLikeBasis);

    tile = addTile(QStringLiteral("Dew point"), &caption);
    m_dewPoint = addValue(QStringLiteral("Dew point"), QStringLiteral("dewPoint"), tile);
    m_dewPoint.caption = caption;

    tile = addTile(fieldName(Field::Humidity), &caption);
    m_humidity = addValue(fieldName(Field::Humidity), QStringLiteral("humidity"), tile);
    m_humidity.caption = caption;

    tile = addTile(fieldName(Field::Pressure), &caption);
    m_pressure = addValue(fieldName(Field::Pressure), QStringLiteral("pressure"), tile);
    m_pressure.caption = caption;
    // Part of the pressure's accessible name, not a stop of its own.
    m_tendency = new QLabel(tile);
    m_tendency->setObjectName(QStringLiteral("pressureTendency"));
    m_tendency->setProperty("valueSize", 0.6);
    tile->layout()->addWidget(m_tendency);

    tile = addTile(QStringLiteral("Wind"), &caption);
    auto *windRow = new QWidget(tile);
    auto *windLayout = new QHBoxLayout(windRow);
    windLayout->setContentsMargins(0, 0, 0, 0);
    m_compass = new CompassWidget(windRow);
    m_compass->setObjectName(QStringLiteral("compass"));
    windLayout->addWidget(m_compass);
    tile->layout()->addWidget(windRow);
    m_wind = addValue(QStringLiteral("Wind"), QStringLiteral("wind"), windRow);
    m_wind.caption = caption;
    m_wind.text->setProperty("valueSize", 0.8);
    windLayout->setStretch(1, 1);

    tile = addTile(QStringLiteral("Rain"), &caption);
    m_rain1h = addValue(fieldName(Field::Rain1h), QStringLiteral("rain1h"), tile);
    m_rain24h = addValue(fieldName(Field::Rain24h), QStringLiteral("rain24h"), tile);
    m_rainMidnight =
        addValue(fieldName(Field::RainSinceMidnight), QStringLiteral("rainSinceMidnight"), tile);
    for (Value *v : {&m_rain1h, &m_rain24h, &m_rainMidnight}) {
        v->caption = caption;
        v->text->setProperty("valueSize", 0.6);
    }

    tile = addTile(QStringLiteral("Today"), &caption);
    m_todayHigh =
        addValue(QStringLiteral("Today's highest temperature"), QStringLiteral("todayHigh"), tile);
    m_todayLow =
        addValue(QStringLiteral("Today's lowest temperature"), QStringLiteral("todayLow"), tile);
    m_todayGust =
        addValue(QStringLiteral("Today's highest gust"), QStringLiteral("todayGust"), tile);
    for (Value *v : {&m_todayHigh, &m_todayLow, &m_todayGust}) {
        v->caption = caption;
        v->text->setProperty("valueSize", 0.6);
    }

    m_luminosityTile = addTile(fieldName(Field::Luminosity), &caption);
    m_luminosity =
        addValue(fieldName(Field::Luminosity), QStringLiteral("luminosity"), m_luminosityTile);
    m_luminosity.caption = caption;
    m_snowTile = addTile(fieldName(Field::Snow24h), &caption);
    m_snow = addValue(fieldName(Field::Snow24h), QStringLiteral("snow"), m_snowTile);
    m_snow.caption = caption;

    // --- the graphs -----------------------------------------------------------
    auto *scroll = new QScrollArea(splitter);
    scroll->setObjectName(QStringLiteral("graphs"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_chartsPanel = new QWidget(scroll);
    m_chartsGrid = new QGridLayout(m_chartsPanel);
    m_chartsGrid->setContentsMargins(0, 0, 0, 0);
    m_chartsGrid->setSpacing(6);
    scroll->setWidget(m_chartsPanel);

    const QColor blue(0x1f, 0x6f, 0xd1), lightBlue(0x6c, 0xb4, 0xff);
    const struct
    {
        const char *objectName;
        const char *accessible;
        std::vector<WeatherChart::Line> lines;
    } kCharts[] = {
        {"temperatureChart",
         "Temperature graph",
         {{QStringLiteral("Temperature"), QColor(0xd0, 0x3a, 0x1b), QColor(0xff, 0x8a, 0x65)}}},
        {"pressureChart",
         "Pressure graph",
         {{QStringLiteral("Pressure"), QColor(0x6a, 0x3d, 0x9a), QColor(0xc3, 0x9b, 0xff)}}},
        {"windChart",
         "Wind graph",
         {{QStringLiteral("Speed"), blue, lightBlue},
          {QStringLiteral("Gusts"), QColor(0xe0, 0x8a, 0x00), QColor(0xff, 0xc1, 0x4d), false,
           true}}},
        {"humidityChart",
         "Humidity graph",
         {{QStringLiteral("Humidity"), QColor(0x1b, 0x8a, 0x5a), QColor(0x5f, 0xd6, 0x9c)}}},
        {"rainChart",
         "Rain graph",
         {{QStringLiteral("Rain"), QColor(0x1f, 0x5f, 0xb0), QColor(0x5c, 0xa8, 0xff), true}}},
    };
    for (std::size_t i = 0; i < m_charts.size(); ++i) {
        auto *chart = new WeatherChart(QString(), kCharts[i].lines, m_chartsPanel);
        chart->setObjectName(QLatin1String(kCharts[i].objectName));
        chart->setAccessibleName(QLatin1String(kCharts[i].accessible));
        m_charts[i] = chart;
        // A graph that became narrow or wide needs other time labels.
        connect(chart, &WeatherChart::narrownessChanged, this, [this] {
            if (m_chartsDrawnAt != 0)
                refreshCharts();
        });
    }
    // The grid's sixth place, empty beside the rain in two columns.
    m_windRose = new WindRoseChart(m_chartsPanel);
    m_windRose->setObjectName(QStringLiteral("windRose"));
    m_windRose->setAccessibleName(QStringLiteral("Wind rose"));
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    // --- the pages: the weather now, and its statistics ----------------------
    auto *pages = new QTabWidget(central);
    pages->setObjectName(QStringLiteral("pages"));
    pages->setDocumentMode(true);
    pages->addTab(splitter, QStringLiteral("&Now"));
    m_statistics = new StatisticsView(m_feed, m_choices.units, pages);
    m_statistics->setObjectName(QStringLiteral("statisticsPage"));
    pages->addTab(m_statistics, QStringLiteral("&Statistics"));
    outer->addWidget(pages, 1);
    // From the window's state to its pages, before what is on them.
    setTabOrder(m_status, pages);

    // --- keyboard -------------------------------------------------------------
    auto *close = new QAction(QStringLiteral("Close"), this);
    close->setShortcuts({QKeySequence::Close, QKeySequence::Quit});
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    auto *fullScreen = new QAction(QStringLiteral("Full screen"), this);
    fullScreen->setShortcuts({QKeySequence::FullScreen, QKeySequence(Qt::Key_F11)});
    connect(fullScreen, &QAction::triggered, this,
            [this] { setWindowState(windowState() ^ Qt::WindowFullScreen); });
    addAction(fullScreen);

    connect(m_spanBox, &QComboBox::currentIndexChanged, this, &WeatherWindow::spanChosen);
    connect(m_unitsBox, &QComboBox::currentIndexChanged, this, &WeatherWindow::unitsChosen);
    arrange();
}

QPushButton *WeatherWindow::buildSaveButton(QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QStringLiteral("save"));
    button->setText(QStringLiteral("Sa&ve…"));
    button->setAccessibleName(QStringLiteral("Save the weather history as a CSV file"));
    button->setToolTip(QStringLiteral("Saves the span shown (Ctrl+S) or all the history recorded "
                                      "(Ctrl+Shift+S) as a CSV file"));
    auto *menu = new QMenu(button);
    m_saveSpan = menu->addAction(QString(), this, [this] { saveCsv(false); });
    m_saveSpan->setObjectName(QStringLiteral("saveSpanCsv"));
    m_saveSpan->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction *saveAll = menu->addAction(QStringLiteral("&All recorded history as CSV…"), this,
                                       [this] { saveCsv(true); });
    saveAll->setObjectName(QStringLiteral("saveAllCsv"));
    saveAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // The shortcuts work while the menu is closed.
    addAction(m_saveSpan);
    addAction(saveAll);
    button->setMenu(menu);
    nameSaveSpan();
    return button;
}

void WeatherWindow::nameSaveSpan()
{
    m_saveSpan->setText(QStringLiteral("The &last ") +
                        QString::fromStdString(spanName(m_choices.span)) +
                        QStringLiteral(" as CSV…"));
}

void WeatherWindow::saveCsv(bool all)
{
    const QString title =
        all ? QStringLiteral("Save All Recorded History")
            : QStringLiteral("Save the Last ") + QString::fromStdString(spanName(m_choices.span));
    // The call as a file name: radio bytes may hold what no folder takes.
    QString name = fromRadioBytes(m_options.call);
    for (QChar &c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    FileDialog dialog(this);
    dialog.prepare(QStringLiteral("CSV Files (*.csv)|*.csv"), title);
    dialog.fileName =
        name + QStringLiteral("-weather") +
        (all ? QString() : QLatin1Char('-') + QString::fromStdString(spanKey(m_choices.span))) +
        QStringLiteral(".csv");
    dialog.showSave();
    if (dialog.fileName.isEmpty())
        return;

    std::vector<Sample> everything;
    std::span<const Sample> rows;
    if (all) {
        QString error;
        auto found = readStationHistory(m_options.storePath, m_options.call, 0,
                                        std::numeric_limits<std::int64_t>::max(), &error);
        if (!found) {
            showMessageBox(this,
                           QStringLiteral("The weather history cannot be read: ") + error +
                               QLatin1Char('.'),
                           ExclamationIcon, title);
            return;
        }
        everything = std::move(*found);
        rows = everything;
    } else {
        // The reports the graphs draw.
        rows = samplesSince(m_feed->samples(), m_feed->now() - spanSeconds(m_choices.span));
    }
    std::string bytes(kUtf8ByteOrderMark);
    bytes += historyCsv(rows, m_choices.units);
    const FileWriteResult written = writeFileAtomically(filePathBytes(dialog.fileName), bytes);
    if (!written.ok)
        showMessageBox(
            this,
            notWrittenPrompt(QStringLiteral("The weather history could not be saved to "),
                             dialog.fileName, written.error),
            ExclamationIcon, title);
}

void WeatherWindow::arrange(bool force)
{
    auto *splitter = findChild<QSplitter *>(QStringLiteral("body"));
    // Beside the graphs the values get less than a third of the width: only
    // a wide window leaves them room to read.
    const bool wide = width() >= 1500 && width() * 10 >= height() * 13;
    const int chartColumns = wide ? (width() >= 1500 ? 2 : 1) : (width() >= 560 ? 2 : 1);
    const int valueColumns = wide ? 2 : (width() >= 900 ? 4 : 3);
    if (!force && wide == m_wide && chartColumns == m_chartColumns &&
        valueColumns == m_valueColumns && m_valuesGrid->count() > 0)
        return;
    m_wide = wide;
    m_chartColumns = chartColumns;
    m_valueColumns = valueColumns;
    splitter->setOrientation(wide ? Qt::Horizontal : Qt::Vertical);

    for (QFrame *tile : m_tiles)
        m_valuesGrid->removeWidget(tile);
    int position = 0;
    for (QFrame *tile : m_tiles) {
        if (tile->isHidden())
            continue;
        m_valuesGrid->addWidget(tile, position / valueColumns, position % valueColumns);
        ++position;
    }
    // Columns share the width alike: texts are cut, never widen their own.
    for (int column = 0; column < 4; ++column)
        m_valuesGrid->setColumnStretch(column, column < valueColumns ? 1 : 0);
    // Rows left empty by tiles now hidden take no room.
    for (int row = 0; row < m_valuesGrid->rowCount(); ++row)
        m_valuesGrid->setRowStretch(row, row * valueColumns < position ? 1 : 0);

    std::vector<QWidget *> graphs(m_charts.begin(), m_charts.end());
    graphs.push_back(m_windRose);
    for (QWidget *graph : graphs)
        m_chartsGrid->removeWidget(graph);
    for (std::size_t i = 0; i < graphs.size(); ++i)
        m_chartsGrid->addWidget(graphs[i], int(i) / chartColumns, int(i) % chartColumns);
    if (wide)
        splitter->setSizes({width() * 3 / 10, width() * 7 / 10});
    else
        splitter->setSizes({height() * 4 / 10, height() * 6 / 10});
}

void WeatherWindow::scaleFonts()
{
    // Values read across a room: their size follows the room their tiles
    // get, within bounds that keep a small window usable.
    const int header = 90;
    const int columns = std::max(1, m_valueColumns);
    const int tiles = int(std::count_if(m_tiles.begin(), m_tiles.end(),
                                        [](const QFrame *t) { return !t->isHidden(); }));
    const int rows = std::max(1, (std::max(tiles, 6) + columns - 1) / columns);
    const double panelWidth = m_wide ? width() * 0.3 : width();
    const double panelHeight = m_wide ? height() - header : (height() - header) * 0.4;
    const double base =
        std::clamp(std::min(panelWidth / columns / 11.0, panelHeight / rows / 3.4), 12.0, 60.0);
    for (QLabel *label : findChildren<QLabel *>()) {
        const QVariant size = label->property("valueSize");
        const bool caption = label->property("caption").toBool();
        if (!size.isValid() && !caption)
            continue;
        QFont f = font();
        f.setPixelSize(int(caption ? std::max(12.0, base * 0.42) : base * size.toDouble()));
        f.setBold(!caption);
        if (label->font() != f)
            label->setFont(f);
    }
    const int compassSide = int(base * 2.4);
    m_compass->setFixedSize(compassSide, compassSide);
}

void WeatherWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    arrange();
    scaleFonts();
}

void WeatherWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The graphs in sight are made before the window's first paint, once
    // their places are settled: the layouts of widgets just shown settle
    // only when the events waiting are handled.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    for (WeatherChart *chart : m_charts)
        chart->buildIfInSight();
}

void WeatherWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshValues();
}

void WeatherWindow::markStale(QWidget *widget, bool stale)
{
    const QPalette::ColorRole role = stale ? QPalette::PlaceholderText : QPalette::WindowText;
    if (widget->foregroundRole() != role)
        widget->setForegroundRole(role);
}

void WeatherWindow::showValue(const Value &value, const QString &text, const QString &accessible,
                              bool stale)
{
    setText(value.text, text);
    nameForScreenReader(value.text, accessible);
    markStale(value.text, stale);
}

void WeatherWindow::refreshValues()
{
    const std::int64_t now = m_feed->now();
    const std::vector<Sample> &samples = m_feed->samples();
    const auto latest = latestValues(samples, now);
    const Units units = m_choices.units;
    const auto at = [&](Field f) { return latest[std::size_t(f)]; };

    // `note` says what the value is, where the tile's caption cannot.
    const auto show = [&](const Value &v, Field f, const std::optional<TimedValue> &value,
                          const QString &note) {
        if (value) {
            const QString text = displayValue(f, value->value, units);
            const bool stale = isStale(value->heardUtc, now);
            showValue(v, text,
                      accessibleValue(v.name,
                                      note.isEmpty() ? text : text + QStringLiteral(", ") + note,
                                      stale),
                      stale);
        } else {
            showValue(v, kNoValue, v.name + QStringLiteral(" not reported"), false);
        }
        return value.has_value();
    };
    const auto simple = [&](const Value &v, Field f) { return show(v, f, at(f), QString()); };
    simple(m_temperature, Field::Temperature);
    const LatestDerived derived = latestDerived(latest);
    show(m_dewPoint, Field::Temperature, derived.dewPoint, QString());
    const QString basis =
        derived.feelsLike ? QLatin1String(weather::basisName(derived.basis)) : QString();
    show(m_feelsLike, Field::Temperature, derived.feelsLike, basis);
    setText(m_feelsLikeBasis, basis);
    m_feelsLikeBasis->setVisible(!basis.isEmpty());
    markStale(m_feelsLikeBasis, derived.feelsLike && isStale(derived.feelsLike->heardUtc, now));
    simple(m_humidity, Field::Humidity);
    const bool luminosity = simple(m_luminosity, Field::Luminosity);
    const bool snow = simple(m_snow, Field::Snow24h);
    if (luminosity == m_luminosityTile->isHidden() || snow == m_snowTile->isHidden()) {
        m_luminosityTile->setHidden(!luminosity);
        m_snowTile->setHidden(!snow);
        arrange(true);
    }

    if (const auto pressure = at(Field::Pressure)) {
        const PressureTendency tendency = pressureTendency(samples);
        const bool stale = isStale(pressure->heardUtc, now);
        const QString accessible =
            accessibleValue(m_pressure.name, pressureText(pressure->value, tendency, units), stale);
        showValue(m_pressure, displayValue(Field::Pressure, pressure->value, units), accessible,
                  stale);
        QString trend;
        if (tendency.tendency != Tendency::Unknown) {
            const QChar arrow = tendency.tendency == Tendency::Rising    ? QChar(0x2197)
                                : tendency.tendency == Tendency::Falling ? QChar(0x2198)
                                                                         : QChar(0x2192);
            trend = arrow + QLatin1Char(' ') + tendencyWord(tendency.tendency) +
                    QStringLiteral(" in 3 hours");
        }
        setText(m_tendency, trend);
        m_tendency->setVisible(!trend.isEmpty());
        markStale(m_tendency, stale);
    } else {
        showValue(m_pressure, kNoValue, m_pressure.name + QStringLiteral(" not reported"), false);
        m_tendency->hide();
    }

    const auto speed = at(Field::WindSpeed);
    const auto gust = at(Field::WindGust);
    const auto direction = at(Field::WindDirection);
    const auto valueOf = [](const std::optional<TimedValue> &v) {
        return v ? std::optional<double>(v->value) : std::nullopt;
    };
    if (speed || gust || direction) {
        const std::int64_t heard = std::max({speed ? speed->heardUtc : 0, gust ? gust->heardUtc : 0,
                                             direction ? direction->heardUtc : 0});
        const bool stale = isStale(heard, now);
        const bool calm = speed && speed->value == 0 && (!gust || gust->value == 0);
        QStringList lines;
        if (direction && !calm)
            lines << compassPoint(direction->value) + QLatin1Char(' ') +
                         displayValue(Field::WindDirection, direction->value, units);
        const QString strength = windText(valueOf(speed), valueOf(gust), units);
        lines << strength.split(QStringLiteral(", "));
        QString accessible =
            windAccessibleText(valueOf(direction), valueOf(speed), valueOf(gust), units);
        if (stale)
            accessible += QStringLiteral(", stale");
        showValue(m_wind, lines.join(QLatin1Char('\n')), accessible, stale);
        m_compass->setDirection(calm ? std::nullopt : valueOf(direction));
        m_compass->setStale(stale);
    } else {
        showValue(m_wind, kNoValue, QStringLiteral("Wind not reported"), false);
        m_compass->setDirection(std::nullopt);
    }
    nameForScreenReader(m_compass, m_wind.text->accessibleName());

    bool anyRain = false;
    for (const auto &[value, field, words] :
         {std::tuple{&m_rain1h, Field::Rain1h, "in the last hour"},
          std::tuple{&m_rain24h, Field::Rain24h, "in 24 hours"},
          std::tuple{&m_rainMidnight, Field::RainSinceMidnight, "since midnight"}}) {
        const auto rain = at(field);
        value->text->setVisible(rain.has_value());
        if (!rain)
            continue;
        anyRain = true;
        const QString amount = displayValue(field, rain->value, units);
        const bool stale = isStale(rain->heardUtc, now);
        showValue(*value, amount + QLatin1Char(' ') + QLatin1String(words),
                  accessibleValue(QStringLiteral("Rain"),
                                  amount + QLatin1Char(' ') + QLatin1String(words), stale),
                  stale);
    }
    if (!anyRain) {
        m_rain1h.text->setVisible(true);
        showValue(m_rain1h, kNoValue, QStringLiteral("Rain not reported"), false);
    }

    const DayExtremes day = todaysExtremes(samples, now);
    for (const auto &[value, extreme, field, words] :
         {std::tuple{&m_todayHigh, day.highTemperature, Field::Temperature, "High"},
          std::tuple{&m_todayLow, day.lowTemperature, Field::Temperature, "Low"},
          std::tuple{&m_todayGust, day.highGust, Field::WindGust, "Gust"}}) {
        if (!extreme) {
            showValue(*value, QLatin1String(words) + QLatin1Char(' ') + kNoValue,
                      value->name + QStringLiteral(" not reported"), false);
            continue;
        }
        const QString amount = displayValue(field, extreme->value, units);
        const QString time = shortTime(extreme->heardUtc, now);
        showValue(*value,
                  QLatin1String(words) + QLatin1Char(' ') + amount + QStringLiteral(" at ") + time,
                  value->name + QLatin1Char(' ') + amount + QStringLiteral(" at ") + time, false);
    }

    refreshLastHeard();
}

void WeatherWindow::refreshLastHeard()
{
    const std::int64_t now = m_feed->now();
    const std::optional<std::int64_t> lastHeard = m_feed->lastHeard();
    if (!lastHeard) {
        const QString text = QStringLiteral("No report in the last 30 days");
        setText(m_lastHeard, text);
        nameForScreenReader(m_lastHeard, text);
        markStale(m_lastHeard, false);
        return;
    }
    const std::int64_t heard = *lastHeard;
    const QString when =
        QStringLiteral("Last heard ") + QString::fromStdString(localTimeText(heard, now));
    setText(m_lastHeard, when + QStringLiteral(" (") +
                             QString::fromStdString(describeAge(now - heard)) + QLatin1Char(')'));
    nameForScreenReader(m_lastHeard, when);
    markStale(m_lastHeard, isStale(heard, now));
}

void WeatherWindow::refreshCharts()
{
    const std::int64_t now = m_feed->now();
    const std::vector<Sample> &samples = m_feed->samples();
    const Units units = m_choices.units;
    const Span span = m_choices.span;
    const std::int64_t from = now - spanSeconds(span);
    const std::int64_t silence = silenceBound(samples);
    const auto segments = [&](Field f) { return fieldSegments(samples, f, from, silence, units); };
    const auto draw = [&](int index, Field field, const QString &name,
                          std::vector<std::vector<Segment>> lines, bool zeroBased, double ceiling) {
        QString description = graphDescription(summarize(lines[0]), field, units, span, now);
        if (lines.size() > 1) {
            const auto gusts = summarize(lines[1]);
            if (gusts)
                description += QStringLiteral("; gusts up to ") +
                               QString::fromStdString(
                                   weather::shownWithUnit(field, gusts->highest.value, units));
        }
        WeatherChart *chart = m_charts[std::size_t(index)];
        chart->setData(std::move(lines), field, units, timeAxis(span, now, chart->isNarrow()),
                       name + unitSuffix(field, units), zeroBased, ceiling);
        chart->setAccessibleDescription(description);
    };
    draw(kTemperatureChart, Field::Temperature, fieldName(Field::Temperature),
         {segments(Field::Temperature)}, false, 0);
    draw(kPressureChart, Field::Pressure, fieldName(Field::Pressure), {segments(Field::Pressure)},
         false, 0);
    draw(kWindChart, Field::WindSpeed, QStringLiteral("Wind speed and gusts"),
         {segments(Field::WindSpeed), segments(Field::WindGust)}, true, 0);
    draw(kHumidityChart, Field::Humidity, fieldName(Field::Humidity), {segments(Field::Humidity)},
         false, 100);
    const Field rain = rainFieldFor(samples, from);
    draw(kRainChart, rain, fieldName(rain), {segments(rain)}, true, 0);
    m_windRose->setRose(windRose(samples, from, units), units, span);
    m_chartsDrawnAt = now;
}

void WeatherWindow::samplesAdded(std::size_t)
{
    refreshValues();
    refreshCharts();
    m_statistics->refresh();
}

void WeatherWindow::statusChanged()
{
    QString text;
    if (!m_feed->storeProblem().isEmpty()) {
        text = QStringLiteral("The weather history cannot be read: ") + m_feed->storeProblem() +
               QLatin1Char('.');
        if (!m_feed->samples().empty())
            text += QStringLiteral(" Shown: what was read before.");
    } else {
        text = describeRecorderStatus(m_feed->recorderStatus(), m_options.address, m_feed->now());
    }
    setText(m_status, text);
    nameForScreenReader(m_status, text);
    markStale(m_status, false);
}

void WeatherWindow::looked()
{
    refreshLastHeard();
    const std::int64_t now = m_feed->now();
    // Staleness and today's extremes change with time alone; the time axis
    // moves on once a minute.
    refreshValues();
    if (now - m_chartsDrawnAt >= 60)
        refreshCharts();
}

void WeatherWindow::unitsChosen(int index)
{
    m_choices.units = index == 1 ? Units::US : Units::Metric;
    saveDisplayChoices(m_options.settingsPath, m_choices);
    refreshValues();
    refreshCharts();
    m_statistics->setUnits(m_choices.units);
}

void WeatherWindow::spanChosen(int index)
{
    m_choices.span = kSpans[std::size_t(std::clamp(index, 0, int(kSpans.size()) - 1))];
    saveDisplayChoices(m_options.settingsPath, m_choices);
    nameSaveSpan();
    // The older reports a wider span needs redraw the graphs as they come.
    if (!m_feed->setSpan(m_choices.span))
        refreshCharts();
}

} // namespace quintaro::display
