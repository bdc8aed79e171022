#include "StationListFiles.h"

#include "AtomicFile.h"
#include "BatchFile.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "StationListFile.h"
#include "StationListModel.h"
#include "TextCodec.h"

#include <QStringList>

namespace quintaro {

StationListFiles::StationListFiles(QWidget *window, FileDialog &dialog, StationListModel &stations)
    : m_window(window), m_dialog(dialog), m_stations(stations)
{
}

void StationListFiles::prepareListDialog(const QString &title)
{
    m_dialog.prepare(QStringLiteral("Text Files (*.txt)|*.txt"), title);
    m_dialog.fileName = QStringLiteral("WxList.txt");
}

StationListFiles::LoadOutcome StationListFiles::load()
{
    prepareListDialog(QStringLiteral("Load Wx List"));
    m_dialog.showOpen();
    if (m_dialog.fileName.isEmpty()) {
        m_stations.loadCancelled();
        return Cancelled;
    }
    const std::string fileTitle = encodeLocalText(m_dialog.fileTitle);
    // The whole file is read and checked before the list on screen is
    // touched, so a bad file never costs the user the stations listed.
    const stations::ListFileLoad file =
        stations::loadStationListFile(filePathBytes(m_dialog.fileName));
    if (!file.opened) {
        m_stations.loadFailed(fileTitle);
        return Unreadable;
    }
    if (!file.read.valid()) {
        showMessageBox(m_window,
                       QStringLiteral("Error loading Wx Station List file:") + kCrLf +
                           m_dialog.fileTitle + QStringLiteral("does not contain a valid list"),
                       OkButton, QStringLiteral("Error opening Wx List"));
        return Rejected;
    }
    m_stations.replace(file.read.calls, fileTitle);
    return Replaced;
}

bool StationListFiles::save()
{
    prepareListDialog(QStringLiteral("Save Wx List"));
    m_dialog.showSave();
    if (m_dialog.fileName.isEmpty())
        return false;
    const FileWriteResult written =
        writeFileAtomically(filePathBytes(m_dialog.fileName),
                            stations::writeStationList(m_stations.stations().calls()));
    if (!written.ok) {
        // The old file is still there, untouched; the title keeps showing
        // the list's last good file.
        showMessageBox(
            m_window,
            notWrittenPrompt(QStringLiteral("The Wx Station List could not be saved to "),
                             m_dialog.fileName, written.error),
            ExclamationIcon, QStringLiteral("Error saving Wx List"));
        return false;
    }
    m_stations.saving(encodeLocalText(m_dialog.fileTitle));
    return true;
}

void StationListFiles::generateBatchFile(const QString &path, const QString &address)
{
    m_dialog.prepare(QStringLiteral("Batch Files (*.bat)|*.bat"),
                     QStringLiteral("Save Batch File"));
    m_dialog.fileName = QStringLiteral("WxLoad.bat");
    m_dialog.showSave();
    if (m_dialog.fileName.isEmpty())
        return;

    const stations::BatchFile batch = stations::makeBatchFile(
        encodeLocalText(path), encodeLocalText(address), m_stations.stations().calls());
    const FileWriteResult written =
        writeFileAtomically(filePathBytes(m_dialog.fileName), batch.bytes);
    if (!written.ok) {
        showMessageBox(m_window,
                       notWrittenPrompt(QStringLiteral("The batch file could not be saved to "),
                                        m_dialog.fileName, written.error),
                       ExclamationIcon, QStringLiteral("Error saving Batch File"));
        return;
    }
    if (batch.leftOut.empty())
        return;
    // The command interpreter would read other characters as commands.
    QStringList shown;
    constexpr std::size_t kShownAtMost = 20;
    for (std::size_t i = 0; i < batch.leftOut.size() && i < kShownAtMost; ++i) {
        const QString call = fromRadioBytes(batch.leftOut[i]);
        shown << (call.isEmpty() ? QStringLiteral("(empty call)") : call);
    }
    if (batch.leftOut.size() > kShownAtMost)
        shown << QStringLiteral("and ") + QString::number(batch.leftOut.size() - kShownAtMost) +
                     QStringLiteral(" more");
    showMessageBox(m_window,
                   QStringLiteral("These Wx Stations were left out of the batch file, because "
                                  "their calls hold characters other than letters, digits and "
                                  "\"-\":") +
                       kCrLf + shown.join(kCrLf),
                   ExclamationIcon, QStringLiteral("Batch File"));
}

} // namespace quintaro
