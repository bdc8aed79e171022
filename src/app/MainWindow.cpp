#include "MainWindow.h"

#include "AppIcon.h"
#include "AtomicFile.h"
#include "HelpWindow.h"
#include "MessageBox.h"
#include "QuintaroVersion.h"
#include "SessionEnd.h"
#include "SettingsFile.h"
#include "StationDetailsWindow.h"
#include "Text.h"
#include "TextCodec.h"
#include "Twips.h"
#include "WindowTitle.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace quintaro {

namespace {

geometry::Rect toRect(const QRect &r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace

MainWindow::MainWindow(quint16 enginePort, const QString &historyPath, QWidget *parent)
    : QMainWindow(parent), m_link(this), m_stations(this), m_calls(&m_stations), m_fileDialog(this),
      m_files(this, m_fileDialog, m_stations),
      m_launcher(
          this, m_stations,
          [this] {
              return BrezomatLauncher::Program{encodeLocalText(m_ui.txtPath->text()),
                                               encodeLocalText(m_ui.txtAddr->text())};
          },
          // A line of the command line's own text, as the user's path is.
          encodeLocalText(QDir::toNativeSeparators(QCoreApplication::applicationDirPath() +
                                                   QLatin1Char('/') +
                                                   QLatin1String(kWeatherDisplayProgram)))),
      m_historyPath(historyPath), m_enginePort(enginePort)
{
    setWindowTitle(QStringLiteral("Quintaro v") + QLatin1String(kQuintaroVersion));
    setWindowIcon(appIcon());
    m_ui.setupUi(this);
    m_ui.lstWxCalls->setModel(&m_calls);
    connectSignals();

    // Design size of the client area; start-up replaces the outer geometry.
    resize(twipsToPixels(4785), twipsToPixels(2190) + menuBar()->sizeHint().height());
    m_geometry = geometry::WindowGeometry(toRect(QRect(0, 0, width(), height())));
}

MainWindow::~MainWindow() = default;

void MainWindow::connectSignals()
{
    connect(m_ui.nmuPath, &QAction::triggered, this, &MainWindow::setBrezomatPath);
    connect(m_ui.nmuLoad, &QAction::triggered, this, &MainWindow::loadStationList);
    connect(m_ui.nmuSave, &QAction::triggered, this, &MainWindow::saveStationList);
    connect(m_ui.mnuExit, &QAction::triggered, this, &MainWindow::close);
    connect(m_ui.nmuLoadItem, &QAction::triggered, this, &MainWindow::openSelected);
    connect(m_ui.nmuCancelItem, &QAction::triggered, this, &MainWindow::cancelSelected);
    connect(m_ui.nmuResetItem, &QAction::triggered, this, &MainWindow::resetSelected);
    connect(m_ui.nmuSetItem, &QAction::triggered, this, &MainWindow::setSelected);
    connect(m_ui.nmuClearList, &QAction::triggered, this, &MainWindow::clearList);
    connect(m_ui.nmuLoadAllItems, &QAction::triggered, this, &MainWindow::openAll);
    connect(m_ui.nmuBatch, &QAction::triggered, this, &MainWindow::generateBatchFile);
    connect(m_ui.nmuConnect, &QAction::triggered, this, &MainWindow::toggleConnection);
    connect(m_ui.mnuHelp, &QAction::triggered, this, &MainWindow::showHelp);
    connect(m_ui.nmuDetails, &QAction::triggered, this, &MainWindow::showDetails);
    // The options follow the boxes however they change: a click, the space
    // bar, or a screen reader's toggle action, which never "clicks".
    connect(m_ui.chkAutoLoad, &QCheckBox::toggled, this, [this](bool on) { m_autoLoad = on; });
    connect(m_ui.chkAutoLoadAll, &QCheckBox::toggled, this,
            [this](bool on) { m_autoLoadAll = on; });

    connect(&m_link, &EngineLink::connected, this, &MainWindow::onConnected);
    connect(&m_link, &EngineLink::versionReceived, this, &MainWindow::onVersionReceived);
    connect(&m_link, &EngineLink::monitorLinesChanged, this, &MainWindow::showMonitorLines);
    connect(&m_link, &EngineLink::weatherReportsHeard, this, &MainWindow::onWeatherReportsHeard);
    connect(&m_link, &EngineLink::closedByEngine, this, &MainWindow::onClosedByEngine);
    connect(&m_link, &EngineLink::failed, this, &MainWindow::onLinkFailed);
    connect(&m_link, &EngineLink::retryCountdown, this, &MainWindow::onRetryCountdown);
    connect(&m_link, &EngineLink::retrying, this, &MainWindow::onRetrying);
    connect(m_ui.mnuAutoReconnect, &QAction::toggled, this, &MainWindow::setReconnecting);
    connect(&m_history, &history::HistoryRecorder::problemChanged, this,
            &MainWindow::showHistoryProblem);
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void MainWindow::start()
{
    const LoadedSettings loaded = loadSettingsFile(kSettingsFileName);
    if (!loaded.writeError.empty())
        std::fprintf(stderr, "quintaro: cannot write %s: %s\n", kSettingsFileName,
                     loaded.writeError.c_str());
    const Settings &values = loaded.read.values;
    m_ui.txtAddr->setText(decodeLocalText(values.host));
    m_ui.txtPath->setText(decodeLocalText(values.path));

    if (!m_geometry.restore(values) && !loaded.defaultsWritten) {
        const FileWriteResult written = writeDefaultSettingsFile(kSettingsFileName);
        if (!written.ok)
            std::fprintf(stderr, "quintaro: cannot write %s: %s\n", kSettingsFileName,
                         written.error.c_str());
    }
    std::vector<geometry::Rect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.push_back(toRect(screen->availableGeometry()));
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        m_geometry.keepOnSomeScreen(screens, toRect(primary->availableGeometry()));
    applyGeometry();

    m_ui.mnuAutoConnect->setChecked(values.autoConnect);
    m_ui.mnuAutoReconnect->setChecked(values.reconnect);
    m_stations.setUnits(values.usUnits ? stations::Units::US : stations::Units::Metric);
    if (!m_historyPath.isEmpty())
        m_history.start(m_historyPath);
    // The link's start-up step: the Connect command, though not one the
    // user gave just now.
    if (m_ui.mnuAutoConnect->isChecked())
        connectToEngine(false);
}

void MainWindow::unload(std::chrono::milliseconds historyTime)
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // The link goes first; nothing on screen follows it any more.
    if (!m_link.isClosed())
        m_link.disconnectFromEngine();
    // The station details belong to this window and go with it.
    if (m_details)
        m_details->close();
    // What the radio brought is in the store before the settings are
    // written: a box about them must not keep it waiting.
    m_history.stop(historyTime);
    saveSettings();
}

void MainWindow::saveSettings()
{
    Settings values;
    values.host = encodeLocalText(m_ui.txtAddr->text());
    values.path = encodeLocalText(m_ui.txtPath->text());
    m_geometry.store(values);
    values.autoConnect = m_ui.mnuAutoConnect->isChecked();
    values.reconnect = m_ui.mnuAutoReconnect->isChecked();
    values.usUnits = m_stations.units() == stations::Units::US;

    const FileWriteResult written = writeFileAtomically(kSettingsFileName, writeSettings(values));
    if (!written.ok) {
        std::fprintf(stderr, "quintaro: cannot save %s: %s\n", kSettingsFileName,
                     written.error.c_str());
        showMessageBox(this,
                       notWrittenPrompt(QStringLiteral("The settings could not be saved to "),
                                        QLatin1String(kSettingsFileName), written.error),
                       ExclamationIcon, QStringLiteral("Quintaro"));
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    unload();
    event->accept();
}

void MainWindow::endSession()
{
    setSessionEnding(true);
    // Dialogs answer at once from now on; close those already open so that
    // the code waiting for them goes on and returns.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    QTimer::singleShot(0, this, [this] {
        close();
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window != this && window->isVisible())
                window->close();
        }
        QCoreApplication::exit(0);
    });
}

