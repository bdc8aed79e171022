#include "frmQuintaro.h"

#include "AppIcon.h"
#include "AtomicFile.h"
#include "MessageBoxes.h"
#include "SettingsFile.h"
#include "Shutdown.h"
#include "TextCodec.h"
#include "WindowLayout.h"
#include "frmIstruzioni.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QTcpSocket>
#include <QTimer>
#include <QWindow>
#include <cstdio>

namespace quintaro {

namespace {

using layout::pixelsToTwips;
using layout::twipsToPixels;

const char kSettingsFileName[] = "Quintaro.ini";
// A settings record is a few hundred bytes; its reader stops after the
// seventh value, so the rest of an oversized file need not be read at all.
constexpr std::size_t kSettingsReadLimit = 64 * 1024;

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

// A pixel length back in twips: when the window system still reports the
// pixels that a twips value was turned into, that value is kept, so that the
// settings file does not drift by rounding from one run to the next.
int keepTwips(int pixels, int twips)
{
    return twipsToPixels(twips) == pixels ? twips : pixelsToTwips(pixels);
}

} // namespace

frmQuintaro::frmQuintaro(QWidget *parent) : QMainWindow(parent), m_commonD(this)
{
    setObjectName(QStringLiteral("frmQuintaro"));
    setWindowTitle(QStringLiteral("Quintaro v2.01"));
    setWindowIcon(appIcon());
    // The controls' design sizes were made for an 8-point font; the
    // system's default family at that size fits them.
    QFont designFont = font();
    designFont.setPointSize(8);
    setFont(designFont);
    createControls();
    createMenus();
    setupAccessibility();

    // Design size of the client area; start-up replaces the outer geometry.
    resize(twipsToPixels(4785), twipsToPixels(2190) + menuBar()->sizeHint().height());
    m_outerTwips = QRect(0, 0, pixelsToTwips(width()), pixelsToTwips(height()));
}

frmQuintaro::~frmQuintaro()
{
    // A socket closed by its destructor would report the disconnection to a
    // window that is half gone.
    Winsock1->disconnect(this);
    Winsock1->abort();
}

void frmQuintaro::createControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    List2 = new QListWidget(client);
    List2->setObjectName(QStringLiteral("List2"));
    List2->setGeometry(twipsRect(20, 0, 4710, 450));
    List2->setToolTip(QStringLiteral("Agw Packet Engine Monitor Window"));
    List2->setSelectionMode(QAbstractItemView::SingleSelection);
    // Two lines fill the monitor window exactly; a scroll bar for a long
    // monitor line would hide the second one.
    List2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    lstWxCalls = new QListWidget(client);
    lstWxCalls->setObjectName(QStringLiteral("lstWxCalls"));
    lstWxCalls->setGeometry(twipsRect(20, 480, 1335, 1620));
    lstWxCalls->setToolTip(QStringLiteral("Wx Station List"));
    lstWxCalls->setSelectionMode(QAbstractItemView::SingleSelection);
    // Rows of one height let the view place tens of thousands of stations
    // without measuring each.
    lstWxCalls->setUniformItemSizes(true);
    // A new station then costs the view a batch of rows, not all of them.
    lstWxCalls->setLayoutMode(QListView::Batched);

