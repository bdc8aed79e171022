#include "MessageBox.h"

#include "SessionEnd.h"
#include "WindowTitle.h"

#include <QMessageBox>

namespace quintaro {

namespace {

class QtMessageBoxService final : public MessageBoxService
{
public:
    int show(QWidget *parent, const QString &prompt, int style, const QString &title) override
    {
        // Once the session is ending nobody is left to answer: take the
        // default button so that the orderly unload can go on.
        const bool yesNo = (style & 7) == YesNoButtons;
        if (isSessionEnding())
            return yesNo ? NoAnswer : OkAnswer;

        QMessageBox box(parent);
        box.setWindowTitle(literalWindowTitle(title));
        QString text = prompt;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        box.setText(text);
        box.setTextFormat(Qt::PlainText);
        switch (style & 0x70) {
        case CriticalIcon:
            box.setIcon(QMessageBox::Critical);
            break;
        case ExclamationIcon:
            box.setIcon(QMessageBox::Warning);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
        }
        if (yesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        const int answer = box.exec();
        if (yesNo)
            return answer == QMessageBox::Yes ? YesAnswer : NoAnswer;
        return OkAnswer;
    }
};

QtMessageBoxService &realService()
{
    static QtMessageBoxService service;
    return service;
}

MessageBoxService *g_service = nullptr;

} // namespace

QString notWrittenPrompt(const QString &what, const QString &path, const std::string &reason)
{
    return what + path + QLatin1Char(':') + kCrLf + QString::fromLocal8Bit(reason.c_str());
}

void setMessageBoxService(MessageBoxService *service)
{
    g_service = service;
}

int showMessageBox(QWidget *parent, const QString &prompt, int style, const QString &title)
{
    MessageBoxService &service = g_service ? *g_service : realService();
    return service.show(parent, prompt, style, title);
}

} // namespace quintaro
