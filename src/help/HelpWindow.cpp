#include "HelpWindow.h"

#include "HelpLayout.h"
#include "MessageBox.h"
#include "ReadmeLocation.h"
#include "RtfDocument.h"
#include "TextCodec.h"
#include "Twips.h"
#include "WindowTitle.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QScreen>
#include <QTextEdit>

namespace quintaro {

using namespace help;

namespace {

HelpWindow *g_instance = nullptr;

const QString kDesignCaption = QStringLiteral("Istruzioni:");

QSize designClientSize()
{
    return QSize(twipsToPixels(kDesignClientWidthTwips), twipsToPixels(kDesignClientHeightTwips));
}

} // namespace

HelpWindow &HelpWindow::instance()
{
    if (!g_instance) {
        g_instance = new HelpWindow;
        // A window must go before the application object does; the function
        // runs while the application is still there.
        qAddPostRoutine([] { delete g_instance; });
    }
    return *g_instance;
}

HelpWindow::HelpWindow() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("frmIstruzioni"));
    setWindowTitle(kDesignCaption);
    m_view = new QTextEdit(this);
    m_view->setObjectName(QStringLiteral("rtfIstruzioni"));
    m_view->setReadOnly(true);
    m_view->setUndoRedoEnabled(false);
    resize(designClientSize());
}

HelpWindow::~HelpWindow()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void HelpWindow::open(const QString &fileName, const QString &title)
{
    m_fileName = fileName;
    if (!m_loaded)
        load();
    setWindowTitle(literalWindowTitle(QLatin1Char(' ') + title));

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

void HelpWindow::load()
{
    m_loaded = true;
    m_activationHandled = false;
    setWindowTitle(kDesignCaption);
    resize(designClientSize());
    m_view->clear();

    // Centring: a window that cannot be placed keeps its position.
    const QScreen *screenHere = screen();
    if (!screenHere)
        return;
    const QRect screenRect = screenHere->geometry();
    const QRect outer = frameGeometry();
    const long long left =
        centredPosition(pixelsToTwips(screenRect.width()), pixelsToTwips(outer.width()));
    const long long top =
        centredPosition(pixelsToTwips(screenRect.height()), pixelsToTwips(outer.height()));
    move(screenRect.x() + twipsToPixels(left), screenRect.y() + twipsToPixels(top));
}

void HelpWindow::layOut()
{
    // A minimized window has no size to lay out.
    if (isMinimized())
        return;
    const QSize outer = frameGeometry().size();
    m_lastOuterSize = outer;
    const ViewSize view =
        viewSizeForOuter(pixelsToTwips(outer.width()), pixelsToTwips(outer.height()));
    m_view->setGeometry(0, 0, twipsToPixelsRoundingUp(view.width),
                        twipsToPixelsRoundingUp(view.height));
}

QString HelpWindow::findReadme() const
{
    // The current directory first; a program started from the desktop's
    // menu finds the read-me installed with it.
    const std::string programFolder = filePathBytes(QCoreApplication::applicationDirPath());
    for (const std::string &candidate :
         readmeCandidates(filePathBytes(m_fileName), programFolder, QUINTARO_DATA_FROM_PROGRAM)) {
        const QString path = fromFilePathBytes(candidate);
        if (fileExists(path))
            return path;
    }
    return {};
}

void HelpWindow::showReadme()
{
    if (const QString path = findReadme(); !path.isEmpty()) {
        QString error;
        if (!loadFileInto(*m_view, path, &error)) {
            // Present but unreadable: say so in the view rather than show a
            // blank page.
            m_view->setPlainText(QStringLiteral("Impossibile leggere il file di help ") + path +
                                 QStringLiteral(": ") + error);
        }
        return;
    }
    showMessageBox(this, QStringLiteral("Manca il file di help ") + m_fileName, CriticalIcon,
                   QStringLiteral("Pennaro"));
    close();
}

bool HelpWindow::fileExists(const QString &path)
{
    // The file's length can be read: an empty file counts, a folder does not.
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

void HelpWindow::activated()
{
    // One run per activation; none while the missing-file box of a run is
    // open, and none once the window has been unloaded.
    if (!m_loaded || !isVisible() || m_inActivation || m_activationHandled)
        return;
    m_activationHandled = true;
    m_inActivation = true;
    showReadme();
    m_inActivation = false;
}

bool HelpWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        activated();
        break;
    case QEvent::WindowDeactivate:
        if (!m_inActivation)
            m_activationHandled = false;
        break;
    case QEvent::Move:
        // The window system tells the frame's size only once the window is
        // on the screen; the view follows it as it does any resize.
        if (frameGeometry().size() != m_lastOuterSize)
            layOut();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void HelpWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layOut();
}

void HelpWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layOut();
}

void HelpWindow::closeEvent(QCloseEvent *event)
{
    // Closing unloads the window; it stays in memory for the next Apri.
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        m_loaded = false;
        m_activationHandled = false;
    }
}

} // namespace quintaro