    lblAGW = new QLabel(QStringLiteral("Status Window"), client);
    lblAGW->setObjectName(QStringLiteral("lblAGW"));
    lblAGW->setGeometry(twipsRect(1440, 480, 2655, 255));
    lblAGW->setAlignment(Qt::AlignCenter);
    lblAGW->setFrameStyle(QFrame::Box | QFrame::Plain);
    lblAGW->setLineWidth(1);
    // Wide enough for every status it shows, in whatever font the system
    // has: a status cut off in the middle would tell the user nothing.
    {
        const QFontMetrics metrics(font());
        int widest = 0;
        for (const char *status :
             {"Status Window", "Connessione ad AGWPE chiusa", "Connesso ad AGWPE v65535.65535"})
            widest = qMax(widest, metrics.horizontalAdvance(QLatin1String(status)));
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

    // The options follow the boxes however they change: a click, the space
    // bar, or a screen reader's toggle action, which never "clicks".
    connect(chkAutoLoad, &QCheckBox::toggled, this, &frmQuintaro::chkAutoLoad_Click);
    connect(chkAutoLoadAll, &QCheckBox::toggled, this, &frmQuintaro::chkAutoLoadAll_Click);

    // Tab order by tab index; labels and the disabled path box take no focus.
    QWidget::setTabOrder(txtAddr, txtPath);
    QWidget::setTabOrder(txtPath, lstWxCalls);
    QWidget::setTabOrder(lstWxCalls, List2);
    QWidget::setTabOrder(List2, chkAutoLoad);
    QWidget::setTabOrder(chkAutoLoad, chkAutoLoadAll);

    Winsock1 = new QTcpSocket(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    m_monitorFlushTimer = new QTimer(this);
    m_monitorFlushTimer->setSingleShot(true);
    connect(m_monitorFlushTimer, &QTimer::timeout, this, &frmQuintaro::flushMonitorLines);
    connect(Winsock1, &QTcpSocket::connected, this, &frmQuintaro::Winsock1_Connect);
    connect(Winsock1, &QTcpSocket::readyRead, this,
            [this] { Winsock1_DataArrival(Winsock1->bytesAvailable()); });
    connect(Winsock1, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The engine closing the link is not a failure to report in a
        // box; the disconnection handler shows the link as closed.
        if (error == QAbstractSocket::RemoteHostClosedError)
            return;
        Winsock1_Error(static_cast<int>(error), Winsock1->errorString());
    });
    connect(Winsock1, &QTcpSocket::disconnected, this, &frmQuintaro::Winsock1_Disconnected);
}

QAction *frmQuintaro::addMenuAction(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void frmQuintaro::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    nmuFile = bar->addMenu(QStringLiteral("&File"));
    nmuFile->setObjectName(QStringLiteral("nmuFile"));
    nmuFile->menuAction()->setObjectName(QStringLiteral("nmuFile"));
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
    nmuFile->addSeparator()->setObjectName(QStringLiteral("mnuSep2"));
    mnuExit = addMenuAction(nmuFile, "mnuExit", QStringLiteral("&Exit"));

    nmuListCommands = bar->addMenu(QStringLiteral("&Wx List"));
    nmuListCommands->setObjectName(QStringLiteral("nmuListCommands"));
    nmuListCommands->menuAction()->setObjectName(QStringLiteral("nmuListCommands"));
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

    nmuConnect = bar->addAction(QStringLiteral("&Connect"));
    nmuConnect->setObjectName(QStringLiteral("nmuConnect"));
    mnuHelp = bar->addAction(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));

    connect(nmuPath, &QAction::triggered, this, &frmQuintaro::nmuPath_Click);
    connect(nmuLoad, &QAction::triggered, this, &frmQuintaro::nmuLoad_Click);
    connect(nmuSave, &QAction::triggered, this, &frmQuintaro::nmuSave_Click);
    connect(mnuExit, &QAction::triggered, this, &frmQuintaro::mnuExit_Click);
    connect(nmuLoadItem, &QAction::triggered, this, &frmQuintaro::nmuLoadItem_Click);
    connect(nmuCancelItem, &QAction::triggered, this, &frmQuintaro::nmuCancelItem_Click);
    connect(nmuResetItem, &QAction::triggered, this, &frmQuintaro::nmuResetItem_Click);
    connect(nmuSetItem, &QAction::triggered, this, &frmQuintaro::nmuSetItem_Click);
    connect(nmuClearList, &QAction::triggered, this, &frmQuintaro::nmuClearList_Click);
    connect(nmuLoadAllItems, &QAction::triggered, this, &frmQuintaro::nmuLoadAllItems_Click);
    connect(nmuBatch, &QAction::triggered, this, &frmQuintaro::nmuBatch_Click);
    connect(nmuConnect, &QAction::triggered, this, &frmQuintaro::nmuConnect_Click);
    connect(mnuHelp, &QAction::triggered, this, &frmQuintaro::mnuHelp_Click);
}

void frmQuintaro::setupAccessibility()
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

// ---------------------------------------------------------------------------
// Start-up, settings file and shutdown

void frmQuintaro::writeDefaultSettings()
{
    const FileWriteResult written = writeFileAtomically(kSettingsFileName, defaultSettingsRecord());
    if (!written.ok)
        std::fprintf(stderr, "quintaro: cannot write %s: %s\n", kSettingsFileName,
                     written.error.c_str());
}

