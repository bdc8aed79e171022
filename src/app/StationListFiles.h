#pragma once

#include <QString>

class QWidget;

namespace quintaro {

class FileDialog;
class StationListModel;

// The station list's files as the user handles them: the file dialog, what
// is read and written, and the boxes that report a bad file or a failed
// save. Every save replaces its file atomically.
class StationListFiles
{
public:
    StationListFiles(QWidget *window, FileDialog &dialog, StationListModel &stations);

    enum LoadOutcome {
        Replaced,   // the file's stations replace the list
        Cancelled,  // no file chosen: the list stays
        Unreadable, // the file could not be read at all: the list stays
        Rejected    // the file holds no valid list: the list stays, a box said so
    };
    LoadOutcome load();
    // False when nothing was saved (cancelled, or the save failed).
    bool save();
    // Brezomat's command line for every station, with these two boxes' texts.
    void generateBatchFile(const QString &path, const QString &address);

private:
    void prepareListDialog(const QString &title);

    QWidget *m_window;
    FileDialog &m_dialog;
    StationListModel &m_stations;
};

} // namespace quintaro