void MainWindow::unloadBeforeSessionEnds()
{
    // Windows ends a program that takes more than about five seconds; the
    // settings are written after the history's writer has ended.
    constexpr std::chrono::milliseconds kHistoryTime(3000);
    setSessionEnding(true);
    unload(kHistoryTime);
}

// ---------------------------------------------------------------------------
// Geometry and layout

geometry::Margins MainWindow::frameMargins() const
{
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

void MainWindow::applyGeometry()
{
    const geometry::Rect request = m_geometry.clientRequest();
    m_settingGeometry = true;
    setMinimumSize(m_geometry.minimumClientWidth(), m_geometry.minimumClientHeight());
    move(request.left, request.top);
    resize(request.width, request.height);
    m_settingGeometry = false;
    layOut();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_geometry.isFramed())
        return;
    // Frame sizes are known only once the window system has framed the
    // window, which happens after the event loop has turned once.
    QTimer::singleShot(0, this, [this] {
        m_geometry.setFramed(frameMargins());
        applyGeometry();
    });
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_geometry.isFramed() && !m_settingGeometry && !isMinimized())
        m_geometry.frameMoved(frameGeometry().left(), frameGeometry().top());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (!m_settingGeometry)
        layOut();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layOut();
}

void MainWindow::layOut()
{
    // A minimized window has no sizes to set.
    if (isMinimized())
        return;
    if (m_geometry.isFramed()) {
        m_geometry.setFramed(frameMargins());
        if (!m_settingGeometry)
            m_geometry.frameResized(frameGeometry().width(), frameGeometry().height());
    }
    const geometry::WindowGeometry::ResizeStep step = m_geometry.resizeStep();
    if (step.clientHeight)
        resize(width(), *step.clientHeight);
    if (step.stationListHeight) {
        QRect list = m_ui.lstWxCalls->geometry();
        list.setHeight(*step.stationListHeight);
        m_ui.lstWxCalls->setGeometry(list);
    }
    if (step.clientWidth) {
        resize(*step.clientWidth, height());
        if (!m_geometry.widthRaisedTo(width()))
            return;
    }

    const geometry::ControlPlacement p = m_geometry.placement();
    const auto setWidth = [](QWidget *w, int twips) {
        w->resize(twipsToPixels(twips), w->height());
    };
    const auto setLeft = [](QWidget *w, int twips) { w->move(twipsToPixels(twips), w->y()); };
    setWidth(m_ui.List2, p.list2Width);
    setWidth(m_ui.txtPath, p.txtPathWidth);
    setWidth(m_ui.lstWxCalls, p.lstWxCallsWidth);
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_ui.lblAGW, m_ui.lblAddr, m_ui.lblPath, m_ui.txtPath,
                                          m_ui.chkAutoLoadAll, m_ui.chkAutoLoad})
        setLeft(w, p.columnLeft);
    setLeft(m_ui.txtAddr, p.txtAddrLeft);
}

