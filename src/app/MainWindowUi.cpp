#include "MainWindowUi.h"

#include "LinkStatus.h"
#include "Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace quintaro {

namespace {

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

QAction *addMenuAction(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QMenu *addMenu(QMenuBar *bar, const char *name, const QString &caption)
{
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

} // namespace

void MainWindowUi::setupUi(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("frmQuintaro"));
    // The controls' design sizes were made for an 8-point font; the
    // system's default family at that size fits them.
    QFont designFont = window->font();
    designFont.setPointSize(8);
    window->setFont(designFont);
    createControls(window);
    createMenus(window);
    setupAccessibility();
}

void MainWindowUi::createControls(QMainWindow *window)
{
    auto *client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    window->setCentralWidget(client);

    List2 = new QListWidget(client);
    List2->setObjectName(QStringLiteral("List2"));
    List2->setGeometry(twipsRect(20, 0, 4710, 450));
    List2->setToolTip(QStringLiteral("Agw Packet Engine Monitor Window"));
    List2->setSelectionMode(QAbstractItemView::SingleSelection);
    // Two lines fill the monitor window exactly; a scroll bar for a long
    // monitor line would hide the second one.
    List2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    lstWxCalls = new QListView(client);
    lstWxCalls->setObjectName(QStringLiteral("lstWxCalls"));
    lstWxCalls->setGeometry(twipsRect(20, 480, 1335, 1620));
    lstWxCalls->setToolTip(QStringLiteral("Wx Station List"));
    lstWxCalls->setSelectionMode(QAbstractItemView::SingleSelection);
    lstWxCalls->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows of one height let the view place tens of thousands of stations
    // without measuring each; a new station then costs the view a batch of
    // rows, not all of them.
    lstWxCalls->setUniformItemSizes(true);
    lstWxCalls->setLayoutMode(QListView::Batched);

    lblAGW = new QLabel(LinkStatus().label(), client);
    lblAGW->setObjectName(QStringLiteral("lblAGW"));
    lblAGW->setGeometry(twipsRect(1440, 480, 2655, 255));
    lblAGW->setAlignment(Qt::AlignCenter);
    lblAGW->setFrameStyle(QFrame::Box | QFrame::Plain);
    lblAGW->setLineWidth(1);
    // Wide enough for every status it shows, in whatever font the system
    // has: a status cut off in the middle would tell the user nothing.
    {
        const QFontMetrics metrics(window->font());
        int widest = 0;
        for (const QString &status : LinkStatus::everyLabel())
            widest = qMax(widest, metrics.horizontalAdvance(status));
        lblAGW->resize(qMax(lblAGW->width(), widest + 8), lblAGW->height());
    }

    lblAddr = new QLabel(QStringLiteral("AGW IP Address:"), client);
    lblAddr->setObjectName(QStringLiteral("lblAddr"));
    lblAddr->setGeometry(twipsRect(1440, 825, 1455, 255));

    txtAddr = new QLineEdit(QStringLiteral("192.168.1.10"), client);
    txtAddr->setObjectName(QStringLiteral("txtAddr"));
    txtAddr->setGeometry(twipsRect(2880, 800, 1215, 285));

    lblPath = new QLabel(QStringLiteral("Brezomat Path:"), client);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setGeometry(twipsRect(1440, 1080, 1335, 255));

    txtPath = new QLineEdit(QStringLiteral("C:\\Documenti\\Orbetti.exe"), client);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    txtPath->setGeometry(twipsRect(1440, 1290, 3315, 285));
    txtPath->setEnabled(false);

    chkAutoLoadAll = new QCheckBox(QStringLiteral("Open all Brezomats loading wx list"), client);
    chkAutoLoadAll->setObjectName(QStringLiteral("chkAutoLoadAll"));
    chkAutoLoadAll->setGeometry(twipsRect(1440, 1620, 2895, 255));
    chkAutoLoadAll->setToolTip(QStringLiteral(
        "Automatically opens Brezomat for all Wx Stations when loading a Wx Station List"));

    chkAutoLoad = new QCheckBox(QStringLiteral("Open Brezomat for new wx station"), client);
    chkAutoLoad->setObjectName(QStringLiteral("chkAutoLoad"));
    chkAutoLoad->setGeometry(twipsRect(1440, 1870, 2895, 255));
    chkAutoLoad->setToolTip(
        QStringLiteral("Opens Brezomat when a Wx station not in list is heard"));

    // A caption must never be cut off: where the system font is wider than
    // the design assumed, a check box grows to the right, where nothing else
    // stands.
    for (QCheckBox *box : {chkAutoLoadAll, chkAutoLoad})
        box->resize(qMax(box->width(), box->sizeHint().width()), box->height());

    // Tab order by tab index; labels and the disabled path box take no focus.
    QWidget::setTabOrder(txtAddr, txtPath);
    QWidget::setTabOrder(txtPath, lstWxCalls);
    QWidget::setTabOrder(lstWxCalls, List2);
    QWidget::setTabOrder(List2, chkAutoLoad);
    QWidget::setTabOrder(chkAutoLoad, chkAutoLoadAll);
}

void MainWindowUi::createMenus(QMainWindow *window)
{
    QMenuBar *bar = window->menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    nmuFile = addMenu(bar, "nmuFile", QStringLiteral("&File"));
    nmuPath = addMenuAction(nmuFile, "nmuPath", QStringLiteral("Setup Brezomat &Path..."));
    nmuFile->addSeparator()->setObjectName(QStringLiteral("mnuSep0"));
    nmuLoad = addMenuAction(nmuFile, "nmuLoad", QStringLiteral("&Load Wx Station List..."));
    nmuSave = addMenuAction(nmuFile, "nmuSave", QStringLiteral("&Save Wx Station List as..."));
    nmuSave->setEnabled(false);
    nmuFile->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    mnuAutoConnect =
        addMenuAction(nmuFile, "mnuAutoConnect", QStringLiteral("&Connect on Startup"));
    // Choosing the item inverts its mark; that is all it does.
    mnuAutoConnect->setCheckable(true);
    mnuAutoReconnect =
        addMenuAction(nmuFile, "mnuAutoReconnect", QStringLiteral("&Reconnect Automatically"));
    mnuAutoReconnect->setCheckable(true);
    mnuAutoReconnect->setToolTip(QStringLiteral(
        "Connects to AGWPE again by itself when the connection is lost or cannot be made"));
    nmuFile->addSeparator()->setObjectName(QStringLiteral("mnuSep2"));
    mnuExit = addMenuAction(nmuFile, "mnuExit", QStringLiteral("&Exit"));

    nmuListCommands = addMenu(bar, "nmuListCommands", QStringLiteral("&Wx List"));
    nmuListCommands->menuAction()->setEnabled(false);
    nmuLoadItem = addMenuAction(nmuListCommands, "nmuLoadItem",
                                QStringLiteral("&Open Brezomat for selected item"));
    nmuCancelItem =
        addMenuAction(nmuListCommands, "nmuCancelItem", QStringLiteral("&Cancel selected item"));
    nmuResetItem = addMenuAction(nmuListCommands, "nmuResetItem",
                                 QStringLiteral("&Reset open status of selected item"));
    nmuSetItem = addMenuAction(nmuListCommands, "nmuSetItem",
                               QStringLiteral("&Set open status of selected item"));
    nmuListCommands->addSeparator()->setObjectName(QStringLiteral("mnuSep3"));
    nmuClearList =
        addMenuAction(nmuListCommands, "nmuClearList", QStringLiteral("Cl&ear Wx Station List"));
    nmuLoadAllItems = addMenuAction(nmuListCommands, "nmuLoadAllItems",
                                    QStringLiteral("Open Brezomat for &All items"));
    nmuListCommands->addSeparator()->setObjectName(QStringLiteral("mnuSep4"));
    nmuBatch =
        addMenuAction(nmuListCommands, "nmuBatch", QStringLiteral("&Generate Batch File..."));
    nmuDetails = addMenuAction(nmuListCommands, "nmuDetails", QStringLiteral("Station &Details…"));

    nmuConnect = bar->addAction(LinkStatus().caption());
    nmuConnect->setObjectName(QStringLiteral("nmuConnect"));
    mnuHelp = bar->addAction(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
}

void MainWindowUi::setupAccessibility()
{
    List2->setAccessibleName(List2->toolTip());
    lstWxCalls->setAccessibleName(lstWxCalls->toolTip());
    // lblAGW has no fixed name: its text is the link's state, which a screen
    // reader announces as it changes.
    for (QLabel *label : {lblAddr, lblPath})
        label->setAccessibleName(label->text());
    // A text box is announced by its label.
    lblAddr->setBuddy(txtAddr);
    lblPath->setBuddy(txtPath);
    txtAddr->setAccessibleName(lblAddr->text());
    txtPath->setAccessibleName(lblPath->text());
    for (QCheckBox *box : {chkAutoLoadAll, chkAutoLoad}) {
        box->setAccessibleName(box->text());
        box->setAccessibleDescription(box->toolTip());
    }
}

} // namespace quintaro
