#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

class QTextEdit;

// The instructions window: the program's read-me in a rich-text view that
// fills it. Modeless and without owner, so the main window stays usable and
// the program ends only when both are closed. One instance serves the whole
// program; closing it hides it, and the next Apri loads it again.
class frmIstruzioni : public QWidget
{
    Q_OBJECT

public:
    // The one instance, created on first use.
    static frmIstruzioni &instance();

    // Shows the read-me `NFileIstruzioni` (relative names resolve against
    // the current directory) with the caption " " + Titolo.
    void Apri(QString NFileIstruzioni, QString Titolo);

    // The window's event procedures. They run from the window's own events;
    // they are public so that each can be driven on its own.
    void Form_Load();
    void Form_Resize();
    void Form_Activate();

    bool isLoaded() const { return m_loaded; }
    QString sFileIstruzioni() const { return m_sFileIstruzioni; }
    QTextEdit *rtfIstruzioni() const { return m_rtfIstruzioni; }

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    frmIstruzioni();
    ~frmIstruzioni() override;

    static bool EsisteFile(const QString &path);
    void activated();

    QTextEdit *m_rtfIstruzioni = nullptr;
    QString m_sFileIstruzioni;
    bool m_loaded = false;
    // Form_Activate has run for the window's current activation; cleared
    // when the window loses activation, so that each return runs it once.
    bool m_activationHandled = false;
    bool m_inActivate = false;
    QSize m_lastOuterSize;
};
