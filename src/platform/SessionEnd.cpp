#include "Shutdown.h"

namespace quintaro {

namespace {
bool g_shuttingDown = false;
}

bool isShuttingDown()
{
    return g_shuttingDown;
}

void setShuttingDown(bool shuttingDown)
{
    g_shuttingDown = shuttingDown;
}

} // namespace quintaro
