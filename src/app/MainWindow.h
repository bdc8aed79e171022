#pragma once

#include "BrezomatLauncher.h"
#include "EngineLink.h"
#include "FileDialog.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "LinkStatus.h"
#include "MainWindowUi.h"
#include "StationListFiles.h"
#include "StationListModel.h"
#include "WindowGeometry.h"

#include <QMainWindow>
#include <QString>

#include <chrono>
#include <span>
#include <string>

namespace quintaro {

class StationDetailsWindow;

// The main window: its controls and menus, wired to the engine link, the
// station list and the window geometry. It starts Brezomat for stations and
// keeps the station list, batch and settings files.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `enginePort`: where the packet engine listens; `historyPath`: the
    // weather history store the window records into, none when empty.
    MainWindow(quint16 enginePort, const QString &historyPath, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: restores the previous run from the settings file, and
    // connects when "&Connect on Startup" is checked.
    void start();

public slots:
    // The session is ending (log-off, Ctrl+C): the same orderly unload as
    // Exit, also while a dialog is open.
    void endSession();
    // The session ends the program as soon as this returns (Windows): the
    // unload happens now, the history's writer given a few seconds.
    void unloadBeforeSessionEnds();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    // Commands.
    void setBrezomatPath();
    void loadStationList();
    void saveStationList();
    void generateBatchFile();
    void toggleConnection();
    void showHelp();
    void showDetails();
    void openSelected();
    void cancelSelected();
    void resetSelected();
    void setSelected();
    void clearList();
    void openAll();

    // The engine link.
    void onConnected();
    void onVersionReceived(quint16 majorVersion, quint16 minorVersion);
    void showMonitorLines(const QStringList &lines);
    void onWeatherReportsHeard(std::span<const agw::HeardReport> reports);
    void onClosedByEngine();
    void onLinkFailed(const QString &reason, quintaro::EngineLink::Fault fault);
    void onRetryCountdown(int secondsLeft, quintaro::EngineLink::Fault why);
    void onRetrying();
    void setReconnecting(bool on);

private:
    void connectSignals();
    void unload(std::chrono::milliseconds historyTime = history::HistoryRecorder::kFinishTime);
    void saveSettings();
    void applyGeometry();
    void layOut();
    geometry::Margins frameMargins() const;

    void showListState();
    int selectedIndex() const;
    void selectNothing();
    void addStation(std::string_view call);
    // The Connect command, the user's or start-up's.
    void connectToEngine(bool chosenByUser);
    void reportLinkFailure(const QString &reason);
    void showLinkStatus();
    void showHistoryProblem(const QString &problem);

    MainWindowUi m_ui;
    EngineLink m_link;
    LinkStatus m_status;
    StationListModel m_stations;
    StationCallsModel m_calls;
    geometry::WindowGeometry m_geometry;
    FileDialog m_fileDialog;
    StationDetailsWindow *m_details = nullptr;
    StationListFiles m_files;
    BrezomatLauncher m_launcher;
    history::HistoryRecorder m_history;
    const QString m_historyPath;
    const quint16 m_enginePort;
    // The host of the last Connect command: an empty address box connects
    // there again.
    QString m_host;
    bool m_autoLoad = false;
    bool m_autoLoadAll = false;
    bool m_settingGeometry = false;
    bool m_unloaded = false;
};

} // namespace quintaro
