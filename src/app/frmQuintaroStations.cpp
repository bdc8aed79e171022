// The main window's station list: adding heard stations, the list commands,
// starting Brezomat, and the list and batch files.

#include "frmQuintaro.h"

#include "AtomicFile.h"
#include "BatchFile.h"
#include "CommandLine.h"
#include "MessageBoxes.h"
#include "ProgramStarter.h"
#include "Shutdown.h"
#include "StationListFile.h"
#include "TextCodec.h"
#include "WindowTitle.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPersistentModelIndex>
#include <vector>

namespace quintaro {

namespace {

constexpr int kOpenStatusRole = Qt::UserRole;
constexpr int kDialogFlags = CommonDialog::cdlOFNHideReadOnly | CommonDialog::cdlOFNNoChangeDir;
const QString kCrLf = QStringLiteral("\r\n");
// The largest list file: 32 767 calls of up to 9 characters with generous
// room for blanks and quotes. Anything bigger cannot be a valid list.
constexpr std::size_t kListFileReadLimit = 4 * 1024 * 1024;

int openStatus(const QListWidgetItem *item)
{
    return item->data(kOpenStatusRole).toInt();
}

// Sets the open status of an entry that may have moved or gone while a
// dialog or a pause for events let other commands change the list.
void setOpenStatus(QListWidget *list, const QPersistentModelIndex &entry, int status)
{
    if (entry.isValid())
        list->item(entry.row())->setData(kOpenStatusRole, status);
}

std::string fileNameBytes(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

int frmQuintaro::stationCount() const
{
    return lstWxCalls->count();
}

int frmQuintaro::ListIndex() const
{
    const int row = lstWxCalls->currentRow();
    return row >= 0 && lstWxCalls->item(row)->isSelected() ? row : -1;
}

void frmQuintaro::setStationListTitleUnsaved()
{
    setWindowTitle(QStringLiteral("Quintaro - ") + QString::number(stationCount()) +
                   QStringLiteral(" stations (list not saved)"));
}

void frmQuintaro::setStationListTitle()
{
    setWindowTitle(QStringLiteral("Quintaro - ") + QString::number(stationCount()) +
                   QStringLiteral(" stations"));
}

void frmQuintaro::setListFileTitle()
{
    // The file's name is shown exactly as the file system has it.
    setWindowTitle(literalWindowTitle(QStringLiteral("Quintaro - ") + m_sListFileTitle +
                                      QStringLiteral(" - ") + QString::number(stationCount()) +
                                      QStringLiteral(" stations")));
}

void frmQuintaro::setListMenusEnabled(bool enabled)
{
    nmuListCommands->menuAction()->setEnabled(enabled);
    nmuSave->setEnabled(enabled);
}

void frmQuintaro::appendStation(const QString &call)
{
    auto *item = new QListWidgetItem(call);
    item->setData(kOpenStatusRole, 0);
    lstWxCalls->addItem(item);
    ++m_callCount[call.toLatin1()];
}

void frmQuintaro::forgetCall(const QString &call)
{
    const auto it = m_callCount.find(call.toLatin1());
    if (it != m_callCount.end() && --it.value() <= 0)
        m_callCount.erase(it);
}

// ---------------------------------------------------------------------------
// Station list

void frmQuintaro::AddWxStation(const QString &call)
{
    if (m_callCount.contains(call.toLatin1()))
        return;
    // A list at its limit ignores further stations; those already listed
    // keep working.
    if (stationCount() >= kMaxStations)
        return;
    flushMonitorLines();

    const int n = stationCount();
    if (n < 1)
        setListMenusEnabled(true);
    appendStation(call);
    setStationListTitleUnsaved();

    if (m_bAutoLoad) {
        const QPersistentModelIndex entry(lstWxCalls->model()->index(n, 0));
        const bool started = LaunchMonitor(call);
        setOpenStatus(lstWxCalls, entry, started ? 1 : 0);
    }
}

void frmQuintaro::nmuCancelItem_Click()
{
    const int index = ListIndex();
    if (index > -1) {
        QListWidgetItem *item = lstWxCalls->takeItem(index);
        forgetCall(item->text());
        delete item;
        // The list would otherwise move the selection to the next entry.
        lstWxCalls->setCurrentRow(-1);
        lstWxCalls->clearSelection();
    }
    if (stationCount() == 0) {
        setListMenusEnabled(false);
        m_sListFileTitle.clear();
    }
    setStationListTitleUnsaved();
}

void frmQuintaro::nmuClearList_Click()
{
    lstWxCalls->clear();
    m_callCount.clear();
    m_sListFileTitle.clear();
    setListMenusEnabled(false);
    setStationListTitle();
}

void frmQuintaro::nmuResetItem_Click()
{
    const int index = ListIndex();
    if (index > -1)
        lstWxCalls->item(index)->setData(kOpenStatusRole, 0);
}

void frmQuintaro::nmuSetItem_Click()
{
    const int index = ListIndex();
    if (index > -1)
        lstWxCalls->item(index)->setData(kOpenStatusRole, 1);
}

// ---------------------------------------------------------------------------
// Launcher

bool frmQuintaro::LaunchMonitor(const QString &call)
{
    long long taskId = 0;
    try {
        const std::string commandLine = stations::buildCommandLine(
            encodeLocalText(txtPath->text()), toRadioBytes(call), encodeLocalText(txtAddr->text()));
        taskId = stations::programStarter().start(commandLine);
    } catch (...) {
        taskId = 0;
    }
    if (taskId != 0)
        return true;
    MsgBox(QStringLiteral("Application Brezomat not found") + kCrLf +
               QStringLiteral("Please set path in File->Set Brezomat Path"),
           vbExclamation, QStringLiteral("Wx Station ") + call + QStringLiteral(" not loaded"),
           this);
    return false;
}

void frmQuintaro::nmuLoadItem_Click()
{
    const int index = ListIndex();
    if (index == -1)
        return;
    const QListWidgetItem *item = lstWxCalls->item(index);
    const QString call = item->text();
    const QPersistentModelIndex entry(lstWxCalls->model()->index(index, 0));
    if (openStatus(item) == 0) {
        if (LaunchMonitor(call))
            setOpenStatus(lstWxCalls, entry, 1);
        return;
    }
    const int answer = MsgBox(QStringLiteral("The Wx Station ") + call +
                                  QStringLiteral(" has been Already Loaded.") + kCrLf +
                                  QStringLiteral("Load anyway ?"),
                              vbYesNo, call + QStringLiteral(" Already Loaded"), this);
    if (answer == vbYes)
        LaunchMonitor(call);
}

void frmQuintaro::LaunchAllMonitors()
{
    const int last = stationCount() - 1;
    for (int i = 0; i <= last; ++i) {
        // Entries removed during a pause must not be read or set: the run
        // ends at the list's current end.
        if (i >= stationCount() || isShuttingDown())
            break;
        const QString call = lstWxCalls->item(i)->text();
        const QPersistentModelIndex entry(lstWxCalls->model()->index(i, 0));
        if (LaunchMonitor(call))
            setOpenStatus(lstWxCalls, entry, 1);
        QCoreApplication::processEvents();
    }
}

void frmQuintaro::nmuLoadAllItems_Click()
{
    LaunchAllMonitors();
}

// ---------------------------------------------------------------------------
// Station list files

void frmQuintaro::prepareListDialog(const QString &title)
{
    m_commonD.Filter = QStringLiteral("Text Files (*.txt)|*.txt");
    m_commonD.FilterIndex = 1;
    m_commonD.FileName = QStringLiteral("WxList.txt");
    m_commonD.InitDir = QStringLiteral(".\\");
    m_commonD.DialogTitle = title;
    m_commonD.Flags = kDialogFlags;
}

void frmQuintaro::nmuLoad_Click()
{
    // A rejected file leaves the list on screen as it was; none of those
    // stations was asked for by this load, so none is started.
    if (!LoadStationList())
        return;
    if (m_bAutoLoadAll)
        LaunchAllMonitors();
}

void frmQuintaro::nmuSave_Click()
{
    if (stationCount() >= 1)
        SaveStationList();
}

bool frmQuintaro::LoadStationList()
{
    prepareListDialog(QStringLiteral("Load Wx List"));
    m_commonD.ShowOpen();

    if (!m_commonD.FileName.isEmpty()) {
        // A rejected file keeps the list's old file title (below): the
        // stations on screen did not come from it.
        const QString previousFileTitle = m_sListFileTitle;
        m_sListFileTitle = m_commonD.FileTitle;
        std::string bytes;
        bool tooLarge = false;
        // A file that cannot be read (or is no regular file at all: a pipe,
        // a device, a folder) leaves the list as it is.
        if (!readWholeFile(fileNameBytes(m_commonD.FileName), bytes, nullptr, kListFileReadLimit,
                           &tooLarge))
            return true;
        // The whole file is checked before the list on screen is touched, so
        // a rejected file never costs the user the stations already listed.
        stations::ListFileReadResult read;
        if (tooLarge)
            read.problem = stations::ListFileProblem::TooManyEntries;
        else
            read = stations::readStationList(bytes);
        if (!read.valid()) {
            MsgBox(QStringLiteral("Error loading Wx Station List file:") + kCrLf +
                       m_commonD.FileTitle + QStringLiteral("does not contain a valid list"),
                   vbOKOnly, QStringLiteral("Error opening Wx List"), this);
            m_sListFileTitle = previousFileTitle;
            return false;
        }
        QStringList calls;
        calls.reserve(static_cast<qsizetype>(read.calls.size()));
        for (const std::string &entry : read.calls)
            calls.append(fromRadioBytes(entry));
        lstWxCalls->clear();
        lstWxCalls->addItems(calls);
        rebuildCallIndex();
    }

    if (stationCount() >= 1) {
        setListMenusEnabled(true);
        lstWxCalls->setCurrentRow(0);
    }
    setListFileTitle();
    return true;
}

void frmQuintaro::rebuildCallIndex()
{
    m_callCount.clear();
    m_callCount.reserve(stationCount());
    for (int i = 0; i < stationCount(); ++i)
        ++m_callCount[lstWxCalls->item(i)->text().toLatin1()];
}

std::vector<std::string> frmQuintaro::stationCalls() const
{
    std::vector<std::string> calls;
    calls.reserve(static_cast<std::size_t>(stationCount()));
    for (int i = 0; i < stationCount(); ++i)
        calls.push_back(toRadioBytes(lstWxCalls->item(i)->text()));
    return calls;
}

void frmQuintaro::SaveStationList()
{
    prepareListDialog(QStringLiteral("Save Wx List"));
    m_commonD.ShowSave();
    if (m_commonD.FileName.isEmpty())
        return;

    const FileWriteResult written = writeFileAtomically(fileNameBytes(m_commonD.FileName),
                                                        stations::writeStationList(stationCalls()));
    if (!written.ok) {
        // The old file is still there, untouched; the title keeps showing
        // the list's last good file.
        MsgBox(QStringLiteral("The Wx Station List could not be saved to ") + m_commonD.FileName +
                   QStringLiteral(":") + kCrLf + QString::fromLocal8Bit(written.error.c_str()),
               vbExclamation, QStringLiteral("Error saving Wx List"), this);
        return;
    }
    m_sListFileTitle = m_commonD.FileTitle;
    setListFileTitle();
}

// ---------------------------------------------------------------------------
// Batch file

void frmQuintaro::nmuBatch_Click()
{
    GenerateBatchFile();
}

void frmQuintaro::GenerateBatchFile()
{
    m_commonD.Filter = QStringLiteral("Batch Files (*.bat)|*.bat");
    m_commonD.FilterIndex = 1;
    m_commonD.FileName = QStringLiteral("WxLoad.bat");
    m_commonD.InitDir = QStringLiteral(".\\");
    m_commonD.DialogTitle = QStringLiteral("Save Batch File");
    m_commonD.Flags = kDialogFlags;
    m_commonD.ShowSave();
    if (m_commonD.FileName.isEmpty())
        return;

    const stations::BatchFile batch = stations::makeBatchFile(
        encodeLocalText(txtPath->text()), encodeLocalText(txtAddr->text()), stationCalls());
    const FileWriteResult written =
        writeFileAtomically(fileNameBytes(m_commonD.FileName), batch.bytes);
    if (!written.ok) {
        MsgBox(QStringLiteral("The batch file could not be saved to ") + m_commonD.FileName +
                   QStringLiteral(":") + kCrLf + QString::fromLocal8Bit(written.error.c_str()),
               vbExclamation, QStringLiteral("Error saving Batch File"), this);
        return;
    }
    if (!batch.leftOut.empty()) {
        // The command interpreter would read other characters as commands.
        QStringList shown;
        constexpr std::size_t kShownAtMost = 20;
        for (std::size_t i = 0; i < batch.leftOut.size() && i < kShownAtMost; ++i) {
            const QString call = fromRadioBytes(batch.leftOut[i]);
            shown << (call.isEmpty() ? QStringLiteral("(empty call)") : call);
        }
        if (batch.leftOut.size() > kShownAtMost)
            shown << QStringLiteral("and %1 more").arg(batch.leftOut.size() - kShownAtMost);
        MsgBox(QStringLiteral("These Wx Stations were left out of the batch file, because their "
                              "calls hold characters other than letters, digits and \"-\":") +
                   kCrLf + shown.join(kCrLf),
               vbExclamation, QStringLiteral("Batch File"), this);
    }
}

} // namespace quintaro
