#pragma once

#include <QString>

#include <string>

class QWidget;

namespace quintaro {

// Style numbers: a button choice plus an icon choice.
enum MessageBoxStyle {
    OkButton = 0,
    YesNoButtons = 4, // Yes is the default button
    CriticalIcon = 16,
    ExclamationIcon = 48,
};

// Buttons a box reports back.
enum MessageBoxAnswer {
    OkAnswer = 1,
    YesAnswer = 6,
    NoAnswer = 7,
};

// Where modal message boxes come from. The program shows real ones; tests
// install a scripted fake that answers in advance and records every request.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    // Shows (prompt, style, title) modally and returns the button chosen.
    // The prompt may hold CR LF line breaks.
    virtual int show(QWidget *parent, const QString &prompt, int style, const QString &title) = 0;
};

// The line break of a box's prompt.
inline const QString kCrLf = QStringLiteral("\r\n");

// The prompt that tells of a file not written: `what` (ending in "could not
// be saved to ", say), the file's path, and the system's reason.
QString notWrittenPrompt(const QString &what, const QString &path, const std::string &reason);

// Installs `service` for every later box; nullptr restores the real boxes.
void setMessageBoxService(MessageBoxService *service);

// Shows a modal box and returns the button chosen.
int showMessageBox(QWidget *parent, const QString &prompt, int style, const QString &title);

} // namespace quintaro
