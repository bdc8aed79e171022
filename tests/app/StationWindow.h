#pragma once

// The main window with every outside effect scripted: its own current
// directory, message boxes, file dialogs, program starts (unless a test wants
// the real starter) and a stand-in engine of its own. Steps written as short
// texts ("hear IK1ABC", "select 0", "load two.txt") let the tests read like
// tables of events; each step is what a user (or the radio) does.

#include "AgwTestEngine.h"
#include "EventWait.h"
#include "FakeDialogs.h"
#include "MainWindow.h"
#include "RecordingProgramStarter.h"
#include "StationListModel.h"
#include "WorkDir.h"

#include <QAccessible>
#include <QAction>
#include <QByteArrayList>
#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QTcpSocket>
#include <QTest>
#include <optional>

namespace testsupport {

inline const QString kCrLf = QStringLiteral("\r\n");
// What every batch file the window writes begins with.
inline const QByteArray kBatchHeader = "@Echo Off\r\n"
                                       "REM Batch file for opening Brezomat\r\n"
                                       "REM several times with different Wx Calls\r\n";

// A positionless weather report from `call`, as the engine monitors it.
inline std::string weatherReportFrom(const std::string &call)
{
    return agwtest::monitoredFrame('U', call, agwtest::kWxPositionless);
}

class StationWindow
{
public:
    enum Starts { Recorded, RealStarter };

    // `historyPath`: the weather history the window records into, none
    // when empty.
    explicit StationWindow(Starts starts = Recorded, const QString &historyPath = {})
        : window(engine.port(), historyPath)
    {
        if (starts == Recorded)
            starter.emplace();
        window.start();
    }

    WorkDir dir;
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    std::optional<RecordingProgramStarter> starter;
    agwtest::Engine engine;
    quintaro::MainWindow window;

    template <typename T> T *child(const char *name)
    {
        T *found = window.findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no child %s", name);
        return found;
    }
    QAction *action(const char *name)
    {
        // A menu's own action shares the menu's name.
        for (QAction *a : window.findChildren<QAction *>(QLatin1String(name)))
            return a;
        qWarning("no action %s", name);
        return nullptr;
    }
    void trigger(const char *name) { action(name)->trigger(); }

    QListView *list() { return child<QListView>("lstWxCalls"); }
    QLineEdit *txtPath() { return child<QLineEdit>("txtPath"); }
    QLineEdit *txtAddr() { return child<QLineEdit>("txtAddr"); }
    QTcpSocket *socket() { return child<QTcpSocket>("Winsock1"); }
    QString title() const { return window.windowTitle(); }
    // The title as the title bar shows it and a screen reader reads it.
    QString shownTitle()
    {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&window);
        return face ? face->text(QAccessible::Name) : QString();
    }

    QStringList calls() { return items(list()); }
    QList<int> statuses()
    {
        QList<int> values;
        const QAbstractItemModel *model = list()->model();
        for (int i = 0; i < model->rowCount(); ++i)
            values << (isOpen(model->index(i, 0)) ? 1 : 0);
        return values;
    }
    // "+" or "-" for "&Wx List", then for "&Save Wx Station List as...".
    QString menus()
    {
        return QString(action("nmuListCommands")->isEnabled() ? '+' : '-') +
               (action("nmuSave")->isEnabled() ? '+' : '-');
    }
    // The selected entry as the user sees it, -1 for none.
    int selected()
    {
        const QModelIndexList cells = list()->selectionModel()->selectedIndexes();
        return cells.isEmpty() ? -1 : cells.first().row();
    }
    void select(int row)
    {
        if (row < 0)
            list()->selectionModel()->clear();
        else
            list()->setCurrentIndex(list()->model()->index(row, 0));
    }
    QByteArrayList started() const
    {
        QByteArrayList lines;
        for (const std::string &line : starter->commandLines)
            lines << QByteArray::fromStdString(line);
        return lines;
    }
    QStringList boxTitles() const
    {
        QStringList titles;
        for (const FakeMessageBoxes::Request &r : boxes.requests)
            titles << r.title;
        return titles;
    }
    // Names in the work directory other than the settings file.
    QStringList files() const
    {
        QStringList names =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
        names.removeAll(QStringLiteral("Quintaro.ini"));
        return names;
    }

