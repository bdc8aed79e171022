#pragma once

#include "FileDialog.h"
#include "MessageBox.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <functional>

namespace testsupport {

// Scripted message boxes: installed for its lifetime, answers from a queue
// (OK, or No for a Yes/No box, when nothing is queued) and records every box.
class FakeMessageBoxes final : public quintaro::MessageBoxService
{
public:
    struct Request
    {
        QString prompt;
        int style = 0;
        QString title;
    };

    FakeMessageBoxes() { quintaro::setMessageBoxService(this); }
    ~FakeMessageBoxes() override { quintaro::setMessageBoxService(nullptr); }

    void answerNext(int button) { m_answers.enqueue(button); }
    // Runs while a box is "open", as the user's event loop would.
    std::function<void(const Request &)> whileShown;

    QList<Request> requests;

    int show(QWidget *, const QString &prompt, int style, const QString &title) override
    {
        const Request request{prompt, style, title};
        requests.append(request);
        if (whileShown)
            whileShown(request);
        if (!m_answers.isEmpty())
            return m_answers.dequeue();
        return (style & 7) == quintaro::YesNoButtons ? quintaro::NoAnswer : quintaro::OkAnswer;
    }

private:
    QQueue<int> m_answers;
};

// Scripted file dialogs: each use takes the next queued answer (a full path,
// or an empty text for a cancel; cancel when nothing is queued).
class FakeFileDialogs final : public quintaro::FileDialogService
{
public:
    FakeFileDialogs() { quintaro::setFileDialogService(this); }
    ~FakeFileDialogs() override { quintaro::setFileDialogService(nullptr); }

    void answerNext(const QString &path) { m_answers.enqueue(path); }
    void cancelNext() { m_answers.enqueue(QString()); }

    QList<quintaro::FileDialogRequest> requests;

    QString choose(QWidget *, const quintaro::FileDialogRequest &request) override
    {
        requests.append(request);
        return m_answers.isEmpty() ? QString() : m_answers.dequeue();
    }

private:
    QQueue<QString> m_answers;
};

} // namespace testsupport
