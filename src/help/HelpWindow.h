#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

class QTextEdit;

namespace quintaro {

// The instructions window: the program's read-me in a rich-text view that
// fills it. Modeless and without owner, so the main window stays usable and
// the program ends only when both are closed. One instance serves the whole
// program; closing it unloads it, and the next open() loads it again.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    // The one instance, created on first use.
    static HelpWindow &instance();

    // Shows the read-me `fileName` with the caption " " + title, and brings
    // the window to the front. A bare name is looked for in the current
    // directory, then where the program is installed (ReadmeLocation.h).
    // Every activation reads the file again.
    void open(const QString &fileName, const QString &title);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    HelpWindow();
    ~HelpWindow() override;

    void load();
    void layOut();
    void showReadme();
    QString findReadme() const;
    void activated();
    static bool fileExists(const QString &path);

    QTextEdit *m_view = nullptr;
    QString m_fileName;
    bool m_loaded = false;
    // showReadme() has run for the window's current activation; cleared when
    // the window loses activation, so that each return runs it once.
    bool m_activationHandled = false;
    bool m_inActivation = false;
    QSize m_lastOuterSize;
};

} // namespace quintaro