    void clickAutoLoad() { child<QCheckBox>("chkAutoLoad")->click(); }
    void clickAutoLoadAll() { child<QCheckBox>("chkAutoLoadAll")->click(); }

    void load(const QString &name)
    {
        dialogs.answerNext(dir.filePath(name));
        trigger("nmuLoad");
    }
    void save(const QString &name)
    {
        dialogs.answerNext(dir.filePath(name));
        trigger("nmuSave");
    }
    void batch(const QString &name)
    {
        dialogs.answerNext(dir.filePath(name));
        trigger("nmuBatch");
    }

    // Connects the link to the window's stand-in engine; the engine's side
    // once the window's two requests are in, nullptr when they do not come.
    // The address box keeps its text: the link remembers the host.
    QTcpSocket *connectLink()
    {
        const QString address = txtAddr()->text();
        txtAddr()->setText(QStringLiteral("127.0.0.1"));
        trigger("nmuConnect");
        txtAddr()->setText(address);
        m_peer = engine.acceptLink();
        return m_peer;
    }
    // The engine's side of the link, connecting first when needed.
    QTcpSocket *peer()
    {
        if (!m_peer || m_peer->state() != QAbstractSocket::ConnectedState)
            connectLink();
        return m_peer;
    }
    // The radio brings a weather report from `call`; true once the window
    // has read it.
    bool hear(const std::string &call)
    {
        QTcpSocket *to = peer();
        return to && agwtest::deliver(socket(), to, {weatherReportFrom(call)}) == 1;
    }

    // One step of a scripted session. Files named in steps must exist in the
    // work directory (or be meant to be missing).
    bool run(const QString &step)
    {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString arg = step.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("hear"))
            return hear(arg.toStdString());
        if (verb == QLatin1String("select"))
            select(arg.toInt());
        else if (verb == QLatin1String("cancel"))
            trigger("nmuCancelItem");
        else if (verb == QLatin1String("clear"))
            trigger("nmuClearList");
        else if (verb == QLatin1String("set"))
            trigger("nmuSetItem");
        else if (verb == QLatin1String("reset"))
            trigger("nmuResetItem");
        else if (verb == QLatin1String("loaditem"))
            trigger("nmuLoadItem");
        else if (verb == QLatin1String("loadall"))
            trigger("nmuLoadAllItems");
        else if (verb == QLatin1String("load"))
            load(arg);
        else if (verb == QLatin1String("load-cancel")) {
            dialogs.cancelNext();
            trigger("nmuLoad");
        } else if (verb == QLatin1String("save"))
            save(arg);
        else if (verb == QLatin1String("save-cancel")) {
            dialogs.cancelNext();
            trigger("nmuSave");
        } else if (verb == QLatin1String("autoload"))
            clickAutoLoad();
        else if (verb == QLatin1String("ok"))
            starter->succeedNext(4242);
        else if (verb == QLatin1String("fail"))
            starter->failNext(arg.isEmpty() ? 1 : arg.toInt());
        else if (verb == QLatin1String("answer"))
            boxes.answerNext(arg == QLatin1String("yes") ? quintaro::YesAnswer
                                                         : quintaro::NoAnswer);
        else if (verb == QLatin1String("connect"))
            return connectLink() != nullptr;
        else if (verb == QLatin1String("disconnect"))
            trigger("nmuConnect");
        else {
            qWarning("unknown step %s", qPrintable(step));
            return false;
        }
        return true;
    }

private:
    QTcpSocket *m_peer = nullptr;
};

} // namespace testsupport