void frmQuintaro::Form_Load()
{
    m_iAgwPort = 8000;

    std::string bytes;
    bool rewritten = false;
    if (!readWholeFile(kSettingsFileName, bytes, nullptr, kSettingsReadLimit)) {
        writeDefaultSettings();
        rewritten = true;
        // When even the new file cannot be read back, the run starts with the
        // defaults themselves rather than with nothing.
        if (!readWholeFile(kSettingsFileName, bytes, nullptr, kSettingsReadLimit))
            bytes = defaultSettingsRecord();
    }
    const SettingsReadResult read = readSettings(bytes);
    if (!read.complete() && !rewritten) {
        writeDefaultSettings();
        rewritten = true;
    }

    const Settings &values = read.values;
    txtAddr->setText(decodeLocalText(values.host));
    txtPath->setText(decodeLocalText(values.path));

    const int geometry[4] = {values.left, values.top, values.width, values.height};
    for (int i = 0; i < 4; ++i) {
        if (!setOuterValue(i, geometry[i]) && !rewritten) {
            writeDefaultSettings();
            rewritten = true;
        }
    }
    keepOnSomeScreen();
    applyOuterGeometry();

    mnuAutoConnect->setChecked(values.autoConnect);

    // The link's start-up step.
    if (mnuAutoConnect->isChecked())
        nmuConnect_Click();
}

bool frmQuintaro::setOuterValue(int index, int twips)
{
    // A window cannot have a negative size; positions are taken as they are.
    if (index >= 2 && twips < 0)
        return false;
    switch (index) {
    case 0:
        m_outerTwips.moveLeft(twips);
        break;
    case 1:
        m_outerTwips.moveTop(twips);
        break;
    case 2:
        m_outerTwips.setWidth(twips);
        break;
    default:
        m_outerTwips.setHeight(twips);
        break;
    }
    return true;
}

void frmQuintaro::keepOnSomeScreen()
{
    // Judged at the size the window will have: never below its minimum.
    const layout::PixelRect outer{
        twipsToPixels(m_outerTwips.left()), twipsToPixels(m_outerTwips.top()),
        twipsToPixels(qMax(m_outerTwips.width(), layout::kMinOuterWidth)),
        twipsToPixels(qMax(m_outerTwips.height(), layout::kMinOuterHeight))};
    std::vector<layout::PixelRect> screens;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        screens.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary || layout::isOnSomeScreen(outer, screens))
        return;
    // Stored for a screen that is not there now: the window starts in the
    // corner where a first start puts it, with the size it had.
    const QRect area = primary->availableGeometry();
    m_outerTwips.moveTopLeft(QPoint(pixelsToTwips(area.x()), pixelsToTwips(area.y())));
}

QMargins frmQuintaro::frameMarginsPx() const
{
    if (!m_framed)
        return {};
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                    frame.right() - client.right(), frame.bottom() - client.bottom());
}

void frmQuintaro::applyOuterGeometry()
{
    const QMargins margins = frameMarginsPx();
    const QSize frameExtra(margins.left() + margins.right(), margins.top() + margins.bottom());
    m_settingGeometry = true;
    setMinimumSize(twipsToPixels(layout::kMinOuterWidth) - frameExtra.width(),
                   twipsToPixels(layout::kMinOuterHeight) - frameExtra.height());
    move(twipsToPixels(m_outerTwips.left()), twipsToPixels(m_outerTwips.top()));
    resize(qMax(1, twipsToPixels(m_outerTwips.width()) - frameExtra.width()),
           qMax(1, twipsToPixels(m_outerTwips.height()) - frameExtra.height()));
    m_settingGeometry = false;
    Form_Resize();
}

QRect frmQuintaro::outerGeometryTwips() const
{
    return m_outerTwips;
}

void frmQuintaro::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;

    // The link's unload step.
    if (Winsock1->state() != QAbstractSocket::UnconnectedState) {
        m_closingLink = true;
        Winsock1->abort();
        m_closingLink = false;
    }

    Settings values;
    values.host = encodeLocalText(txtAddr->text());
    values.path = encodeLocalText(txtPath->text());
    const QRect outer = outerGeometryTwips();
    values.left = outer.left();
    values.top = outer.top();
    values.width = outer.width();
    values.height = outer.height();
    values.autoConnect = mnuAutoConnect->isChecked();

    const FileWriteResult written = writeFileAtomically(kSettingsFileName, writeSettings(values));
    if (!written.ok) {
        std::fprintf(stderr, "quintaro: cannot save %s: %s\n", kSettingsFileName,
                     written.error.c_str());
        MsgBox(QStringLiteral("The settings could not be saved to ") +
                   QLatin1String(kSettingsFileName) + QStringLiteral(":\r\n") +
                   QString::fromLocal8Bit(written.error.c_str()),
               vbExclamation, QStringLiteral("Quintaro"), this);
    }
}

void frmQuintaro::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmQuintaro::mnuExit_Click()
{
    close();
}

