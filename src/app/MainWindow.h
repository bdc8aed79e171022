#pragma once

#include "CommonDialog.h"
#include "FrameStream.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QRect>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QTcpSocket;
class QTimer;

namespace quintaro {

// The main window: owns all of the program's state and wires the AGWPE link,
// the station list and the files together. Its procedures and handlers keep
// the program's own names; they are public so that tests can drive them the
// way the user and the socket do.
class frmQuintaro : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kMaxStations = 32767; // the list's indices are 16-bit

    explicit frmQuintaro(QWidget *parent = nullptr);
    ~frmQuintaro() override;

    // --- life of the window -------------------------------------------------
    void Form_Load();
    void Form_Unload();
    void Form_Resize();
    void mnuExit_Click();
    // The session is ending (log-off, Ctrl+C): the same orderly unload as
    // Exit, also while a dialog is open.
    void unloadForSessionEnd();

    // --- options and commands of the window ----------------------------------
    void chkAutoLoad_Click();
    void chkAutoLoadAll_Click();
    void mnuAutoConnect_Click();
    void nmuPath_Click();
    void mnuHelp_Click();

    // --- station list and launcher -------------------------------------------
    void AddWxStation(const QString &call);
    void nmuCancelItem_Click();
    void nmuClearList_Click();
    void nmuResetItem_Click();
    void nmuSetItem_Click();
    bool LaunchMonitor(const QString &call);
    void nmuLoadItem_Click();
    void LaunchAllMonitors();
    void nmuLoadAllItems_Click();

    // --- station list files and batch file -----------------------------------
    void nmuLoad_Click();
    void nmuSave_Click();
    // False when the chosen file was rejected as not a station list.
    bool LoadStationList();
    void SaveStationList();
    void nmuBatch_Click();
    void GenerateBatchFile();

    // --- AGWPE link ----------------------------------------------------------
    void nmuConnect_Click();
    void Winsock1_Connect();
    void Winsock1_DataArrival(qint64 bytesTotal);
    void Winsock1_Error(int number, const QString &description);
    void SendAgwFrame(std::uint8_t kind);
    void ProcessAgwFrame(const std::uint8_t *data, std::size_t start, std::uint32_t dataLen);

    // --- window-level values -------------------------------------------------
    int iAgwPort() const { return m_iAgwPort; }
    QString sAgwHost() const { return m_sAgwHost; }
    bool bAutoLoad() const { return m_bAutoLoad; }
    bool bAutoLoadAll() const { return m_bAutoLoadAll; }
    QString sListFileTitle() const { return m_sListFileTitle; }
    CommonDialog &CommonD() { return m_commonD; }

    // The outer geometry (frame included) in twips, as start-up set it or the
    // window system last reported it.
    QRect outerGeometryTwips() const;

    // Test seam: the engine's port. The program itself always uses 8000.
    void setAgwPortForTesting(quint16 port) { m_portOverride = port; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setupAccessibility();
    QAction *addMenuAction(QMenu *menu, const char *name, const QString &caption);

    // Settings file.
    void writeDefaultSettings();
    bool setOuterValue(int index, int twips);
    void keepOnSomeScreen();
    void applyOuterGeometry();
    QMargins frameMarginsPx() const;

    // Station list.
    int ListIndex() const;
    void setStationListTitleUnsaved();
    void setStationListTitle();
    void setListFileTitle();
    void prepareListDialog(const QString &title);
    std::vector<std::string> stationCalls() const;
    void setListMenusEnabled(bool enabled);
    void rebuildCallIndex();
    void forgetCall(const QString &call);
    void appendStation(const QString &call);
    int stationCount() const;

    // Monitor window: the lines of the latest monitored frame are shown once
    // per received block, and before anything else the user could see.
    void flushMonitorLines();
    void scheduleMonitorFlush();
    void takeMonitorLines();

    // Link.
    quint16 agwPort() const;
    void showLinkClosed();
    void linkFailed(const QString &description);
    void Winsock1_Disconnected();
    void resetStream();

    // Controls (object names as the program calls them).
    QListWidget *List2 = nullptr;
    QListWidget *lstWxCalls = nullptr;
    QLabel *lblAGW = nullptr;
    QLabel *lblAddr = nullptr;
    QLineEdit *txtAddr = nullptr;
    QLabel *lblPath = nullptr;
    QLineEdit *txtPath = nullptr;
    QCheckBox *chkAutoLoadAll = nullptr;
    QCheckBox *chkAutoLoad = nullptr;
    QTcpSocket *Winsock1 = nullptr;

    QMenu *nmuFile = nullptr;
    QMenu *nmuListCommands = nullptr;
    QAction *nmuPath = nullptr;
    QAction *nmuLoad = nullptr;
    QAction *nmuSave = nullptr;
    QAction *mnuAutoConnect = nullptr;
    QAction *mnuExit = nullptr;
    QAction *nmuLoadItem = nullptr;
    QAction *nmuCancelItem = nullptr;
    QAction *nmuResetItem = nullptr;
    QAction *nmuSetItem = nullptr;
    QAction *nmuClearList = nullptr;
    QAction *nmuLoadAllItems = nullptr;
    QAction *nmuBatch = nullptr;
    QAction *nmuConnect = nullptr;
    QAction *mnuHelp = nullptr;

    CommonDialog m_commonD;

    // Window-level values.
    int m_iAgwPort = 0;
    QString m_sAgwHost;
    bool m_bAutoLoad = false;
    bool m_bAutoLoadAll = false;
    QString m_sListFileTitle;

    // How often each call (as the radio's bytes) stands in lstWxCalls, so
    // that a heard station is looked up without walking a long list, and
    // without building a text first. Loaded lists may hold a call twice.
    QHash<QByteArray, int> m_callCount;

    // Geometry: the outer geometry in twips and whether the window system has
    // framed the window yet (before that, frame sizes are unknown).
    QRect m_outerTwips;
    bool m_framed = false;
    bool m_settingGeometry = false;
    bool m_unloaded = false;

    // Link.
    quint16 m_portOverride = 0;
    agw::FrameStream m_stream;
    bool m_inDataArrival = false;
    bool m_closingLink = false;
    bool m_frameIsLastInBlock = true;
    // The latest monitored frame's text, still in the received block.
    std::string_view m_unshownText;
    std::string m_pendingLines[2];
    int m_pendingLineCount = 0;
    bool m_monitorDirty = false;
    QElapsedTimer m_lastMonitorFlush;
    QTimer *m_monitorFlushTimer = nullptr;
};

} // namespace quintaro