// ---------------------------------------------------------------------------
// Window commands

void MainWindow::setBrezomatPath()
{
    // The proposed name is whatever the dialog's last use left.
    m_fileDialog.prepare(QStringLiteral("Application Files (*.exe)|*.exe"),
                         QStringLiteral("Set Brezomat Path"));
    m_fileDialog.showOpen();
    if (!m_fileDialog.fileName.isEmpty())
        m_ui.txtPath->setText(m_fileDialog.fileName);
}

void MainWindow::showDetails()
{
    if (!m_details) {
        m_details = new StationDetailsWindow(m_stations, m_fileDialog, this);
        connect(m_details, &StationDetailsWindow::openBrezomatRequested, this,
                [this](int row) { m_launcher.open(row); });
        connect(m_details, &StationDetailsWindow::unitsChosen, this,
                [this](stations::Units units) { m_stations.setUnits(units); });
        m_details->showHistoryProblem(m_history.problem());
    }
    m_details->show();
    m_details->raise();
    m_details->activateWindow();
}

void MainWindow::showHelp()
{
    HelpWindow::instance().open(QStringLiteral("Leggimi_Quintaro.rtf"),
                                QStringLiteral("Quintaro - Istruzioni"));
}

// ---------------------------------------------------------------------------
// The engine link

