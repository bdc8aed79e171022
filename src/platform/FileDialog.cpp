#include "FileDialog.h"

#include "SessionEnd.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace quintaro {

namespace {

QStringList qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i);
        const QString pattern = parts.at(i + 1);
        // Qt takes the patterns from the parentheses of a filter's text.
        const QString inParentheses = QLatin1Char('(') + pattern + QLatin1Char(')');
        result << (description.endsWith(inParentheses)
                       ? description
                       : description + QLatin1Char(' ') + inParentheses);
    }
    return result;
}

QString directoryFor(const QString &initDir)
{
    if (initDir.isEmpty() || initDir == QLatin1String(".\\") || initDir == QLatin1String("./") ||
        initDir == QLatin1String("."))
        return QDir::currentPath();
    return QDir::current().absoluteFilePath(initDir);
}

class QtFileDialogService final : public FileDialogService
{
public:
    QString choose(QWidget *parent, const FileDialogRequest &request) override
    {
        if (isSessionEnding())
            return {};
        // Qt's own dialog behaves the same on every desktop; it never changes
        // the process's current directory, which the program's relative file
        // names depend on.
        QFileDialog dialog(parent, request.title, directoryFor(request.initDir));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(request.mode == FileDialogRequest::Save ? QFileDialog::AcceptSave
                                                                     : QFileDialog::AcceptOpen);
        QStringList filters = qtNameFilters(request.filter);
        if (!filters.isEmpty()) {
            // Programs on this system rarely end in ".exe", and a list may
            // have been saved under any name: a second choice shows them all.
            // The request's own filter stays the one selected.
            filters << QStringLiteral("All Files (*)");
            dialog.setNameFilters(filters);
            const int index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                                  ? request.filterIndex - 1
                                  : 0;
            dialog.selectNameFilter(filters.at(index));
        }
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        // As the system writes paths: what the user sees in the path box and
        // what a batch file holds must be what cmd.exe reads on Windows.
        return QDir::toNativeSeparators(dialog.selectedFiles().value(0));
    }
};

FileDialogService *g_service = nullptr;

FileDialogService &currentService()
{
    static QtFileDialogService real;
    return g_service ? *g_service : real;
}

} // namespace

void setFileDialogService(FileDialogService *service)
{
    g_service = service;
}

void FileDialog::prepare(const QString &filterText, const QString &titleText)
{
    filter = filterText;
    filterIndex = 1;
    initialDirectory = QStringLiteral(".\\");
    title = titleText;
}

void FileDialog::show(FileDialogRequest::Mode mode)
{
    FileDialogRequest request;
    request.mode = mode;
    request.filter = filter;
    request.filterIndex = filterIndex;
    request.fileName = fileName;
    request.initDir = initialDirectory;
    request.title = title;

    fileName = currentService().choose(m_parent, request);
    fileTitle = fileName.isEmpty() ? QString() : QFileInfo(fileName).fileName();
}

} // namespace quintaro
