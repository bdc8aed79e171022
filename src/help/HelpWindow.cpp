#include "frmIstruzioni.h"

#include "IstruzioniLayout.h"
#include "MessageBoxes.h"
#include "RtfDocument.h"
#include "WindowTitle.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QScreen>
#include <QTextEdit>

using namespace quintaro::help;

namespace {

frmIstruzioni *g_instance = nullptr;

const QString kDesignCaption = QStringLiteral("Istruzioni:");

QSize designClientSize()
{
    return QSize(kDesignClientWidthTwips / kTwipsPerPixel,
                 kDesignClientHeightTwips / kTwipsPerPixel);
}

} // namespace

frmIstruzioni &frmIstruzioni::instance()
{
    if (!g_instance) {
        g_instance = new frmIstruzioni;
        // A window must go before the application object does; the function
        // runs while the application is still there.
        qAddPostRoutine([] { delete g_instance; });
    }
    return *g_instance;
}

frmIstruzioni::frmIstruzioni() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("frmIstruzioni"));
    setWindowTitle(kDesignCaption);
    m_rtfIstruzioni = new QTextEdit(this);
    m_rtfIstruzioni->setObjectName(QStringLiteral("rtfIstruzioni"));
    m_rtfIstruzioni->setReadOnly(true);
    m_rtfIstruzioni->setUndoRedoEnabled(false);
    resize(designClientSize());
}

frmIstruzioni::~frmIstruzioni()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void frmIstruzioni::Apri(QString NFileIstruzioni, QString Titolo)
{
    m_sFileIstruzioni = NFileIstruzioni;
    if (!m_loaded)
        Form_Load();
    setWindowTitle(quintaro::literalWindowTitle(QLatin1Char(' ') + Titolo));

    const bool wasVisible = isVisible();
    const bool wasActive = wasVisible && isActiveWindow();
    // Brought to the front again, the window is activated again and reads
    // the file again, also when the platform never told it that it had
    // lost its activation.
    if (wasVisible)
        m_activationHandled = false;
    show();
    raise();
    activateWindow();
    // The platform reports the activation later, or not at all (an
    // offscreen screen, a window manager that refuses to move the focus).
    // A window that was hidden or was already active runs its activation
    // here; the late report then finds it handled.
    if (!wasVisible || wasActive)
        activated();
}

void frmIstruzioni::Form_Load()
{
    m_loaded = true;
    m_activationHandled = false;
    setWindowTitle(kDesignCaption);
    resize(designClientSize());
    m_rtfIstruzioni->clear();

    // Centring: a window that cannot be placed keeps its position.
    const QScreen *screenHere = screen();
    if (!screenHere)
        return;
    const QRect screenRect = screenHere->geometry();
    const QRect outer = frameGeometry();
    const long long left = centredPosition(double(screenRect.width()) * kTwipsPerPixel,
                                           double(outer.width()) * kTwipsPerPixel);
    const long long top = centredPosition(double(screenRect.height()) * kTwipsPerPixel,
                                          double(outer.height()) * kTwipsPerPixel);
    move(screenRect.x() + twipsToPixelsNearest(left), screenRect.y() + twipsToPixelsNearest(top));
}

void frmIstruzioni::Form_Resize()
{
    // A minimized window has no size to lay out.
    if (isMinimized())
        return;
    const QSize outer = frameGeometry().size();
    m_lastOuterSize = outer;
    const ViewSize view = viewSizeForOuter(double(outer.width()) * kTwipsPerPixel,
                                           double(outer.height()) * kTwipsPerPixel);
    m_rtfIstruzioni->setGeometry(0, 0, twipsToPixelsCeil(view.width),
                                 twipsToPixelsCeil(view.height));
}

void frmIstruzioni::Form_Activate()
{
    if (EsisteFile(m_sFileIstruzioni)) {
        QString error;
        if (!loadFileInto(*m_rtfIstruzioni, m_sFileIstruzioni, &error)) {
            // Present but unreadable: say so in the view rather than show a
            // blank page.
            m_rtfIstruzioni->setPlainText(QStringLiteral("Impossibile leggere il file di help ") +
                                          m_sFileIstruzioni + QStringLiteral(": ") + error);
        }
        return;
    }
    quintaro::MsgBox(QStringLiteral("Manca il file di help ") + m_sFileIstruzioni,
                     quintaro::vbCritical, QStringLiteral("Pennaro"), this);
    close();
}

bool frmIstruzioni::EsisteFile(const QString &path)
{
    // The file's length can be read: an empty file counts, a folder does not.
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

void frmIstruzioni::activated()
{
    // One run per activation; none while the missing-file box of a run is
    // open, and none once the window has been unloaded.
    if (!m_loaded || !isVisible() || m_inActivate || m_activationHandled)
        return;
    m_activationHandled = true;
    m_inActivate = true;
    Form_Activate();
    m_inActivate = false;
}

bool frmIstruzioni::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        activated();
        break;
    case QEvent::WindowDeactivate:
        if (!m_inActivate)
            m_activationHandled = false;
        break;
    case QEvent::Move:
        // The window system tells the frame's size only once the window is
        // on the screen; the view follows it as it does any resize.
        if (frameGeometry().size() != m_lastOuterSize)
            Form_Resize();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void frmIstruzioni::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmIstruzioni::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmIstruzioni::closeEvent(QCloseEvent *event)
{
    // Closing unloads the window; it stays in memory for the next Apri.
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        m_loaded = false;
        m_activationHandled = false;
    }
}