void MainWindow::toggleConnection()
{
    if (!m_link.isClosed()) {
        // Also while a retry waits: one command stops everything.
        m_link.disconnectFromEngine();
        m_status.closed();
        showLinkStatus();
        return;
    }
    connectToEngine(true);
}

void MainWindow::connectToEngine(bool chosenByUser)
{
    const QString host = decodeLocalText(trimSpaces(encodeLocalText(m_ui.txtAddr->text())));
    if (!host.isEmpty())
        m_host = host;
    if (m_host.isEmpty()) {
        reportLinkFailure(LinkStatus::noAddressReason());
        m_status.closed();
        showLinkStatus();
        return;
    }
    m_status.connecting(chosenByUser);
    m_history.setEngineHost(m_host);
    // A failure reported at once shows the link closed before this returns.
    m_link.connectToEngine(m_host, m_enginePort);
    showLinkStatus();
}

void MainWindow::setReconnecting(bool on)
{
    m_link.setReconnecting(on);
    m_status.setReconnecting(on, m_link.isClosed());
    showLinkStatus();
}

void MainWindow::showHistoryProblem(const QString &problem)
{
    // Beside the stations it concerns, never in the link's status.
    m_ui.lstWxCalls->setToolTip(problem.isEmpty() ? m_ui.lstWxCalls->accessibleName()
                                                  : m_ui.lstWxCalls->accessibleName() +
                                                        QLatin1Char('\n') + problem);
    m_ui.lstWxCalls->setAccessibleDescription(problem);
    if (m_details)
        m_details->showHistoryProblem(problem);
}

void MainWindow::showLinkStatus()
{
    m_ui.nmuConnect->setText(m_status.caption());
    m_ui.lblAGW->setText(m_status.label());
}

void MainWindow::onConnected()
{
    m_stations.connectionMade();
    showListState();
}

void MainWindow::onVersionReceived(quint16 majorVersion, quint16 minorVersion)
{
    m_status.versionReceived(majorVersion, minorVersion);
    showLinkStatus();
}

void MainWindow::showMonitorLines(const QStringList &lines)
{
    // The rows are kept and only their texts change: a flood of frames
    // would otherwise make and destroy two rows at every redraw.
    QListWidget *monitor = m_ui.List2;
    while (monitor->count() > lines.size())
        delete monitor->takeItem(monitor->count() - 1);
    for (int i = 0; i < lines.size(); ++i) {
        if (i >= monitor->count())
            monitor->addItem(lines.at(i));
        else if (monitor->item(i)->text() != lines.at(i))
            monitor->item(i)->setText(lines.at(i));
    }
}

void MainWindow::onWeatherReportsHeard(std::span<const agw::HeardReport> reports)
{
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    for (const agw::HeardReport &report : reports) {
        const std::string_view infoField = agw::lastLine(report.monitorText);
        stations::StationList::ReportHeard heard =
            m_stations.reportHeard(report.call, infoField, now);
        if (heard.row < 0 && !m_stations.stations().isFull()) {
            // The monitor window shows the frame that brought the new station.
            const agw::MonitorLines lines = agw::lastTwoLines(report.monitorText);
            QStringList shown;
            for (std::size_t i = 0; i < lines.count; ++i)
                shown << fromRadioBytes(lines.lines[i]);
            showMonitorLines(shown);
            addStation(report.call);
            heard = m_stations.reportHeard(report.call, infoField, now);
        }
        // The history keeps what the list counts: a listed station's
        // reports, a digipeated copy once.
        if (heard.row >= 0 && !heard.repeat)
            m_history.record(report.call, agw::monitorPath(report.monitorText), infoField, now);
    }
}

