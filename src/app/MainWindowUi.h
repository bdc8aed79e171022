#pragma once

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMainWindow;
class QMenu;

namespace quintaro {

// The main window's controls and menus as the user finds them: object names
// (the members are named after them, as Qt's form compiler does), captions
// with their access keys, tooltips, design positions, tab order and
// accessible names. The window wires them; this only builds them.
struct MainWindowUi
{
    QListWidget *List2 = nullptr;
    QListView *lstWxCalls = nullptr;
    QLabel *lblAGW = nullptr;
    QLabel *lblAddr = nullptr;
    QLineEdit *txtAddr = nullptr;
    QLabel *lblPath = nullptr;
    QLineEdit *txtPath = nullptr;
    QCheckBox *chkAutoLoadAll = nullptr;
    QCheckBox *chkAutoLoad = nullptr;

    QMenu *nmuFile = nullptr;
    QAction *nmuPath = nullptr;
    QAction *nmuLoad = nullptr;
    QAction *nmuSave = nullptr;
    QAction *mnuAutoConnect = nullptr;
    QAction *mnuAutoReconnect = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *nmuListCommands = nullptr;
    QAction *nmuLoadItem = nullptr;
    QAction *nmuCancelItem = nullptr;
    QAction *nmuResetItem = nullptr;
    QAction *nmuSetItem = nullptr;
    QAction *nmuClearList = nullptr;
    QAction *nmuLoadAllItems = nullptr;
    QAction *nmuBatch = nullptr;
    QAction *nmuDetails = nullptr;
    QAction *nmuConnect = nullptr;
    QAction *mnuHelp = nullptr;

    void setupUi(QMainWindow *window);

private:
    void createControls(QMainWindow *window);
    void createMenus(QMainWindow *window);
    void setupAccessibility();
};

} // namespace quintaro
