#pragma once

// The main window with every outside effect scripted: its own current
// directory, message boxes, file dialogs and (unless a test wants the real
// one) program starts. Steps written as short texts ("add IK1ABC", "select 0",
// "load two.txt") let the station-list tests read like tables of events.

#include "AgwTestEngine.h"
#include "EventWait.h"
#include "FakeDialogs.h"
#include "RecordingProgramStarter.h"
#include "WorkDir.h"
#include "frmQuintaro.h"

#include <QAccessible>
#include <QAction>
#include <QByteArrayList>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <optional>

namespace testsupport {

inline const QString kCrLf = QStringLiteral("\r\n");
// What every batch file the window writes begins with.
inline const QByteArray kBatchHeader = "@Echo Off\r\n"
                                       "REM Batch file for opening Brezomat\r\n"
                                       "REM several times with different Wx Calls\r\n";

class StationWindow
{
public:
    enum Starts { Recorded, RealStarter };

    explicit StationWindow(Starts starts = Recorded)
    {
        if (starts == Recorded)
            starter.emplace();
        window.Form_Load();
    }
    ~StationWindow()
    {
        // The link is closed while the window is whole: the socket's end
        // notifies the window.
        auto *socket = window.findChild<QTcpSocket *>(QStringLiteral("Winsock1"));
        if (socket && socket->state() != QAbstractSocket::UnconnectedState)
            window.nmuConnect_Click();
    }

    WorkDir dir;
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    std::optional<RecordingProgramStarter> starter;
    quintaro::frmQuintaro window;

    template <typename T> T *child(const char *name)
    {
        T *found = window.findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no child %s", name);
        return found;
    }
    QListWidget *list() { return child<QListWidget>("lstWxCalls"); }
    QLineEdit *txtPath() { return child<QLineEdit>("txtPath"); }
    QLineEdit *txtAddr() { return child<QLineEdit>("txtAddr"); }
    QAction *listMenu()
    {
        const QList<QAction *> found =
            window.findChildren<QAction *>(QStringLiteral("nmuListCommands"));
        return found.isEmpty() ? nullptr : found.first();
    }
    QAction *saveItem() { return child<QAction>("nmuSave"); }
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
        for (int i = 0; i < list()->count(); ++i)
            values << list()->item(i)->data(Qt::UserRole).toInt();
        return values;
    }
    // "+" or "-" for "&Wx List", then for "&Save Wx Station List as...".
    QString menus()
    {
        return QString(listMenu()->isEnabled() ? '+' : '-') + (saveItem()->isEnabled() ? '+' : '-');
    }
    // The selected entry as the user sees it, -1 for none.
    int selected()
    {
        const QList<QListWidgetItem *> items = list()->selectedItems();
        return items.isEmpty() ? -1 : list()->row(items.first());
    }
    void select(int row)
    {
        if (row < 0) {
            list()->setCurrentRow(-1);
            list()->clearSelection();
        } else {
            list()->setCurrentRow(row);
        }
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
        window.nmuLoad_Click();
    }
    void save(const QString &name)
    {
        dialogs.answerNext(dir.filePath(name));
        window.nmuSave_Click();
    }
    void batch(const QString &name)
    {
        dialogs.answerNext(dir.filePath(name));
        window.nmuBatch_Click();
    }

    // Connects the link to a stand-in engine of the window's own; the
    // engine's side once the window's two requests are in, nullptr when they
    // do not come.
    QTcpSocket *connectLink()
    {
        engine = std::make_unique<agwtest::Engine>();
        window.setAgwPortForTesting(engine->port());
        txtAddr()->setText(QStringLiteral("127.0.0.1"));
        window.nmuConnect_Click();
        return engine->acceptLink();
    }

    // One step of a scripted session. Files named in steps must exist in the
    // work directory (or be meant to be missing).
    bool run(const QString &step)
    {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString arg = step.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("add"))
            window.AddWxStation(arg);
        else if (verb == QLatin1String("select"))
            select(arg.toInt());
        else if (verb == QLatin1String("cancel"))
            window.nmuCancelItem_Click();
        else if (verb == QLatin1String("clear"))
            window.nmuClearList_Click();
        else if (verb == QLatin1String("set"))
            window.nmuSetItem_Click();
        else if (verb == QLatin1String("reset"))
            window.nmuResetItem_Click();
        else if (verb == QLatin1String("loaditem"))
            window.nmuLoadItem_Click();
        else if (verb == QLatin1String("loadall"))
            window.nmuLoadAllItems_Click();
        else if (verb == QLatin1String("load"))
            load(arg);
        else if (verb == QLatin1String("load-cancel")) {
            dialogs.cancelNext();
            window.nmuLoad_Click();
        } else if (verb == QLatin1String("save"))
            save(arg);
        else if (verb == QLatin1String("save-cancel")) {
            dialogs.cancelNext();
            window.nmuSave_Click();
        } else if (verb == QLatin1String("autoload"))
            clickAutoLoad();
        else if (verb == QLatin1String("ok"))
            starter->succeedNext(4242);
        else if (verb == QLatin1String("fail"))
            starter->failNext(arg.isEmpty() ? 1 : arg.toInt());
        else if (verb == QLatin1String("answer"))
            boxes.answerNext(arg == QLatin1String("yes") ? quintaro::vbYes : quintaro::vbNo);
        else if (verb == QLatin1String("connect"))
            return connectLink() != nullptr;
        else if (verb == QLatin1String("disconnect"))
            window.nmuConnect_Click();
        else {
            qWarning("unknown step %s", qPrintable(step));
            return false;
        }
        return true;
    }

private:
    std::unique_ptr<agwtest::Engine> engine;
};

} // namespace testsupport
