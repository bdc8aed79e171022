#include "StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

namespace benchsupport {

namespace {

[[noreturn]] void reportAndExit()
{
    std::printf("startup-probe VmRSS: %ld kB Pss: %ld kB\n", residentKilobytes(),
                proportionalKilobytes());
    std::fflush(stdout);
    std::_Exit(0);
}

class StartupProbe final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_seen && watched->isWindowType()) {
            const auto *window = static_cast<QWindow *>(watched);
            if (window->isTopLevel() && window->isExposed()) {
                m_seen = true;
                QTimer::singleShot(0, this, [] { reportAndExit(); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

long residentKilobytes()
{
    long kb = -1;
    if (std::FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1)
                break;
        }
        std::fclose(status);
    }
    return kb;
}

long proportionalKilobytes()
{
    long kb = -1;
    if (std::FILE *rollup = std::fopen("/proc/self/smaps_rollup", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, rollup)) {
            if (std::sscanf(line, "Pss: %ld kB", &kb) == 1)
                break;
        }
        std::fclose(rollup);
    }
    return kb;
}

void installStartupProbe(QObject *parent)
{
    QCoreApplication::instance()->installEventFilter(new StartupProbe(parent));
}

} // namespace benchsupport
