#include "StartupProbe.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

namespace quintaro {

namespace {

class StartupProbe final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed())
            QTimer::singleShot(0, this, [] { reportAndExit(); });
        return QObject::eventFilter(watched, event);
    }

    static void reportAndExit()
    {
        long rssKb = -1;
        if (std::FILE *status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) {
                if (std::sscanf(line, "VmRSS: %ld kB", &rssKb) == 1)
                    break;
            }
            std::fclose(status);
        }
        std::printf("startup-probe VmRSS: %ld kB\n", rssKb);
        std::fflush(stdout);
        std::_Exit(0);
    }
};

} // namespace

void watchStartupForProbe(QWidget &window)
{
    if (!std::getenv("QUINTARO_STARTUP_PROBE"))
        return;
    QWindow *handle = window.windowHandle();
    if (!handle)
        return;
    handle->installEventFilter(new StartupProbe(&window));
    if (handle->isExposed())
        QTimer::singleShot(0, [] { StartupProbe::reportAndExit(); });
}

} // namespace quintaro
