#pragma once

#include <QString>

class QWidget;

namespace quintaro {

struct FileDialogRequest
{
    enum Mode { Open, Save };
    Mode mode = Open;
    QString filter; // "description|pattern[|description|pattern...]"
    int filterIndex = 1;
    QString fileName; // proposed name, possibly a full path
    QString initDir;  // ".\" stands for the process's current directory
    QString title;
};

// Where file dialogs come from; tests install a scripted fake.
class FileDialogService
{
public:
    virtual ~FileDialogService() = default;
    // Returns the full path of the chosen file, or an empty text on cancel.
    virtual QString choose(QWidget *parent, const FileDialogRequest &request) = 0;
};

// Installs `service` for every later dialog; nullptr restores the real one.
void setFileDialogService(FileDialogService *service);

// The one file dialog object of the main window. Its request fields keep
// their values from one use to the next, so a use that does not set a field
// (the Set-Path command does not set fileName) sees the previous use's value.
class FileDialog
{
public:
    explicit FileDialog(QWidget *parent = nullptr) : m_parent(parent) {}

    // Every use of the dialog starts so: this filter ("description|pattern")
    // selected, the process's current directory, this title. The proposed
    // file name is the caller's to set, or to leave as the last use left it.
    // Qt's dialog has no read-only check box to hide and never changes the
    // current directory, so no option needs setting for either.
    void prepare(const QString &filterText, const QString &titleText);

    QString filter;
    int filterIndex = 0;
    QString fileName; // on input the proposed name; on output the chosen path
    QString initialDirectory;
    QString title;
    // Output: the chosen file's name without its folder; empty after a cancel.
    QString fileTitle;

    void showOpen() { show(FileDialogRequest::Open); }
    void showSave() { show(FileDialogRequest::Save); }

private:
    void show(FileDialogRequest::Mode mode);

    QWidget *m_parent;
};

} // namespace quintaro