void MainWindow::onClosedByEngine()
{
    m_status.closedByEngine();
    showLinkStatus();
}

void MainWindow::reportLinkFailure(const QString &reason)
{
    showMessageBox(this, reason, ExclamationIcon, LinkStatus::failureTitle());
}

void MainWindow::onLinkFailed(const QString &reason, EngineLink::Fault fault)
{
    const LinkStatus::Failure failure = m_status.failed(fault);
    if (failure.labelFirst)
        m_ui.lblAGW->setText(m_status.label());
    if (failure.box)
        reportLinkFailure(reason);
    showLinkStatus();
}

void MainWindow::onRetryCountdown(int secondsLeft, EngineLink::Fault why)
{
    m_status.retryCountdown(secondsLeft, why);
    showLinkStatus();
}

void MainWindow::onRetrying()
{
    m_status.retrying();
    showLinkStatus();
}

// ---------------------------------------------------------------------------
// The station list

void MainWindow::showListState()
{
    const stations::StationList &list = m_stations.stations();
    if (const std::optional<std::string> title = list.title())
        setWindowTitle(literalWindowTitle(decodeLocalText(*title)));
    m_ui.nmuListCommands->menuAction()->setEnabled(list.menusEnabled());
    m_ui.nmuSave->setEnabled(list.menusEnabled());
}

int MainWindow::selectedIndex() const
{
    const QModelIndex current = m_ui.lstWxCalls->currentIndex();
    return current.isValid() && m_ui.lstWxCalls->selectionModel()->isSelected(current)
               ? m_calls.mapToSource(current).row()
               : -1;
}

void MainWindow::selectNothing()
{
    // The view would otherwise move the selection to the next entry.
    m_ui.lstWxCalls->selectionModel()->clear();
}

void MainWindow::addStation(std::string_view call)
{
    if (m_stations.add(call) != stations::StationList::AddResult::Added)
        return;
    showListState();
    if (m_autoLoad)
        m_launcher.startForNew(m_stations.stations().count() - 1);
}

void MainWindow::cancelSelected()
{
    const int index = selectedIndex();
    m_stations.remove(index);
    if (index > -1)
        selectNothing();
    showListState();
}

void MainWindow::clearList()
{
    m_stations.clear();
    showListState();
}

void MainWindow::resetSelected()
{
    if (const int index = selectedIndex(); index > -1)
        m_stations.setOpen(index, false);
}

void MainWindow::setSelected()
{
    if (const int index = selectedIndex(); index > -1)
        m_stations.setOpen(index, true);
}

void MainWindow::openSelected()
{
    m_launcher.open(selectedIndex());
}

void MainWindow::openAll()
{
    m_launcher.openAll();
}

// ---------------------------------------------------------------------------
// Station list files and the batch file

void MainWindow::loadStationList()
{
    const StationListFiles::LoadOutcome outcome = m_files.load();
    // A rejected file leaves the list on screen as it was; none of those
    // stations was asked for by this load, so none is started.
    if (outcome == StationListFiles::Rejected)
        return;
    if (outcome != StationListFiles::Unreadable) {
        if (m_stations.stations().count() >= 1)
            m_ui.lstWxCalls->setCurrentIndex(m_calls.mapFromSource(m_stations.index(0, 0)));
        showListState();
    }
    if (m_autoLoadAll)
        m_launcher.openAll();
}

void MainWindow::saveStationList()
{
    if (m_stations.stations().count() >= 1 && m_files.save())
        showListState();
}

void MainWindow::generateBatchFile()
{
    m_files.generateBatchFile(m_ui.txtPath->text(), m_ui.txtAddr->text());
}

} // namespace quintaro