void frmQuintaro::unloadForSessionEnd()
{
    setShuttingDown(true);
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

// ---------------------------------------------------------------------------
// Layout

void frmQuintaro::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_framed)
        return;
    // Frame sizes are known only once the window system has framed the
    // window, which happens after the event loop has turned once.
    QTimer::singleShot(0, this, [this] {
        m_framed = true;
        applyOuterGeometry();
    });
}

void frmQuintaro::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_framed && !m_settingGeometry && !isMinimized()) {
        const QRect frame = frameGeometry();
        m_outerTwips.moveTopLeft(QPoint(keepTwips(frame.left(), m_outerTwips.left()),
                                        keepTwips(frame.top(), m_outerTwips.top())));
    }
}

void frmQuintaro::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_settingGeometry)
        return;
    Form_Resize();
}

void frmQuintaro::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmQuintaro::Form_Resize()
{
    if (isMinimized())
        return;
    if (m_framed && !m_settingGeometry) {
        const QRect frame = frameGeometry();
        m_outerTwips.setSize(QSize(keepTwips(frame.width(), m_outerTwips.width()),
                                   keepTwips(frame.height(), m_outerTwips.height())));
    }
    const QMargins margins = frameMarginsPx();
    const int extraWidth = margins.left() + margins.right();
    const int extraHeight = margins.top() + margins.bottom();

    int H = m_outerTwips.height();
    if (H < layout::kMinOuterHeight) {
        m_outerTwips.setHeight(layout::kMinOuterHeight);
        resize(width(), twipsToPixels(layout::kMinOuterHeight) - extraHeight);
    }
    if (const auto listHeight = layout::stationListHeight(H)) {
        QRect g = lstWxCalls->geometry();
        g.setHeight(twipsToPixels(*listHeight));
        lstWxCalls->setGeometry(g);
    }

    int W = m_outerTwips.width();
    if (W < layout::kMinOuterWidth) {
        resize(twipsToPixels(layout::kMinOuterWidth) - extraWidth, height());
        if (width() + extraWidth < twipsToPixels(layout::kMinOuterWidth))
            return;
        m_outerTwips.setWidth(layout::kMinOuterWidth);
        W = layout::kMinOuterWidth;
    }

    const layout::ControlPlacement p = layout::placeControls(W);
    auto setWidth = [](QWidget *w, int twips) { w->resize(twipsToPixels(twips), w->height()); };
    auto setLeft = [](QWidget *w, int twips) { w->move(twipsToPixels(twips), w->y()); };
    setWidth(List2, p.list2Width);
    setWidth(txtPath, p.txtPathWidth);
    setWidth(lstWxCalls, p.lstWxCallsWidth);
    for (QWidget *w : {static_cast<QWidget *>(lblAGW), static_cast<QWidget *>(lblAddr),
                       static_cast<QWidget *>(lblPath), static_cast<QWidget *>(txtPath),
                       static_cast<QWidget *>(chkAutoLoadAll), static_cast<QWidget *>(chkAutoLoad)})
        setLeft(w, p.columnLeft);
    setLeft(txtAddr, p.txtAddrLeft);
}

// ---------------------------------------------------------------------------
// Options and window commands

void frmQuintaro::chkAutoLoad_Click()
{
    m_bAutoLoad = chkAutoLoad->checkState() == Qt::Checked;
}

void frmQuintaro::chkAutoLoadAll_Click()
{
    m_bAutoLoadAll = chkAutoLoadAll->checkState() == Qt::Checked;
}

void frmQuintaro::mnuAutoConnect_Click()
{
    // Triggering a checkable item inverts its mark, as the menu does.
    mnuAutoConnect->trigger();
}

void frmQuintaro::nmuPath_Click()
{
    m_commonD.Filter = QStringLiteral("Application Files (*.exe)|*.exe");
    m_commonD.FilterIndex = 1;
    m_commonD.InitDir = QStringLiteral(".\\");
    m_commonD.DialogTitle = QStringLiteral("Set Brezomat Path");
    m_commonD.Flags = CommonDialog::cdlOFNHideReadOnly | CommonDialog::cdlOFNNoChangeDir;
    m_commonD.ShowOpen();
    if (!m_commonD.FileName.isEmpty())
        txtPath->setText(m_commonD.FileName);
}

void frmQuintaro::mnuHelp_Click()
{
    frmIstruzioni::instance().Apri(QStringLiteral("Leggimi_Quintaro.rtf"),
                                   QStringLiteral("Quintaro - Istruzioni"));
}

} // namespace quintaro
